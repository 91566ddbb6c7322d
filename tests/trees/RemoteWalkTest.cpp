#include "TreeFakes.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

std::string Line(const char* kind, long long size, const char* date, const std::string& name)
{
  return std::string(kind) + "rw-r--r--   1 user  group " + std::to_string(size) + " " + date + " " + name;
}

std::vector<std::string> Paths(const SyncRecords& a)
{
  std::vector<std::string> out;
  for (const auto& r : a)
    out.push_back(r.path);
  return out;
}

TEST(RemoteWalk, ListsBreadthFirstUnderTheServerRoot)
{
  TestTrees t;
  FakeServer s;
  s.loginFolder = "/";
  s.listings["/"] = "total 5\r\n" + Line("d", 4096, "Jan 05 2008", "b") + "\r\n" + Line("-", 1001, "Mar 01 10:00", "c.txt") +
                    "\r\n" + Line("d", 4096, "Jan 05 2008", "a") + "\r\n" +
                    "lrwxrwxrwx 1 u g 5 Jan 05 2008 l -> c.txt\r\n" + Line("d", 0, "Jan 05 2008", ".") + "\r\n" +
                    Line("d", 0, "Jan 05 2008", "..") + "\r\n" + Line("-", 3, "Jan 05 2008", ".htaccess") + "\r\n" +
                    Line("-", 3, "Jan 05 2008", "a .txt"); // no line end on the last line
  s.listings["/a"] = Line("d", 1, "Jan 05 2008", "x") + "\n" + Line("-", 1000, "Jan 05 2008", "y.txt") + "\n";
  s.listings["/b"] = "total 0\r\n";
  s.listings["/a/x"] = Line("-", 5, "Jan 05 2008", "z") + "\r";
  s.Run(t, "");

  EXPECT_EQ(t.sent, (std::vector<std::string>{"LIST", "CWD //a", "LIST", "CWD //b", "LIST", "CWD //a/x", "LIST", "CWD /"}))
      << "the change back to the root lists nothing";
  EXPECT_EQ(t.pRootR, "/");
  EXPECT_EQ(Paths(t.pSyncR), (std::vector<std::string>{"//a", "//a .txt", "//b", "//c.txt", "//a/x", "//a/y.txt", "//a/x/z"}));
  const std::vector<int> groups{0, 0, 0, 0, 1, 1, 3};
  for (std::size_t i = 0; i < groups.size(); ++i)
    EXPECT_EQ(t.pSyncR[i].group, groups[i]) << i;
  EXPECT_EQ(t.pSyncR[0].child, 4);
  EXPECT_EQ(t.pSyncR[2].child, 6) << "empty b points at the next group";
  EXPECT_EQ(t.pSyncR[4].child, 6);
  EXPECT_EQ(t.pSyncR[0].childCount, 2);
  EXPECT_EQ(t.pSyncR[2].childCount, 0);
  EXPECT_EQ(t.pSyncR[4].childCount, 1);
  EXPECT_EQ(t.pSyncR[3].size, "1.0 KB");
  EXPECT_EQ(t.pSyncR[3].date, "2009/03/01 10:00");
  EXPECT_EQ(t.pSyncR[5].size, "1000 bytes");
  EXPECT_EQ(t.pSyncR[0].size, "-");
  EXPECT_FALSE(t.pSyncRFlg);
  EXPECT_TRUE(t.pFin);
}

// A listed name that no command could name exactly, or that a path would
// take for another entry's, makes no record: its path would name another
// file, which a run could then delete or overwrite.
TEST(RemoteWalk, NamesThatWouldNameAnotherFileAreLeftOut)
{
  TestTrees t;
  FakeServer s;
  s.listings["/srv"] = Line("-", 1, "Jan 05 2008", "keep") + "\r\n" + Line("-", 2, "Jan 05 2008", "keep\r") + "\r\n" +
                       Line("-", 3, "Jan 05 2008", "keep\nx") + "\r\n" + Line("-", 4, "Jan 05 2008", "keep") + "\r\n" +
                       Line("d", 5, "Jan 05 2008", "up/..") + "\r\n" + Line("-", 6, "Jan 05 2008", "a/keep") + "\r\n";
  // A name of its own ending in CR, where lines end in LF alone.
  s.listings["/srv"] += Line("d", 7, "Jan 05 2008", "lf") + "\r\n";
  s.listings["/srv/lf"] = Line("-", 9, "Jan 05 2008", "keep\r") + "\n" + Line("-", 10, "Jan 05 2008", "other") + "\n" +
                          Line("-", 11, "Jan 05 2008", "third") + "\n";
  s.Run(t, "");
  EXPECT_EQ(Paths(t.pSyncR), (std::vector<std::string>{"/srv/keep", "/srv/lf", "/srv/lf/other", "/srv/lf/third"}));
  EXPECT_EQ(t.pSyncR[0].size, "1 bytes");
  EXPECT_FALSE(t.pSyncR[1].unread);
  EXPECT_EQ(t.sent.back(), "CWD /srv") << "no folder of a cut name is entered";
}

// A folder counts as read only when its listing is whole: every line an
// entry or a line passed over on purpose, and a final reply that does not
// say the server cut it short. Otherwise it is left alone, like a refused
// folder, and the log says why.
struct NotWholeCase {
  const char* name;
  std::string listing;
  std::string reply;
  const char* quoted;
};

class ListingNotWhole : public ::testing::TestWithParam<NotWholeCase> {};

TEST_P(ListingNotWhole, LeavesItsFolderUnreadAndSaysWhy)
{
  const NotWholeCase& c = GetParam();
  TestTrees t;
  FakeServer s;
  s.listings["/srv"] = Line("d", 1, "Jan 05 2008", "a") + "\r\n" + Line("d", 1, "Jan 05 2008", "b") + "\r\n";
  s.listings["/srv/a"] = c.listing;
  s.finalReplies["/srv/a"] = c.reply;
  s.listings["/srv/b"] = "total 2\r\n" + Line("-", 3, "Jan 05 2008", "f") + "\r\n" +
                         "lrwxrwxrwx 1 u g 5 Jan 05 2008 l -> f\r\n" + "crw-rw-rw-+ 1 u g 1, 3 Jan 05 2008 null\r\n" +
                         "prw-r--r-- 1 u g 0 Jan 05 2008 fifo\r\n" + "srwxr-xr-x 1 u g 0 Jan 05 2008 sock\r\n";
  s.Run(t, "");
  EXPECT_TRUE(t.pFin);
  EXPECT_EQ(Paths(t.pSyncR), (std::vector<std::string>{"/srv/a", "/srv/b", "/srv/b/f"}));
  EXPECT_TRUE(t.pSyncR[0].unread);
  EXPECT_FALSE(t.pSyncR[1].unread) << "links, devices, pipes and sockets are passed over on purpose";
  ASSERT_FALSE(t.log.empty());
  EXPECT_NE(t.log[0].find("/srv/a"), std::string::npos) << t.log[0];
  EXPECT_NE(t.log[0].find(c.quoted), std::string::npos) << t.log[0];
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ListingNotWhole,
    ::testing::Values(
        NotWholeCase{"msDosStyle",
                     "12-05-25  03:12PM                 5120 about.html\r\n"
                     "12-01-25  10:00AM       <DIR>          img\r\n",
                     "226 Transfer complete.\r\n", "12-05-25  03:12PM                 5120 about.html"},
        NotWholeCase{"oneLineAmongEntries",
                     Line("-", 3, "Jan 05 2008", "x") + "\r\n" + "-rw-r--r-- 1 u g 12 Jan 32 10:00 y\r\n",
                     "226 Transfer complete.\r\n", "Jan 32 10:00 y"},
        NotWholeCase{"truncatedByPureFtpd", Line("-", 3, "Jan 05 2008", "x") + "\r\n",
                     "226-Options: -l\r\n226 Output truncated to 10000 matches\r\n",
                     "226-Options: -l 226 Output truncated to 10000 matches"},
        NotWholeCase{"unreadableForVsftpd", "", "226 Transfer done (but failed to open directory).\r\n",
                     "failed to open directory"},
        NotWholeCase{"unreadableForPureFtpd", "",
                     "226-Sorry, we were unable to read [.]\r\n226-Options: -l\r\n226 0 matches total\r\n",
                     "unable to read"},
        // Each " -> " gives one reading of a link's name; a line that can be
        // read in more ways than any real link cannot be told apart.
        NotWholeCase{"linkReadInEndlessWays", [] {
                       std::string line = "lrwxrwxrwx 1 u g 5 Jan 05 2008 x";
                       for (int i = 0; i < 100; ++i)
                         line += " -> y";
                       return line + "\r\n";
                     }(),
                     "226 Transfer complete.\r\n", "x -> y -> y"}),
    [](const auto& info) { return std::string(info.param.name); });

// Names that hold line feeds, made by anyone who may write on the server,
// must not decide where the lines of a CR LF listing end: its ordinary
// entries are read, or, where a name hides what reads as a line, the
// folder is left unread.
struct LineEndCase {
  const char* name;
  std::string listing;
  std::vector<std::string> paths;
  bool unread;
};

class LineEnds : public ::testing::TestWithParam<LineEndCase> {};

TEST_P(LineEnds, AreNotChosenByNames)
{
  const LineEndCase& c = GetParam();
  TestTrees t;
  FakeServer s;
  s.listings["/srv"] = Line("d", 1, "Jan 05 2008", "a") + "\r\n";
  s.listings["/srv/a"] = Line("-", 3, "Jan 05 2008", "index.html") + "\r\n" + Line("-", 3, "Jan 05 2008", "old.txt") +
                         "\r\n" + c.listing + "\r\n";
  s.Run(t, "");
  std::vector<std::string> expected{"/srv/a"};
  expected.insert(expected.end(), c.paths.begin(), c.paths.end());
  EXPECT_EQ(Paths(t.pSyncR), expected);
  EXPECT_EQ(t.pSyncR[0].unread, c.unread);
  if (c.unread) {
    ASSERT_FALSE(t.log.empty());
    EXPECT_NE(t.log[0].find("/srv/a"), std::string::npos) << t.log[0];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Listings, LineEnds,
    ::testing::Values(LineEndCase{"lineFeedsOutnumberLines", Line("-", 3, "Jan 05 2008", "n\ntotal\ntotal\ntotal\ntotal"),
                                  {"/srv/a/index.html", "/srv/a/old.txt"}, false},
                      LineEndCase{"nameHidesALine",
                                  Line("-", 3, "Jan 05 2008", "n\n" + Line("-", 1, "Jan 05 2008", "index.html") +
                                                                  "\ntotal\ntotal\ntotal"),
                                  {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RemoteWalk, RefusedSubFoldersAreLoggedLeftUnreadAndPassed)
{
  TestTrees t;
  FakeServer s;
  s.listings["/srv"] = Line("d", 1, "Jan 05 2008", "a") + "\r\n" + Line("d", 1, "Jan 05 2008", "b") + "\r\n" +
                       Line("d", 1, "Jan 05 2008", "c") + "\r\n";
  s.listings["/srv/c"] = Line("-", 1, "Jan 05 2008", "f") + "\r\n";
  s.refuseCwd.insert("/srv/a");
  s.refuseList.insert("/srv/b");
  s.Run(t, "");
  EXPECT_TRUE(t.pFin);
  EXPECT_EQ(Paths(t.pSyncR), (std::vector<std::string>{"/srv/a", "/srv/b", "/srv/c", "/srv/c/f"}));
  EXPECT_TRUE(t.pSyncR[0].unread);
  EXPECT_TRUE(t.pSyncR[1].unread);
  EXPECT_FALSE(t.pSyncR[2].unread);
  EXPECT_EQ(t.pSyncR[2].childCount, 1);
  ASSERT_EQ(t.log.size(), 3u); // two refusals and the missing local folder
  EXPECT_EQ(t.log[0], "The listing of /srv/a failed (550 /srv/a: No such file or directory.); nothing in it is "
                      "uploaded or deleted.");
  ASSERT_EQ(t.boxes.size(), 1u);
  EXPECT_EQ(t.boxes[0], "The listings of 2 server folders failed; nothing in them is uploaded or deleted:\n"
                        "/srv/a (550 /srv/a: No such file or directory.)\n/srv/b (550 cannot list)");
}

TEST(RemoteWalk, ListingArrivingBeforeItsFolderIsEnteredIsIgnored)
{
  TestTrees t;
  t.GetCompareList();
  t.RemoteWalkLoggedIn("", FakeServer::Pwd("/"));
  t.TakeListing(Line("d", 1, "Jan 05 2008", "a") + "\r\n" + Line("d", 1, "Jan 05 2008", "b") + "\r\n");
  t.GetCompareList2r();
  ASSERT_EQ(t.sent.back(), "CWD //a");
  t.TakeListing(Line("-", 1, "Jan 05 2008", "late") + "\r\n");
  EXPECT_FALSE(t.RemoteWalkAwaitsListing());
  t.GetCompareList2r();
  EXPECT_EQ(t.pSyncR.size(), 2u);
  EXPECT_EQ(t.pGroupR, 0);
}

} // namespace
