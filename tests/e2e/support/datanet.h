// A local data network for one test: morbnode processes on free loopback
// ports (node i: SN i+1, query port base+i, SFTP port base+10+i, login
// nodeI:passI), each with its root under the test's directory.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"

namespace morbs::e2e {

// The first line of every client.config the tests write: "TRANSFERS=N&"
// when MORBS_E2E_TRANSFERS is set (so that the transfer tests can be run
// with several transfers at once), else nothing. A later line of a test
// that sets TRANSFERS itself wins.
std::string transfers_line();

// Nodes whose files another SFTP service serves: each node runs under
// `launcher` (e.g. as the service's login user) with its root at
// roots/node<i+1>, every node with the one login, its own SFTP off and
// `sftp_port` told to clients.
struct NodeHosting {
  std::filesystem::path roots;
  std::string user, password;
  std::vector<std::string> launcher;
  int sftp_port = 0;
};

class DataNet {
 public:
  // Starts `nodes` nodes; `extra[i]` are further options of node i (fault
  // switches, capacities). Writes client.config for loopback into `dir`.
  DataNet(const std::filesystem::path& dir, int nodes = 4,
          std::vector<std::vector<std::string>> extra = {}, std::optional<NodeHosting> hosting = std::nullopt);
  ~DataNet();

  int base_port() const { return base_; }
  int query_port(int i) const { return base_ + i; }
  int sftp_port(int i) const { return base_ + 10 + i; }
  std::string user(int i) const { return hosting_ ? hosting_->user : "node" + std::to_string(i + 1); }
  std::string password(int i) const { return hosting_ ? hosting_->password : "pass" + std::to_string(i + 1); }
  std::filesystem::path root(int i) const;

  void stop(int i);
  // (Re)starts node i with these further options; waits until it answers.
  void start(int i, const std::vector<std::string>& extra = {});

  // One exchange with node i; the reply, or "" when the exchange failed.
  std::string request(int i, const std::string& text) const;
  // The requests node i received, one per line.
  std::string log(int i) const;

  std::filesystem::path account_dir(int i, const std::string& id, const std::string& area) const;
  // Stores a copy the way an upload does: reservation, the data, registration.
  void store_copy(int i, const std::string& id, const std::string& area, const std::string& stored_name,
                  const std::string& content, const std::string& uid32, int org);
  // The list line of that copy, as a pullbox-fetched list.q carries it.
  std::string list_line(int i, const std::string& id, const std::string& area,
                        const std::string& stored_name) const;

 private:
  std::filesystem::path dir_;
  std::optional<NodeHosting> hosting_;
  int base_ = 0;
  std::vector<platform::BackgroundProcess> nodes_;
};

}  // namespace morbs::e2e
