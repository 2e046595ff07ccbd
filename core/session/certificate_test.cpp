#include "core/session/certificate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "platform/clock.h"

namespace morbs {
namespace {

namespace fs = std::filesystem;

constexpr int64_t day = 86400;
constexpr int64_t noon_2018_03_15 = 1521115200;

// Each test in a directory of its own, on UTC days, with time in its hands.
class Certificate : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    previous_ = fs::current_path();
    dir_ = fs::temp_directory_path() / ("morbs_cert_" + std::to_string(std::random_device{}()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }
  static std::string write_at(int64_t when, std::string_view local, std::string_view second) {
    platform::TestClock clock({when, 0});
    std::string message;
    write_certificate(local, second, message);
    return message;
  }
  static void code_text_at(int64_t when, const std::string& text) {
    platform::TestClock clock({when, 0});
    CertificateBlock block{};
    ASSERT_TRUE(code_certificate(text, 0, block));
    std::ofstream(certificate_file, std::ios::binary)
        .write(reinterpret_cast<const char*>(block.data()), block.size());
  }
  struct Read {
    int result;
    std::string local, second, message;
  };
  static Read read_at(int64_t when) {
    platform::TestClock clock({when, 0});
    Read r;
    r.result = read_certificate(r.local, r.second, r.message);
    return r;
  }
  fs::path previous_, dir_;
};

TEST_F(Certificate, WrittenAndReadOnTheSameDay) {
  EXPECT_EQ(write_at(noon_2018_03_15, "user01", "host01"), "null");
  EXPECT_EQ(fs::file_size(certificate_file), 4096u);
  Read r = read_at(noon_2018_03_15 + 3600);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.local, "user01");
  EXPECT_EQ(r.second, "host01");
  EXPECT_EQ(r.message, "null");
}

TEST_F(Certificate, TwoWritesDifferYetEachDecodes) {
  write_at(noon_2018_03_15, "user01", "host01");
  std::ifstream a_in(certificate_file, std::ios::binary);
  std::string a((std::istreambuf_iterator<char>(a_in)), {});
  write_at(noon_2018_03_15 + 5, "user01", "host01");
  std::ifstream b_in(certificate_file, std::ios::binary);
  std::string b((std::istreambuf_iterator<char>(b_in)), {});
  size_t same = 0;
  for (size_t i = 0; i < a.size(); ++i) same += a[i] == b[i];
  EXPECT_LT(same, a.size() / 10);
  EXPECT_EQ(read_at(noon_2018_03_15 + 10).result, 1);
}

TEST_F(Certificate, RefusalsAndTheirReasons) {
  struct Case {
    const char* what;
    std::function<void()> make;
    const char* message;
  };
  const Case cases[] = {
      {"missing", [] {}, "no created certificate"},
      {"yesterday", [] { write_at(noon_2018_03_15 - day, "user01", "host01"); },
       "incorrect certificate format[1]"},
      {"GTIME of another day",
       [] { code_text_at(noon_2018_03_15, "GTIME=" + std::to_string(noon_2018_03_15 - day) +
                                              "&UIDP_LOC=user01&UIDP_CEN=host01&"); },
       "outdated certificate"},
      {"no UIDP_CEN",
       [] { code_text_at(noon_2018_03_15, "GTIME=" + std::to_string(noon_2018_03_15) + "&UIDP_LOC=user01&"); },
       "incorrect certificate format[2]"},
      {"no UIDP_LOC",
       [] { code_text_at(noon_2018_03_15, "GTIME=" + std::to_string(noon_2018_03_15) + "&UIDP_CEN=host01&"); },
       "incorrect certificate format[2]"},
      {"empty file", [] { std::ofstream(certificate_file, std::ios::binary); },
       "incorrect certificate format[1]"},
      // The text sits in the first pairs, so only the size check refuses it.
      {"good certificate cut by one byte",
       [] {
         write_at(noon_2018_03_15, "user01", "host01");
         fs::resize_file(certificate_file, 4095);
       },
       "incorrect certificate format[1]"},
      {"local id over 47 characters", [] { write_at(noon_2018_03_15, std::string(48, 'u'), "host01"); },
       "incorrect certificate format[2]"},
      {"second id over 47 characters", [] { write_at(noon_2018_03_15, "user01", std::string(48, 'h')); },
       "incorrect certificate format[2]"},
  };
  for (const auto& c : cases) {
    fs::remove(certificate_file);
    c.make();
    Read r = read_at(noon_2018_03_15);
    EXPECT_EQ(r.result, 0) << c.what;
    EXPECT_EQ(r.message, c.message) << c.what;
    EXPECT_EQ(r.local, "null") << c.what;
    EXPECT_EQ(r.second, "null") << c.what;
  }
}

TEST_F(Certificate, IdsUpToTheirFieldsPass) {
  write_at(noon_2018_03_15, std::string(47, 'u'), std::string(47, 'h'));
  Read r = read_at(noon_2018_03_15);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.local, std::string(47, 'u'));
  EXPECT_EQ(r.second, std::string(47, 'h'));
}

TEST_F(Certificate, ALongTextIsCutTo2047Characters) {
  platform::TestClock clock({noon_2018_03_15, 0});
  CertificateBlock block{};
  ASSERT_TRUE(code_certificate(std::string(3000, 'x'), 0, block));
  CertificatePlain plain{};
  decode_certificate(block, 0, plain);
  EXPECT_EQ(std::string(plain.data(), 2047), std::string(2047, 'x'));
  EXPECT_EQ(plain[2047], '\0');
}

TEST_F(Certificate, DayKeys) {
  uint32_t key = 0;
  {
    platform::TestClock clock({noon_2018_03_15, 0});
    EXPECT_TRUE(key_certificate(key));
    EXPECT_EQ(key, (11u * 74 + 37u * (118 + 5) + 2) * 1013);
  }
  EXPECT_TRUE(time_certificate(noon_2018_03_15 - 12 * 3600, key));  // same day, midnight
  uint32_t same_day = 0;
  time_certificate(noon_2018_03_15 + 12 * 3600 - 1, same_day);
  EXPECT_EQ(key, same_day);
  time_certificate(noon_2018_03_15 + 12 * 3600, same_day);
  EXPECT_NE(key, same_day);
  EXPECT_FALSE(time_certificate(-1, key));
  EXPECT_EQ(key, 20170523u);
  platform::TestClock broken({noon_2018_03_15, 0}, platform::TestClock::Mode::broken);
  key = 0;
  EXPECT_FALSE(key_certificate(key));
  EXPECT_EQ(key, 20170523u);
}

TEST_F(Certificate, NoiseNeedsAClockThatAdvances) {
  std::array<uint8_t, 64> buffer{};
  buffer.fill(0xEE);
  for (auto mode : {platform::TestClock::Mode::frozen, platform::TestClock::Mode::broken}) {
    platform::TestClock clock({noon_2018_03_15, 0}, mode);
    EXPECT_FALSE(noise_gen1(buffer.data(), buffer.size()));
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xEE), 64);
  }
  platform::TestClock clock({noon_2018_03_15, 0});
  EXPECT_TRUE(noise_gen1(buffer.data(), buffer.size()));
  EXPECT_LT(std::count(buffer.begin(), buffer.end(), 0xEE), 64);
  for (uint8_t b : buffer) EXPECT_LT(b, 255);
  EXPECT_EQ(clock.get().seconds, noon_2018_03_15 + 1);  // one second of sleep
}

TEST_F(Certificate, TestUidPrintsTheReason) {
  platform::TestClock clock({noon_2018_03_15, 0});
  std::string uid32 = "before";
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(test_UID(uid32, 39), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "CERTYFICATE: no created certificate\n");
  EXPECT_EQ(uid32, "before");
}

TEST_F(Certificate, TheSessionIdentityOrTheLineThatSaysWhyNot) {
  {
    platform::TestClock clock({noon_2018_03_15, 0});
    EXPECT_EQ(test_UID(39).why(), "CERTYFICATE: no created certificate");
  }
  write_at(noon_2018_03_15, "user01", "host01");
  platform::TestClock clock({noon_2018_03_15, 0});
  Result<std::string> uid = test_UID(39);
  ASSERT_TRUE(uid.ok()) << uid.why();
  EXPECT_EQ(*uid, "user01");
  Result<CertificateIds> ids = read_certificate();
  ASSERT_TRUE(ids.ok()) << ids.why();
  EXPECT_EQ(ids->second_id, "host01");
  EXPECT_EQ(test_UID(5).why(), "CERTYFICATE: incorrect certificate format[2]");
}

TEST_F(Certificate, ALocalIdNullPassesTheReaderButNotTheSession) {
  write_at(noon_2018_03_15, "null", "host01");
  EXPECT_EQ(read_at(noon_2018_03_15).result, 1);
  platform::TestClock clock({noon_2018_03_15, 0});
  std::string uid32;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(test_UID(uid32, 39), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "incorrect certyficate\n");
}

TEST_F(Certificate, TheSessionIdentityIsBoundedByItsField) {
  struct Case {
    size_t length, limit;
    int result;
    const char* printed;
  };
  const Case cases[] = {
      {39, 39, 1, ""},
      {40, 39, 0, "CERTYFICATE: incorrect certificate format[2]\n"},
      {47, 47, 1, ""},
      {48, 47, 0, "CERTYFICATE: incorrect certificate format[2]\n"},
  };
  for (const auto& c : cases) {
    const std::string id(c.length, 'u');
    write_at(noon_2018_03_15, id, "host01");
    platform::TestClock clock({noon_2018_03_15, 0});
    std::string uid32 = "before";
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(test_UID(uid32, c.limit), c.result) << c.length;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed) << c.length;
    EXPECT_EQ(uid32, c.result ? id : "before") << c.length;
  }
}

TEST_F(Certificate, WriterRefusals) {
  std::string message;
  {
    platform::TestClock frozen({noon_2018_03_15, 0}, platform::TestClock::Mode::frozen);
    EXPECT_EQ(write_certificate("user01", "host01", message), 0);
    EXPECT_EQ(message, " system clock doesn't wwork");
    EXPECT_FALSE(fs::exists(certificate_file));
  }
  {
    platform::TestClock broken({noon_2018_03_15, 0}, platform::TestClock::Mode::broken);
    EXPECT_EQ(write_certificate("user01", "host01", message), 0);
    EXPECT_EQ(message, " system clock doesn't wwork");
    EXPECT_FALSE(fs::exists(certificate_file));
  }
  platform::TestClock clock({noon_2018_03_15, 0});
  EXPECT_EQ(write_certificate(std::string(2008, 'u'), std::string(1968, 'h'), message), 1);
  EXPECT_EQ(message, "null");
  EXPECT_EQ(write_certificate(std::string(2009, 'u'), "h", message), 0);
  EXPECT_EQ(message, " too long input string [1]");
  EXPECT_EQ(write_certificate("u", std::string(1969, 'h'), message), 0);
  EXPECT_EQ(message, " too long input string [1]");
  EXPECT_EQ(write_certificate("u", "h", message, "/nonexistent/dir/crt.tmp"), 0);
  EXPECT_EQ(message, " can't open file to write");
}

}  // namespace
}  // namespace morbs
