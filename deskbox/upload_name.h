// The name an uploaded file gets in the data network: the base name of the
// local path, blanks turned into "_".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace morbs::deskbox {

// Paths longer than this are not uploaded (pushbox takes the path whole).
inline constexpr size_t upload_path_limit = 1023;
// A name of 120 characters or more is skipped.
inline constexpr size_t upload_name_limit = 119;

enum class UploadRefusal { none, empty_path, path_too_long, no_name, name_too_long };

struct UploadName {
  std::string name;
  UploadRefusal refusal = UploadRefusal::none;
};

// The part after the last "/" (the whole path when it has none).
UploadName upload_name(std::string_view path);

}  // namespace morbs::deskbox
