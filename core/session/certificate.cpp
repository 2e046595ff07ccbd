#include "core/session/certificate.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/report/reporter.h"
#include "core/session/day_key.h"
#include "core/wire/number_text.h"
#include "core/wire/query_string.h"
#include "core/wire/scrambler.h"
#include "platform/clock.h"
#include "platform/regular_file.h"

namespace morbs {

namespace {

int64_t seconds_now() {
  auto t = platform::now();
  return t ? t->seconds : -1;
}

bool write_whole_file(const std::string& path, const CertificateBlock& block) {
  // Written aside and renamed, so that no reader ever sees half a certificate.
  const std::string part = path + ".part";
  // A leftover of that name, a FIFO above all, would hold or mislead the
  // write: it goes first.
  std::error_code stale;
  std::filesystem::remove(part, stale);
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    out.close();  // a full disk shows only here
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(part, ignored);
      return false;
    }
  }
  std::error_code error, ignored;
  std::filesystem::rename(part, path, error);
  if (error) std::filesystem::remove(part, ignored);
  return !error;
}

}  // namespace

bool noise_gen1(uint8_t* buffer, size_t size) {
  const int64_t before = seconds_now();
  platform::sleep_microseconds(1000000);
  const int64_t after = seconds_now();
  if (before == after) return false;
  std::vector<uint8_t> first(size);
  std::srand(static_cast<unsigned>(after));
  for (auto& b : first) {
    int v;
    do {
      v = std::rand() % 255;
    } while (v == 0);
    b = static_cast<uint8_t>(v);
  }
  for (size_t i = 0; i < size; ++i) {
    const int as_signed = static_cast<int8_t>(first[i]);
    std::srand(static_cast<unsigned>(as_signed * as_signed * as_signed));
    buffer[i] = static_cast<uint8_t>(std::rand() % 255);
  }
  return true;
}

bool key_certificate(uint32_t& key) { return day_key_now(wire::certificate_key, key) == 0; }

bool time_certificate(int64_t time_stamp, uint32_t& key) {
  if (time_stamp == -1 || !day_key_of(wire::certificate_key, time_stamp, key)) {
    key = wire::fallback_key;
    return false;
  }
  return true;
}

bool code_certificate(std::string_view text, uint32_t /*seed*/, CertificateBlock& block) {
  text = text.substr(0, std::min(text.size(), wire::certificate_plain_size - 1));
  std::array<uint8_t, wire::certificate_plain_size> plain{}, noise{};
  if (!noise_gen1(plain.data(), plain.size())) return false;
  std::memcpy(plain.data(), text.data(), text.size());
  plain[text.size()] = 0;
  uint32_t key = 0;
  key_certificate(key);
  noise_gen1(noise.data(), noise.size());
  interleave(plain.data(), noise.data(), key, plain.size(), block.data());
  return true;
}

void decode_certificate(CertificateBlock& block, uint32_t /*seed*/, CertificatePlain& plain) {
  uint32_t key = 0;
  key_certificate(key);
  deinterleave(block.data(), key, plain.size(), reinterpret_cast<uint8_t*>(plain.data()));
}

Status write_certificate(std::string_view local_id, std::string_view second_id,
                         const std::string& path) {
  const std::string gtime = std::to_string(seconds_now());
  if (local_id.size() > writer_local_id_limit || second_id.size() > writer_second_id_limit)
    return Status::failure(" too long input string [1]");
  std::string text = "GTIME=" + gtime + "&UIDP_LOC=" + std::string(local_id) +
                     "&UIDP_CEN=" + std::string(second_id) + "&";
  CertificateBlock block{};
  if (!code_certificate(text, 0, block)) return Status::failure(" system clock doesn't wwork");
  if (!write_whole_file(path, block)) return Status::failure(" can't open file to write");
  return Status::success();
}

Result<CertificateIds> read_certificate(const std::string& path) {
  // A FIFO or a device named like the certificate would hold the reader for
  // ever or feed it endless bytes: only a regular file is a certificate.
  if (!platform::is_regular_file(path)) return Status::failure("no created certificate");
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::failure("no created certificate");
  CertificateBlock block{};
  in.read(reinterpret_cast<char*>(block.data()), static_cast<std::streamsize>(block.size()));
  // A short file is no certificate: nothing undefined is ever decoded.
  if (in.gcount() != static_cast<std::streamsize>(block.size()))
    return Status::failure("incorrect certificate format[1]");
  CertificatePlain plain{};
  decode_certificate(block, 0, plain);
  const std::string_view text(plain.data(), plain.size());

  std::string gtime;
  if (select_value(text, "GTIME", gtime) != 0) return Status::failure("incorrect certificate format[1]");
  uint32_t written_key = 0, today_key = 0;
  time_certificate(to_int64(gtime).value_or(-1), written_key);
  time_certificate(seconds_now(), today_key);
  if (written_key != today_key) return Status::failure("outdated certificate");

  CertificateIds ids;
  if (select_value(text, "UIDP_LOC", ids.local_id) != 0 || ids.local_id.size() > certificate_id_limit ||
      select_value(text, "UIDP_CEN", ids.second_id) != 0 || ids.second_id.size() > certificate_id_limit)
    return Status::failure("incorrect certificate format[2]");
  return ids;
}

Result<std::string> test_UID(size_t uid32_limit, const std::string& path) {
  Result<CertificateIds> ids = read_certificate(path);
  if (!ids) return Status::failure("CERTYFICATE: " + ids.why());
  if (ids->local_id == empty_slot) return Status::failure("incorrect certyficate");
  if (ids->local_id.size() > uid32_limit)
    return Status::failure("CERTYFICATE: incorrect certificate format[2]");
  return ids->local_id;
}

int write_certificate(std::string_view local_id, std::string_view second_id,
                      std::string& message, const std::string& path) {
  const Status written = write_certificate(local_id, second_id, path);
  message = written ? std::string(empty_slot) : written.why();
  return written ? 1 : 0;
}

int read_certificate(std::string& local_id, std::string& second_id, std::string& message,
                     const std::string& path) {
  local_id = second_id = message = empty_slot;
  Result<CertificateIds> ids = read_certificate(path);
  if (!ids) {
    message = ids.why();
    return 0;
  }
  local_id = ids->local_id;
  second_id = ids->second_id;
  return 1;
}

std::optional<std::string> access_card(size_t uid32_limit, Reporter& reporter) {
  Result<std::string> uid = test_UID(uid32_limit);
  if (uid) return *uid;
  reporter.say_line(uid.why());
  reporter.say_line("\n Incorrect access card");
  reporter.flush();
  return std::nullopt;
}

int test_UID(std::string& uid32, size_t uid32_limit) {
  Result<std::string> uid = test_UID(uid32_limit);
  if (!uid) {
    ConsoleReporter(true).say_line(uid.why());
    return 0;
  }
  uid32 = *uid;
  return 1;
}

}  // namespace morbs
