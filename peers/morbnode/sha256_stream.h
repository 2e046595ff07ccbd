// The SHA-256 the node takes of every byte it receives: the digest of
// digest::Sha256, computed by the crypto library the SSH service already
// loads, which uses the CPU's own hashing instructions where it has them (a
// several times smaller cost per byte on the receive path).
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "core/digest/sha256.h"

struct evp_md_ctx_st;

namespace morbs::node {

class Sha256Stream {
 public:
  Sha256Stream();
  // Adds the next bytes; any split of the message gives the same digest.
  void update(std::string_view bytes);
  // The digest of everything added. The stream starts over afterwards.
  digest::Sha256Digest finish();

 private:
  struct Free {
    void operator()(evp_md_ctx_st* context) const;
  };
  void start();
  std::unique_ptr<evp_md_ctx_st, Free> context_;
};

}  // namespace morbs::node
