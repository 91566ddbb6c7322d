// Uploads to a server that takes them slowly, or stops taking them: the
// program hands a file's last bytes to the system long before the server
// has them all. An upload is over only when the server holds every byte and
// has answered; what happens to the local file or to the data connection
// until then decides whether the server's copy can be trusted.

#include "WindowRoad.h"

#include <cstdio>
#include <fstream>

namespace {

constexpr auto kLimit = std::chrono::seconds(3);

// Small receive buffers and a large send buffer in this private network:
// once the program has written a file of a few hundred kilobytes, the
// system holds most of it for a server that reads slowly.
void HoldUploadsInTheSystem()
{
  std::ofstream("/proc/sys/net/ipv4/tcp_rmem") << "4096 16384 16384";
  std::ofstream("/proc/sys/net/ipv4/tcp_wmem") << "4096 1048576 1048576";
}

std::string Bytes(std::size_t n)
{
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i)
    s[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
  return s;
}

// "接続" and "同期" on a profile whose one new file is big.gif.
class SlowRoad {
public:
  SlowRoad(FtpServerKind kind, int uploadKBps, std::size_t size) : big(Bytes(size))
  {
    HoldUploadsInTheSystem();
    FtpServerOptions options = site::OnPort21();
    options.uploadKBps = uploadKBps;
    road = std::make_unique<Road>(kind, options, true, false);
    site::WriteAged(road->local / "big.gif", big, 1);
    road->w->commandSocket.silenceLimit = kLimit;
  }

  // Connects, and starts "同期" of big.gif.
  ::testing::AssertionResult StartSync()
  {
    if (!road->Connect())
      return ::testing::AssertionFailure() << "the compare did not end: " << Requests();
    site::AnswerGoAhead(1);
    road->w->Toolbar11.Press("ToolItem4");
    return ::testing::AssertionSuccess();
  }

  bool RunEnded() const
  {
    const Window1& w = *road->w;
    return PumpUntil(
        [&] { return !w.SyncRunning() && (w.SyncConnectionIdle() || !w.commandSocket.IsConnected()); }, 120);
  }

  std::string Log() const { return road->w->EditField5.Text(); }
  std::string Local() const { return road->local / "big.gif"; }

  std::string big;
  std::unique_ptr<Road> road;
};

enum class Edit { None, Appended, SavedAnew };

struct SlowCase {
  FtpServerKind server;
  Edit edit;
  std::string name;
};

void PrintTo(const SlowCase& c, std::ostream* os)
{
  *os << c.name;
}

class SlowServer : public ::testing::TestWithParam<SlowCase> {};

// A server that takes uploads at 40 kB/s: the system still holds most of
// the file when the program has written it, and takes several times the
// silence limit to hand it over. That is no silence: the run ends with its
// notice and the server holds the whole file. A local file saved again in
// that time (appended to, or saved anew as editors do) leaves the earlier
// version on the server, dated after the edit: the next compare ticks it,
// and the run after sends the edit.
TEST_P(SlowServer, TakesTheWholeFileAndAnEditMadeMeanwhileGoesUpNext)
{
  if (!RunInPrivateNetwork())
    return;
  const SlowCase c = GetParam();
  SlowRoad t(c.server, 40, 400 << 10);
  Window1& w = *t.road->w;
  ASSERT_TRUE(t.StartSync());
  const std::string edited = t.big + "edited";
  if (c.edit != Edit::None) {
    // Read and written whole: only the server's part is still to come.
    ASSERT_TRUE(PumpUntil([&] { return w.dataSocket.UploadDelivering(); })) << Requests();
    if (c.edit == Edit::Appended) {
      std::ofstream(t.Local(), std::ios::binary | std::ios::app) << "edited";
    } else {
      site::WriteAged(t.Local() + ".new", edited, 0);
      ASSERT_EQ(std::rename((t.Local() + ".new").c_str(), t.Local().c_str()), 0);
    }
    // Saved minutes before the server's answer, as on a slower line: not in
    // the minute the server's copy is dated with.
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = std::time(nullptr) - 180;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ASSERT_EQ(::utimensat(AT_FDCWD, t.Local().c_str(), times, 0), 0);
  }
  ASSERT_TRUE(t.RunEnded()) << Requests();
  EXPECT_EQ(ModalRecorder::CountHolding("did not answer"), 0) << Requests();
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 1) << Requests();
  EXPECT_TRUE(t.road->server.ReadFile("site/big.gif") == t.big) << "the server holds the whole file as it was read";
  if (c.edit == Edit::None)
    return;
  EXPECT_NE(t.Log().find("The local file of /site/big.gif changed after it was read"), std::string::npos) << t.Log();
  ASSERT_TRUE(t.road->ConnectAndSync());
  EXPECT_NE(t.Log().find("Ticked " + t.Local() + " for upload"), std::string::npos) << t.Log();
  EXPECT_TRUE(t.road->server.ReadFile("site/big.gif") == edited) << "the edit went up";
}

INSTANTIATE_TEST_SUITE_P(Ways, SlowServer,
                         ::testing::Values(SlowCase{FtpServerKind::Vsftpd, Edit::None, "vsftpd"},
                                           SlowCase{FtpServerKind::ProFtpd, Edit::None, "proftpd"},
                                           SlowCase{FtpServerKind::Vsftpd, Edit::Appended, "vsftpdAppended"},
                                           SlowCase{FtpServerKind::ProFtpd, Edit::SavedAnew, "proftpdSavedAnew"}),
                         [](const auto& info) { return info.param.name; });

// pyftpdlib takes a reset of the data connection for the end of the file
// and answers 226. Reset while the system still holds most of the file for
// it: the upload failed all the same. A box names the file, nothing is
// deleted, and the next compare ticks the file again.
TEST(SlowServerReset, AnsweredWithSuccessStillFailsTheUpload)
{
  if (!RunInPrivateNetwork())
    return;
  SlowRoad t(FtpServerKind::Pyftpdlib, 0, 600 << 10);
  Window1& w = *t.road->w;
  // The server reads nothing more from the first piece on; its system
  // still takes what fits.
  const auto counted = w.dataSocket.bytesTransfered;
  bool paused = false;
  w.dataSocket.bytesTransfered = [&](std::int32_t count) {
    if (!paused)
      t.road->server.Pause();
    paused = true;
    counted(count);
  };
  ASSERT_TRUE(t.StartSync());
  ASSERT_TRUE(PumpUntil([&] { return w.totalBytes == static_cast<std::int64_t>(t.big.size()); })) << Requests();
  PumpFor(300); // the last piece goes to the system, and the sending side is shut
  EXPECT_EQ(w.dataSocket.BytesToWrite(), 0u);
  ASSERT_TRUE(CloseSockets("src 127.0.0.1 sport = :" + std::to_string(PassivePort(LastPassiveReply(t.Log())))))
      << "ss -K cannot close sockets here";
  t.road->server.Resume();
  ASSERT_TRUE(t.RunEnded()) << Requests();
  // pyftpdlib's answer to the reset: the STOR's own, after its opening.
  ASSERT_TRUE(PumpUntil([&] {
    const std::string log = t.Log();
    return log.find("226 ", log.rfind("125 ")) != std::string::npos;
  })) << t.Log();
  PumpFor(300); // a DELE would be answered by now
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0) << Requests();
  EXPECT_EQ(ModalRecorder::CountHolding("The upload of /site/big.gif was cut short: the server may still hold its older copy"), 1)
      << Requests();
  EXPECT_TRUE(t.road->server.Exists("site/big.gif")) << "not deleted";
  EXPECT_FALSE(t.road->server.ReadFile("site/big.gif") == t.big);
  ASSERT_TRUE(t.road->ConnectAndSync());
  EXPECT_NE(t.Log().find("Ticked " + t.Local() + " for upload"), std::string::npos) << t.Log();
  EXPECT_TRUE(t.road->server.ReadFile("site/big.gif") == t.big);
}

class ServerStopsReading : public ::testing::TestWithParam<bool> {};

// A slow server that stops reading mid-file (it hangs), while the program
// still writes or once it has written the last byte: nothing moves, and the
// silence limit ends the upload with its box, naming the file.
TEST_P(ServerStopsReading, EndsWithTheSilenceBox)
{
  if (!RunInPrivateNetwork())
    return;
  const bool whileWriting = GetParam();
  SlowRoad t(FtpServerKind::Vsftpd, 40, whileWriting ? 4 << 20 : 400 << 10);
  Window1& w = *t.road->w;
  ASSERT_TRUE(t.StartSync());
  ASSERT_TRUE(PumpUntil([&] { return whileWriting ? w.totalBytes > 0 : w.dataSocket.UploadDelivering(); }))
      << Requests();
  t.road->server.Pause();
  ASSERT_TRUE(PumpUntil([&] { return !w.commandSocket.IsConnected(); }, 60)) << Requests();
  t.road->server.Resume();
  EXPECT_EQ(ModalRecorder::CountHolding("The server did not answer for 3 seconds"), 1) << Requests();
  EXPECT_EQ(ModalRecorder::CountHolding("/site/big.gif"), 1) << Requests();
  EXPECT_EQ(ModalRecorder::Count(ConnectionText::SyncFinished), 0) << Requests();
}

INSTANTIATE_TEST_SUITE_P(Ways, ServerStopsReading, ::testing::Bool(), [](const auto& info) {
  return std::string(info.param ? "whileTheProgramWrites" : "afterTheLastByteIsWritten");
});

} // namespace
