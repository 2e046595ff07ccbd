// The six tasks deskbox offers for an account. Each runs the children it
// needs and judges the outcome only by the files they leave.
#pragma once

#include <string>

namespace morbs::deskbox {

void task_write(const std::string& id);
// True when the list was shown (the next task is for the same account).
bool task_list(const std::string& id);
void task_read(const std::string& id);
void task_delete(const std::string& id);
void task_lock(const std::string& id);
void task_unlock(const std::string& id);

// The texts of the info dialogs.
inline const std::string text_nothing_to_upload = "Nie wybrano pliku do zapisu w ARCHI";
inline const std::string text_account_empty = "Konto jest puste!";
inline const std::string text_write_problem = "Problem z zapisem!";
inline const std::string text_nothing_chosen = "Nie wybrano pliku.";
inline const std::string text_no_locked_files = "Brak plikow LOCKED!";

// Every listing task starts here: a fresh list.q from the nodes, a clear
// screen and no stale "tmp".
void fetch_list(const std::string& id);

}  // namespace morbs::deskbox
