#include "peers/morbnode/sha256_stream.h"

#include <openssl/evp.h>

#include <cstdlib>

namespace morbs::node {

void Sha256Stream::Free::operator()(evp_md_ctx_st* context) const { EVP_MD_CTX_free(context); }

Sha256Stream::Sha256Stream() : context_(EVP_MD_CTX_new()) { start(); }

// A digest the node cannot take would be recorded wrong: out of memory or a
// library without SHA-256 ends the node rather than that.
void Sha256Stream::start() {
  if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1) std::abort();
}

void Sha256Stream::update(std::string_view bytes) {
  if (bytes.empty()) return;
  if (EVP_DigestUpdate(context_.get(), bytes.data(), bytes.size()) != 1) std::abort();
}

digest::Sha256Digest Sha256Stream::finish() {
  digest::Sha256Digest out{};
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(context_.get(), out.data(), &size) != 1 || size != out.size()) std::abort();
  start();
  return out;
}

}  // namespace morbs::node
