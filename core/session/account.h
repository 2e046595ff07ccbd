// Account ids and where an account's files live on a node.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/status.h"

namespace morbs {

inline constexpr size_t account_id_length = 11;

// True when no character of the id could change a storage path or a query
// string: "/", "\\", ".", "&", "=", a blank or a control character.
bool is_safe_account_id(std::string_view id);

// Accepted, or refused with the line the program shows when verbose:
// "\nInput: id has incorrect lenght" (not 11 characters) or "\nIncoreect
// PESEL number". An all-digit id must pass the PESEL check digit; an id with
// another character is accepted unchecked, unless it is one that
// is_safe_account_id refuses.
Status check_PESEL(std::string_view id);

// 1 accepted, 0 refused, the reason printed as a line when verbose: for the
// callers that do not yet hand the reason to their reporter.
int check_PESEL(std::string_view id, int verbose);

// "ACCOUNTS/" (area "accounts") or "ACCOUNTS1/" (any other text), then the id
// cut into 2/2/2/2/2/1 directories. -1 (out untouched) unless 11 characters
// that is_safe_account_id accepts.
int make_path_pesel(std::string_view id, std::string_view area, std::string& out);

// Every character other than a digit, an ASCII letter, "." or "_" becomes
// "_". Returns the length, which does not change.
size_t parser_file_name(std::string& name);

// Appends the line and a line end (platform::append_line); 0, or -1 when it
// did not reach the file. The form the disaster journal calls.
int write_to_file(const std::string& file_name, std::string_view line);

}  // namespace morbs
