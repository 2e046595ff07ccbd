// pushbox -repair ID: every piece of the account that has one good copy and
// one missing or bad copy gets a new copy, made from the good one, on a node
// that holds no copy of that piece and has the space: reserved (and kept in
// a disaster file first, as an upload does), sent, checked on the node, and
// registered under the missing copy's ORG. A bad copy's record is marked
// deleted where its node answers. Every copy is read to find them, as
// pullbox -check -deep does.
#pragma once

#include <string>

#include "core/session/settings.h"
#include "core/status.h"
#include "transfer/run_env.h"

namespace morbs::pushbox {

// Says what it restored and what it could not. Ok when every piece is
// stored twice at the end.
morbs::Status repair_account(const std::string& id, const morbs::Settings& settings, const std::string& uid32,
                             morbs::RunEnv& env);

// The local file that holds the `piece`-th good copy's bytes while it is
// copied: a part file of this run, so -clear_disaster removes it after a kill.
std::string repair_scratch_name(int piece);

}  // namespace morbs::pushbox
