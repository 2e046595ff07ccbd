#include "pullbox/run.h"

#include <cstdio>

#include "core/session/account.h"

namespace morbs::pullbox {

void print_usage(const Settings& settings) {
  if (settings.test == 1) std::puts("USE: pullbox -h ");
}

int check_account_id(const Settings& settings, const std::string& id) {
  if (id.size() != account_id_length) {
    std::puts("Incorrect lenght of id-account");
    return 0;
  }
  if (const Status checked = check_PESEL(id); !checked) {
    std::puts(checked.why().c_str());
    print_usage(settings);
    return 0;
  }
  return 1;
}

int other_data_network() { return 0; }

}  // namespace morbs::pullbox
