// The query port under load: silent connections, held open and reopened as
// the node closes them, never keep real requests out, and a burst of real
// requests at once is answered in full. The clients here wait generously, so
// that what is counted is the node's answering, not a client's time-out
// (bench/node_load measures with the client's own waits).
#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "core/wire/query_string.h"
#include "core/wire/scrambler.h"
#include "platform/process.h"
#include "platform/tcp_socket.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

// One exchange with waits of seconds; the decoded reply or "".
// `block` is coded beforehand: coding is not shared between threads here.
std::string exchange(int port, MessageBlock block) {
  platform::TcpSocket socket;
  if (!socket.open() || !socket.connect_within("127.0.0.1", port, 5, 0)) return "";
  socket.set_receive_timeout(30000000);
  socket.set_send_timeout(5000000);
  if (socket.send_once(block.data(), block.size()) != static_cast<long>(block.size())) return "";
  MessageBlock reply{};
  if (socket.receive_all(reply.data(), reply.size()) != static_cast<long>(reply.size())) return "";
  PlainBlock plain{};
  decodeV1(reply, 0, plain);
  return std::string(until_nul(std::string_view(plain.data(), plain.size())));
}

MessageBlock coded(const std::string& text) {
  MessageBlock block{};
  codeV1(text, 0, block);
  return block;
}

// Connections that never send a byte; each one the node closes is reopened.
class SilentCrowd {
 public:
  SilentCrowd(int port, int count) : port_(port), sockets_(static_cast<size_t>(count)) {
    for (auto& s : sockets_) open(s);
    thread_ = std::thread([this] { keep(); });
  }
  ~SilentCrowd() {
    stop_ = true;
    thread_.join();
  }
  int held() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const auto& s : sockets_) n += s.is_open();
    return n;
  }

 private:
  void open(platform::TcpSocket& s) {
    s = platform::TcpSocket();
    if (s.open() && !s.connect_within("127.0.0.1", port_, 1, 0)) s.close();
  }
  void keep() {
    while (!stop_) {
      std::vector<pollfd> polls;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& s : sockets_) polls.push_back({s.fd(), POLLIN, 0});
      }
      if (poll(polls.data(), polls.size(), 50) <= 0) continue;
      // held() counts from the test's thread while sockets are reopened here.
      std::lock_guard<std::mutex> lock(mutex_);
      for (size_t i = 0; i < polls.size() && !stop_; ++i)
        if (polls[i].revents) open(sockets_[i]);
    }
  }
  int port_;
  std::vector<platform::TcpSocket> sockets_;
  mutable std::mutex mutex_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

int answered_at_once(int port, int count) {
  std::vector<MessageBlock> blocks;
  for (int i = 0; i < count; ++i) blocks.push_back(coded("OP=timeprec&"));
  std::vector<std::string> replies(static_cast<size_t>(count));
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i)
    threads.emplace_back([&, i] { replies[i] = exchange(port, blocks[static_cast<size_t>(i)]); });
  for (auto& t : threads) t.join();
  int answered = 0;
  for (const auto& r : replies) answered += r.rfind("TIME=", 0) == 0;
  return answered;
}

TEST(NodeLoad, SilentConnectionsKeepNoRealRequestOut) {
  TempDir dir("load");
  DataNet net(dir.path(), 1);
  SilentCrowd crowd(net.query_port(0), 100);
  EXPECT_GT(crowd.held(), 90);
  int answered = 0;
  const MessageBlock test = coded("TEST=H00&");
  for (int i = 0; i < 100; ++i) answered += exchange(net.query_port(0), test) == "SN=1&";
  EXPECT_EQ(answered, 100);
  EXPECT_EQ(answered_at_once(net.query_port(0), 200), 200);
}

// Every connection slot busy with a request still arriving: a further client
// waits for a slot instead of being turned away, and is answered.
TEST(NodeLoad, ARequestBeyondEveryBusySlotWaitsAndIsAnswered) {
  TempDir dir("load");
  DataNet ports(dir.path(), 1);
  ports.stop(0);
  // Few descriptors: the node keeps 8 connections on its query port.
  platform::BackgroundProcess node;
  ASSERT_TRUE(node.start({"prlimit", "--nofile=100:100", program("morbnode"), "--root", (dir / "solo").string(),
                          "--port", std::to_string(ports.query_port(0)), "--sftp-port",
                          std::to_string(ports.sftp_port(0))},
                         {}, (dir / "solo.out").string()));
  for (int i = 0; i < 250 && ports.request(0, "TEST=H00&").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::vector<platform::TcpSocket> slow(10);
  const MessageBlock request = coded("TEST=H00&");
  for (auto& s : slow) {
    ASSERT_TRUE(s.open() && s.connect_within("127.0.0.1", ports.query_port(0), 1, 0));
    s.send_once(request.data(), 100);  // a part of the request, the rest never
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(exchange(ports.query_port(0), request), "SN=1&") << read_file(dir / "solo.out");
}

TEST(NodeLoad, ABurstOfRealRequestsIsAnsweredInFull) {
  TempDir dir("load");
  DataNet net(dir.path(), 1);
  EXPECT_EQ(answered_at_once(net.query_port(0), 200), 200);
  EXPECT_EQ(net.request(0, "TEST=H00&"), "SN=1&");
}

}  // namespace
}  // namespace morbs::e2e
