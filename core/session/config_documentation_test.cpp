// The README's client.config table and the manual page client.config(5)
// describe the same keys, in the same order, with the same defaults; and
// those are the keys read_config looks for, with the defaults the programs
// start from. A key added to one place and not the others fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "core/session/config.h"
#include "core/session/settings.h"

namespace morbs {
namespace {

struct Documented {
  std::vector<std::string> keys;  // in the order described
  std::map<std::string, std::string> defaults;
};

std::vector<std::string> lines_of(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in) << "cannot read " << path;
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> split(const std::string& text, const std::string& by) {
  std::vector<std::string> parts;
  size_t from = 0;
  for (size_t at; (at = text.find(by, from)) != std::string::npos; from = at + by.size())
    parts.push_back(text.substr(from, at - from));
  parts.push_back(text.substr(from));
  return parts;
}

// The table under "## client.config": | key | meaning | default |. A row of
// several keys gives their defaults in one cell, split by ", ".
Documented readme_table() {
  Documented d;
  const std::vector<std::string> lines = lines_of(std::string(MORBS_SOURCE_DIR) + "/README.md");
  auto row = std::find_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("| key | meaning | default", 0) == 0; });
  EXPECT_NE(row, lines.end()) << "no client.config table in the README";
  if (row == lines.end()) return d;
  for (row += 2; row != lines.end() && row->rfind("|", 0) == 0; ++row) {
    std::vector<std::string> cells = split(*row, "|");
    EXPECT_GE(cells.size(), 5u) << *row;
    if (cells.size() < 5) continue;
    std::vector<std::string> keys;
    const std::regex key("`([A-Z_]+)`");
    for (std::sregex_iterator m(cells[1].begin(), cells[1].end(), key), end; m != end; ++m)
      keys.push_back((*m)[1]);
    const std::vector<std::string> defaults = split(trimmed(cells[cells.size() - 2]), ", ");
    EXPECT_EQ(defaults.size(), keys.size()) << "one default per key: " << *row;
    for (size_t i = 0; i < keys.size(); ++i) {
      d.keys.push_back(keys[i]);
      if (i < defaults.size()) d.defaults[keys[i]] = defaults[i];
    }
  }
  return d;
}

// The section KEYS of man/client.config.5.scd: "*KEY*=_value_", and in its
// entry the line "Default: VALUE.".
Documented manual_page() {
  Documented d;
  const std::vector<std::string> lines = lines_of(std::string(MORBS_SOURCE_DIR) + "/man/client.config.5.scd");
  const std::regex entry(R"(^\*([A-Z_]+)\*=.*)"), fallback(R"(^\s*Default: (.*)\.$)");
  bool in_keys = false;
  std::string current;
  for (const std::string& line : lines) {
    if (line.rfind("# ", 0) == 0) in_keys = line == "# KEYS";
    if (!in_keys) continue;
    std::smatch m;
    if (std::regex_match(line, m, entry)) {
      current = m[1];
      d.keys.push_back(current);
    } else if (std::regex_match(line, m, fallback) && !current.empty()) {
      EXPECT_EQ(d.defaults.count(current), 0u) << current << " has two defaults";
      d.defaults[current] = m[1];
    }
  }
  return d;
}

// What the programs start from, as the documents write it: one value, or
// pullbox / pushbox / erasebox where they differ.
std::map<std::string, std::string> defaults_in_code() {
  using Field = std::function<std::string(const Settings&)>;
  auto number = [](auto member) { return Field([member](const Settings& s) { return std::to_string(s.*member); }); };
  const std::vector<std::tuple<std::string, Field, std::string>> fields = {
      {"IP_ADDR", [](const Settings& s) { return s.ip_addr; }, ""},
      {"INIT_PORT_Q", number(&Settings::init_port), ""},
      {"INIT_PORT_P", number(&Settings::init_port_p), ""},
      {"MIN_SIZE", number(&Settings::min_fsize), ""},
      {"INSTALLED_SERVERS", number(&Settings::curr_nr_serv), ""},
      {"TMIMEOUT_SEC", number(&Settings::timeout_seconds), " s"},
      {"TMIMEOUT_USEC", number(&Settings::timeout_microsec), " µs"},
      {"MATRIX_MODE", number(&Settings::mat_mode), ""},
      {"TRANSFERS", number(&Settings::transfers), ""},
      {"ANSWER_WAIT_MS",
       [](const Settings& s) { return s.answer_wait_ms == 0 ? std::string("derived") : std::to_string(s.answer_wait_ms); },
       ""},
      {"STALL_SEC", number(&Settings::stall_seconds), ""},
      {"TEST", number(&Settings::test), ""},
  };
  const Settings programs[] = {Settings::defaults(Program::pullbox), Settings::defaults(Program::pushbox),
                               Settings::defaults(Program::erasebox)};
  std::map<std::string, std::string> defaults;
  for (const auto& [key, field, unit] : fields) {
    const std::string a = field(programs[0]), b = field(programs[1]), c = field(programs[2]);
    defaults[key] = (a == b && b == c ? a : a + " / " + b + " / " + c) + unit;
  }
  return defaults;
}

TEST(ConfigDocumentation, ReadmeAndManualPageDescribeTheSameKeys) {
  const Documented readme = readme_table(), manual = manual_page();
  ASSERT_FALSE(readme.keys.empty());
  EXPECT_EQ(readme.keys, manual.keys);

  const std::vector<std::string_view> keys = config_keys();
  std::vector<std::string> read(keys.begin(), keys.end());
  std::vector<std::string> described = readme.keys;
  std::sort(read.begin(), read.end());
  std::sort(described.begin(), described.end());
  EXPECT_EQ(described, read) << "the keys read_config looks for";
}

TEST(ConfigDocumentation, ReadmeManualPageAndCodeGiveTheSameDefaults) {
  const Documented readme = readme_table(), manual = manual_page();
  const std::map<std::string, std::string> code = defaults_in_code();
  for (const std::string_view key : config_keys()) {
    const std::string k(key);
    ASSERT_EQ(readme.defaults.count(k), 1u) << k << " has no default in the README";
    ASSERT_EQ(manual.defaults.count(k), 1u) << k << " has no \"Default:\" line in client.config(5)";
    EXPECT_EQ(readme.defaults.at(k), manual.defaults.at(k)) << k;
    EXPECT_EQ(code.at(k), readme.defaults.at(k)) << k << ": the programs' own default";
  }
}

}  // namespace
}  // namespace morbs
