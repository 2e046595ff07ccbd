#include "core/certificate.h"

#include <gtest/gtest.h>

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
    ASSERT_EQ(code_certificate(text, 0, block), 1);
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
      {"shorter than a block",
       [] { std::ofstream(certificate_file, std::ios::binary) << std::string(4095, 'x'); },
       "incorrect certificate format[1]"},
      {"id over 47 characters", [] { write_at(noon_2018_03_15, std::string(48, 'u'), "host01"); },
       "incorrect certificate format[2]"},
  };
  for (const auto& c : cases) {
    fs::remove(certificate_file);
    c.make();
    Read r = read_at(noon_2018_03_15);
    EXPECT_EQ(r.result, 0) << c.what;
    EXPECT_EQ(r.message, c.message) << c.what;
    EXPECT_EQ(r.local, "null") << c.what;
  }
}

TEST_F(Certificate, TestUidPrintsTheReason) {
  platform::TestClock clock({noon_2018_03_15, 0});
  std::string uid32 = "before";
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(test_UID(uid32, 39), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "CERTYFICATE: no created certificate\n");
  EXPECT_EQ(uid32, "before");
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
  write_at(noon_2018_03_15, std::string(40, 'u'), "host01");
  platform::TestClock clock({noon_2018_03_15, 0});
  std::string uid32;
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(test_UID(uid32, 39), 0);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(test_UID(uid32, 47), 1);
  EXPECT_EQ(uid32, std::string(40, 'u'));
}

TEST_F(Certificate, WriterRefusals) {
  std::string message;
  {
    platform::TestClock frozen({noon_2018_03_15, 0}, platform::TestClock::Mode::frozen);
    EXPECT_EQ(write_certificate("user01", "host01", message), 0);
    EXPECT_EQ(message, " system clock doesn't wwork");
    EXPECT_FALSE(fs::exists(certificate_file));
  }
  platform::TestClock clock({noon_2018_03_15, 0});
  EXPECT_EQ(write_certificate(std::string(2009, 'u'), "h", message), 0);
  EXPECT_EQ(message, " too long input string [1]");
  EXPECT_EQ(write_certificate("u", std::string(1969, 'h'), message), 0);
  EXPECT_EQ(message, " too long input string [1]");
  EXPECT_EQ(write_certificate("u", "h", message, "/nonexistent/dir/crt.tmp"), 0);
  EXPECT_EQ(message, " can't open file to write");
}

}  // namespace
}  // namespace morbs
