// dns against name servers on loopback only: a real one started by the test,
// and a scripted one that answers with crafted datagrams.
#include "core/dns/dns.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "core/dns/dns_query.h"
#include "platform/address_guard.h"
#include "platform/udp_socket.h"

namespace morbs {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

// A directory of the test's own with a resolv.conf naming one server.
class Scratch {
 public:
  Scratch() {
    dir_ = fs::temp_directory_path() /
           ("morbs_dns_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::create_directories(dir_);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string resolv_conf(const std::string& content) const {
    std::string path = (dir_ / "resolv.conf").string();
    std::ofstream(path) << content;
    return path;
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

 private:
  static inline int counter_ = 0;
  fs::path dir_;
};

DnsOptions options_for(const std::string& resolv_conf, uint16_t port, long wait_ms = 3000) {
  DnsOptions options;
  options.resolv_conf_path = resolv_conf;
  options.port = port;
  options.fallback_server = "127.0.0.1";
  options.reply_wait_ms = wait_ms;
  return options;
}

struct Resolved {
  int result;
  std::string out;
  std::string printed;
};

Resolved resolve(std::string_view name, const DnsOptions& options) {
  Resolved r;
  RecordingReporter reporter;
  Result<std::string> resolved = dns(name, reporter, options);
  r.result = resolved ? 1 : 0;
  r.out = resolved ? *resolved : "null";
  r.printed = reporter.said;
  return r;
}

void put_u16(Bytes& out, unsigned value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

Bytes label_form(std::string_view name) {
  Bytes out;
  for (size_t start = 0; start <= name.size();) {
    size_t dot = std::min(name.find('.', start), name.size());
    out.push_back(static_cast<uint8_t>(dot - start));
    out.insert(out.end(), name.begin() + start, name.begin() + dot);
    start = dot + 1;
  }
  out.push_back(0);
  return out;
}

// A name server that answers each query with what `answer` makes of it
// (nothing: stays silent), on a thread of its own until the object goes.
class ScriptedNameServer {
 public:
  using Answer = std::function<std::optional<Bytes>(const Bytes& query)>;

  explicit ScriptedNameServer(Answer answer) : answer_(std::move(answer)) {
    EXPECT_EQ(socket_.open(), 0);
    EXPECT_EQ(socket_.bind_loopback(), 0);
    thread_ = std::thread([this] { serve(); });
  }
  ~ScriptedNameServer() {
    stop_ = true;
    thread_.join();
  }
  uint16_t port() const { return socket_.local_port(); }
  std::vector<Bytes> queries() {
    std::lock_guard lock(mutex_);
    return queries_;
  }

 private:
  void serve() {
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!stop_ && std::chrono::steady_clock::now() < give_up) {
      Bytes query;
      platform::UdpPeer peer;
      int error = 0;
      if (socket_.receive_from(query, 65536, 50, peer, error) < 0) continue;
      {
        std::lock_guard lock(mutex_);
        queries_.push_back(query);
      }
      if (auto reply = answer_(query)) socket_.reply_to(peer, *reply);
    }
  }

  Answer answer_;
  platform::UdpSocket socket_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Bytes> queries_;
  std::thread thread_;
};

// The start of a reply to `query`: its ID and question, with the counts given.
Bytes reply_head(const Bytes& query, unsigned answers, unsigned authority = 0,
                 unsigned additional = 0) {
  Bytes out(query.begin(), query.begin() + 4);
  out[2] |= 0x80;
  put_u16(out, 1);
  put_u16(out, answers);
  put_u16(out, authority);
  put_u16(out, additional);
  out.insert(out.end(), query.begin() + 12, query.end());
  return out;
}

// A record whose owner is the question's name (a pointer to offset 12).
void record(Bytes& out, unsigned type, const Bytes& data, size_t data_length) {
  put_u16(out, 0xC00C);
  put_u16(out, type);
  put_u16(out, 1);
  put_u16(out, 0);
  put_u16(out, 60);
  put_u16(out, static_cast<unsigned>(data_length));
  out.insert(out.end(), data.begin(), data.end());
}
void record(Bytes& out, unsigned type, const Bytes& data) { record(out, type, data, data.size()); }

// The name a query asks for, in label form.
Bytes asked(const Bytes& query) { return Bytes(query.begin() + 12, query.end() - 4); }

TEST(Dns, ADottedTextIsTakenAsItStands) {
  DnsOptions options = options_for("/nonexistent/resolv.conf", 9);
  for (const char* text : {"10.0.0.4", "127.0.0.1", "", "999.1"}) {
    Resolved r = resolve(text, options);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.out, text);
    EXPECT_EQ(r.printed, "") << "no listing and no query for " << text;
  }
}

TEST(Dns, TheQueryAsksForTheAddressWithRecursion) {
  ScriptedNameServer server([](const Bytes& query) {
    Bytes reply = reply_head(query, 1);
    record(reply, 1, Bytes{127, 0, 0, 7});
    return reply;
  });
  Scratch scratch;
  Resolved r = resolve("node.test", options_for(scratch.resolv_conf("nameserver 127.0.0.1\n"),
                                                server.port()));
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.out, "127.0.0.7");
  EXPECT_EQ(r.printed, "\n1) 127.0.0.1");

  ASSERT_EQ(server.queries().size(), 1u);
  Bytes expected;
  put_u16(expected, ::getpid() & 0xFFFF);
  put_u16(expected, 0x0100);
  put_u16(expected, 1);
  put_u16(expected, 0);
  put_u16(expected, 0);
  put_u16(expected, 0);
  Bytes name = label_form("node.test");
  expected.insert(expected.end(), name.begin(), name.end());
  put_u16(expected, 1);
  put_u16(expected, 1);
  EXPECT_EQ(server.queries()[0], expected);
  EXPECT_EQ(expected.size(), 12 + 11 + 4u);
}

TEST(Dns, OnlyTheFirstServerIsAskedAndTheFallbackWhenThereIsNone) {
  ScriptedNameServer server([](const Bytes& query) {
    Bytes reply = reply_head(query, 1);
    record(reply, 1, Bytes{127, 0, 0, 8});
    return reply;
  });
  Scratch scratch;
  DnsOptions two = options_for(scratch.resolv_conf("nameserver 127.0.0.1,127.0.0.2\n"),
                               server.port());
  Resolved r = resolve("node.test", two);
  EXPECT_EQ(r.printed, "\n1) 127.0.0.1\n2) 127.0.0.2");
  EXPECT_EQ(r.out, "127.0.0.8");

  DnsOptions none = options_for(scratch.resolv_conf("search test\n"), server.port());
  r = resolve("node.test", none);
  EXPECT_EQ(r.printed, "");
  EXPECT_EQ(r.out, "127.0.0.8");
  EXPECT_EQ(server.queries().size(), 2u);
}

TEST(Dns, ALoneAliasIsFollowedOnce) {
  ScriptedNameServer server([](const Bytes& query) {
    Bytes reply = reply_head(query, 1);
    if (asked(query) == label_form("first.test"))
      record(reply, 5, label_form("second.test"));
    else if (asked(query) == label_form("second.test"))
      record(reply, 1, Bytes{127, 0, 0, 9});
    else
      record(reply, 5, label_form("first.test"));  // third.test -> first.test -> ...
    return reply;
  });
  Scratch scratch;
  DnsOptions options = options_for(scratch.resolv_conf("nameserver 127.0.0.1\n"), server.port());
  Resolved r = resolve("first.test", options);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.out, "127.0.0.9");
  ASSERT_EQ(server.queries().size(), 2u);
  EXPECT_EQ(asked(server.queries()[1]), label_form("second.test"));

  r = resolve("third.test", options);  // alias to an alias: not followed further
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.out, "null");
  EXPECT_EQ(server.queries().size(), 4u);
}

TEST(Dns, MaliciousRepliesAreRefused) {
  using Craft = std::function<Bytes(const Bytes& query)>;
  struct Case {
    const char* what;
    Craft craft;
  } cases[] = {
      {"truncated header", [](const Bytes& q) { return Bytes(q.begin(), q.begin() + 6); }},
      {"answer count larger than present",
       [](const Bytes& q) {
         Bytes r = reply_head(q, 2);
         record(r, 1, Bytes{127, 0, 0, 1});
         return r;
       }},
      {"data length beyond the end",
       [](const Bytes& q) {
         Bytes r = reply_head(q, 1);
         record(r, 1, Bytes{127, 0, 0, 1}, 1000);
         return r;
       }},
      {"pointer loop in the owner name",
       [](const Bytes& q) {
         Bytes r = reply_head(q, 1);
         size_t here = r.size();
         record(r, 1, Bytes{127, 0, 0, 1});
         r[here] = static_cast<uint8_t>(0xC0 | (here >> 8));
         r[here + 1] = static_cast<uint8_t>(here & 0xFF);
         return r;
       }},
      {"pointer beyond the end",
       [](const Bytes& q) {
         Bytes r = reply_head(q, 1);
         record(r, 5, Bytes{0xFF, 0xF0});
         return r;
       }},
      // Each of these carries a good address record: only the reply's own
      // header and question make it no answer.
      {"another transaction id",
       [](const Bytes& q) {
         Bytes r = reply_head(q, 1);
         r[1] ^= 0x5A;
         record(r, 1, Bytes{127, 0, 0, 66});
         return r;
       }},
      {"name error with an address",
       [](const Bytes& q) {
         Bytes r = reply_head(q, 1);
         r[3] |= 3;
         record(r, 1, Bytes{127, 0, 0, 66});
         return r;
       }},
      {"server failure with an address",
       [](const Bytes& q) {
         Bytes r = reply_head(q, 1);
         r[3] |= 2;
         record(r, 1, Bytes{127, 0, 0, 66});
         return r;
       }},
      {"the answer to another name",
       [](const Bytes& q) {
         Bytes r = reply_head(q, 1);
         r[13] = 'x';
         record(r, 1, Bytes{127, 0, 0, 66});
         return r;
       }},
      {"a query, not a reply",
       [](const Bytes& q) {
         Bytes r = reply_head(q, 1);
         r[2] &= 0x7F;
         record(r, 1, Bytes{127, 0, 0, 66});
         return r;
       }},
      {"alias of 300 bytes",
       [](const Bytes& q) {
         Bytes r = reply_head(q, 1);
         std::string name;
         for (int i = 0; i < 6; ++i) name += (i ? "." : "") + std::string(49, 'x');
         record(r, 5, label_form(name));
         return r;
       }},
  };
  for (const Case& c : cases) {
    ScriptedNameServer server([&](const Bytes& query) { return c.craft(query); });
    Scratch scratch;
    Resolved r = resolve("node.test", options_for(scratch.resolv_conf("nameserver 127.0.0.1\n"),
                                                  server.port()));
    EXPECT_EQ(r.result, 0) << c.what;
    EXPECT_EQ(r.out, "null") << c.what;
    EXPECT_EQ(server.queries().size(), 1u) << c.what;
  }
}

TEST(Dns, NoReplyEndsAfterTheWaitWithTheErrorCode) {
  ScriptedNameServer silent([](const Bytes&) { return std::nullopt; });
  Scratch scratch;
  auto start = std::chrono::steady_clock::now();
  Resolved r = resolve("node.test", options_for(scratch.resolv_conf("nameserver 127.0.0.1\n"),
                                                silent.port(), 200));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.out, "null");
  EXPECT_EQ(r.printed, "\n1) 127.0.0.1Failed. Error Code : " + std::to_string(ETIMEDOUT));
  EXPECT_EQ(silent.queries().size(), 1u) << "\"null\" is no alias to ask for";
  EXPECT_EQ(DnsOptions{}.reply_wait_ms, 3000);
}

TEST(Dns, ANameWithoutALabelFormIsNotAsked) {
  ScriptedNameServer server([](const Bytes&) { return std::nullopt; });
  Scratch scratch;
  DnsOptions options = options_for(scratch.resolv_conf("nameserver 127.0.0.1\n"), server.port());
  for (const std::string& name : {std::string(300, 'a'), std::string("a..test")}) {
    Resolved r = resolve(name, options);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.out, "null");
  }
  EXPECT_TRUE(server.queries().empty());
}

TEST(Dns, TheLoopbackGuardKeepsQueriesOnThisMachine) {
  in_addr outside{};
  ASSERT_EQ(inet_pton(AF_INET, "192.0.2.1", &outside), 1);
  if (platform::address_allowed(outside.s_addr)) GTEST_SKIP() << "built without the loopback guard";
  Scratch scratch;
  DnsOptions options = options_for(scratch.resolv_conf("nameserver 192.0.2.1\n"), 53);
  Resolved r = resolve("node.test", options);
  EXPECT_EQ(r.out, "null");
  EXPECT_EQ(r.printed, "\n1) 192.0.2.1Failed. Error Code : " + std::to_string(EHOSTUNREACH));
}

}  // namespace
}  // namespace morbs
