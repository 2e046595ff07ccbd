// Everything a run of pushbox or pullbox reaches outside itself, handed down
// to whoever needs it: where it tells what it sees, how it asks the nodes,
// who moves the data, where its progress is drawn. Tests hand down scripted
// stand-ins.
#pragma once

#include "core/report/reporter.h"
#include "core/wire/node_exchange.h"
#include "transfer/progress.h"
#include "transfer/transfer_runner.h"

namespace morbs {

struct RunEnv {
  Reporter& reporter;
  NodeExchange& exchange;
  TransferRunner& transfers;
  ProgressView* progress = nullptr;  // null: no progress drawn
};

}  // namespace morbs
