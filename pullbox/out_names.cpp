#include "pullbox/out_names.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "core/session/certificate.h"
#include "core/session/config.h"
#include "lists/work_files.h"
#include "transfer/disaster_journal.h"

namespace morbs::pullbox {

namespace {

namespace fs = std::filesystem;

// Where a name leads, links followed as far as they exist: two names that
// lead to one place are one file.
fs::path place_of(const std::string& name) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::absolute(name, ec), ec);
  return ec ? fs::path(name).lexically_normal() : p;
}

// Files of the working directory a run of these programs uses.
bool is_run_file(std::string_view name) {
  for (std::string_view own : {std::string_view(list_name), std::string_view(tmp_list),
                               std::string_view(certificate_file), std::string_view(config_file)})
    if (name == own) return true;
  return name.find(disaster_marker) != std::string_view::npos || name.rfind(".pullbox_join_", 0) == 0 ||
         name.rfind(".morbs_scratch_", 0) == 0;
}

}  // namespace

Status out_refusal(const std::string& out, const std::vector<std::string>& earlier) {
  const fs::path place = place_of(out);
  std::error_code ec;
  const fs::path here = place_of(fs::current_path(ec).string());
  if (!ec && place.parent_path() == here && is_run_file(place.filename().string()))
    return Status::failure(out + ": refused: the run itself reads or writes " + place.filename().string());
  for (const std::string& before : earlier)
    if (place_of(before) == place) return Status::failure(out + ": refused: an earlier file of this run goes there");
  return Status::success();
}

}  // namespace morbs::pullbox
