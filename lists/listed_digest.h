// The SHA-256 a copy's own list line carries: "SHA=<64 lower-case hex>&",
// added by the uploader at its end. It is the one record of a copy's bytes
// that does not depend on the node keeping digests, so readers take it
// first. Lines written before it, or by a node that refused it, have none.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morbs {

inline constexpr std::string_view listed_digest_key = "SHA";

// 64 lower-case hex digits and nothing else.
bool is_sha256_text(std::string_view text);

// The digest the line carries; nothing when it has no SHA field or one that
// is no SHA-256 (such a field is never trusted, nor taken as a mismatch).
std::optional<std::string> listed_digest(std::string_view line);

// The line as the system writes it: every "SHA=...&" field taken out, the
// other fields byte for byte.
std::string without_listed_digest(std::string_view line);

}  // namespace morbs
