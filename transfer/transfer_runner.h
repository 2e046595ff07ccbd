// Who carries out the engine's transfers: the transfer library in this
// process, or in tests a stand-in that plays them without a network. The
// engine hands over the planned Transfer value and where its bytes come
// from or go; the runner never decides what a transfer is.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "platform/sftp_transfers.h"
#include "transfer/transfer.h"

namespace morbs {

using TransferEnded = std::function<void(platform::SftpOutcome)>;

class TransferRunner {
 public:
  virtual ~TransferRunner() = default;
  // Starts `transfer`, its bytes from or to `io` (descriptor, region, stall
  // time, the hook that sees each block); `ended` is called exactly once,
  // from any thread, when it is over.
  virtual void start(const Transfer& transfer, platform::SftpJob io, TransferEnded ended) = 0;

  // The places (see place_of) whose SFTP service stalled or could not be
  // reached in this run, each with what happened there: the run's later
  // transfers do not try them again.
  std::map<std::string, std::string> lost_places;
};

// The transfers of this process, side by side on the library's own thread;
// each node's connection is kept for the run's later transfers to it.
class LibraryTransfers final : public TransferRunner {
 public:
  void start(const Transfer& transfer, platform::SftpJob io, TransferEnded ended) override {
    io.upload = transfer.direction == Direction::upload;
    io.url = transfer.url;
    io.login = transfer.login;
    transfers_.start(std::move(io), std::move(ended));
  }

 private:
  platform::SftpTransfers transfers_;
};

}  // namespace morbs
