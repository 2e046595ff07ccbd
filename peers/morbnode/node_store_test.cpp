// Reservations given back after the expiry, counted from the reservation or
// from the last write to its file, whichever is later.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "peers/morbnode/node_store.h"

namespace morbs::node {
namespace {

namespace fs = std::filesystem;

const std::string id = "12345678903";

class ReservationExpiry : public ::testing::Test {
 protected:
  static constexpr int64_t expiry = 100;
  static fs::path make_dir() {
    char pattern[] = "/tmp/morbs-store-XXXXXX";
    return mkdtemp(pattern);
  }
  static Options make_options(const fs::path& dir) {
    Options o;
    o.root = dir.string();
    o.capacity_accounts = o.capacity_accounts1 = 1000;
    o.reservation_expiry_s = expiry;
    return o;
  }
  ReservationExpiry() {
    std::string error;
    EXPECT_TRUE(store_.open(error)) << error;
  }
  ~ReservationExpiry() override { fs::remove_all(dir_); }

  // Reserved at `at`, with `written` bytes of data last changed at `written_at`.
  void reserve(const std::string& name, int64_t at, int written, int64_t written_at) {
    ASSERT_TRUE(store_.reserve({id, "accounts", name, 300, at}));
    if (written < 0) return;
    const fs::path file = store_.account_dir(id, "accounts") / name;
    std::ofstream(file) << std::string(static_cast<size_t>(written), 'd');
    fs::last_write_time(file, std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(written_at))));
  }
  bool held(const std::string& name) { return store_.find_reservation(id, "accounts", name).has_value(); }

  fs::path dir_ = make_dir();
  Options options_ = make_options(dir_);
  NodeStore store_{options_};
};

TEST_F(ReservationExpiry, EachReservationByItsLatestActivity) {
  struct Case {
    const char* name;
    int64_t reserved_at;
    int written;  // bytes of data, -1: no file
    int64_t written_at;
    bool held_at_1099, held_at_1100;
  };
  const Case cases[] = {
      {"1:fresh", 1050, -1, 0, true, true},
      {"1:never.written", 1000, -1, 0, true, false},  // exactly the expiry
      {"1:half.abandoned", 900, 120, 950, false, false},
      {"1:being.written", 900, 120, 1090, true, true},  // old, but its data moves
      {"1:whole.unregistered", 500, 300, 600, false, false},
  };
  for (const auto& c : cases) reserve(c.name, c.reserved_at, c.written, c.written_at);
  store_.expire_reservations(1099);
  for (const auto& c : cases) EXPECT_EQ(held(c.name), c.held_at_1099) << c.name;
  store_.expire_reservations(1100);
  for (const auto& c : cases) {
    EXPECT_EQ(held(c.name), c.held_at_1100) << c.name;
    if (!c.held_at_1100) {
      EXPECT_FALSE(fs::exists(store_.account_dir(id, "accounts") / c.name)) << c.name;
    }
  }
  // What expired stays expired after a restart.
  NodeStore again(options_);
  std::string error;
  ASSERT_TRUE(again.open(error));
  EXPECT_EQ(again.reservations().size(), 2u);
}

TEST_F(ReservationExpiry, ListedDataIsNeverRemoved) {
  reserve("1:listed", 500, 300, 500);
  ASSERT_TRUE(store_.append_line(store_.files_list(id, "accounts"), "FN=1:listed&ID=" + id + "&CURR=ishere&"));
  store_.expire_reservations(2000);
  EXPECT_FALSE(held("1:listed"));
  EXPECT_TRUE(fs::exists(store_.account_dir(id, "accounts") / "1:listed"));
}

}  // namespace
}  // namespace morbs::node

namespace morbs::node {
namespace {

// Lines go onto the end of the list as it is: a missing list is made, and a
// last line some earlier writer left without its end gets one first.
TEST(ListAppend, AddsWholeLinesToWhatIsThere) {
  char pattern[] = "/tmp/morbs-list-XXXXXX";
  const fs::path dir = mkdtemp(pattern);
  Options options;
  options.root = dir.string();
  NodeStore store(options);
  struct Case {
    const char* before;  // nullptr: no list yet
    const char* after;
  } cases[] = {
      {nullptr, "FN=new&\n"},
      {"", "FN=new&\n"},
      {"FN=a&\n", "FN=a&\nFN=new&\n"},
      {"FN=a&\nFN=cut", "FN=a&\nFN=cut\nFN=new&\n"},
  };
  const fs::path list = dir / "files_list.q";
  for (const Case& c : cases) {
    fs::remove(list);
    if (c.before) std::ofstream(list, std::ios::binary) << c.before;
    ASSERT_TRUE(store.append_line(list, "FN=new&"));
    std::ifstream in(list, std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(after, c.after) << (c.before ? c.before : "(none)");
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace morbs::node
