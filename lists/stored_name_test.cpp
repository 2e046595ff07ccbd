#include "lists/stored_name.h"
#include "lists/time_prefix.h"

#include <gtest/gtest.h>

namespace morbs {
namespace {

TEST(StoredName, ColonsTellAWholeFileFromAPart) {
  EXPECT_TRUE(is_whole_file("1514764800000000005:report.pdf"));
  EXPECT_TRUE(is_part("1514764800000000005:report.pdf:2"));
  EXPECT_EQ(postfix_of("1514764800000000005:report.pdf:2"), "2");
  EXPECT_EQ(prefix_of("1514764800000000005:report.pdf:2"), "1514764800000000005");
}

TEST(TimePrefix, NanosecondsArePaddedToNineDigits) {
  EXPECT_EQ(make_prefix("1514764800", "5"), "1514764800000000005:");
  EXPECT_EQ(make_prefix("1514764800", "123456789"), "1514764800123456789:");
  EXPECT_EQ(make_prefix("1514764800", "1234567890"), "15147648001234567890:");
}

}  // namespace
}  // namespace morbs
