// dns against a real name server, started by the test on a free loopback port
// and knowing only the names the test gives it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "core/dns/dns.h"
#include "core/dns/dns_query.h"
#include "core/dns/dns_reply.h"
#include "platform/process.h"
#include "platform/udp_socket.h"

namespace morbs {
namespace {

namespace fs = std::filesystem;
const char* const server_program = "/usr/sbin/dnsmasq";

uint16_t free_udp_port() {
  platform::UdpSocket probe;
  if (probe.open() != 0 || probe.bind_loopback() != 0) return 0;
  return probe.local_port();
}

// True once the server answers a query for host.test.
bool answers(uint16_t port) {
  platform::UdpSocket socket;
  std::vector<uint8_t> query = build_query("host.test", 1);
  std::vector<uint8_t> reply;
  int error = 0;
  return socket.open() == 0 && socket.send_to("127.0.0.1", port, query) == 0 &&
         socket.receive(reply, dns_reply_limit, 100, error) > 0 &&
         read_reply(reply, query.size() - dns_header_size).result == DnsResult::address;
}

class LocalNameServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(server_program)) GTEST_SKIP() << server_program << " is not installed";
    dir_ = fs::temp_directory_path() / ("morbs_dns_server_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    // A port found free for UDP may be taken before the server binds it, or
    // be held for TCP, which the server binds too: try a good few.
    for (int attempt = 0; attempt < 10 && port_ == 0; ++attempt) {
      uint16_t port = free_udp_port();
      if (port != 0 && start(port)) port_ = port;
    }
    ASSERT_NE(port_, 0) << "the name server did not come up; see " << (dir_ / "server.log");
    resolv_conf_ = (dir_ / "resolv.conf").string();
    std::ofstream(resolv_conf_) << "nameserver 127.0.0.1\n";
  }

  void TearDown() override {
    server_.stop(2000);
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
  }

  bool start(uint16_t port) {
    std::vector<std::string> argv = {
        server_program, "--no-daemon", "--no-resolv", "--no-hosts", "--conf-file=/dev/null",
        "--pid-file=", "--listen-address=127.0.0.1", "--bind-interfaces",
        "--port=" + std::to_string(port), "--local=/test/",
        "--address=/host.test/127.0.0.5",
        // An alias whose target the server holds as a record: both in one answer.
        "--host-record=record.test,127.0.0.6", "--cname=alias.test,record.test",
        // An alias whose target is only an address rule: the alias comes alone.
        "--cname=lone.test,far.test", "--address=/far.test/127.0.0.9"};
    if (::geteuid() == 0) argv.push_back("--user=root");
    server_.stop(500);
    if (!server_.start(argv, {}, (dir_ / "server.log").string())) return false;
    for (int i = 0; i < 50; ++i) {  // up to about 5 s
      if (!server_.running()) return false;
      if (answers(port)) return true;
    }
    return false;
  }

  std::pair<int, std::string> resolve(std::string_view name) {
    DnsOptions options;
    options.resolv_conf_path = resolv_conf_;
    options.port = port_;
    options.fallback_server = "127.0.0.1";
    RecordingReporter reporter;
    Result<std::string> resolved = dns(name, reporter, options);
    EXPECT_EQ(reporter.said, "\n1) 127.0.0.1") << name;
    return {resolved ? 1 : 0, resolved ? *resolved : "null"};
  }

  fs::path dir_;
  uint16_t port_ = 0;
  std::string resolv_conf_;
  platform::BackgroundProcess server_;
};

TEST_F(LocalNameServer, ResolvesNamesAndAliases) {
  struct Case {
    const char* name;
    int result;
    const char* address;
  } cases[] = {
      {"host.test", 1, "127.0.0.5"},
      {"alias.test", 1, "127.0.0.6"},   // alias and address in one answer
      {"lone.test", 1, "127.0.0.9"},    // the alias alone: a second query for far.test
      {"none.test", 0, "null"},         // no records at all
  };
  for (const Case& c : cases) EXPECT_EQ(resolve(c.name), std::make_pair(c.result, std::string(c.address)));
}

TEST_F(LocalNameServer, ALoneAliasReallyComesAlone) {
  // What the case above relies on: the answer to lone.test is the alias only.
  std::string address, alias;
  DnsOptions options;
  options.port = port_;
  RecordingReporter reporter;
  DnsResult result = ngethostbyname("lone.test", "127.0.0.1", options, reporter, address, alias);
  EXPECT_EQ(result, DnsResult::alias);
  EXPECT_EQ(alias, "far.test");
}

}  // namespace
}  // namespace morbs
