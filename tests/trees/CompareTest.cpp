#include "AsNobody.h"
#include "TreeFakes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace {

std::string Line(const char* kind, const char* date, const std::string& name)
{
  return std::string(kind) + "rw-r--r--   1 user  group 10 " + date + " " + name + "\r\n";
}

// Walks the remote side from listings (folder path under "/srv" -> lines),
// refusing the folders in refuse, then runs the rest of the compare.
void RunCompare(TestTrees& t, std::map<std::string, std::string> listings, std::set<std::string> refuse = {})
{
  FakeServer server;
  server.listings = std::move(listings);
  server.refuseCwd = std::move(refuse);
  server.Run(t, "");
}

std::set<std::string> Ticked(const SyncRecords& a, const std::string& cut)
{
  std::set<std::string> out;
  for (const auto& r : a)
    if (r.check)
      out.insert(r.path.substr(cut.size()));
  return out;
}

TEST(Compare, TicksAddsUpdatesAndRemovalsButNothingUnderClashesOrUnreadFolders)
{
  TempTree local;
  local.File("same.txt", 2009, 1, 5, 23, 59);
  local.File("newer.txt", 2009, 1, 6, 0, 0);
  local.File("older.txt", 2009, 1, 5, 10, 0);
  local.File("addonly.txt", 2009, 1, 5, 10, 0);
  local.File("newdir/inner.txt", 2009, 1, 5, 10, 0);
  local.File("newdir/deep/x.txt", 2009, 1, 5, 10, 0);
  local.File("clash", 2009, 1, 5, 10, 0);
  local.Folder("emptyL");
  local.File("emptyR/l.txt", 2009, 1, 5, 10, 0);
  local.Folder("bothEmpty");
  local.File("shared/s.txt", 2009, 1, 5, 23, 59);
  local.File("refused/keep.txt", 2009, 1, 5, 10, 0);
  local.File("loop/f.txt", 2009, 1, 5, 23, 59);
  local.Link("loop/back", "../loop"); // a folder already on the walked path
  local.File(".hidden", 2009, 1, 5, 10, 0);

  TestTrees t;
  t.localFolder = GetFolderItem(local.Root());
  const char* d = "Jan 05 2008";
  RunCompare(t,
             {{"/srv", Line("-", "Jan 05 2009", "same.txt") + Line("-", "Jan 05 2009", " same.txt") +
                           Line("-", "Jan 05 2009", "newer.txt") + Line("-", "Jan 05 2009", "older.txt") +
                           Line("d", d, "clash") + Line("d", d, "emptyL") +
                           Line("d", d, "emptyR") + Line("d", d, "bothEmpty") + Line("d", d, "shared") +
                           Line("-", d, "remoteonly.txt") + Line("d", d, "gone") + Line("d", d, "refused") +
                           Line("d", d, "loop")},
              {"/srv/clash", Line("-", d, "in-clash.txt")},
              {"/srv/emptyL", Line("-", d, "r.txt")},
              {"/srv/shared", Line("-", "Jan 05 2009", "s.txt") + Line("d", d, "sub")},
              {"/srv/shared/sub", Line("-", d, "deep.txt")},
              {"/srv/gone", Line("-", d, "g.txt")},
              {"/srv/refused", Line("-", d, "secret.txt")},
              {"/srv/loop", Line("-", "Jan 05 2009", "f.txt") + Line("d", d, "back")},
              {"/srv/loop/back", Line("-", d, "zz.txt")}},
             {"/srv/refused"});

  EXPECT_EQ(Ticked(t.pSyncL, local.Root()),
            (std::set<std::string>{"newer.txt", "addonly.txt", "newdir/", "newdir/inner.txt", "newdir/deep/",
                                   "newdir/deep/x.txt", "emptyR/l.txt"}));
  EXPECT_EQ(Ticked(t.pSyncR, "/srv"),
            (std::set<std::string>{"/ same.txt", "/emptyL/r.txt", "/shared/sub", "/shared/sub/deep.txt",
                                   "/remoteonly.txt", "/gone", "/gone/g.txt"}));
  for (const auto& r : t.pSyncL)
    EXPECT_NE(r.name, ".hidden");
  // A file facing a folder ticks nothing, but is never silent.
  const auto clash = std::count_if(t.log.begin(), t.log.end(), [&](const std::string& line) {
    return line.find(local.Root() + "clash is a folder on the server (/srv/clash)") != std::string::npos;
  });
  EXPECT_EQ(clash, 1);
}

// The server lists minutes only: a local file of the listed minute may be
// the newer, so it is ticked once more and the log says why. A day-only
// date, taken as 23:59, is no such tie.
struct MinuteCase {
  const char* label;
  int hour, minute; // the local file's time on 2009/01/05
  const char* listed;
  const char* zone;
  bool ticked;
};

class SameMinute : public ::testing::TestWithParam<MinuteCase> {};

TEST_P(SameMinute, TicksTheLocalFileOnlyWhereTheServerListedItsTime)
{
  const MinuteCase& c = GetParam();
  TempTree local;
  local.File("index.html", 2009, 1, 5, c.hour, c.minute);
  TestTrees t;
  t.localFolder = GetFolderItem(local.Root());
  t.zone = c.zone;
  RunCompare(t, {{"/srv", Line("-", c.listed, "index.html")}});
  EXPECT_EQ(Ticked(t.pSyncL, local.Root()), c.ticked ? std::set<std::string>{"index.html"} : std::set<std::string>{});
  ASSERT_EQ(t.log.size(), c.ticked ? 1u : 0u);
  if (c.ticked) {
    EXPECT_EQ(t.log[0], "Ticked " + local.Root() +
                            "index.html for upload: it and /srv/index.html on the server are dated in the same minute "
                            "(2009/01/05 10:00), which the server lists without seconds, so it is sent once more.");
  }
}

INSTANTIATE_TEST_SUITE_P(Dates, SameMinute,
                         ::testing::Values(MinuteCase{"timeOfDay", 10, 0, "Jan 05 10:00", "", true},
                                           MinuteCase{"afterZoneHours", 10, 0, "Jan 05 01:00", "9", true},
                                           MinuteCase{"minuteEarlier", 9, 59, "Jan 05 10:00", "", false},
                                           MinuteCase{"dayOnlyAt2359", 23, 59, "Jan 05 2009", "", false}),
                         [](const auto& info) { return std::string(info.param.label); });

// Links whose target cannot be examined (a loop, a path through a file) are
// passed over like broken ones; the rest of their folder is still compared.
TEST(Compare, LinksThatCannotBeFollowedAreSkipped)
{
  TempTree local;
  local.File("sub/new.txt", 2009, 1, 5, 10, 0);
  local.Link("sub/self", "self");
  local.Link("sub/through", "new.txt/x");
  TestTrees t;
  t.localFolder = GetFolderItem(local.Root());
  RunCompare(t, {{"/srv", Line("d", "Jan 05 2008", "sub")}, {"/srv/sub", ""}});
  EXPECT_EQ(Ticked(t.pSyncL, local.Root()), (std::set<std::string>{"sub/new.txt"}));
  EXPECT_TRUE(t.log.empty()) << t.log[0];
}

// A name one side passes over on purpose is not missing there: its twin on
// the other side, and everything below it, is ticked neither to go up nor to
// be deleted, and the log says once per name what was left alone and why.
// On the server that twin is every name a server may have stored it as.
TEST(Compare, NamesEitherWalkPassesOverLeaveTheirTwinsAlone)
{
  TempTree local;
  local.File("Notes.", 2009, 1, 6, 10, 0); // Windows stores it as "Notes"
  local.Link("photos", "/nonexistent-quill-drive/photos"); // a drive not plugged in
  local.Link("self", "self");
  ASSERT_EQ(::mkfifo((local / "feed.xml").c_str(), 0644), 0);
  local.File("config.txt", 2009, 1, 6, 10, 0); // newer than the server's link
  local.File("null", 2009, 1, 6, 10, 0);
  local.File("linkdir/y.txt", 2009, 1, 5, 10, 0);
  local.File("new.txt", 2009, 1, 5, 10, 0);
  TestTrees t;
  t.localFolder = GetFolderItem(local.Root());
  const char* d = "Jan 05 2009";
  RunCompare(t, {{"/srv", Line("-", d, "NOTES") + Line("-", d, "notes") + Line("d", d, "Photos") +
                              Line("d", d, "photos") + Line("-", d, "self") + Line("-", d, "feed.xml") +
                              "lrwxrwxrwx 1 u g 20 Jan 05 2009 config.txt -> ../shared/config.txt\r\n" +
                              "crw-rw-rw- 1 u g 1, 3 Jan 05 2009 null\r\n" +
                              "lrwxrwxrwx 1 u g 9 Jan 05 2009 linkdir -> ../shared\r\n" + Line("-", d, "gone.txt")},
                 {"/srv/Photos", Line("-", d, "c.jpg")},
                 {"/srv/photos", Line("-", d, "a.jpg") + Line("d", d, "2009")},
                 {"/srv/photos/2009", Line("-", d, "b.jpg")}});
  EXPECT_EQ(Ticked(t.pSyncL, local.Root()), (std::set<std::string>{"new.txt"}));
  EXPECT_EQ(Ticked(t.pSyncR, "/srv"), (std::set<std::string>{"/gone.txt"}));
  ASSERT_EQ(t.log.size(), 10u);
  for (const std::string& left :
       std::vector<std::string>{"the local " + local.Root() + "Notes. alone", "/srv/NOTES on the server",
                                "/srv/notes on the server", "/srv/Photos on the server", "/srv/photos on the server",
                                "/srv/self on the server", "/srv/feed.xml on the server",
                                local.Root() + "config.txt alone", local.Root() + "null alone",
                                local.Root() + "linkdir/ alone"})
    EXPECT_EQ(std::count_if(t.log.begin(), t.log.end(),
                            [&](const std::string& line) { return line.rfind("Left " + left, 0) == 0; }),
              1)
        << left;
}

// A name a server may store or read as another (a control character, the
// byte 0xFF, a trailing blank), or a path too long for one command line,
// is left alone on either side: no record, so no command names it, and one
// log line each.
struct UnsendableCase {
  const char* label;
  std::string localPath; // below the local root
  std::string remoteName;
};

class UnsendableName : public ::testing::TestWithParam<UnsendableCase> {};

TEST_P(UnsendableName, IsLeftAloneOnBothSides)
{
  const UnsendableCase& c = GetParam();
  TempTree local;
  local.File(c.localPath, 2009, 1, 6, 10, 0); // newer than the server's
  TestTrees t;
  t.localFolder = GetFolderItem(local.Root());
  RunCompare(t, {{"/srv", Line("-", "Jan 05 2009", c.remoteName)}});
  const std::string leaf = c.localPath.substr(c.localPath.rfind('/') + 1);
  for (const auto& r : t.pSyncL)
    EXPECT_NE(r.name, leaf);
  EXPECT_TRUE(t.pSyncR.empty());
  auto logged = [&](const std::string& start) {
    return std::count_if(t.log.begin(), t.log.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; });
  };
  EXPECT_EQ(logged("Left the local "), 1);
  EXPECT_EQ(logged("Left /srv/"), 1);
  for (const auto& line : t.log)
    EXPECT_EQ(line.find_first_of("\t\xFF"), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnsendableName,
    ::testing::Values(UnsendableCase{"controlCharacter", "tab\tname.gif", "tab\tname.gif"},
                      UnsendableCase{"byteFF", "v\xFF\xF4" "1.txt", "v\xFF\xF4" "1.txt"},
                      UnsendableCase{"trailingBlank", "notes ", "notes "},
                      UnsendableCase{"trailingDot", "notes.", "notes."},
                      // "STOR /srv/" and 1,991 bytes pass 2,000: pyftpdlib
                      // refuses a line beyond 2,048 and answers it twice
                      UnsendableCase{"pathTooLong",
                                     [] {
                                       std::string rel;
                                       for (int i = 0; i < 8; ++i)
                                         rel += std::string(240, 'd') + "/";
                                       return rel + std::string(1991 - rel.size(), 'f');
                                     }(),
                                     std::string(1991, 'n')}),
    [](const auto& info) { return std::string(info.param.label); });

// A root listing the parser cannot read is no empty root: nothing is ticked
// on either side.
TEST(Compare, UnreadableRemoteRootListingTicksNothing)
{
  TempTree local;
  local.File("about.html", 2009, 1, 5, 10, 0);
  TestTrees t;
  t.localFolder = GetFolderItem(local.Root());
  RunCompare(t, {{"/srv", "12-05-25  03:12PM                 5120 about.html\r\n"}});
  EXPECT_TRUE(Ticked(t.pSyncL, local.Root()).empty());
  EXPECT_TRUE(t.pSyncR.empty());
  ASSERT_FALSE(t.log.empty());
  EXPECT_NE(t.log[0].find("/srv"), std::string::npos) << t.log[0];
}

// A local root that holds nothing to send is more likely a drive not
// mounted than a site to be wiped: nothing on the server is ticked, and the
// log says why. Hidden entries and entries left alone count for nothing; a
// root holding one file is a folder like any other.
struct RootCase {
  const char* label;
  std::function<void(const TempTree&)> fill;
  bool ticks;
};

void PrintTo(const RootCase& c, std::ostream* out)
{
  *out << c.label;
}

class NearlyEmptyLocalRoot : public ::testing::TestWithParam<RootCase> {};

TEST_P(NearlyEmptyLocalRoot, TicksTheServerOnlyWhenItHoldsSomethingToSend)
{
  TempTree local;
  GetParam().fill(local);
  TestTrees t;
  t.localFolder = GetFolderItem(local.Root());
  RunCompare(t, {{"/srv", Line("d", "Jan 05 2008", "a") + Line("-", "Jan 05 2008", "b")},
                 {"/srv/a", Line("-", "Jan 05 2008", "c")}});
  const bool ticks = GetParam().ticks;
  const std::set<std::string> all{"/a", "/b", "/a/c"};
  EXPECT_EQ(Ticked(t.pSyncR, "/srv"), ticks ? all : std::set<std::string>{});
  const std::string why = local.Root() + " holds nothing to send";
  EXPECT_EQ(std::count_if(t.log.begin(), t.log.end(),
                          [&](const std::string& line) { return line.find(why) != std::string::npos; }),
            ticks ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Roots, NearlyEmptyLocalRoot,
    ::testing::Values(RootCase{"empty", [](const TempTree&) {}, false},
                      RootCase{"hiddenEntryOnly", [](const TempTree& l) { l.File(".keepme", 2009, 1, 5, 10, 0); },
                               false},
                      RootCase{"leftAloneOnly",
                               [](const TempTree& l) {
                                 l.File("notes.", 2009, 1, 5, 10, 0);
                                 l.Link("photos", "/nonexistent-quill-drive/photos");
                                 ASSERT_EQ(::mkfifo((l / "feed.xml").c_str(), 0644), 0);
                               },
                               false},
                      RootCase{"aFile", [](const TempTree& l) { l.File("a.txt", 2009, 1, 5, 10, 0); }, true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Compare, UnreadableLocalRootTicksNothing)
{
  TestTrees t;
  t.localFolder = GetFolderItem("/nonexistent-quill-folder");
  RunCompare(t, {{"/srv", Line("-", "Jan 05 2008", "b")}});
  EXPECT_TRUE(Ticked(t.pSyncR, "/srv").empty());
}

// A local folder whose entries cannot be examined (mode r--: it lists, but
// no entry's details can be read) is unread, not empty: nothing in or
// under its server copy is ticked, and the log names it. Seen as an
// ordinary user; root is never refused.
class UnexaminableLocalFolder : public ::testing::TestWithParam<std::string> {};

TEST_P(UnexaminableLocalFolder, TicksNothingInItsServerCopy)
{
  TempTree local;
  local.File("keep/a.txt", 2009, 1, 5, 10, 0);
  local.File("new.txt", 2009, 1, 5, 10, 0);
  ::chmod(local.Path().c_str(), 0755);
  const std::string locked = local.Root() + GetParam();
  ::chmod(locked.c_str(), 0444);
  TestTrees t;
  t.localFolder = GetFolderItem(local.Root());
  const char* d = "Jan 05 2008";
  RunAsNobody([&] {
    RunCompare(t, {{"/srv", Line("d", d, "keep") + Line("-", d, "gone.txt")},
                   {"/srv/keep", Line("-", d, "a.txt") + Line("-", d, "b.txt")}});
    const bool rootLocked = GetParam().empty();
    EXPECT_EQ(Ticked(t.pSyncR, "/srv"), rootLocked ? std::set<std::string>{} : std::set<std::string>{"/gone.txt"});
    EXPECT_EQ(Ticked(t.pSyncL, local.Root()), rootLocked ? std::set<std::string>{} : std::set<std::string>{"new.txt"});
    ASSERT_FALSE(t.log.empty());
    EXPECT_NE(t.log.back().find(locked), std::string::npos) << t.log.back();
  });
  ::chmod(locked.c_str(), 0755);
}

INSTANTIATE_TEST_SUITE_P(Folders, UnexaminableLocalFolder, ::testing::Values("keep/", ""),
                         [](const auto& info) { return info.param.empty() ? "root" : "subFolder"; });

struct ChildCase {
  const char* side;
  const char* a;
  const char* b;
  bool child;
};

class DirectChild : public ::testing::TestWithParam<ChildCase> {};

TEST_P(DirectChild, ComparesWholeNames)
{
  TestTrees t;
  const ChildCase& c = GetParam();
  EXPECT_EQ(t.GetCompareList33c2(c.side, c.a, c.b), c.child) << c.a << " " << c.b;
}

INSTANTIATE_TEST_SUITE_P(Paths, DirectChild,
                         ::testing::Values(ChildCase{"Remote", "/pub/a", "/pub/a/x", true},
                                           ChildCase{"Remote", "/pub/a", "/pub/b/x", false},
                                           ChildCase{"Remote", "/pub/a", "/pub/a/x/y", false},
                                           ChildCase{"Remote", "/pub/a", "/pub/ab", false},
                                           ChildCase{"Remote", "//a", "//a/x", true},
                                           ChildCase{"Local", "/h/a/", "/h/a/x", true},
                                           ChildCase{"Local", "/h/a/", "/h/a/b/", true},
                                           ChildCase{"Local", "/h/a/", "/h/a/x/y/", false}));

} // namespace
