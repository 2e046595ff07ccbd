// read_certificate on arbitrary crt.tmp files of 0 to 5000 bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/session/certificate.h"
#include "fuzz/fuzz_workdir.h"

namespace {

constexpr size_t file_limit = 5000;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  morbs::fuzz::enter_scratch_directory();
  // Today's certificate, as the access tester writes it.
  std::string message;
  if (morbs::write_certificate("12345678903", "CENTRAL-0001", message, "seed.tmp") == 1) {
    std::FILE* seed = std::fopen("seed.tmp", "rb");
    std::string content(file_limit, '\0');
    content.resize(seed ? std::fread(content.data(), 1, content.size(), seed) : 0);
    if (seed) std::fclose(seed);
    morbs::fuzz::write_seed("certificate", content.data(), content.size());
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  morbs::fuzz::write_file("crt.tmp", data, size < file_limit ? size : file_limit);
  std::string local_id, second_id, message;
  int result = morbs::read_certificate(local_id, second_id, message);
  if (result != 0 && result != 1) __builtin_trap();
  if (local_id.size() > morbs::certificate_id_limit ||
      second_id.size() > morbs::certificate_id_limit)
    __builtin_trap();
  return 0;
}
