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
  s.Run(t, "");
  EXPECT_EQ(Paths(t.pSyncR), (std::vector<std::string>{"/srv/keep"}));
  EXPECT_EQ(t.pSyncR[0].size, "1 bytes");
  EXPECT_EQ(t.sent.back(), "CWD /srv") << "no folder of a cut name is entered";
}

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
  EXPECT_EQ(t.log[0], "550 /srv/a: No such file or directory.");
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
