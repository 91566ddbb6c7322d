// The remote walk over real control and data connections, against real
// servers, in passive and active mode, then the comparison with a local tree.
#include "FtpServers.h"
#include "Pump.h"
#include "TreeFakes.h"

#include "framework/Events.h"
#include "ftp/FtpCommandSocket.h"
#include "ftp/FtpDataSocket.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

namespace fs = std::filesystem;

namespace {

// The walk wired to real sockets the way the main window wires it.
class SocketTrees : public ListTrees {
public:
  FtpCommandSocket commandSocket;
  FtpDataSocket dataSocket;
  std::string startFolder;
  std::vector<std::string> serverErrors;
  int listingsAfterWalk = 0;

  SocketTrees(const FtpServerProcess& server, bool passive)
  {
    commandSocket.Address = server.Host();
    commandSocket.Port = server.Port();
    commandSocket.userID = server.User();
    commandSocket.password = server.Password();
    commandSocket.usePASV = passive;
    commandSocket.dataPort = &dataSocket;
    commandSocket.loggedIn = [this](const std::string& reply) { RemoteWalkLoggedIn(startFolder, reply); };
    commandSocket.remoteDirChanged = [this](const std::string& reply) {
      if (RemoteWalkDirChanged(reply))
        commandSocket.getList();
    };
    commandSocket.gotServerError = [this](const std::string& reply) {
      if (!RemoteWalkRefused(reply))
        serverErrors.push_back(reply);
    };
    dataSocket.gotList = [this](const std::string& listing) {
      TakeListing(listing);
      if (RemoteWalkAwaitsListing())
        GetCompareList2r();
      else
        ++listingsAfterWalk;
    };
  }

  void Connect()
  {
    commandSocket.Connect();
    GetCompareList();
  }

protected:
  void TreesSendCWD(const std::string& dir) override
  {
    TestTrees::TreesSendCWD(dir);
    commandSocket.sendCWD(dir);
  }
  void TreesGetList() override
  {
    TestTrees::TreesGetList();
    commandSocket.getList();
  }
};

class RealServerWalk : public ::testing::TestWithParam<std::tuple<FtpServerKind, bool>> {};

TEST_P(RealServerWalk, WalksComparesAndShowsTheTrees)
{
  const auto [kind, passive] = GetParam();
  FtpServerProcess server(kind);
  // Remote: site/{a/{x/{z.txt}, y.txt}, b/, c.txt, "name with blanks.txt", 日本語.txt}
  server.WriteFile("site/a/x/z.txt", "z");
  server.WriteFile("site/a/y.txt", "y");
  server.MakeFolder("site/b");
  server.WriteFile("site/c.txt", std::string(1100, 'c'));
  server.WriteFile("site/name with blanks.txt", "n");
  server.WriteFile("site/日本語.txt", "j");
  server.WriteFile("site/.hidden", "h");
  // Listed by some servers as they are: never cut into their namesakes.
  server.WriteFile("site/c.txt\r", "cr");
  server.WriteFile("site/c.txt\nx", "lf");
  server.WriteFile("other/keep.txt", "k");
  for (const char* f : {"site/a/x/z.txt", "site/a/y.txt", "site/c.txt", "site/name with blanks.txt", "site/日本語.txt"})
    SetLocalTime(server.Root() + "/" + f, 2020, 1, 5, 10, 0); // listed in the year form: 23:59

  TempTree local;
  local.File("a/x/z.txt", 2020, 1, 5, 10, 0);    // older: nothing
  local.File("c.txt", 2020, 1, 6, 10, 0);        // newer: upload
  local.File("name with blanks.txt", 2020, 1, 5, 10, 0);
  local.File("日本語.txt", 2020, 1, 5, 10, 0);
  local.File("b/new.txt", 2020, 1, 5, 10, 0);    // only here: upload
  local.File("a .txt", 2020, 1, 5, 10, 0);       // only here: upload

  SocketTrees t(server, passive);
  t.startFolder = "site"; // relative to the login folder
  t.remoteFolder = "site";
  t.zone = "0";
  t.localFolder = GetFolderItem(local.Root());
  t.Connect();
  ASSERT_TRUE(PumpUntil([&] { return t.pFin && !t.pSyncRFlg; })) << server.Log();
  // The change back to the root is answered and brings no listing.
  PumpFor(300);
  EXPECT_EQ(t.listingsAfterWalk, 0);
  EXPECT_TRUE(t.serverErrors.empty()) << t.serverErrors.front();

  EXPECT_EQ(t.pRootR, "/site");
  std::vector<std::string> paths;
  for (const auto& r : t.pSyncR)
    paths.push_back(r.path);
  EXPECT_EQ(paths, (std::vector<std::string>{"/site/a", "/site/b", "/site/c.txt", "/site/name with blanks.txt",
                                             "/site/日本語.txt", "/site/a/x", "/site/a/y.txt", "/site/a/x/z.txt"}));
  EXPECT_EQ(t.pSyncR[2].size, "1.1 KB");
  EXPECT_EQ(t.pSyncR[2].date, "2020/01/05 23:59");

  std::set<std::string> localTicks, remoteTicks;
  for (const auto& r : t.pSyncL)
    if (r.check)
      localTicks.insert(r.path.substr(local.Root().size()));
  for (const auto& r : t.pSyncR)
    if (r.check)
      remoteTicks.insert(r.path);
  EXPECT_EQ(localTicks, (std::set<std::string>{"c.txt", "b/new.txt", "a .txt"}));
  EXPECT_EQ(remoteTicks, (std::set<std::string>{"/site/a/y.txt"}));
  EXPECT_EQ(Outline(t.remote),
            (std::vector<std::string>{"a", "  x", "    z.txt", "  y.txt [x]", "b", "c.txt", "name with blanks.txt",
                                      "日本語.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServerWalk,
                         ::testing::Combine(::testing::Values(FtpServerKind::Pyftpdlib, FtpServerKind::PureFtpd,
                                                              FtpServerKind::Vsftpd, FtpServerKind::ProFtpd),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           const FtpServerKind kind = std::get<0>(info.param);
                           return std::string(kind == FtpServerKind::Pyftpdlib  ? "pyftpdlib"
                                              : kind == FtpServerKind::PureFtpd ? "pureftpd"
                                              : kind == FtpServerKind::Vsftpd   ? "vsftpd"
                                                                                : "proftpd") +
                                  (std::get<1>(info.param) ? "Passive" : "Active");
                         });

TEST(RealServerWalkRoot, MissingRemoteFolderTicksNothing)
{
  FtpServerProcess server(FtpServerKind::Pyftpdlib);
  server.WriteFile("elsewhere.txt", "e");
  TempTree local;
  local.File("a.txt", 2020, 1, 5, 10, 0);
  SocketTrees t(server, true);
  t.startFolder = "missing";
  t.remoteFolder = "missing";
  t.localFolder = GetFolderItem(local.Root());
  t.Connect();
  ASSERT_TRUE(PumpUntil([&] { return !t.serverErrors.empty(); })) << server.Log();
  PumpFor(300);
  // Nothing is compared: neither side is read.
  EXPECT_TRUE(t.pSyncR.empty());
  EXPECT_TRUE(t.pSyncL.empty());
}

} // namespace
