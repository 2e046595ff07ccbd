// Which lines of a shown list the user chose: "2 5" by number (from 1), or
// "~report" for every line holding that text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morbs::promptwin {

// The chosen lines' indices, in list order, each once; empty when the
// answer is empty. nullopt with the reason in `error` for a word that names
// no line (not a number, out of range, text found nowhere).
std::optional<std::vector<size_t>> choose(const std::vector<std::string>& lines, std::string_view answer,
                                          std::string& error);

// The lines of a list file, without line ends; nullopt when it is not a
// readable regular file.
std::optional<std::vector<std::string>> read_lines(const std::string& path);

}  // namespace morbs::promptwin
