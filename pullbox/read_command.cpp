#include "pullbox/read_command.h"

#include "core/report/reporter.h"
#include "core/wire/number_text.h"
#include "pullbox/out_names.h"
#include "pullbox/read_flow.h"
#include "pullbox/read_steps.h"

namespace morbs::pullbox {

int query_port_of(const Settings& settings, const std::string& port_text) {
  const int64_t port = to_int(port_text);
  const int64_t used = port >= settings.init_port && port <= settings.init_port + 4
                           ? port
                           : port - settings.init_port_p + settings.init_port;
  return used >= 1 && used <= 65535 ? static_cast<int>(used) : 0;
}

Status read_command(Run& run, RunEnv& env, const std::string& id, const std::string& fn_read,
                    const std::string& fn_out) {
  const Settings& s = run.settings;
  Reporter& reporter = env.reporter;
  if (check_account_id(s, id) == 0) return Status::failure("incorrect account id");
  if (fn_read.size() > fn_read_limit) {
    reporter.detail_line("Incorrect lenght of file name in nodes");
    return Status::failure("the stored name is too long");
  }
  if (fn_out.size() > fn_out_limit) {
    reporter.detail_line("Incorrect lenght of local file name");
    return Status::failure("the local name is too long");
  }
  if (Status refused = out_refusal(fn_out, {}); !refused) return refused;
  return read_files(run, env, id, {WantedFile{fn_read, fn_out}}, one_file_read).front();
}

}  // namespace morbs::pullbox
