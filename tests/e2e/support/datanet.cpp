#include "tests/e2e/support/datanet.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "core/session/account.h"
#include "core/wire/op_message.h"
#include "core/wire/query_string.h"
#include "platform/tcp_socket.h"
#include "tests/e2e/support/certificate_fixture.h"
#include "tests/e2e/support/free_ports.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {

namespace fs = std::filesystem;


std::string transfers_line() {
  const char* n = std::getenv("MORBS_E2E_TRANSFERS");
  return n && *n ? "TRANSFERS=" + std::string(n) + "&\n" : std::string();
}

DataNet::DataNet(const fs::path& dir, int nodes, std::vector<std::vector<std::string>> extra,
                 std::optional<NodeHosting> hosting)
    : dir_(dir), hosting_(std::move(hosting)), base_(free_base_port({0, 1, 2, 3, 10, 11, 12, 13})), nodes_(static_cast<size_t>(nodes)) {
  extra.resize(static_cast<size_t>(nodes));
  for (int i = 0; i < nodes; ++i) start(i, extra[static_cast<size_t>(i)]);
  write_file(dir_ / "client.config",
             transfers_line() + "IP_ADDR=127.0.0.1&\nINIT_PORT_Q=" + std::to_string(base_) + "&\nTEST=1&\n");
}

DataNet::~DataNet() {
  for (auto& n : nodes_) n.stop();
}

fs::path DataNet::root(int i) const { return (hosting_ ? hosting_->roots : dir_) / ("node" + std::to_string(i + 1)); }

void DataNet::stop(int i) { nodes_.at(static_cast<size_t>(i)).stop(); }

void DataNet::start(int i, const std::vector<std::string>& extra) {
  std::vector<std::string> argv = {program("morbnode"), "--root", root(i).string(),
                                   "--sn", std::to_string(i + 1),
                                   "--port", std::to_string(query_port(i)),
                                   "--sftp-port", std::to_string(sftp_port(i)),
                                   "--user", user(i), "--password", password(i),
                                   "--log", (root(i).string() + ".log")};
  if (hosting_) {
    argv.insert(argv.begin(), hosting_->launcher.begin(), hosting_->launcher.end());
    argv.insert(argv.end(), {"--sftp-off", "--announce-sftp-port", std::to_string(hosting_->sftp_port)});
  }
  argv.insert(argv.end(), extra.begin(), extra.end());
  auto& node = nodes_.at(static_cast<size_t>(i));
  node.stop();
  if (!node.start(argv, {}, root(i).string() + ".out")) throw std::runtime_error("morbnode did not start");
  // Up when its port takes connections (a faulty node may never answer).
  for (int waited = 0; waited < 10000; waited += 20) {
    platform::TcpSocket probe;
    probe.open();
    if (probe.connect_within("127.0.0.1", query_port(i), 0, 100000)) return;
    if (!node.running()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  throw std::runtime_error("morbnode " + std::to_string(i + 1) + " is not listening");
}

std::string DataNet::request(int i, const std::string& text) const {
  std::string message = text;
  if (op_message("127.0.0.1", query_port(i), message, 0, {1, 0}) != 0) return "";
  return message;
}

std::string DataNet::log(int i) const { return read_file(root(i).string() + ".log"); }

fs::path DataNet::account_dir(int i, const std::string& id, const std::string& area) const {
  std::string path;
  make_path_pesel(id, area, path);
  return root(i) / "home" / user(i) / "MORBS-SYSTEM" / ("MORB" + std::to_string(i + 1)) / path;
}

void DataNet::store_copy(int i, const std::string& id, const std::string& area,
                         const std::string& stored_name, const std::string& content,
                         const std::string& uid32, int org) {
  const std::string resv = request(i, "OP=resv&ID=" + id + "&DISK=" + area + "&FN=" + stored_name +
                                          "&FSZ=" + std::to_string(content.size()) + "&");
  if (resv.find("STATUS=done&") == std::string::npos) throw std::runtime_error("resv: " + resv);
  write_file(account_dir(i, id, area) / stored_name, content);
  const std::string add = request(i, "OP=listfiles&SUB=add&FN=" + stored_name + "&ID=" + id +
                                         "&UID32=" + uid32 + "&ORG=" + std::to_string(org) +
                                         "&PORT=" + std::to_string(query_port(i)) + "&DISK=" + area + "&");
  if (add.find("STATUS=done&") == std::string::npos) throw std::runtime_error("add: " + add);
}

std::string DataNet::list_line(int i, const std::string& id, const std::string& area,
                               const std::string& stored_name) const {
  std::string list = read_file(account_dir(i, id, area) / "files_list.q");
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find('\n', start);
    std::string line = list.substr(start, end - start);
    std::string fn;
    if (select_value(line, "FN", fn) == 0 && fn == stored_name) return line;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return "";
}

}  // namespace morbs::e2e
