#include "peers/promptwin/selection.h"

#include <algorithm>
#include <charconv>
#include <fstream>

#include "platform/regular_file.h"

namespace morbs::promptwin {

namespace {

std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> out;
  size_t at = 0;
  while (at < text.size()) {
    size_t start = text.find_first_not_of(" \t,", at);
    if (start == std::string_view::npos) break;
    size_t end = text.find_first_of(" \t,", start);
    if (end == std::string_view::npos) end = text.size();
    out.push_back(text.substr(start, end - start));
    at = end;
  }
  return out;
}

}  // namespace

std::optional<std::vector<size_t>> choose(const std::vector<std::string>& lines, std::string_view answer,
                                          std::string& error) {
  std::vector<bool> chosen(lines.size(), false);
  for (std::string_view word : words(answer)) {
    if (word.front() == '~') {
      std::string_view text = word.substr(1);
      bool found = false;
      for (size_t i = 0; i < lines.size(); ++i)
        if (!text.empty() && lines[i].find(text) != std::string::npos) chosen[i] = found = true;
      if (!found) {
        error = "no line holds \"" + std::string(text) + "\"";
        return std::nullopt;
      }
      continue;
    }
    size_t number = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), number);
    if (ec != std::errc() || end != word.data() + word.size() || number < 1 || number > lines.size()) {
      error = "no line " + std::string(word) + " (1 to " + std::to_string(lines.size()) + ")";
      return std::nullopt;
    }
    chosen[number - 1] = true;
  }
  std::vector<size_t> indices;
  for (size_t i = 0; i < chosen.size(); ++i)
    if (chosen[i]) indices.push_back(i);
  return indices;
}

std::optional<std::vector<std::string>> read_lines(const std::string& path) {
  if (!platform::is_regular_file(path)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace morbs::promptwin
