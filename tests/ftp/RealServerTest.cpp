// The FTP client against real servers, passive and active; every file on
// the server is compared byte for byte with what it should be.
#include "FtpHarness.h"
#include "FtpServers.h"
#include "ModalRecorder.h"
#include "TempDir.h"

#include "ftp/UploadThread.h"

#include <gtest/gtest.h>

#include <random>
#include <unistd.h>
#include <tuple>

namespace {

std::string RandomBytes(std::size_t n, unsigned seed)
{
  std::mt19937 random(seed);
  std::string s(n, '\0');
  for (char& c : s)
    c = static_cast<char>(random() & 0xff);
  return s;
}

using Mode = std::tuple<FtpServerKind, bool>;

class RealServer : public ::testing::TestWithParam<Mode> {
protected:
  void SetUp() override
  {
    ModalRecorder::Clear();
    if (std::get<0>(GetParam()) != FtpServerKind::Pyftpdlib && ::geteuid() != 0)
      GTEST_SKIP() << "pure-ftpd and vsftpd need root to change to their virtual user";
    server = std::make_unique<FtpServerProcess>(std::get<0>(GetParam()));
    client = std::make_unique<FtpHarness>(server->Host(), server->Port(), server->User(), server->Password(),
                                          std::get<1>(GetParam()));
    ASSERT_TRUE(client->Login()) << server->Log();
  }

  void TearDown() override
  {
    client.reset();
    server.reset();
  }

  std::unique_ptr<FtpServerProcess> server;
  std::unique_ptr<FtpHarness> client;
  TempDir local;
};

TEST_P(RealServer, ChangesFolderAndReportsTheNewPath)
{
  server->MakeFolder("sub");
  client->commandSocket.sendCWD("sub");
  ASSERT_TRUE(PumpUntil([&] { return client->dirChanged == 1 || !client->serverErrors.empty(); }));
  ASSERT_EQ(client->dirChanged, 1);
  bool sawPath = false;
  for (const auto& line : client->responses)
    sawPath |= line.rfind("257", 0) == 0 && line.find("\"/sub\"") != std::string::npos;
  EXPECT_TRUE(sawPath);

  // Later replies with the same codes are not another change of folder.
  ASSERT_TRUE(client->Command([&] { client->commandSocket.makeDirectory("/sub/made"); }));
  server->WriteFile("sub/gone.txt", "x");
  ASSERT_TRUE(client->Command([&] { client->commandSocket.deleteFile("/sub/gone.txt"); }));
  EXPECT_EQ(client->dirChanged, 1);

  client->commandSocket.sendCWD("missing");
  ASSERT_TRUE(PumpUntil([&] { return !client->serverErrors.empty(); }));
  EXPECT_EQ(client->serverErrors.back().substr(0, 3), "550");
}

TEST_P(RealServer, ListsEmptyLargeAndNonAsciiFolders)
{
  std::string listing;
  ASSERT_TRUE(client->List(listing));
  EXPECT_EQ(listing, "");

  const std::string japanese = "日本語のファイル.txt";
  server->WriteFile(japanese, "x");
  for (int i = 0; i < 400; ++i)
    server->WriteFile("file-" + std::to_string(i) + ".dat", std::string(static_cast<std::size_t>(i), 'x'));
  ASSERT_TRUE(client->List(listing));
  EXPECT_NE(listing.find(" " + japanese + "\r\n"), std::string::npos);
  for (int i = 0; i < 400; ++i)
    EXPECT_NE(listing.find(" file-" + std::to_string(i) + ".dat\r\n"), std::string::npos) << i;

  server->MakeFolder("pub");
  server->WriteFile("pub/inner.txt", "y");
  client->commandSocket.getDirList("pub");
  ASSERT_TRUE(PumpUntil([&] { return client->listings.size() == 3; }));
  EXPECT_NE(client->listings.back().find("inner.txt"), std::string::npos);
  EXPECT_EQ(client->listings.back().find("file-1.dat"), std::string::npos);
}

TEST_P(RealServer, UploadsBinaryFilesByteForByte)
{
  constexpr std::size_t piece = UploadThread::kPieceSize;
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, piece - 1, piece, piece + 1, std::size_t{1} << 20}) {
    const std::string name = "bin-" + std::to_string(size);
    const std::string bytes = RandomBytes(size, static_cast<unsigned>(size));
    local.Write(name, bytes);
    const long long before = client->bytes;
    ASSERT_TRUE(client->Upload(local / name, name, "I")) << size << "\n" << server->Log();
    EXPECT_EQ(server->ReadFile(name), bytes) << size;
    EXPECT_EQ(client->bytes - before, static_cast<long long>(size));
  }
  // Each completion came after the data connection had closed.
  for (const auto& e : client->events)
    EXPECT_EQ(e.find("(data open)"), std::string::npos) << e;
}

TEST_P(RealServer, UploadsTextWithEveryLineEndAsTheServerExpects)
{
  // A CR LF split across two pieces must not become two lines.
  std::string split(UploadThread::kPieceSize - 1, 'a');
  split += "\r\nend\r\n";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"lf.txt", "one\ntwo\n\nthree"},
      {"crlf.txt", "one\r\ntwo\r\n\r\nthree\r\n"},
      {"cr.txt", "one\rtwo\r\rthree\r"},
      {"mixed.txt", "a\r\nb\nc\rd"},
      {"split.txt", split},
  };
  for (const auto& [name, text] : files) {
    local.Write(name, text);
    const long long before = client->bytes;
    ASSERT_TRUE(client->Upload(local / name, name, "A")) << name;
    EXPECT_EQ(server->ReadFile(name), server->TextAsStored(text)) << name;
    EXPECT_EQ(client->bytes - before, static_cast<long long>(text.size())) << name;
  }
}

TEST_P(RealServer, MakesAndRemovesFoldersAndFiles)
{
  EXPECT_TRUE(client->Command([&] { client->commandSocket.makeDirectory("made"); }));
  EXPECT_TRUE(server->Exists("made"));
  server->WriteFile("gone.txt", "x");
  EXPECT_TRUE(client->Command([&] { client->commandSocket.deleteFile("gone.txt"); }));
  EXPECT_FALSE(server->Exists("gone.txt"));
  EXPECT_TRUE(client->Command([&] { client->commandSocket.deleteDirectory("made"); }));
  EXPECT_FALSE(server->Exists("made"));

  // A folder that still holds a file: the refusal reaches the owner.
  server->WriteFile("full/keep.txt", "k");
  const std::string statusBefore = client->commandSocket.status;
  EXPECT_FALSE(client->Command([&] { client->commandSocket.deleteDirectory("full"); }));
  ASSERT_FALSE(client->serverErrors.empty());
  EXPECT_EQ(client->serverErrors.back()[0], '5');
  EXPECT_EQ(client->commandSocket.status, statusBefore);
  EXPECT_EQ(server->ReadFile("full/keep.txt"), "k");
}

TEST_P(RealServer, DownloadsReplaceTheFileOnlyWhenComplete)
{
  const std::string bin = RandomBytes(70000, 7);
  server->WriteFile("data.bin", bin);
  server->WriteFile("small.bin", "tiny");
  server->WriteFile("text.txt", "l1\nl2\n\nl3");

  ASSERT_TRUE(client->Download("data.bin", local / "data.bin", "I"));
  EXPECT_EQ(local.Read("data.bin"), bin);
  ASSERT_TRUE(client->Download("small.bin", local / "small.bin", "I"));
  EXPECT_EQ(local.Read("small.bin"), "tiny");
  server->WriteFile("empty.bin", "");
  local.Write("empty.bin", "to be replaced");
  ASSERT_TRUE(client->Download("empty.bin", local / "empty.bin", "I"));
  EXPECT_EQ(local.Read("empty.bin"), "");
  // The server sends CR LF in ASCII mode; the local file gets LF.
  ASSERT_TRUE(client->Download("text.txt", local / "text.txt", "A"));
  EXPECT_EQ(local.Read("text.txt"), "l1\nl2\n\nl3");

  // A failed download keeps the old file and leaves nothing beside it.
  local.Write("keep.bin", "old content");
  EXPECT_FALSE(client->Download("missing.bin", local / "keep.bin", "I"));
  EXPECT_EQ(local.Read("keep.bin"), "old content");
  EXPECT_FALSE(std::filesystem::exists(local / ".keep.bin.part"));
}

TEST_P(RealServer, DownloadAsksWhereToSaveWhenNoPathIsGiven)
{
  server->MakeFolder("dir/sub");
  server->WriteFile("dir/sub/report.txt", "report");
  ModalRecorder::PushPath(local / "chosen.txt");
  ASSERT_TRUE(client->Download("dir/sub/report.txt", "", "I"));
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  EXPECT_EQ(ModalRecorder::Requests()[0].kind, ModalKind::SaveFile);
  EXPECT_EQ(ModalRecorder::Requests()[0].suggestedName, "report.txt");
  EXPECT_EQ(local.Read("chosen.txt"), "report");

  // Cancelled: the owner hears of it and nothing is written.
  const std::size_t linesBefore = client->responses.size();
  client->commandSocket.getFile("dir/sub/report.txt", "", "I", "", "");
  ASSERT_TRUE(PumpUntil([&] { return client->cancelled == 1; }));
  ProcessPendingEvents(50);
  EXPECT_EQ(client->responses.size(), linesBefore);
}

TEST_P(RealServer, UnreadableLocalFileSendsNothingAndKeepsTheRemoteFile)
{
  server->WriteFile("precious.txt", "remote content");
  local.Write("first.bin", "whole");
  ASSERT_TRUE(client->Upload(local / "first.bin", "first.bin", "I")) << client->Dump();
  const std::size_t linesBefore = client->responses.size();
  client->commandSocket.storFile(local / "no-such-file.txt", "precious.txt", "I");
  ASSERT_TRUE(PumpUntil([&] { return client->cancelled == 1; }));
  ProcessPendingEvents(100);
  EXPECT_EQ(client->responses.size(), linesBefore); // no TYPE, no STOR
  EXPECT_EQ(server->ReadFile("precious.txt"), "remote content");
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  EXPECT_EQ(ModalRecorder::Requests()[0].message,
            "File Error! Are you sure the path " + (local / "no-such-file.txt") + " is valid?");
  EXPECT_EQ(client->completes, 1);
  EXPECT_FALSE(client->commandSocket.StoreOpened()) << "the server opened nothing for it";
}

TEST_P(RealServer, UploadsRunBackToBackFromTheCompletionEvent)
{
  // The next step starts inside the completion handler, as a sync run does.
  for (int i = 0; i < 5; ++i)
    local.Write("f" + std::to_string(i), RandomBytes(3000 + static_cast<std::size_t>(i), static_cast<unsigned>(i)));
  int next = 0;
  const UploadThread* thread = nullptr;
  client->onComplete = [&]() {
    if (!thread)
      thread = client->dataSocket.upthd.get();
    if (++next < 5)
      client->commandSocket.storFile(local / ("f" + std::to_string(next)), "f" + std::to_string(next), "I");
  };
  client->commandSocket.storFile(local / "f0", "f0", "I");
  ASSERT_TRUE(PumpUntil([&] { return client->completes == 5 || !client->serverErrors.empty(); }));
  ASSERT_EQ(client->completes, 5) << client->Dump() << server->Log();
  EXPECT_EQ(client->dataSocket.upthd.get(), thread); // one thread object for every upload
  EXPECT_TRUE(client->serverErrors.empty());
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(server->ReadFile("f" + std::to_string(i)), local.Read("f" + std::to_string(i)));
}

TEST_P(RealServer, StoresATextStringAndListsNames)
{
  client->commandSocket.storString("x\ry\rz", "s.txt", "A");
  ASSERT_TRUE(PumpUntil([&] { return client->completes == 1 || !client->serverErrors.empty(); }));
  EXPECT_EQ(server->ReadFile("s.txt"), server->TextAsStored("x\ry\rz"));

  client->commandSocket.getNlst();
  ASSERT_TRUE(PumpUntil([&] { return client->listings.size() == 1; }));
  EXPECT_NE(client->listings[0].find("s.txt"), std::string::npos);

  client->commandSocket.sendSYST();
  ASSERT_TRUE(PumpUntil([&] { return client->commandSocket.status.empty(); }));
  EXPECT_EQ(client->commandSocket.systemstr, "UNIX");
}

INSTANTIATE_TEST_SUITE_P(Servers, RealServer,
                         ::testing::Combine(::testing::Values(FtpServerKind::Pyftpdlib, FtpServerKind::PureFtpd,
                                                              FtpServerKind::Vsftpd, FtpServerKind::ProFtpd),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<Mode>& info) {
                           const FtpServerKind kind = std::get<0>(info.param);
                           return std::string(kind == FtpServerKind::Pyftpdlib  ? "pyftpdlib"
                                              : kind == FtpServerKind::PureFtpd ? "pureftpd"
                                              : kind == FtpServerKind::Vsftpd   ? "vsftpd"
                                                                                : "proftpd") +
                                  (std::get<1>(info.param) ? "_passive" : "_active");
                         });

// Counts are reported per piece, as read from the file or the text.
TEST(PieceCounts, FileAndTextPiecesEachReportTheirOwnSize)
{
  FtpServerProcess server(FtpServerKind::Pyftpdlib);
  TempDir local;
  FtpHarness client(server.Host(), server.Port(), server.User(), server.Password(), true);
  ASSERT_TRUE(client.Login());
  std::vector<std::int32_t> counts;
  client.dataSocket.bytesTransfered = [&](std::int32_t n) { counts.push_back(n); };
  constexpr auto piece = static_cast<std::int32_t>(UploadThread::kPieceSize);
  local.Write("f", std::string(2 * piece + 1, '\r'));
  ASSERT_TRUE(client.Upload(local / "f", "f", "A"));
  EXPECT_EQ(counts, (std::vector<std::int32_t>{piece, piece, 1}));
  EXPECT_EQ(server.ReadFile("f"), std::string(2 * piece + 1, '\n'));

  counts.clear();
  client.commandSocket.storString(std::string(1024, 's'), "s", "I");
  ASSERT_TRUE(PumpUntil([&] { return client.completes == 2; }));
  EXPECT_EQ(counts, (std::vector<std::int32_t>{512, 512, 0}));
  EXPECT_EQ(server.ReadFile("s"), std::string(1024, 's'));
}

// The one-shot transfers log in, move one file and quit by themselves.
TEST(OneShotTransfer, UploadsAndDownloadsOneFileThenQuits)
{
  FtpServerProcess server(FtpServerKind::Pyftpdlib);
  TempDir local;
  local.Write("up.bin", RandomBytes(5000, 3));
  {
    FtpHarness up("", server.Port(), "", "", true);
    up.commandSocket.UploadOneFile(server.Host(), server.User(), server.Password(), local / "up.bin", "up.bin", "I",
                                   true);
    ASSERT_TRUE(PumpUntil([&] { return up.completes == 1 && up.commandSocket.status == "quit"; }));
    EXPECT_FALSE(up.commandSocket.oneFile);
  }
  EXPECT_EQ(server.ReadFile("up.bin"), local.Read("up.bin"));
  {
    FtpHarness down("", server.Port(), "", "", false);
    down.commandSocket.downloadOneFile(server.Host(), server.User(), server.Password(), local / "down.bin", "up.bin",
                                       "I", false, "", "");
    ASSERT_TRUE(PumpUntil([&] { return down.completes == 1 && down.commandSocket.status == "quit"; }));
    EXPECT_FALSE(down.commandSocket.dOneFile);
  }
  EXPECT_EQ(local.Read("down.bin"), local.Read("up.bin"));
}

} // namespace
