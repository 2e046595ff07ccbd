#include "transfer/write_planning.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/wire/query_string.h"

namespace morbs {
namespace {

// The run's tables, shared by the cases of this file.
NodeTable nconf;
permut_rec permut;
TransferTable curl_table;

std::string st8(const std::string& entry) {
  std::string v;
  select_value(entry, "ST8", v);
  return v;
}

// After planning, second entry s holds part s-1 and entry 0 the last part;
// each second line travels with its entry.
TEST(TableOrderingMatrixWrite, SecondEntryIUploadsPartI) {
  for (int n = 2; n <= 4; ++n) {
    SCOPED_TRACE(n);
    init_table(curl_table);
    curl_table.part_count = n;
    for (int s = 0; s < n; ++s) {
      const int part = (s + n - 1) % n;
      curl_table.basic_entries[s] = "ST4=u&ST8=tmp_mfile" + std::to_string(s) + "&";
      curl_table.second_entries[s] = "ST4=u&ST8=tmp_mfile" + std::to_string(part) + "&";
      curl_table.second_list_lines[s] = "list of part " + std::to_string(part);
      curl_table.second_archive_lines[s] = "archive of part " + std::to_string(part);
    }
    table_ordering_martix_write(curl_table);
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(st8(curl_table.second_entries[i]), "tmp_mfile" + std::to_string(i));
      EXPECT_EQ(curl_table.second_list_lines[i], "list of part " + std::to_string(i));
      EXPECT_EQ(curl_table.second_archive_lines[i], "archive of part " + std::to_string(i));
    }
    for (int i = n; i < node_count; ++i) EXPECT_EQ(curl_table.second_entries[i], "null");
  }
}

// Refusals that come before any node is asked (port 1 has no node: a
// planning that asked would fail differently).
TEST(WritePlanning, RefusedBeforeAnyNodeIsAsked) {
  struct Case {
    std::string id, name, message, mode;
  };
  const Case cases[] = {
      {"1234567890", "a.txt", "incorrect id, wrong lenght", "null"},
      {"123456789034", "a.txt", "incorrect id, wrong lenght", "null"},
      {"12345678903", std::string(127, 'n'), "too long length of file-name-in-archi", "upload-"},
  };
  for (const Case& c : cases) {
    for (bool matrix : {false, true}) {
      SCOPED_TRACE(c.message + (matrix ? " matrix" : " singular"));
      std::string message = "null", disaster = "unset";
      int r = matrix ? do_strings_write_matrix_mode(curl_table, nconf, permut, disaster, "u", c.id, "tmp_mfile",
                                                    c.name, 5000, "127.0.0.1", 1, message, 0)
                     : do_strings_write_singular_mode(curl_table, nconf, disaster, "u", c.id, "f", c.name, 5,
                                                      "127.0.0.1", 1, message, 0);
      EXPECT_EQ(r, -1);
      EXPECT_EQ(message, c.message);
      EXPECT_EQ(disaster, "unset");
      EXPECT_EQ(curl_table.mode.rfind(c.mode, 0), 0u) << curl_table.mode;
    }
  }
}

// No node answers: nothing to plan, nothing reserved, no disaster file.
TEST(WritePlanning, NoNodesNoPlan) {
  std::string message, disaster = "unset";
  EXPECT_EQ(do_strings_write_singular_mode(curl_table, nconf, disaster, "u", "12345678903", "f", "a.txt", 5,
                                           "127.0.0.1", 1, message, 0),
            -1);
  EXPECT_EQ(message, "no free space in nodes or nodes are closed");
  // With no active node the plan has two empty slots on node 0.
  EXPECT_EQ(do_strings_write_matrix_mode(curl_table, nconf, permut, disaster, "u", "12345678903", "tmp_mfile",
                                         "a.txt", 5000, "127.0.0.1", 1, message, 0),
            -1);
  EXPECT_EQ(message, "Data network is not ready for write in matrix-mode");
  EXPECT_EQ(disaster, "unset");
}

}  // namespace
}  // namespace morbs
