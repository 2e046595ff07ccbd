#include "transfer/curl_strings.h"

#include <gtest/gtest.h>

#include "core/nodes/node_selection.h"
#include "transfer/curl_table.h"

namespace morbs {
namespace {

// The run's tables, shared by the cases of this file.
NodeTable nconf;
permut_rec permut;
TransferTable curl_table;

const std::string id = "12345678903";
const std::string fn = "1514764800000000005:report.pdf";

void set_node(int i, const std::string& sn, const std::string& passwd, const std::string& port) {
  nconf[i].sn = sn;
  nconf[i].passwd = passwd;
  nconf[i].port_sftp = port;
}

TEST(CurlStrings, SingularUploadEntry) {
  init_table(curl_table);
  init_struct_nconf(nconf, 4);
  set_node(2, "7", "node3:secret", "9303");
  EXPECT_EQ(do_curl_strings_singular_mode(curl_table, nconf, 2, "127.0.0.1", id, "second", "accounts1", "/tmp/my file", fn, 1), 0);
  EXPECT_EQ(curl_table.second_entries[0],
            "ST1=/bin/curl&ST2=curl&ST3=-k&ST4=sftp://127.0.0.1:9303/home/node3/MORBS-SYSTEM/MORB3/"
            "ACCOUNTS1/12/34/56/78/90/3/" + fn + "&ST5=--user&ST6=node3:secret&ST7=-T&ST8=/tmp/my file"
            "&ST9=--progress-bar&");
  EXPECT_EQ(curl_table.basic_entries[0], "null");
}

TEST(CurlStrings, MatrixAndReadUseTheLivenessAnswer) {
  init_table(curl_table);
  init_struct_nconf(nconf, 4);
  init_permut(permut);
  set_node(1, "12", "nocolon", "2222");
  permut.node[3] = permut.node2[3] = 1;
  EXPECT_EQ(do_curl_strings_matrix_mode(curl_table, nconf, permut, 3, "127.0.0.1", id, "BASIC", "accounts", "tmp_mfile3", fn + ":3", 0), 0);
  EXPECT_NE(curl_table.basic_entries[3].find("/home/usr/MORBS-SYSTEM/MORB12/ACCOUNTS/12/"), std::string::npos);
  EXPECT_EQ(do_curl_strings_read_proc(curl_table, nconf, 1, 2, "127.0.0.1", id, "SECOND", "accounts", "tmp_part2", fn, "silent", 0), 0);
  EXPECT_NE(curl_table.second_entries[2].find("&ST7=-o&ST8=tmp_part2&ST9=-Ss&"), std::string::npos);
  EXPECT_EQ(do_curl_strings_read_proc(curl_table, nconf, 1, 1, "127.0.0.1", id, "basic", "accounts", "x", fn, "loud", 0), 0);
  EXPECT_NE(curl_table.basic_entries[1].find("&ST9=--progress-bar&"), std::string::npos);
}

TEST(CurlStrings, RefusalsLeaveTheEntry) {
  init_table(curl_table);
  init_struct_nconf(nconf, 4);
  set_node(0, "1", "u:p", "null");
  set_node(1, "2", "null", "22");
  set_node(2, "3", "u:p", "22");
  struct Case {
    int node;
    const char* id;
    const char* copy;
    const char* message;
  };
  const Case cases[] = {
      {0, "12345678903", "basic", "Error: [curl] port_sft is NULL\n"},
      {2, "1234567890", "basic", "Error: [curl] id must have 11 char\n"},
      {1, "12345678903", "basic", "Error: [curl] user:passwd is NULL\n"},
      {2, "12345678903", "Basic", ""},
  };
  for (const auto& c : cases) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(do_curl_strings_singular_mode(curl_table, nconf, c.node, "127.0.0.1", c.id, c.copy, "accounts", "f", fn, 1), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.message);
  }
  EXPECT_EQ(do_curl_strings_singular_mode(curl_table, nconf, 2, "127.0.0.1", id, "basic", "accounts", std::string(1000, 'f'), fn, 1), -1);
  EXPECT_EQ(curl_table.basic_entries[0], "null");
  EXPECT_EQ(do_curl_strings_matrix_mode(curl_table, nconf, permut, 0, "127.0.0.1", id, "other", "accounts", "f", fn, 1), -1);
}

}  // namespace
}  // namespace morbs
