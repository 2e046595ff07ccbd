// The node's answers to the requests of the query port.
#pragma once

#include <string>

#include "peers/morbnode/node_store.h"
#include "peers/morbnode/options.h"

namespace morbs::node {

// The reply text, or the refusal literal for a malformed or unknown request.
// Not safe to call concurrently: the caller serialises.
std::string answer(NodeStore& store, const Options& options, const std::string& request);

}  // namespace morbs::node
