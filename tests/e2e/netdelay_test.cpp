// The forwarding proxy that shapes a local data network: the delay each way,
// a stream that keeps its rate while it arrives late, one rate shared by all
// connections. The bounds are loose on purpose: the delay can only add time,
// so lower bounds are firm, while upper bounds allow for a loaded machine.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/loopback_listener.h"
#include "platform/process.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

using Clock = std::chrono::steady_clock;

long ms_since(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

bool send_all(int fd, const std::string& data) {
  for (size_t sent = 0; sent < data.size();) {
    const long n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Up to `size` bytes, fewer at the end of the stream or on an error.
std::string receive(int fd, size_t size) {
  std::string out;
  std::vector<char> buffer(64 * 1024);
  while (out.size() < size) {
    const long n = ::recv(fd, buffer.data(), std::min(buffer.size(), size - out.size()), 0);
    if (n <= 0) break;
    out.append(buffer.data(), static_cast<size_t>(n));
  }
  return out;
}

// The proxy's target. A connection that starts with 'E' gets back what it
// sends after that; one that starts with 'S' is swallowed and, at its end, answered
// with the count of bytes it carried.
class TestTarget {
 public:
  TestTarget() {
    if (!listener_.listen(0)) throw std::runtime_error("no port for the target");
    thread_ = std::thread([this] { serve(); });
  }
  ~TestTarget() {
    stop_ = true;
    thread_.join();
    for (auto& t : handlers_) t.join();
  }
  int port() const { return listener_.port(); }

 private:
  void serve() {
    while (!stop_) {
      auto client = listener_.accept(50);
      if (client) handlers_.emplace_back(handle, std::move(*client));
    }
  }
  static void handle(platform::TcpSocket client) {
    // A test that goes wrong still ends.
    client.set_receive_timeout(10 * 1000000L);
    client.set_send_timeout(10 * 1000000L);
    const std::string mode = receive(client.fd(), 1);
    std::vector<char> buffer(256 * 1024);
    size_t count = mode.size();
    for (;;) {
      const long n = ::recv(client.fd(), buffer.data(), buffer.size(), 0);
      if (n <= 0) break;
      count += static_cast<size_t>(n);
      if (mode == "E" && !send_all(client.fd(), std::string(buffer.data(), static_cast<size_t>(n))))
        break;
    }
    if (mode == "S") send_all(client.fd(), std::to_string(count));
  }

  platform::LoopbackListener listener_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::vector<std::thread> handlers_;
};

int free_port() {
  platform::LoopbackListener probe;
  if (!probe.listen(0)) throw std::runtime_error("no free port");
  return probe.port();
}

// netdelay forwarding a free port to `target_port`, up once it says it listens.
class Proxy {
 public:
  Proxy(const TempDir& dir, int target_port, std::vector<std::string> options)
      : port_(free_port()), log_(dir / ("netdelay" + std::to_string(port_) + ".out")) {
    std::vector<std::string> argv = {program("netdelay")};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(std::to_string(port_) + ":" + std::to_string(target_port));
    if (!process_.start(argv, {}, log_.string())) throw std::runtime_error("netdelay did not start");
    for (int waited = 0; waited < 10000; waited += 20) {
      if (read_file(log_).starts_with("netdelay: forwarding")) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("netdelay does not listen: " + read_file(log_));
  }
  ~Proxy() { process_.stop(); }

  platform::TcpSocket connect() const {
    platform::TcpSocket s;
    s.open();
    if (!s.connect_within("127.0.0.1", port_, 5, 0)) throw std::runtime_error("cannot reach netdelay");
    s.set_receive_timeout(10 * 1000000L);
    s.set_send_timeout(10 * 1000000L);
    return s;
  }

 private:
  int port_;
  std::filesystem::path log_;
  platform::BackgroundProcess process_;
};

TEST(Netdelay, HoldsEveryExchangeBackItsDelayEachWay) {
  struct Case {
    std::vector<std::string> options;
    long first_at_least, next_at_least;  // ms, for the first exchange and a later one
  };
  const Case cases[] = {
      {{"--delay-ms", "100"}, 200, 200},
      {{"--delay-ms", "100", "--handshake"}, 400, 200},  // the connection's round trip first
      {{}, 0, 0},
  };
  TempDir dir("netdelay");
  TestTarget target;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.options));
    Proxy proxy(dir, target.port(), c.options);
    auto start = Clock::now();
    platform::TcpSocket s = proxy.connect();
    ASSERT_TRUE(send_all(s.fd(), "Eping"));
    EXPECT_EQ(receive(s.fd(), 4), "ping");
    const long first = ms_since(start);
    start = Clock::now();
    ASSERT_TRUE(send_all(s.fd(), "pong"));
    EXPECT_EQ(receive(s.fd(), 4), "pong");
    const long next = ms_since(start);
    EXPECT_GE(first, c.first_at_least);
    EXPECT_LT(first, c.first_at_least + 2000);
    EXPECT_GE(next, c.next_at_least);
    EXPECT_LT(next, c.next_at_least + 2000);
  }
}

// Held back, not slowed down: 32 MiB through a 100 ms delay take about the
// delay longer than without it, where a pause for every read would take
// seconds.
TEST(Netdelay, AStreamKeepsItsRateWhileItArrivesLate) {
  TempDir dir("netdelay");
  TestTarget target;
  Proxy proxy(dir, target.port(), {"--delay-ms", "100"});
  const std::string data = "S" + std::string(32 * 1024 * 1024, 'x');
  const auto start = Clock::now();
  platform::TcpSocket s = proxy.connect();
  ASSERT_TRUE(send_all(s.fd(), data));
  ::shutdown(s.fd(), SHUT_WR);
  EXPECT_EQ(receive(s.fd(), 64), std::to_string(data.size()));  // every byte, then the end
  const long elapsed = ms_since(start);
  EXPECT_GE(elapsed, 200);
  EXPECT_LT(elapsed, 5000);
}

// 3 MB at 16 Mbit/s (2 MB/s) take 1.5 s, on one connection or on two at
// once; and two share it fairly, so neither is through at half time.
TEST(Netdelay, AllConnectionsTogetherShareOneRate) {
  constexpr size_t total = 3000000;
  for (int connections : {1, 2}) {
    SCOPED_TRACE(connections);
    TempDir dir("netdelay");
    TestTarget target;
    Proxy proxy(dir, target.port(), {"--rate-mbit", "16"});
    const size_t each = total / static_cast<size_t>(connections);
    std::vector<std::string> replies(static_cast<size_t>(connections));
    std::vector<long> finished_ms(static_cast<size_t>(connections), 0);
    std::vector<std::thread> senders;
    const auto start = Clock::now();
    for (int k = 0; k < connections; ++k)
      senders.emplace_back([&, k] {
        try {
          platform::TcpSocket s = proxy.connect();
          if (!send_all(s.fd(), "S" + std::string(each - 1, 'r'))) return;
          ::shutdown(s.fd(), SHUT_WR);
          replies[static_cast<size_t>(k)] = receive(s.fd(), 64);
          finished_ms[static_cast<size_t>(k)] = ms_since(start);
        } catch (const std::exception&) {
          // The reply stays empty, which the test reports.
        }
      });
    for (auto& t : senders) t.join();
    const long elapsed = ms_since(start);
    for (const std::string& reply : replies) EXPECT_EQ(reply, std::to_string(each));
    EXPECT_GE(elapsed, 1400);  // 1.5 s less the bucket's small start
    EXPECT_LT(elapsed, 6000);
    for (long ms : finished_ms) EXPECT_GE(ms, 1200);
  }
}

// The client's connect succeeds (the proxy accepts at once), so a target that
// is gone shows as a reset connection, soon.
TEST(Netdelay, AConnectionToATargetThatIsGoneEndsAtOnce) {
  TempDir dir("netdelay");
  Proxy proxy(dir, free_port(), {"--delay-ms", "20", "--handshake"});
  const auto start = Clock::now();
  platform::TcpSocket s = proxy.connect();
  send_all(s.fd(), "Ehello");
  char byte = 0;
  EXPECT_LE(::recv(s.fd(), &byte, 1, 0), 0);
  EXPECT_LT(ms_since(start), 5000);
}

}  // namespace
}  // namespace morbs::e2e
