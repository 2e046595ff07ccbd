// Questions to the nodes for many uploads or downloads at once: each task
// (the exchanges of one file) runs on a thread of its own, so a task waiting
// for one node never holds back another; what a task tells is held and shown
// whole, task after task in their order, as soon as the task and those
// before it are over.
#pragma once

#include <cstddef>
#include <functional>

#include "core/report/reporter.h"
#include "core/wire/node_exchange.h"

namespace morbs {

using ExchangeTask = std::function<void(size_t index, NodeExchange& exchange, Reporter& reporter)>;

// Runs task(i) for every i below `count`, at most `width` at once. An
// exchange that cannot be shared between threads (a scripted network) runs
// the tasks one after another on the caller's thread.
void run_exchange_tasks(size_t count, int width, NodeExchange& exchange, Reporter& reporter,
                        const ExchangeTask& task);

}  // namespace morbs
