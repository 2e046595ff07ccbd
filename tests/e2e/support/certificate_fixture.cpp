#include "tests/e2e/support/certificate_fixture.h"

#include <stdexcept>

#include "platform/process.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {

std::string program(const std::string& name) { return std::string(MORBS_BIN_DIR) + "/" + name; }

// The certificate of this run, written on first use. It is good until local
// midnight, far longer than a run lasts.
void copy_certificate_to(const std::filesystem::path& dir) {
  static TempDir source("certificate");
  static bool written = false;
  if (!written) {
    platform::RunOptions options;
    options.working_directory = source.str();
    options.timeout_ms = 20000;
    options.merge_standard_error = true;
    auto r = platform::run_process(
        {program("gatekeep"), "-local", "--local-id", certificate_user, "--second-id", "host01"},
        options);
    if (!r) throw std::runtime_error("gatekeep could not be started: " + program("gatekeep"));
    if (r->exit_code != 0)
      throw std::runtime_error("gatekeep failed (" + std::to_string(r->exit_code) + "): " + r->output);
    written = true;
  }
  std::filesystem::copy_file(source / "crt.tmp", dir / "crt.tmp",
                             std::filesystem::copy_options::overwrite_existing);
}

}  // namespace morbs::e2e
