// The OUT names a download may not take: a file the run itself reads or
// writes in the working directory (the list, the certificate, the
// configuration, scratch and disaster files), which the download would
// overwrite or the run remove after it, and an OUT an earlier pair of the
// same run takes, which would overwrite that download unseen.
#pragma once

#include <string>
#include <vector>

#include "core/status.h"

namespace morbs::pullbox {

// Ok when `out` may be written by this run; else why not. `earlier` are the
// OUTs of the pairs before it.
Status out_refusal(const std::string& out, const std::vector<std::string>& earlier);

}  // namespace morbs::pullbox
