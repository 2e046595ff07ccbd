// The files of the working directory that a person, a program or the dialog
// program reads: named here once. The list stages hand each other their
// lines in memory and write none of their own.
#pragma once

namespace morbs {

// The account's list as pullbox -list gathered it.
inline constexpr const char* list_name = "list.q";
// The pieces the read selection chose, and the view deskbox shows.
inline constexpr const char* tmp_list = "tmp_list.q";
// deskbox: the view rewritten for the dialog program, then its answer.
inline constexpr const char* dialog_file = "tmp";
// deskbox: where downloads go.
inline constexpr const char* download_dir = "TEMP";
// deskbox: removed when the user ends.
inline constexpr const char* out_file = "out.txt";
// deskbox: removed before its uploads start.
inline constexpr const char* upload_test_file = "zz-test.txt";

}  // namespace morbs
