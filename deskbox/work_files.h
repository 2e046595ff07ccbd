// The files deskbox shares with its children in the working directory.
#pragma once

#include <string>

namespace morbs::deskbox {

inline const std::string list_file = "list.q";             // written by "pullbox -list"
inline const std::string prepared_list_file = "tmp_list.q";  // the view shown by promptwin
inline const std::string scratch_file = "tmp";             // rewritten list, then promptwin's choice
inline const std::string download_dir = "TEMP";
inline const std::string certificate_copy = "crt.tmp";     // written by gatekeep
inline const std::string out_file = "out.txt";
inline const std::string upload_errors_file = "zz-test.txt";

// Removes the file if it is there; a file that is absent is no failure.
void remove_file(const std::string& name);
bool file_exists(const std::string& name);

// Pauses that give the user time to read what a child printed.
void pause_milliseconds(long ms);

}  // namespace morbs::deskbox
