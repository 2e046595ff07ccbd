// Running one transfer entry of the transfer table as a curl child, and
// cutting the parts of a split upload.
//
// curl is started by the name "curl" (searched on PATH) with an argument
// vector, never through a shell, so every value reaches it intact. Success is
// curl's exit status 0. Its standard error (the progress bar) is not captured
// and goes to the user's terminal. One call is one transfer and waits for it;
// a caller that wants several at once runs several calls.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/curl_table.h"

namespace morbs {

// How often a failing transfer is tried in all.
inline constexpr int transfer_attempts = 3;

// printf texts told after a failed attempt: the attempt, then the attempts in all.
inline constexpr const char* upload_attempt_line = "Error: upload file, attmpt[%d] from %d\n";
inline constexpr const char* download_attempt_line = "Error: download file, attmpt[%d] from %d\n";

// The file that collects the local paths of uploads that failed for good.
inline constexpr const char* upload_errors_file = "zz-errors.txt";

// Appends `text` and a line end to upload_errors_file in the current
// directory; does nothing when it cannot be opened.
void test_write(std::string_view text);

// The argument vector for one entry: curl -k URL --user LOGIN <flag> LOCAL
// <last>. `local` replaces the entry's ST8 when it is not empty. Empty when
// the entry is "null" or lacks ST4, ST6 or ST8.
std::vector<std::string> curl_arguments(std::string_view entry, std::string_view flag,
                                        std::string_view local, std::string_view last);

// Uploads entry `index` of the basic entries (copy "basic") or of the second
// entries (any other copy) from the local file `source`, the file the caller
// means to send: an entry field cannot carry a path holding "&", so the entry's
// ST8 is not used for the source. Up to three attempts, with
// "Error: upload file, attmpt[k] from 3" after each failed one when `test` is
// on. After the third failure `fname_input` (the user's path) is appended to
// zz-errors.txt. A curl that cannot be started, or an empty entry, gives -1 at
// once with "Error: incorrect arguments in the q-string" (when `test` is on).
// 0 uploaded, -1 not.
int curl_write(const TransferTable& curl_table, std::string_view copy, int index,
               const std::string& source, std::string_view fname_input, int test);

// Downloads entry `index` (copy "basic" or the second entries) into its ST8
// file, with its ST9 as the last option. `message` is "null" on success,
// "download error" after three failed attempts, "incorrect arguments in the
// q-string" when curl cannot be started or the entry is empty. 0 or -1.
int curl_read(const TransferTable& curl_table, std::string_view copy, int index,
              std::string& message, int test);

// curl_read's message for a download that failed: curl not started, or all
// its attempts failed.
const char* download_failure(bool not_started);

// Copies the next `size` bytes of `input` (from its current position) into a
// new part file `part_name` (truncated, mode 0644), so that successive calls
// cut consecutive parts. The part receives exactly the bytes read; an input
// that ends early gives -1 (after "block_read: ..." when `test` is on), as does
// a part file that cannot be created or written. 0 when all `size` bytes were
// copied.
int write_block(std::istream& input, const std::string& part_name, int64_t size, int test);

}  // namespace morbs
