#include "deskbox/frame.h"

#include <cstdio>
#include <string>

#include "core/session/account.h"
#include "core/session/certificate.h"
#include "deskbox/children.h"
#include "deskbox/one_instance.h"
#include "deskbox/tasks.h"
#include "deskbox/work_files.h"

namespace morbs::deskbox {

namespace {

// The states the frame moves through; each ends in the next or in an exit.
enum class State { start, certified, cycle, account, task };

inline const std::string text_no_access_server = "serwer kontroli dostepu nie odpowiada";
inline const std::string text_access_denied = "negatywna weryfikacja lub brak karty";
inline const std::string text_id_length = "Nazwa konta musi miec 11 znakow!";
inline const std::string text_id_invalid = "PESEL nie jest poprawny!";

// The first line of an answer.
std::string first_line(const std::string& answer) { return answer.substr(0, answer.find('\n')); }

// What the user chose at the task question.
enum class Next { new_cycle, same_account, quit };

Next run_task(const std::string& task, const std::string& id) {
  if (task == "write") task_write(id);
  else if (task == "listing") return task_list(id) ? Next::same_account : Next::new_cycle;
  else if (task == "read") task_read(id);
  else if (task == "delete") task_delete(id);
  else if (task == "lock") task_lock(id);
  else if (task == "unlock") task_unlock(id);
  else return Next::quit;  // empty, or a task deskbox does not know
  return Next::new_cycle;
}

int run_states() {
  platform::InstanceLock marker;
  State state = State::start;
  std::string id;
  for (;;) {
    switch (state) {
      case State::start: {
        // The running instance keeps the terminal and the files; this one
        // ends without a word, as written.
        if (!CheckOneInstance(marker)) return 0;
        // The console stays visible on this platform: nothing to hide.
        run_child({"gatekeep", "-local"});
        state = State::certified;
        break;
      }
      case State::certified: {
        Result<CertificateIds> ids = read_certificate();
        if (!ids) {
          show_info(text_no_access_server);
          remove_file(certificate_copy);
          say_failed("no session certificate from gatekeep: " + ids.why());
          return 0;
        }
        if (ids->local_id == "null") {
          show_info(text_access_denied);
          remove_file(certificate_copy);
          say_failed("the access card was refused");
          return 0;
        }
        state = State::cycle;
        break;
      }
      case State::cycle: {
        run_child({"pushbox", "-clear_disaster"});
        remove_file(list_file);
        state = State::account;
        break;
      }
      case State::account: {
        const std::string answer = first_line(show_task({"--account"}));
        if (answer == "null") {
          remove_file(list_file);
          remove_file(certificate_copy);
          remove_file(out_file);
          return 1;
        }
        if (answer.size() != account_id_length) {
          show_info(text_id_length);
          break;
        }
        if (!check_PESEL(answer)) {
          show_info(text_id_invalid);
          break;
        }
        id = answer;
        state = State::task;
        break;
      }
      case State::task: {
        const Next next = run_task(first_line(show_task({"--task"})), id);
        if (next == Next::quit) {
          remove_file(list_file);
          remove_file(certificate_copy);
          return 0;
        }
        state = next == Next::same_account ? State::task : State::cycle;
        break;
      }
    }
  }
}

}  // namespace

int run_frame() {
  try {
    return run_states();
  } catch (const DialogUnavailable&) {
    // No way to talk to the user: end at once, files as they are.
    say_failed("promptwin could not be started");
    return 1;
  }
}

}  // namespace morbs::deskbox
