// Part joining: the downloaded pieces of a stored file, "<stem>_0",
// "<stem>_1", ..., appended in order into the user's file.
#pragma once

#include <cstdint>
#include <string>

namespace morbs::pullbox {

// The size of a regular file from its metadata; -1 when there is no such
// file. 64-bit: parts beyond 2 GiB are ordinary.
int64_t get_size_local_file(const std::string& path);

// Joins `count` parts into `fn_out`. Each part is copied for the size the
// file system reports before its copy and deleted once copied; part 0 is
// moved rather than copied where the file system allows. The result grows under a fresh hidden name beside `fn_out`
// and takes its name only when every part is in, so a failure leaves an
// existing `fn_out` as it was and no half-written file anywhere; the part
// that failed and all later ones stay on disk. A count of 0 makes `fn_out`
// empty. Messages only when `test` is 1:
//   "\nError: can't open file for write"     no file can be made beside fn_out
//   "\nError: can't open part - <name>\n"    a part is missing or unreadable
//   "\nread blocks: ..." / "\nwrite blocks: ..."   a failed copy
//   "\nError: can't write <fn_out>\n"        the finished file cannot take its name
// 0 when all parts were joined, -1 on the first failure.
int cat_parts(const std::string& stem, const std::string& fn_out, int count, int test);

}  // namespace morbs::pullbox
