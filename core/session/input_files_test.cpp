// The input files of core (certificate, client.config, the name-server
// configuration) are read only when they are regular files: a FIFO must not
// hold a program, a device must not feed it endless bytes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <random>
#include <string>

#include "core/session/certificate.h"
#include "core/session/config.h"
#include "core/dns/name_servers.h"

namespace morbs {
namespace {

namespace fs = std::filesystem;

enum class Kind { fifo, directory, link_to_zero_device, null_device_link };

const char* name_of(Kind k) {
  switch (k) {
    case Kind::fifo: return "FIFO";
    case Kind::directory: return "directory";
    case Kind::link_to_zero_device: return "link to /dev/zero";
    case Kind::null_device_link: return "link to /dev/null";
  }
  return "?";
}

class InputFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("morbs_input_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string make(Kind kind, const std::string& name) {
    const fs::path p = dir_ / (std::to_string(static_cast<int>(kind)) + "_" + name);
    switch (kind) {
      case Kind::fifo: EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0); break;
      case Kind::directory: fs::create_directory(p); break;
      case Kind::link_to_zero_device: fs::create_symlink("/dev/zero", p); break;
      case Kind::null_device_link: fs::create_symlink("/dev/null", p); break;
    }
    return p.string();
  }

  // Runs `read` with a bound: should it hang on a FIFO, a writer is opened
  // and closed so that it ends, and the test fails instead of hanging.
  static void bounded(const std::string& path, const std::function<void()>& read) {
    auto done = std::async(std::launch::async, read);
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return;
    ADD_FAILURE() << path << " held its reader";
    int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
    done.wait();
  }

  fs::path dir_;
};

const Kind every_kind[] = {Kind::fifo, Kind::directory, Kind::link_to_zero_device,
                           Kind::null_device_link};

TEST_F(InputFiles, ACertificateThatIsNoRegularFileIsNone) {
  for (Kind kind : every_kind) {
    SCOPED_TRACE(name_of(kind));
    const std::string path = make(kind, "crt.tmp");
    int result = -1;
    std::string local, second, message;
    bounded(path, [&] { result = read_certificate(local, second, message, path); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(message, "no created certificate");
    EXPECT_EQ(local, "null");
  }
}

TEST_F(InputFiles, AConfigurationThatIsNoRegularFileKeepsTheDefaults) {
  for (Kind kind : every_kind) {
    SCOPED_TRACE(name_of(kind));
    const std::string path = make(kind, "client.config");
    Settings s = Settings::defaults(Program::erasebox);
    int result = 0;
    bounded(path, [&] { result = read_config(s, path); });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(s.ip_addr, "10.0.0.4");
    EXPECT_EQ(s.init_port, 9201);
  }
}

TEST_F(InputFiles, ANameServerFileThatIsNoRegularFileListsNone) {
  for (Kind kind : every_kind) {
    SCOPED_TRACE(name_of(kind));
    const std::string path = make(kind, "resolv.conf");
    std::vector<std::string> servers{"unchanged"};
    RecordingReporter listed;
    bounded(path, [&] { servers = RetrieveDnsServersFromRegistry(path, listed); });
    EXPECT_EQ(listed.said, "");
    EXPECT_TRUE(servers.empty());
  }
}

}  // namespace
}  // namespace morbs
