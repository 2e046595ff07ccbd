// The session certificate crt.tmp: written by the access tester, read by
// every program at start. Good only on the local day it was written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/report/reporter.h"
#include "core/status.h"
#include "core/wire/wire.h"

namespace morbs {

using CertificateBlock = std::array<uint8_t, wire::certificate_block_size>;
using CertificatePlain = std::array<char, wire::certificate_plain_size>;

inline constexpr const char* certificate_file = "crt.tmp";
// What the readers hold of each id.
inline constexpr size_t certificate_id_limit = 47;
// What the writer accepts.
inline constexpr size_t writer_local_id_limit = 2008;
inline constexpr size_t writer_second_id_limit = 1968;

struct CertificateIds {
  std::string local_id;
  std::string second_id;
};

// The session identity `uid32` (at most `uid32_limit` characters), or the
// line that tells why there is none: "CERTYFICATE: <reason>" or "incorrect
// certyficate" (a local id "null").
Result<std::string> test_UID(size_t uid32_limit, const std::string& path = certificate_file);

// The session identity for a client program: when there is none, the
// reason and "\n Incorrect access card" are said, as the programs always
// have, and nothing comes back.
std::optional<std::string> access_card(size_t uid32_limit, Reporter& reporter);

// Both ids of a valid certificate, or the reason: "no created certificate",
// "incorrect certificate format[1]", "outdated certificate", "incorrect
// certificate format[2]".
Result<CertificateIds> read_certificate(const std::string& path = certificate_file);

// Written, or the reason (each beginning with a blank): " too long input
// string [1]", " system clock doesn't wwork", " can't open file to write".
Status write_certificate(std::string_view local_id, std::string_view second_id,
                         const std::string& path = certificate_file);

// The forms with a result number and text outputs, for callers not yet
// taking the values above. test_UID prints its line; the others print nothing.
// 1 with the local id in `uid32`; 0 after printing the reason.
int test_UID(std::string& uid32, size_t uid32_limit);
// 1 valid; 0 with the reason in `message`. All outputs start as "null".
int read_certificate(std::string& local_id, std::string& second_id, std::string& message,
                     const std::string& path = certificate_file);
// 1 written (message "null"); 0 not written (message gives the reason).
int write_certificate(std::string_view local_id, std::string_view second_id,
                      std::string& message, const std::string& path = certificate_file);

// True when coded; false when no noise can be made (the clock does not advance).
bool code_certificate(std::string_view text, uint32_t seed, CertificateBlock& block);
// Alters the odd bytes of `block`.
void decode_certificate(CertificateBlock& block, uint32_t seed, CertificatePlain& plain);

// The key of today; false with the fallback key when the clock failed.
bool key_certificate(uint32_t& key);
// The day key of a time stamp; false with the fallback for the stamp -1.
bool time_certificate(int64_t time_stamp, uint32_t& key);

// True when filled; false when the clock does not advance over a second
// (buffer untouched).
bool noise_gen1(uint8_t* buffer, size_t size);

}  // namespace morbs
