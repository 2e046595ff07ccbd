// Nodes whose SFTP service is OpenSSH's sshd (internal-sftp), which keeps no
// digests: a copy is then judged by the digest its own list line carries. A
// flipped byte in a basic copy, of a whole file and of a part: -rd gives the
// right bytes, -check -deep names the copy, -repair mends it.
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/tcp_socket.h"
#include "tests/e2e/pullbox_fixture.h"
#include "tests/e2e/support/free_ports.h"

namespace morbs::e2e {
namespace {

namespace fs = std::filesystem;

const char* const sshd_program = "/usr/sbin/sshd";

// What a child said and how it ended; never through a shell.
platform::RunResult run_tool(const std::vector<std::string>& argv, const std::string& input = {}) {
  platform::RunOptions options;
  options.timeout_ms = 30000;
  options.merge_standard_error = true;
  options.standard_input = input;
  auto r = platform::run_process(argv, options);
  return r ? *r : platform::RunResult{};
}

// A login made for the test and removed after it, whatever happened.
class TestUser {
 public:
  TestUser()
      : name_("morbs" + std::to_string(platform::own_process_id() % 100000)), password_("pw-" + name_) {
    (void)run_tool({"/usr/sbin/userdel", "-r", name_});  // a leftover of a killed run
    made_ = run_tool({"/usr/sbin/useradd", "-m", "-d", home().string(), "-s", "/bin/sh", name_}).exit_code == 0;
    made_ = made_ && run_tool({"/usr/sbin/chpasswd"}, name_ + ":" + password_ + "\n").exit_code == 0;
    if (const passwd* pw = getpwnam(name_.c_str())) {
      uid_ = pw->pw_uid;
      gid_ = pw->pw_gid;
    } else {
      made_ = false;
    }
  }
  ~TestUser() { (void)run_tool({"/usr/sbin/userdel", "-r", "-f", name_}); }
  TestUser(const TestUser&) = delete;
  TestUser& operator=(const TestUser&) = delete;

  bool made() const { return made_; }
  const std::string& name() const { return name_; }
  const std::string& password() const { return password_; }
  fs::path home() const { return fs::path("/home") / name_; }
  // A file or directory of the test made the user's own.
  void owns(const fs::path& path) const {
    if (lchown(path.c_str(), uid_, gid_) != 0) ADD_FAILURE() << "chown " << path;
  }
  std::vector<std::string> launcher() const {
    return {"/usr/bin/setpriv", "--reuid=" + std::to_string(uid_), "--regid=" + std::to_string(gid_),
            "--clear-groups"};
  }

 private:
  std::string name_, password_;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  bool made_ = false;
};

class OpensshNodes : public PullboxTest {
 protected:
  void TearDown() override {
    net_.reset();
    sshd_.stop();
  }

  // sshd on a free loopback port with a config and host key of its own;
  // false when it does not listen within ten seconds.
  bool start_sshd(const TestUser& user) {
    // The privilege separation directory the service would make at boot.
    std::error_code ec;
    if (fs::create_directories("/run/sshd", ec)) fs::permissions("/run/sshd", fs::perms(0755), ec);
    const fs::path key = dir_ / "ssh_host_key";
    if (run_tool({"/usr/bin/ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", key.string()}).exit_code != 0)
      return false;
    for (int attempt = 0; attempt < 20; ++attempt) {
      port_ = free_port();
      dir_.write("sshd_config", "ListenAddress 127.0.0.1\nPort " + std::to_string(port_) + "\nHostKey " +
                                     key.string() + "\nPidFile " + (dir_ / "sshd.pid").string() +
                                     "\nSubsystem sftp internal-sftp\nPasswordAuthentication yes\n"
                                     "KbdInteractiveAuthentication no\nUsePAM no\nStrictModes no\n"
                                     "PermitRootLogin no\nAllowUsers " + user.name() +
                                     "\nMaxStartups 64\nMaxSessions 64\n");
      if (!sshd_.start({sshd_program, "-D", "-e", "-f", (dir_ / "sshd_config").string()}, dir_.str(),
                       (dir_ / "sshd.log").string()))
        return false;
      for (int waited = 0; waited < 10000 && sshd_.running(); waited += 50) {
        platform::TcpSocket probe;
        probe.open();
        if (probe.connect_within("127.0.0.1", port_, 0, 100000)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      sshd_.stop();  // the port was taken: another one
    }
    return false;
  }

  // Four nodes as the user, their files where sshd finds them: node i's
  // tree under ~/nodes, its MORBS-SYSTEM/MORB<i> linked from the home.
  void start_hosted_nodes(const TestUser& user) {
    const fs::path roots = user.home() / "nodes", system = user.home() / "MORBS-SYSTEM";
    fs::create_directories(roots);
    fs::create_directories(system);
    user.owns(roots);
    user.owns(system);
    for (int i = 1; i <= 4; ++i) {
      const fs::path link = system / ("MORB" + std::to_string(i));
      fs::create_directory_symlink(roots / ("node" + std::to_string(i)) / "home" / user.name() / "MORBS-SYSTEM" /
                                       ("MORB" + std::to_string(i)),
                                   link);
      user.owns(link);
    }
    nodes_ = 4;
    net_ = std::make_unique<DataNet>(dir_.path(), 4, std::vector<std::vector<std::string>>{},
                                     NodeHosting{roots, user.name(), user.password(), user.launcher(), port_});
    add_config("TMIMEOUT_SEC=3&TEST=1&\nMIN_SIZE=1000&STALL_SEC=20&\n");
  }


  platform::BackgroundProcess sshd_;
  int port_ = 0;
};

TEST_F(OpensshNodes, AFlippedByteIsFoundByTheDigestInItsListLine) {
  if (geteuid() != 0) GTEST_SKIP() << "skipped: a user for sshd can only be made as root";
  if (!fs::exists(sshd_program)) GTEST_SKIP() << "skipped: no " << sshd_program << " (openssh-server)";
  TestUser user;
  ASSERT_TRUE(user.made()) << "useradd or chpasswd failed";
  ASSERT_TRUE(start_sshd(user)) << dir_.read("sshd.log");
  start_hosted_nodes(user);

  const std::string whole = pattern(800, 21), split = pattern(5000, 22);
  const std::string whole_fn = push("whole.bin", whole), split_fn = push("split.bin", split);
  ASSERT_NE(whole_fn, "") << dir_.read("sshd.log");
  ASSERT_NE(split_fn, "");
  // Every line carries its copy's digest; the node keeps none.
  for (const std::string& fn : {whole_fn, split_fn})
    for (const std::string& line : list_lines_with(fn)) EXPECT_NE(line.find("&SHA="), std::string::npos) << line;
  EXPECT_EQ(net_->request(0, "OP=chkfile&ID=" + id + "&DISK=accounts&PFN=x&").find("SHA256"), std::string::npos);

  const fs::path whole_copy = copy_on_disk(whole_fn, "0"), part_copy = copy_on_disk(split_fn + ":1", "0");
  ASSERT_FALSE(whole_copy.empty());
  ASSERT_FALSE(part_copy.empty());
  flip_byte(whole_copy, 100);
  flip_byte(part_copy, 7);

  std::string out;
  fs::remove(dir_ / "list.q");
  EXPECT_EQ(exit_of("pullbox", {"-rd", id, whole_fn, "whole.out", split_fn, "split.out"}, out), 0) << out;
  EXPECT_EQ(dir_.read("whole.out"), whole) << out;
  EXPECT_EQ(dir_.read("split.out"), split) << out;
  EXPECT_EQ(count_of(out, "is not what its node recorded"), 2u) << out;
  EXPECT_EQ(out.find("checked by size only"), std::string::npos) << out;

  EXPECT_NE(exit_of("pullbox", {"-check", id, "-deep"}, out), 0) << out;
  EXPECT_NE(out.find(whole_fn + ": basic copy, node"), std::string::npos) << out;
  EXPECT_NE(out.find(split_fn + ": part 2 basic copy, node"), std::string::npos) << out;
  EXPECT_EQ(count_of(out, "its bytes differ from its node's digest"), 2u) << out;
  EXPECT_EQ(out.find("digests were not available"), std::string::npos) << out;

  EXPECT_EQ(exit_of("pushbox", {"-repair", id}, out), 0) << out;
  EXPECT_NE(out.find("restored: " + whole_fn + " basic copy"), std::string::npos) << out;
  EXPECT_NE(out.find("restored: " + split_fn + ":1 basic copy"), std::string::npos) << out;
  EXPECT_EQ(exit_of("pullbox", {"-check", id, "-deep"}, out), 0) << out;
}

}  // namespace
}  // namespace morbs::e2e
