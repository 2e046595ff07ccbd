#include "lists/listed_digest.h"

#include <gtest/gtest.h>

#include "lists/get_q_string_for_read.h"
#include "lists/list_test_support.h"
#include "lists/print_list.h"
#include "lists/sorting_list.h"

namespace morbs {
namespace {

const std::string sha = "2cf24dba5fb0a30e26e83b2ac5b9e29e1b161e5c1fa7425e73043362938b9824";

TEST(ListedDigest, TakenOnlyAsAFieldOfItsOwn) {
  const std::string head = "OP=listfiles&SUB=add&FN=1514764800000000005:a.bin&ID=00010100008&ORG=0&";
  struct Case {
    std::string line;
    std::optional<std::string> digest;
  } cases[] = {
      {head + "SHA=" + sha + "&CURR=ishere&", sha},
      {head + "CURR=ishere&SHA=" + sha + "&", sha},
      {head + "CURR=ishere&", std::nullopt},
      {head + "SHA=" + sha.substr(1) + "&", std::nullopt},                    // 63 digits
      {head + "SHA=" + sha + "0&", std::nullopt},                             // 65
      {head + "SHA=2CF24DBA" + sha.substr(8) + "&", std::nullopt},            // upper case
      {head + "SHA=" + sha, std::nullopt},                                    // not closed
      {head + "SHA=" + sha + "&SHA=" + sha + "&", std::nullopt},              // twice
      {head + "SHA256=" + sha + "&", std::nullopt},                           // the node's key
      {head + "XSHA=" + sha + "&", std::nullopt},                             // a longer key
      // A name that holds the text is a name, not a digest.
      {"OP=listfiles&SUB=add&FN=1:xSHA=" + sha + "&ORG=0&", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(listed_digest(c.line), c.digest) << c.line;
}

TEST(ListedDigest, StrippedTheLineIsAsWritten) {
  const std::string written = "OP=listARCHI&SUB=add&ID=00010100008&DISK=accounts&FN=1:a&DIRF=auto&ORG=1&PORT=9202&";
  EXPECT_EQ(without_listed_digest(written + "SHA=" + sha + "&"), written);
  EXPECT_EQ(without_listed_digest(written + "SHA=" + sha + "&DATE=20180315 14:05:09&"),
            written + "DATE=20180315 14:05:09&");
  EXPECT_EQ(without_listed_digest(written), written);
}

// One list of whole files and parts, the same with and without a digest in
// each line (where the node keeps it: before its flag and date): every reader
// of list.q takes the same lines and shows the same records, and no name
// matches the digest's text.
TEST(ListedDigest, EveryListReaderTakesLinesWithOrWithoutIt) {
  using test::Entry;
  const std::vector<Entry> entries = {
      {"1514764800000000005:report.pdf", "0"},
      {"1514764800000000005:report.pdf", "1", "locked", "20180316 10:00:00", 9202, "accounts1"},
      {"1514764900000000001:big.bin:0", "0"},
      {"1514764900000000001:big.bin:1", "0", "ishere", "20180315 14:05:09", 9202},
      {"1514764900000000001:big.bin:0", "1", "ishere", "20180315 14:05:09", 9203, "accounts1"},
      {"1514764900000000001:big.bin:1", "1", "delete", "20180315 14:05:09", 9204, "accounts1"},
      {"1514765000000000002:deadbeef", "0", "archiv"},
  };
  auto list_with = [&](bool digests) {
    std::string text;
    for (const Entry& e : entries) {
      std::string line = e.line();
      if (digests) line.insert(line.find("&CURR=") + 1, "SHA=" + sha + "&");
      text += line + "\n";
    }
    return text;
  };
  auto stripped = [](Lines lines) {
    for (std::string& l : lines) l = without_listed_digest(l);
    return lines;
  };
  struct Seen {
    Lines sorted;
    std::string shown;
    std::vector<Lines> selected;
  };
  const char* wanted[] = {"report.pdf", "big.bin", "deadbeef", "2cf24dba", "b161e5c1fa", sha.c_str()};
  auto readers = [&](bool digests) {
    test::WorkDir dir;
    test::write_file("list.q", list_with(digests));
    Seen seen;
    RecordingReporter reporter;
    Result<Lines> sorted = sorting_list("list.q", reporter);
    EXPECT_TRUE(sorted.ok());
    if (sorted) seen.sorted = stripped(*sorted);
    for (const char* type : {"ALL", "IN_REPO", "LOCKED", "DELETED", "IN_ARCHI"})
      for (const char* mode : {"all_print", "all_save", "get_save"}) {
        RecordingReporter shown;
        Result<Lines> kept = view_of(*sorted, "list.q", {type, "BOTH", "all"}, mode, shown);
        seen.shown += shown.said;
        if (kept) seen.shown += test::joined(*kept);
      }
    for (const char* name : wanted) {
      RecordingReporter told;
      Result<Lines> lines = read_selection("list.q", name, told);
      seen.selected.push_back(lines ? stripped(*lines) : Lines{"none: " + lines.status().why()});
    }
    EXPECT_EQ(reporter.errors, "");
    return seen;
  };
  const Seen without = readers(false), with = readers(true);
  EXPECT_EQ(with.sorted, without.sorted);
  EXPECT_EQ(with.shown, without.shown);
  EXPECT_EQ(with.selected, without.selected);
  EXPECT_EQ(with.sorted.size(), 3u);  // one record a stored file
  EXPECT_EQ(with.shown.find(sha), std::string::npos);  // never shown
  // A piece of the digest names nothing, in the list that carries it.
  for (size_t i = 3; i < std::size(wanted); ++i)
    EXPECT_EQ(with.selected[i], Lines{"none: no line of the list holds the name"}) << wanted[i];
  EXPECT_EQ(with.selected[1].size(), 2u);  // big.bin: its two parts
}

}  // namespace
}  // namespace morbs
