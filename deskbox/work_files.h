// The files deskbox shares with its children in the working directory, by
// the names the list code gives them.
#pragma once

#include <string>

#include "core/session/certificate.h"
#include "lists/work_files.h"
#include "platform/regular_file.h"

namespace morbs::deskbox {

inline const std::string list_file = list_name;              // written by "pullbox -list"
inline const std::string prepared_list_file = tmp_list;      // the view shown by promptwin
inline const std::string scratch_file = dialog_file;         // rewritten list, then promptwin's choice
inline const std::string download_dir = morbs::download_dir;
inline const std::string certificate_copy = certificate_file;  // written by gatekeep
inline const std::string out_file = morbs::out_file;
inline const std::string upload_errors_file = upload_test_file;

using platform::remove_file;
bool file_exists(const std::string& name);

// Pauses that give the user time to read what a child printed.
void pause_milliseconds(long ms);

}  // namespace morbs::deskbox
