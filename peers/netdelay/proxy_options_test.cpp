#include "peers/netdelay/proxy_options.h"

#include <gtest/gtest.h>

namespace morbs::netdelay {
namespace {

TEST(ProxyOptions, ReadsTheForwardsAndTheLinksShape) {
  std::string error;
  auto o = parse_proxy_options({"--delay-ms", "10", "--rate-mbit", "2.5", "--handshake",
                                "--buffer-kib", "128", "9201:9251", "9301:9351"},
                               error);
  ASSERT_TRUE(o) << error;
  ASSERT_EQ(o->forwards.size(), 2u);
  EXPECT_EQ(o->forwards[1].listen_port, 9301);
  EXPECT_EQ(o->forwards[1].target_port, 9351);
  EXPECT_EQ(o->delay_ms, 10);
  EXPECT_EQ(o->rate_mbit, 2.5);
  EXPECT_TRUE(o->handshake);
  EXPECT_EQ(o->buffer_bytes, 128u * 1024);
}

TEST(ProxyOptions, DefaultsToAPlainForward) {
  std::string error;
  auto o = parse_proxy_options({"1:2"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->delay_ms, 0);
  EXPECT_FALSE(o->rate_mbit);
  EXPECT_FALSE(o->handshake);
}

TEST(ProxyOptions, RefusesWhatItCannotDoSafely) {
  const std::vector<std::vector<std::string>> refused = {
      {},                                   // nothing to forward
      {"9201"},                             // no target
      {"9201:"}, {":9251"}, {"0:9251"}, {"9201:65536"}, {"9201:92x1"},
      {"10.0.0.4:9251"},                    // ports only: the proxy speaks to loopback alone
      {"9201:9251", "9201:9252"},           // one port twice
      {"9201:9201"},                        // into itself
      {"9201:9202", "9202:9201"},           // round in a circle
      {"--delay-ms", "-1", "1:2"}, {"--delay-ms", "60001", "1:2"}, {"--delay-ms"},
      {"--rate-mbit", "0", "1:2"}, {"--rate-mbit", "nan", "1:2"}, {"--rate-mbit", "1e9", "1:2"},
      {"--buffer-kib", "1", "1:2"}, {"--buffer-kib", "999999999", "1:2"},
      {"--latency", "5", "1:2"},            // not an option of ours
  };
  for (const auto& args : refused) {
    std::string error;
    EXPECT_FALSE(parse_proxy_options(args, error)) << ::testing::PrintToString(args);
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace morbs::netdelay
