#include "core/dns/dns_name.h"

namespace morbs {

namespace {

constexpr uint8_t pointer_mark = 0xC0;
// A 255-byte name has at most 127 labels; more jumps than that only cost time.
constexpr int jump_limit = 128;

}  // namespace

bool ChangetoDnsNameFormat(std::vector<uint8_t>& out, std::string_view host) {
  out.clear();
  if (host.ends_with('.')) host.remove_suffix(1);
  if (host.empty() || host.size() + 2 > dns_name_limit) return false;
  std::string_view rest = host;
  for (;;) {
    size_t dot = rest.find('.');
    std::string_view label = rest.substr(0, dot);
    if (label.empty() || label.size() > dns_label_limit) {
      out.clear();
      return false;
    }
    out.push_back(static_cast<uint8_t>(label.size()));
    out.insert(out.end(), label.begin(), label.end());
    if (dot == std::string_view::npos) break;
    rest.remove_prefix(dot + 1);
  }
  out.push_back(0);
  return true;
}

std::optional<std::string> ReadName(std::span<const uint8_t> reply, size_t position,
                                    size_t& consumed) {
  consumed = 0;
  size_t length_here = 0;
  std::string name;
  size_t at = position;
  size_t piece_start = position;  // where the walk last started or landed
  size_t wire_length = 1;         // the final zero
  int jumps = 0;
  for (;;) {
    if (at >= reply.size()) return std::nullopt;
    uint8_t length = reply[at];
    if (length == 0) {
      consumed = jumps == 0 ? at + 1 - position : length_here;
      return name;
    }
    if (length >= pointer_mark) {
      if (at + 1 >= reply.size()) return std::nullopt;
      size_t target = (static_cast<size_t>(length & 0x3F) << 8) | reply[at + 1];
      // A pointer must lead before the piece it ends: each landing is then
      // earlier than the last, so no reply can make the walk go round.
      if (target >= piece_start || ++jumps > jump_limit) return std::nullopt;
      if (jumps == 1) length_here = at + 2 - position;
      at = piece_start = target;
      continue;
    }
    if (length > dns_label_limit) return std::nullopt;  // 64..191: reserved label types
    if (at + 1 + length > reply.size()) return std::nullopt;
    if (wire_length > 1) name += '.';  // after a label before this one
    wire_length += 1 + length;
    if (wire_length > dns_name_limit) return std::nullopt;
    name.append(reinterpret_cast<const char*>(reply.data() + at + 1), length);
    at += 1 + length;
  }
}

}  // namespace morbs
