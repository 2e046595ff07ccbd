#include "core/dns/dns_reply.h"

#include <optional>
#include <vector>

#include "core/dns/dns_name.h"

namespace morbs {

namespace {

// TYPE, CLASS, TTL, RDLENGTH.
constexpr size_t fixed_part_size = 10;

struct Record {
  uint16_t type = 0;
  std::span<const uint8_t> data;
  std::string target;  // a CNAME's name
};

uint16_t read_u16(std::span<const uint8_t> reply, size_t at) {
  return static_cast<uint16_t>((reply[at] << 8) | reply[at + 1]);
}

// One record at `at`, which moves past it; nothing when it does not fit.
std::optional<Record> read_record(std::span<const uint8_t> reply, size_t& at,
                                  bool want_target) {
  size_t consumed = 0;
  if (!ReadName(reply, at, consumed)) return std::nullopt;
  at += consumed;
  if (reply.size() - at < fixed_part_size) return std::nullopt;
  Record record;
  record.type = read_u16(reply, at);
  size_t data_length = read_u16(reply, at + 8);
  at += fixed_part_size;
  if (reply.size() - at < data_length) return std::nullopt;
  record.data = reply.subspan(at, data_length);
  if (want_target && record.type == dns_type_cname) {
    auto target = ReadName(reply, at, consumed);
    if (!target || consumed > data_length) return std::nullopt;
    record.target = std::move(*target);
  }
  if (record.type == dns_type_a && data_length < 4) return std::nullopt;
  // Always on by the stated length, whatever the data held.
  at += data_length;
  return record;
}

// Reads `count` records; false when any does not fit.
bool read_section(std::span<const uint8_t> reply, size_t& at, uint16_t count,
                  std::vector<Record>* kept) {
  for (uint16_t i = 0; i < count; ++i) {
    auto record = read_record(reply, at, kept != nullptr);
    if (!record) return false;
    if (kept) kept->push_back(std::move(*record));
  }
  return true;
}

std::string dotted(std::span<const uint8_t> data) {
  return std::to_string(data[0]) + '.' + std::to_string(data[1]) + '.' +
         std::to_string(data[2]) + '.' + std::to_string(data[3]);
}

uint8_t lower(uint8_t c) { return (c >= 'A' && c <= 'Z') ? static_cast<uint8_t>(c + 32) : c; }

}  // namespace

bool answers_query(std::span<const uint8_t> reply, std::span<const uint8_t> query) {
  if (query.size() < dns_header_size || reply.size() < query.size()) return false;
  constexpr uint8_t response_bit = 0x80, rcode_bits = 0x0F;
  if (read_u16(reply, 0) != read_u16(query, 0)) return false;
  if ((reply[2] & response_bit) == 0 || (reply[3] & rcode_bits) != 0) return false;
  if (read_u16(reply, 4) != 1) return false;
  // The question is the query's own bytes: name in label form, type, class.
  for (size_t i = dns_header_size; i < query.size(); ++i)
    if (lower(reply[i]) != lower(query[i])) return false;
  return true;
}

DnsAnswer read_reply(std::span<const uint8_t> reply, size_t question_size) {
  if (reply.size() < dns_header_size || reply.size() - dns_header_size < question_size)
    return {};
  size_t at = dns_header_size + question_size;
  std::vector<Record> answers;
  if (!read_section(reply, at, read_u16(reply, 6), &answers) ||
      !read_section(reply, at, read_u16(reply, 8), nullptr) ||
      !read_section(reply, at, read_u16(reply, 10), nullptr))
    return {};

  // The last address or alias decides.
  DnsAnswer answer;
  for (const Record& record : answers) {
    if (record.type == dns_type_a) {
      answer.alias = "null";
      answer.address = dotted(record.data);
      answer.result = DnsResult::address;
    } else if (record.type == dns_type_cname) {
      answer.alias = record.target;
      answer.result = DnsResult::alias;
    }
  }
  if (answer.result == DnsResult::nothing) answer.address = "null";
  return answer;
}

}  // namespace morbs
