#include "core/session/account.h"

#include "core/report/reporter.h"
#include "platform/text_file.h"

namespace morbs {

namespace {
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool is_path_or_field_character(char c) {
  const auto u = static_cast<unsigned char>(c);
  return c == '/' || c == '\\' || c == '.' || c == '&' || c == '=' || c == ' ' || u < 0x20 ||
         u == 0x7F;
}
}  // namespace

bool is_safe_account_id(std::string_view id) {
  for (char c : id)
    if (is_path_or_field_character(c)) return false;
  return true;
}

Status check_PESEL(std::string_view id) {
  const Status wrong_number = Status::failure("\nIncoreect PESEL number");
  if (id.size() != account_id_length) return Status::failure("\nInput: id has incorrect lenght");
  // The id becomes directories on a node and a field of every request: a
  // character that could climb out of the account or cut the field is no id.
  if (!is_safe_account_id(id)) return wrong_number;
  for (char c : id)
    if (!is_digit(c)) return Status::success();
  static const int weights[account_id_length] = {1, 3, 7, 9, 1, 3, 7, 9, 1, 3, 1};
  int sum = 0;
  for (size_t i = 0; i < account_id_length; ++i) sum += weights[i] * (id[i] - '0');
  return sum % 10 == 0 ? Status::success() : wrong_number;
}

int check_PESEL(std::string_view id, int verbose) {
  const Status checked = check_PESEL(id);
  if (checked) return 1;
  ConsoleReporter reporter(verbose != 0);
  reporter.detail_line(checked.why());
  return 0;
}

int make_path_pesel(std::string_view id, std::string_view area, std::string& out) {
  if (id.size() != account_id_length || !is_safe_account_id(id)) return -1;
  std::string path = area == "accounts" ? "ACCOUNTS/" : "ACCOUNTS1/";
  for (size_t i = 0; i < account_id_length; i += 2) {
    path.append(id.substr(i, 2));
    path += '/';
  }
  out = path;
  return 0;
}

size_t parser_file_name(std::string& name) {
  for (char& c : name)
    if (!is_digit(c) && !is_ascii_letter(c) && c != '.' && c != '_') c = '_';
  return name.size();
}

int write_to_file(const std::string& file_name, std::string_view line) {
  // A record of a reservation that did not reach the disk is no record.
  return platform::append_line(file_name, line) ? 0 : -1;
}

}  // namespace morbs
