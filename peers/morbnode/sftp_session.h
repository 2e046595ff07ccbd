// One SSH connection of the SFTP service, from key exchange to close.
#pragma once

#include <filesystem>
#include <string>

struct ssh_session_struct;

namespace morbs::node {

struct Login {
  std::string user, password;
};

// Serves the session and frees it.
void run_sftp_session(ssh_session_struct* session, const Login& login,
                      const std::filesystem::path& root);

}  // namespace morbs::node
