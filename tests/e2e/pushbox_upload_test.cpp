// pushbox, the real binary with real curl, uploading into running nodes.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include <regex>
#include <tuple>

#include "lists/listed_digest.h"
#include "tests/e2e/pushbox_fixture.h"

namespace morbs::e2e {
namespace {

const std::regex stored_whole("[0-9]{19}:(.*)");

// Where one stored copy went.
struct Copy {
  int node = -1;
  std::string area, list_line, archive_line;
};

class PushboxUpload : public PushboxTest {
 protected:
  // The copies of `fn` registered on every node, basic (ORG=0) first.
  std::vector<Copy> copies_of(const std::string& fn) const {
    std::vector<Copy> basic, second;
    for (int i = 0; i < nodes(); ++i)
      for (const std::string area : {"accounts", "accounts1"})
        for (const auto& line : list_lines(i, area)) {
          if (field(line, "FN") != fn) continue;
          Copy c{i, area, line, ""};
          for (const auto& a : archive_lines(i, area))
            if (field(a, "FN") == fn && field(a, "ORG") == field(line, "ORG")) c.archive_line = a;
          (field(line, "ORG") == "0" ? basic : second).push_back(c);
        }
    basic.insert(basic.end(), second.begin(), second.end());
    return basic;
  }
  // The stored names registered anywhere.
  std::vector<std::string> stored_names() const {
    std::vector<std::string> out;
    for (int i = 0; i < nodes(); ++i)
      for (const std::string area : {"accounts", "accounts1"})
        for (const auto& line : list_lines(i, area)) out.push_back(field(line, "FN"));
    return out;
  }
  // The lines as written, once stripped of the digest they end with.
  void expect_registered(const Copy& given, const std::string& fn, int org) const {
    SCOPED_TRACE(given.list_line);
    for (const std::string* line : {&given.list_line, &given.archive_line}) {
      const std::optional<std::string> digest = listed_digest(*line);
      EXPECT_TRUE(digest) << *line;
      if (digest) EXPECT_NE(line->find("&SHA=" + *digest + "&"), std::string::npos) << *line;
    }
    Copy c = given;
    c.list_line = without_listed_digest(c.list_line);
    c.archive_line = without_listed_digest(c.archive_line);
    const std::string port = std::to_string(net_->query_port(c.node));
    EXPECT_EQ(c.list_line.rfind("OP=listfiles&SUB=add&FN=" + fn + "&ID=" + push_id + "&UID32=" + certificate_user +
                                    "&ORG=" + std::to_string(org) + "&PORT=" + port + "&DISK=" + c.area +
                                    "&CURR=ishere&DATE=", 0),
              0u);
    EXPECT_EQ(c.archive_line.rfind("OP=listARCHI&SUB=add&ID=" + push_id + "&DISK=" + c.area + "&FN=" + fn +
                                       "&DIRF=auto&ORG=" + std::to_string(org) + "&PORT=" + port + "&DATE=",
                                   0),
              0u);
  }
};

TEST_F(PushboxUpload, SingularBothCopiesArriveAndAreRegistered) {
  start_nodes(4);
  const std::string content = content_of(3000);
  dir_.write("report.pdf", content);
  const std::string out = upload("report.pdf", "report.pdf");
  EXPECT_NE(out.find("\nFile REPO:  report.pdf\n\nFile size:\t\t3000\nMatrix lev:\t\t1000000\nMode:\t\t\tsingular\n"
                     " ...wait a moment\n\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("\n Upload in singular-mode\n\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\n End upload in singualar-mode. SUCCESS!\n\n"), std::string::npos) << out;

  const auto names = stored_names();
  ASSERT_EQ(names.size(), 2u) << out;
  const std::string fn = names[0];
  std::smatch m;
  ASSERT_TRUE(std::regex_match(fn, m, stored_whole)) << fn;
  EXPECT_EQ(m[1], "report.pdf");
  const auto copies = copies_of(fn);
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_NE(copies[0].node, copies[1].node);
  for (int org = 0; org < 2; ++org) {
    const Copy& c = copies[static_cast<size_t>(org)];
    expect_registered(c, fn, org);
    EXPECT_EQ(stored(c.node, c.area, fn), content);
    // The reservation went to this very place, with the file's size.
    const auto resv = resv_requests(c.node);
    ASSERT_EQ(resv.size(), 1u);
    EXPECT_EQ(resv[0], "OP=resv&ID=" + push_id + "&DISK=" + c.area + "&FN=" + fn + "&FSZ=3000&");
  }
  EXPECT_TRUE(files_named(".disater").empty());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "zz-errors.txt"));
}

TEST_F(PushboxUpload, ThresholdChoosesTheMode) {
  start_nodes(2);
  config("MIN_SIZE=4000&\n");
  struct Case {
    size_t size;
    const char* mode;
    size_t registered;
  };
  for (const Case& c : {Case{4000, "Mode:\t\t\tsingular\n", 2}, Case{4001, "Mode:\t\t\tmatrix\n", 4 + 2}}) {
    SCOPED_TRACE(c.size);
    dir_.write("f" + std::to_string(c.size), content_of(c.size));
    const std::string out = upload("f" + std::to_string(c.size), "f" + std::to_string(c.size));
    EXPECT_NE(out.find(c.mode), std::string::npos) << out;
    EXPECT_NE(out.find("SUCCESS!"), std::string::npos) << out;
    EXPECT_EQ(stored_names().size(), c.registered);
  }
}

// Matrix mode over 4, 3 and 2 nodes: part k's basic copy on slot k, its
// second copy on slot k+1, the last part's second copy on slot 0. The same
// with several transfers at once (TRANSFERS).
class PushboxMatrix : public PushboxUpload, public ::testing::WithParamInterface<std::tuple<int, int>> {};

TEST_P(PushboxMatrix, PartsGoWhereThePlanSays) {
  {
    const int n = std::get<0>(GetParam());
    const std::string settings = "MIN_SIZE=1000&\nTRANSFERS=" + std::to_string(std::get<1>(GetParam())) + "&\n";
    const size_t size = 10007;
    const std::string content = content_of(size, static_cast<unsigned>(n));
    dir_.write("big.bin", content);
    // The plan as it is written to the disaster file, read while the first
    // transfers hang on nodes that take no byte: it is there before any
    // byte moves. That run is killed and cleared, the nodes started afresh.
    start_nodes(n, std::vector<std::vector<std::string>>(static_cast<size_t>(n), {"--sftp-stall-after", "0"}));
    config(settings);
    std::vector<std::string> seen;
    ASSERT_TRUE(kill_pushbox_when({push_id, "big.bin", "big.bin"}, {},
                                  [&] { seen = lines_of(dir_.read("big.bin-matrix.disater")); }))
        << read_file(dir_ / "pushbox.out");
    ASSERT_FALSE(seen.empty());
    const std::string cleared = run({"-clear_disaster"});
    ASSERT_TRUE(files_named(".disater").empty()) << cleared;
    const int seen_base_port = net_->base_port();
    net_.reset();
    start_nodes(n);
    config(settings);

    const std::string out = upload("big.bin", "big.bin");
    ASSERT_NE(out.find("\n End upload in matrix-mode. SUCCESS!\n\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\n Upload in matrix-mode, nr nodes: " + std::to_string(n) + "\n\n"), std::string::npos);
    const int64_t part = static_cast<int64_t>(size) / n, last = static_cast<int64_t>(size) % n + part;
    for (int k = 0; k < n; ++k)
      EXPECT_NE(out.find(" File part: " + std::to_string(k) + " size: " + std::to_string(k < n - 1 ? part : last) +
                         "\n"),
                std::string::npos)
          << out;

    const auto names = stored_names();
    EXPECT_EQ(names.size(), static_cast<size_t>(2 * n));
    std::string prefix = names.empty() ? "" : names[0].substr(0, 20);
    std::string joined;
    std::vector<std::string> plan;
    for (int k = 0; k < n; ++k) {
      const std::string fn = prefix + "big.bin:" + std::to_string(k);
      const int64_t sz = k < n - 1 ? part : last;
      const std::string piece = content.substr(static_cast<size_t>(k * part), static_cast<size_t>(sz));
      const auto copies = copies_of(fn);
      ASSERT_EQ(copies.size(), 2u) << fn;
      EXPECT_EQ(copies[0].node, k);
      EXPECT_EQ(copies[1].node, (k + 1) % n);
      for (int org = 0; org < 2; ++org) {
        const Copy& c = copies[static_cast<size_t>(org)];
        expect_registered(c, fn, org);
        EXPECT_EQ(stored(c.node, c.area, fn), piece);
      }
      joined += stored(k, copies[0].area, fn);
    }
    EXPECT_EQ(joined, content);
    size_t archived = 0;
    for (int i = 0; i < n; ++i) archived += archive_lines(i, "accounts").size();
    EXPECT_EQ(archived, static_cast<size_t>(2 * n));

    // Reservations in the written order: basic 0..n-2, second 0..n-2, then
    // the last part's basic and second copies; under the stored name and
    // on the ports of the killed run.
    const std::string seen_prefix = field(seen[0], "FN").substr(0, 20);
    EXPECT_TRUE(std::regex_match(seen_prefix, std::regex("[0-9]{19}:"))) << seen[0];
    auto line = [&](int k, int slot, int64_t sz) {
      return "OP=resv&ID=" + push_id + "&DISK=accounts&FN=" + seen_prefix + "big.bin:" + std::to_string(k) +
             "&FSZ=" + std::to_string(sz) + "&IPADDR=127.0.0.1&PORT=" + std::to_string(seen_base_port + slot) + "&";
    };
    for (int k = 0; k < n - 1; ++k) plan.push_back(line(k, k, part));
    for (int k = 1; k < n; ++k) plan.push_back(line(k - 1, k, part));
    plan.push_back(line(n - 1, n - 1, last));
    plan.push_back(line(n - 1, 0, last));
    EXPECT_EQ(seen, plan);
    EXPECT_TRUE(files_named("tmp_mfile").empty());
    EXPECT_TRUE(files_named("-matrix.disater").empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Nodes, PushboxMatrix,
                         ::testing::Values(std::tuple{4, 1}, std::tuple{3, 1}, std::tuple{2, 1}, std::tuple{4, 4},
                                           std::tuple{3, 2}));

TEST_F(PushboxUpload, OddPathsAndNamesArriveIntact) {
  start_nodes(2);
  struct Case {
    std::string local, name, shown;
  };
  const Case cases[] = {
      {"my 'odd' \"file\" $HOME & `id` #|.bin", "odd.bin", "odd.bin"},
      {"plain.bin", "Zażółć gęślą jaźń.txt", "Zazolc_gesla_jazn.txt"},
      {"cp.bin", "\xbf\xf3\xb3w \x9c", "zolw_s"},
      {"long.bin", std::string(126, 'n'), std::string(126, 'n')},
      // curl's own name patterns and its "-" must not touch a local name.
      {"x{y}.bin", "braces.bin", "braces.bin"},
      {"Invoice [2024].pdf", "invoice.pdf", "invoice.pdf"},
      {"-", "dash.bin", "dash.bin"},
  };
  dir_.write("xy.bin", "the sibling that x{y}.bin would have named");
  unsigned seed = 7;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.local + " / " + c.shown);
    const std::string content = content_of(1500, ++seed);
    dir_.write(c.local, content);
    const auto before = stored_names();
    const std::string out = upload(c.local, c.name);
    EXPECT_NE(out.find("\nFile REPO:  " + c.shown + "\n\n"), std::string::npos) << out;
    ASSERT_NE(out.find("SUCCESS!"), std::string::npos) << out;
    EXPECT_EQ(last_exit(), 0);
    auto after = stored_names();
    ASSERT_EQ(after.size(), before.size() + 2);
    const std::string fn = after.back();
    EXPECT_EQ(fn.substr(20), c.shown);
    for (const Copy& copy : copies_of(fn)) EXPECT_EQ(stored(copy.node, copy.area, fn), content);
  }
}

// Two uploads of one name in one folder at once: each has its own part files
// and its own journal, and each stores its own bytes.
TEST_F(PushboxUpload, TwoRunsInOneFolderAtOnceKeepTheirOwnBytes) {
  start_nodes(4);
  config("MIN_SIZE=1000&\n");
  const std::string first = content_of(200000, 21), second = content_of(200000, 22);
  dir_.write("first.bin", first);
  dir_.write("second.bin", second);
  platform::BackgroundProcess a, b;
  ASSERT_TRUE(a.start({program("pushbox"), push_id, "first.bin", "same.bin"}, dir_.str(), (dir_ / "a.out").string()));
  ASSERT_TRUE(b.start({program("pushbox"), push_id, "second.bin", "same.bin"}, dir_.str(), (dir_ / "b.out").string()));
  EXPECT_EQ(a.wait(60000), 0) << dir_.read("a.out");
  EXPECT_EQ(b.wait(60000), 0) << dir_.read("b.out");
  // Every stored part has the same bytes in both its copies, and the parts of
  // each upload join into one of the two files.
  std::map<std::string, std::string> parts;
  for (int i = 0; i < nodes(); ++i)
    for (const std::string area : {"accounts", "accounts1"})
      for (const auto& line : list_lines(i, area)) {
        const std::string fn = field(line, "FN");
        const std::string bytes = stored(i, area, fn);
        if (parts.count(fn)) EXPECT_EQ(parts[fn], bytes) << fn;
        parts[fn] = bytes;
      }
  std::map<std::string, std::string> joined;  // by the prefix of the upload
  for (const auto& [fn, bytes] : parts) joined[fn.substr(0, fn.find(':'))] += bytes;
  ASSERT_EQ(joined.size(), 2u);
  std::set<std::string> files;
  for (const auto& [prefix, bytes] : joined) files.insert(bytes == first ? "first" : bytes == second ? "second" : "?");
  EXPECT_EQ(files, (std::set<std::string>{"first", "second"}));
  EXPECT_TRUE(files_named(".disater").empty());
  EXPECT_TRUE(files_named("tmp_mfile").empty());
}

}  // namespace
}  // namespace morbs::e2e
