// A request or a stored record read strictly into its fields: each "KEY=value&"
// pair on its own, so a value is never searched inside another one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morbs::node {

class Fields {
 public:
  // nullopt unless the text is a sequence of KEY=value pairs each closed by
  // "&", every key of upper-case letters, digits and "_", no key twice, and no
  // control character anywhere (a line end would split a list line).
  static std::optional<Fields> parse(std::string_view text);

  // The value of KEY, or "" when there is none (see has()).
  const std::string& get(std::string_view key) const;
  bool has(std::string_view key) const;
  // The first key: "OP", "TEST", ...
  const std::string& first_key() const { return pairs_.front().first; }
  const std::vector<std::pair<std::string, std::string>>& pairs() const { return pairs_; }

 private:
  std::vector<std::pair<std::string, std::string>> pairs_;
};

// True when `text` holds a byte below 0x20 or DEL.
bool has_control(std::string_view text);

}  // namespace morbs::node
