#include "lists/get_q_string_for_read.h"

#include <algorithm>
#include <map>
#include <vector>

#include "lists/stored_name.h"
#include "lists/work_files.h"
#include "platform/text_file.h"

namespace morbs {

namespace {

// The stored name a list line's FN names: the whole name, or that of the
// upload a part belongs to (without its ":k").
std::string upload_of(const std::string& fn) {
  if (colon_count(fn) < 2) return fn;
  return fn.substr(0, fn.rfind(':'));
}

// The wanted name is matched against the stored name of the upload, never
// against the rest of a list line: "prefix:name" exactly, or "name" for
// that name under any prefix.
bool names(const std::string& upload, const std::string& wanted) {
  if (upload == wanted) return true;
  const size_t colon = upload.find(':');
  return wanted.find(':') == std::string::npos && colon != std::string::npos && upload.substr(colon + 1) == wanted;
}

}  // namespace

Result<Lines> read_selection(const std::string& list, const std::string& wanted, Reporter& reporter) {
  if (wanted.empty()) return Status::failure("no name to read");
  std::optional<Lines> lines = platform::read_lines(list);
  if (!lines) return Status::failure("Error: can't open list " + list);
  Lines basic, second;
  for (size_t i = 0; i < lines->size(); ++i) {
    const std::string& line = (*lines)[i];
    if (line.find(wanted) == std::string::npos) continue;  // a quick no
    const std::string org = field_of(line, "ORG");
    if (org != "0" && org != "1") continue;
    if (!names(upload_of(field_of(line, "FN")), wanted)) continue;
    if (!taken_as_list_line(list, static_cast<long>(i + 1), line, reporter)) continue;
    (org == "0" ? basic : second).push_back(line);
  }
  Lines candidates = basic;
  candidates.insert(candidates.end(), second.begin(), second.end());
  if (candidates.empty()) return Status::failure("no line of the list holds the name");

  const std::string first = field_of(candidates.front(), "FN");
  const size_t colons = colon_count(first);
  if (colons == 0) return Status::failure("no stored name");
  if (colons == 1) return Lines{candidates.front()};
  // Part k of the first candidate's upload, from its first line (a basic
  // one when there is one): never a part of another upload of the name.
  const std::string upload = upload_of(first);
  std::map<size_t, size_t> holder;
  for (size_t c = 0; c < candidates.size(); ++c) {
    const std::string fn = field_of(candidates[c], "FN");
    if (upload_of(fn) != upload) continue;
    const std::string number = fn.substr(upload.size() + 1);
    if (number.empty() || number.size() > 2 || number.find_first_not_of("0123456789") != std::string::npos) continue;
    // Every part that is listed has a line of one copy or the other, so no
    // complete upload has a part number beyond the two counts together. A
    // bound on either count alone drops the last parts when the lines that
    // came are half basic, half second (a node down after copies were
    // moved), and the file would come back short with no word of it.
    const size_t part = static_cast<size_t>(std::stoul(number));
    if (part <= last_part_listed(basic.size(), second.size())) holder.try_emplace(part, c);
  }
  Lines pieces;
  for (const auto& [part, c] : holder) pieces.push_back(candidates[c]);
  return pieces;
}

int get_q_string_for_read(const std::string& list, const std::string& wanted) {
  ConsoleReporter reporter(false);
  Result<Lines> pieces = read_selection(list, wanted, reporter);
  if (!pieces) return -1;
  platform::remove_file(tmp_list);
  if (pieces->empty()) return 0;
  return platform::write_lines(tmp_list, *pieces) ? 0 : -1;
}

}  // namespace morbs
