#include "core/dns/dns_reply.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace morbs {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes text(std::string_view t) { return {t.begin(), t.end()}; }

void put_u16(Bytes& out, unsigned value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

// "host.test" in label form, as the query asked it.
const Bytes question_name = text(std::string("\x04host\x04test\x00", 11));
const size_t question_size = question_name.size() + 4;
constexpr unsigned at_question_name = 0xC00C;  // a pointer to it

// A reply to the query for host.test, with the counts as given.
Bytes header(unsigned answers, unsigned authority = 0, unsigned additional = 0) {
  Bytes out;
  put_u16(out, 0x1234);
  put_u16(out, 0x8180);
  put_u16(out, 1);
  put_u16(out, answers);
  put_u16(out, authority);
  put_u16(out, additional);
  out.insert(out.end(), question_name.begin(), question_name.end());
  put_u16(out, 1);
  put_u16(out, 1);
  return out;
}

void record(Bytes& out, unsigned type, const Bytes& data, unsigned data_length) {
  put_u16(out, at_question_name);
  put_u16(out, type);
  put_u16(out, 1);
  put_u16(out, 0);
  put_u16(out, 60);
  put_u16(out, data_length);
  out.insert(out.end(), data.begin(), data.end());
}
void record(Bytes& out, unsigned type, const Bytes& data) { record(out, type, data, data.size()); }

const Bytes address_data{127, 0, 0, 5};
const Bytes alias_data = text(std::string("\x05other\x04test\x00", 12));

TEST(ReadReply, AnAddressRecordGivesTheDottedAddress) {
  Bytes reply = header(1);
  record(reply, 1, address_data);
  DnsAnswer answer = read_reply(reply, question_size);
  EXPECT_EQ(answer.result, DnsResult::address);
  EXPECT_EQ(answer.address, "127.0.0.5");
  EXPECT_EQ(answer.alias, "null");
}

TEST(ReadReply, TheLastAddressOrAliasDecides) {
  Bytes cname_then_a = header(2);
  record(cname_then_a, 5, alias_data);
  record(cname_then_a, 1, address_data);
  DnsAnswer answer = read_reply(cname_then_a, question_size);
  EXPECT_EQ(answer.result, DnsResult::address);
  EXPECT_EQ(answer.address, "127.0.0.5");
  EXPECT_EQ(answer.alias, "null");

  Bytes lone_cname = header(2);
  record(lone_cname, 5, alias_data);
  record(lone_cname, 28, Bytes(16, 0));  // another type leaves the alias standing
  answer = read_reply(lone_cname, question_size);
  EXPECT_EQ(answer.result, DnsResult::alias);
  EXPECT_EQ(answer.alias, "other.test");
}

TEST(ReadReply, AnAliasMayPointBackIntoTheReply) {
  Bytes reply = header(1);
  Bytes data = text("\x03www");
  put_u16(data, at_question_name);
  record(reply, 5, data);
  DnsAnswer answer = read_reply(reply, question_size);
  EXPECT_EQ(answer.result, DnsResult::alias);
  EXPECT_EQ(answer.alias, "www.host.test");
}

TEST(ReadReply, RecordsAreSteppedOverByTheirStatedLength) {
  // An authority record whose data is no name (as in SOA) and an additional
  // record after it: both are read past without being taken apart.
  Bytes reply = header(1, 1, 1);
  record(reply, 1, address_data);
  record(reply, 6, Bytes(22, 0xFF));
  record(reply, 16, text("\x05hello"));
  EXPECT_EQ(read_reply(reply, question_size).result, DnsResult::address);
}

TEST(ReadReply, NoAddressNorAliasGivesNull) {
  Bytes no_records = header(0);
  Bytes other_type = header(1);
  record(other_type, 16, text("\x02hi"));
  for (const Bytes& reply : {no_records, other_type}) {
    DnsAnswer answer = read_reply(reply, question_size);
    EXPECT_EQ(answer.result, DnsResult::nothing);
    EXPECT_EQ(answer.address, "null");
    EXPECT_EQ(answer.alias, "null");
  }
}

TEST(ReadReply, RefusesMalformedReplies) {
  auto with = [](auto build) {
    Bytes reply;
    build(reply);
    return reply;
  };
  struct Case {
    const char* what;
    Bytes reply;
  } cases[] = {
      {"empty datagram", {}},
      {"header cut short", Bytes(7, 0)},
      {"question cut short", with([](Bytes& r) { r = header(0); r.resize(r.size() - 2); })},
      {"more answers claimed than present", with([](Bytes& r) {
         r = header(3);
         record(r, 1, address_data);
       })},
      {"authority claimed but absent", with([](Bytes& r) {
         r = header(1, 1);
         record(r, 1, address_data);
       })},
      {"data length beyond the end", with([](Bytes& r) {
         r = header(1);
         record(r, 1, address_data, 400);
       })},
      {"fixed part cut short", with([](Bytes& r) {
         r = header(1);
         record(r, 1, address_data);
         r.resize(r.size() - 9);
       })},
      {"address of two bytes", with([](Bytes& r) {
         r = header(1);
         record(r, 1, Bytes{127, 0});
       })},
      {"owner name pointing at itself", with([](Bytes& r) {
         r = header(1);
         size_t here = r.size();
         record(r, 1, address_data);
         r[here] = 0xC0;
         r[here + 1] = static_cast<uint8_t>(here);
       })},
      {"owner name pointing beyond the end", with([](Bytes& r) {
         r = header(1);
         size_t here = r.size();
         record(r, 1, address_data);
         r[here] = 0xFF;
         r[here + 1] = 0xFF;
       })},
      {"alias that loops", with([](Bytes& r) {
         r = header(1);
         size_t data_at = r.size() + 12;
         Bytes data{0x01, 'a', 0, 0};
         data[2] = static_cast<uint8_t>(0xC0 | (data_at >> 8));
         data[3] = static_cast<uint8_t>(data_at & 0xFF);
         record(r, 5, data);
       })},
      {"alias longer than its data", with([](Bytes& r) {
         r = header(1);
         record(r, 5, alias_data, 4);
         r.insert(r.end(), alias_data.begin(), alias_data.end());
       })},
      {"alias of 300 bytes", with([](Bytes& r) {
         r = header(1);
         Bytes data;
         for (int i = 0; i < 6; ++i) {
           data.push_back(49);
           data.insert(data.end(), 49, 'x');
         }
         data.push_back(0);
         record(r, 5, data);
       })},
  };
  for (const Case& c : cases) {
    DnsAnswer answer = read_reply(c.reply, question_size);
    EXPECT_EQ(answer.result, DnsResult::nothing) << c.what;
    EXPECT_EQ(answer.address, "null") << c.what;
    EXPECT_EQ(answer.alias, "null") << c.what;
  }
}

// The query for host.test with ID 0x1234, as build_query makes it.
Bytes query_for_host_test() {
  Bytes q;
  put_u16(q, 0x1234);
  put_u16(q, 0x0100);
  put_u16(q, 1);
  put_u16(q, 0);
  put_u16(q, 0);
  put_u16(q, 0);
  q.insert(q.end(), question_name.begin(), question_name.end());
  put_u16(q, 1);
  put_u16(q, 1);
  return q;
}

TEST(AnswersQuery, OnlyAReplyToThisVeryQueryCounts) {
  const Bytes query = query_for_host_test();
  Bytes good = header(1);
  record(good, 1, address_data);
  using Edit = std::function<void(Bytes&)>;
  struct Case {
    const char* what;
    Edit edit;
    bool counts;
  } cases[] = {
      {"the reply as sent", [](Bytes&) {}, true},
      {"the name in other case", [](Bytes& r) { r[13] = 'H'; r[18] = 'T'; }, true},
      {"recursion available and authoritative", [](Bytes& r) { r[2] |= 0x04; }, true},
      {"another transaction id", [](Bytes& r) { r[1] ^= 0x01; }, false},
      {"id bytes swapped", [](Bytes& r) { std::swap(r[0], r[1]); }, false},
      {"not marked as a response", [](Bytes& r) { r[2] &= 0x7F; }, false},
      {"name error", [](Bytes& r) { r[3] = (r[3] & 0xF0) | 3; }, false},
      {"server failure", [](Bytes& r) { r[3] = (r[3] & 0xF0) | 2; }, false},
      {"refused", [](Bytes& r) { r[3] = (r[3] & 0xF0) | 5; }, false},
      {"no question", [](Bytes& r) { r[5] = 0; }, false},
      {"two questions", [](Bytes& r) { r[5] = 2; }, false},
      {"another name", [](Bytes& r) { r[14] = 'x'; }, false},
      {"another type", [](Bytes& r) { r[24] = 28; }, false},
      {"another class", [](Bytes& r) { r[26] = 3; }, false},
      {"cut inside the question", [](Bytes& r) { r.resize(20); }, false},
      {"header only", [](Bytes& r) { r.resize(12); }, false},
      {"empty", [](Bytes& r) { r.clear(); }, false},
  };
  for (const Case& c : cases) {
    Bytes reply = good;
    c.edit(reply);
    EXPECT_EQ(answers_query(reply, query), c.counts) << c.what;
  }
}

}  // namespace
}  // namespace morbs
