// pullbox -rd: one stored file, whole or in parts, back onto the local disk.
#pragma once

#include <string>

#include "core/status.h"
#include "pullbox/run.h"
#include "transfer/run_env.h"

namespace morbs::pullbox {

// Downloads the stored file `fn_read` into `fn_out`: the read flow
// (pullbox/read_flow.h) with this one file, printing the system's one-file
// texts. The lines to fetch come
// from list.q (fetched first when it cannot be read, used as it stands
// otherwise) through the read selection: one line per piece, each from its
// basic copy where the list has one. Each piece is checked on its node before
// the transfers start ("NR PART: k of fn_out"), up to TRANSFERS at once,
// written straight into its place in a file beside fn_out, and must arrive
// with exactly the size its node reported; the file then takes fn_out's name
// ("End download. SUCCESS!"). A failure leaves an existing fn_out as it was.
// Once downloading has begun, list.q and "tmp_list.q" are removed at the
// end, whatever the outcome.
Status read_command(Run& run, RunEnv& env, const std::string& id, const std::string& fn_read,
                    const std::string& fn_out);

// The query port of a list line's PORT: used as it is when it lies in
// init_port..init_port+4, else taken as an old-style port counted from
// init_port_p. 0 when the result is no port at all.
int query_port_of(const Settings& settings, const std::string& port_text);

}  // namespace morbs::pullbox
