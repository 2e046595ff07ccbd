// The files the list stages hand to each other in the working directory.
// Their names are shared with the other programs and the dialog program.
#pragma once

namespace morbs {

inline constexpr const char* list_name = "list.q";
// The result of sorting, of a view and of the read selection.
inline constexpr const char* tmp_list = "tmp_list.q";
// One copy's lines, selected from the list in list order.
inline constexpr const char* tmp0_list = "tmp0_list.q";
// The basic and the second lines, newest first.
inline constexpr const char* tmp_list_0 = "tmp_list_0.q";
inline constexpr const char* tmp_list_1 = "tmp_list_1.q";
// Second lines that have no basic twin.
inline constexpr const char* tmp_list_diff = "tmp_list_diff.q";
// The records of a saving view.
inline constexpr const char* tmp_list_save = "tmp_list_save.q";
// The candidates of the read selection.
inline constexpr const char* tmp_list_r = "tmp_list_r.q";

}  // namespace morbs
