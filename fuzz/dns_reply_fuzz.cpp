// The name-server reply parser on arbitrary datagrams: the record walk, the
// name reader, and the label form that queries are made of.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/dns/dns_name.h"
#include "core/dns/dns_reply.h"
#include "fuzz/fuzz_workdir.h"

namespace {

void check_reply(std::span<const uint8_t> datagram, size_t question_size) {
  morbs::DnsAnswer answer = morbs::read_reply(datagram, question_size);
  if (answer.result == morbs::DnsResult::address && (answer.address.size() < 7 || answer.address.size() > 15))
    __builtin_trap();
  if (answer.result == morbs::DnsResult::nothing && (answer.address != "null" || answer.alias != "null"))
    __builtin_trap();
  if (answer.alias.size() > morbs::dns_name_limit) __builtin_trap();
}

// A datagram counts as the answer only to a query whose header ID and
// question it repeats; the query that built it never fails that test against
// itself turned into a response.
void check_answers_query(std::span<const uint8_t> datagram, size_t question_size) {
  if (datagram.size() < morbs::dns_header_size + question_size) return;
  std::vector<uint8_t> query(datagram.begin(),
                             datagram.begin() + static_cast<long>(morbs::dns_header_size + question_size));
  const bool counts = morbs::answers_query(datagram, query);
  const bool response_without_error = (datagram[2] & 0x80) != 0 && (datagram[3] & 0x0F) == 0 &&
                                      datagram[4] == 0 && datagram[5] == 1;
  if (counts != response_without_error) __builtin_trap();
}

void check_name(std::span<const uint8_t> datagram, size_t position) {
  size_t consumed = 0;
  auto name = morbs::ReadName(datagram, position, consumed);
  if (!name) {
    if (consumed != 0) __builtin_trap();
    return;
  }
  if (consumed == 0 || position + consumed > datagram.size() ||
      name->size() > morbs::dns_name_limit - 2)
    __builtin_trap();
}

// What is written in label form reads back as the same name.
void check_round_trip(std::string_view host) {
  std::vector<uint8_t> wire;
  if (!morbs::ChangetoDnsNameFormat(wire, host)) return;
  if (wire.size() > morbs::dns_name_limit) __builtin_trap();
  size_t consumed = 0;
  auto back = morbs::ReadName(wire, 0, consumed);
  if (host.ends_with('.')) host.remove_suffix(1);
  if (!back || *back != host || consumed != wire.size()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Question size 15, then a reply to "host.test": an alias (pointing back
  // into the question) and an address, one authority and one additional record.
  static const uint8_t seed[] = {
      15,
      0x12, 0x34, 0x81, 0x80, 0, 1, 0, 2, 0, 1, 0, 1,
      4, 'h', 'o', 's', 't', 4, 't', 'e', 's', 't', 0, 0, 1, 0, 1,
      0xC0, 0x0C, 0, 5, 0, 1, 0, 0, 0, 60, 0, 5, 2, 'n', 's', 0xC0, 0x11,
      0xC0, 0x1B, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, 127, 0, 0, 5,
      0xC0, 0x11, 0, 2, 0, 1, 0, 0, 0, 60, 0, 2, 0xC0, 0x1B,
      0, 0, 41, 0x10, 0, 0, 0, 0, 0, 0, 0};
  morbs::fuzz::write_seed("reply", seed, sizeof seed);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte says where the question ends and where a name is read.
  size_t question_size = data[0];
  std::span<const uint8_t> datagram(data + 1, size - 1);
  check_reply(datagram, question_size);
  check_reply(datagram, 0);
  check_answers_query(datagram, question_size);
  check_name(datagram, question_size);
  check_name(datagram, 12);
  check_round_trip(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  return 0;
}
