#include "transfer/write_planning.h"

#include <gtest/gtest.h>

namespace morbs {
namespace {

RecordingReporter quiet(false);
NetworkExchange exchange({0, 150000}, quiet);

UploadOrder order_of(std::string_view id, std::string_view name, int64_t size) {
  UploadOrder order;
  order.exchange = &exchange;
  order.uid32 = "u";
  order.id = id;
  order.local_path = "f";
  order.name = name;
  order.size = size;
  order.address = "127.0.0.1";
  order.port = 1;  // no node there: a planning that asked would fail differently
  return order;
}

// Refusals that come before any node is asked.
TEST(WritePlanning, RefusedBeforeAnyNodeIsAsked) {
  struct Case {
    std::string id, name, message;
  };
  const Case cases[] = {
      {"1234567890", "a.txt", "incorrect id, wrong lenght"},
      {"123456789034", "a.txt", "incorrect id, wrong lenght"},
      {"12345678903", std::string(127, 'n'), "too long length of file-name-in-archi"},
  };
  for (const Case& c : cases) {
    for (bool matrix : {false, true}) {
      SCOPED_TRACE(c.message + (matrix ? " matrix" : " singular"));
      TransferTable curl_table;
      NodeTable nconf;
      permut_rec permut;
      std::optional<DisasterJournal> journal;
      RecordingReporter reporter(false);
      const UploadOrder order = order_of(c.id, c.name, matrix ? 5000 : 5);
      const Status s = matrix ? do_strings_write_matrix_mode(curl_table, nconf, permut, journal, order, reporter)
                              : do_strings_write_singular_mode(curl_table, nconf, journal, order, reporter);
      EXPECT_EQ(s.why(), c.message);
      EXPECT_FALSE(journal.has_value());
    }
  }
}

// No node answers: nothing to plan, nothing reserved, no journal.
TEST(WritePlanning, NoNodesNoPlan) {
  TransferTable curl_table;
  NodeTable nconf;
  permut_rec permut;
  std::optional<DisasterJournal> journal;
  RecordingReporter reporter(false);
  EXPECT_EQ(do_strings_write_singular_mode(curl_table, nconf, journal, order_of("12345678903", "a.txt", 5), reporter)
                .why(),
            "no free space in nodes or nodes are closed");
  // With no active node the plan has two empty slots on node 0.
  EXPECT_EQ(do_strings_write_matrix_mode(curl_table, nconf, permut, journal, order_of("12345678903", "a.txt", 5000),
                                         reporter)
                .why(),
            "Data network is not ready for write in matrix-mode");
  EXPECT_FALSE(journal.has_value());
}

}  // namespace
}  // namespace morbs
