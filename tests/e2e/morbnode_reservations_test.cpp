// Reservations and registrations as a careless or hostile client meets them:
// no second reservation under a listed name, no space held for good, and no
// list or archive line for a copy the node does not hold whole.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/wire/query_string.h"
#include "tests/e2e/support/datanet.h"
#include "tests/e2e/support/temp_dir.h"

namespace morbs::e2e {
namespace {

const std::string id = "12345678903";

std::string value(const std::string& reply, const char* key) {
  std::string v;
  select_value(reply, key, v);
  return v;
}

std::string resv(const std::string& name, int size, const std::string& area = "accounts") {
  return "OP=resv&ID=" + id + "&DISK=" + area + "&FN=" + name + "&FSZ=" + std::to_string(size) + "&";
}
std::string add(const std::string& name) {
  return "OP=listfiles&SUB=add&FN=" + name + "&ID=" + id + "&UID32=u&ORG=0&PORT=1&DISK=accounts&";
}
std::string archive(const std::string& name) {
  return "OP=listARCHI&SUB=add&ID=" + id + "&DISK=accounts&FN=" + name + "&DIRF=auto&ORG=0&PORT=1&";
}
std::string chg(const std::string& name, const std::string& flag) {
  return "OP=listfiles&SUB=chg&DISK=accounts&FN=" + name + "&ID=" + id + "&CURRNEW=" + flag + "&";
}

TEST(NodeReservations, ANameTheListHoldsIsNotReservedAgain) {
  TempDir dir("reservations");
  DataNet net(dir.path(), 1, {{"--capacity", "1000"}});
  const std::string name = "1514764800000000005:report.pdf";
  net.store_copy(0, id, "accounts", name, "data", "u", 0);
  EXPECT_EQ(net.request(0, resv(name, 4)), "STATUS=refused&RE=refused&CP=file_listed&");
  // Also once the copy is deleted and its data gone: the list still names it.
  EXPECT_EQ(value(net.request(0, chg(name, "delete")), "STATUS"), "done");
  EXPECT_EQ(net.request(0, resv(name, 4)), "STATUS=refused&RE=refused&CP=file_listed&");
  EXPECT_EQ(net.request(0, "OP=currentspace&"), "ACCOUNTS=1000&ACCOUNTS1=1000&");
  // The same name in the other area is another file.
  EXPECT_EQ(value(net.request(0, resv(name, 4, "accounts1")), "STATUS"), "done");
}

TEST(NodeReservations, AReservationNeverWrittenExpiresWithItsData) {
  TempDir dir("reservations");
  DataNet net(dir.path(), 1, {{"--capacity", "1000", "--reservation-expiry-s", "2"}});
  const std::string name = "1514764800000000005:gone.bin";
  ASSERT_EQ(value(net.request(0, resv(name, 300)), "STATUS"), "done");
  write_file(net.account_dir(0, id, "accounts") / name, std::string(100, 'h'));  // an upload given up
  EXPECT_EQ(net.request(0, "OP=currentspace&"), "ACCOUNTS=700&ACCOUNTS1=1000&");
  std::string space;
  for (int i = 0; i < 80 && space != "ACCOUNTS=1000&ACCOUNTS1=1000&"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    space = net.request(0, "OP=currentspace&");
  }
  EXPECT_EQ(space, "ACCOUNTS=1000&ACCOUNTS1=1000&");
  EXPECT_FALSE(std::filesystem::exists(net.account_dir(0, id, "accounts") / name));
  EXPECT_EQ(value(net.request(0, add(name)), "CP"), "no_reservation");
  EXPECT_EQ(read_file(net.root(0) / "private" / "reservations.q"), "");
}

// Lines a client could plant through the query port without storing a byte.
TEST(NodeReservations, ListAndArchiveLinesOnlyForWholeCopies) {
  TempDir dir("reservations");
  DataNet net(dir.path(), 1, {{"--capacity", "1000"}});
  const std::string whole = "1514764800000000005:whole.pdf", half = "1514764800000000006:half.pdf";
  const std::string never = "1514764800000000007:never.pdf";
  net.store_copy(0, id, "accounts", whole, "all of it", "u", 0);  // makes the account
  ASSERT_EQ(value(net.request(0, resv(half, 10)), "STATUS"), "done");
  write_file(net.account_dir(0, id, "accounts") / half, "12345");
  struct Case {
    std::string request, cp;
  };
  const Case cases[] = {
      {add(never), "no_reservation"},
      {add(half), "error_size"},
      {archive(never), "no_file"},
      {archive(half), "no_file"},
      {archive(whole), "ok"},
      {archive(whole), "file_listed"},  // once only
  };
  for (const auto& c : cases) EXPECT_EQ(value(net.request(0, c.request), "CP"), c.cp) << c.request;
  const std::string archived = read_file(net.account_dir(0, id, "accounts") / "archive_list.q");
  EXPECT_EQ(std::count(archived.begin(), archived.end(), '\n'), 1) << archived;
  EXPECT_EQ(archived.find(never), std::string::npos);
  // Written in full while still reserved, the archive line is taken too.
  write_file(net.account_dir(0, id, "accounts") / half, "1234567890");
  EXPECT_EQ(value(net.request(0, archive(half)), "STATUS"), "done");
}

}  // namespace
}  // namespace morbs::e2e
