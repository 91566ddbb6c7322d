// Replies no real server gives on demand, from a scripted fake server.
#include "FtpHarness.h"
#include "FtpServers.h"
#include "ModalRecorder.h"
#include "ScriptedFtpServer.h"
#include "TempDir.h"

#include "framework/Thread.h"
#include "ftp/UploadThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

// Logs in and opens a passive data connection for one transfer command.
void PassiveTransfer(ScriptSession& s, const std::string& type, const std::string& command)
{
  s.Login();
  s.Expect("TYPE " + type);
  s.Send(type == "A" ? "200 ascii\r\n" : "200 binary\r\n");
  s.Expect("PASV");
  s.Send(s.OpenPassive());
  s.AcceptData();
  s.Expect(command);
}

std::unique_ptr<FtpHarness> Client(const ScriptedFtpServer& server, bool passive = true)
{
  return std::make_unique<FtpHarness>("127.0.0.1", server.Port(), "quill", "secret", passive);
}

// Names an enum parameter's cases in their order of declaration.
template <typename Enum>
auto ParamNames(std::vector<std::string> names)
{
  return [names](const ::testing::TestParamInfo<Enum>& info) { return names[static_cast<std::size_t>(info.param)]; };
}

// A listener whose queue of one is taken: a connection to port hangs.
struct HangingPort {
  int full = ::socket(AF_INET, SOCK_STREAM, 0);
  int taken = ::socket(AF_INET, SOCK_STREAM, 0);
  int port = 0;
  HangingPort()
  {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(full, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(full, 0) != 0 ||
        ::getsockname(full, reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
        ::connect(taken, reinterpret_cast<sockaddr*>(&a), len) != 0)
      throw std::runtime_error("no hanging port");
    port = ntohs(a.sin_port);
  }
  ~HangingPort()
  {
    ::close(taken);
    ::close(full);
  }
};

class ScriptedServer : public ::testing::Test {
protected:
  void SetUp() override { ModalRecorder::Clear(); }
  void TearDown() override { SetUserCancelled(false); }
  TempDir local;
};

TEST_F(ScriptedServer, RepliesSplitAtEveryByteTakeEachStepOnce)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    s.SendByteByByte("220-Welcome\r\n220-to the fake\r\n220 ready\r\n");
    s.Expect("USER quill");
    s.SendByteByByte("331-Password\r\n331 please\r\n");
    s.Expect("PASS secret");
    s.SendByteByByte("230 in\r\n");
    s.Expect("PWD");
    s.SendByteByByte("257 \"/home\"\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  ProcessPendingEvents(100);
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER quill", "PASS secret", "PWD"}));
  EXPECT_EQ(client->responses, (std::vector<std::string>{"220-Welcome", "220-to the fake", "220 ready",
                                                         "331-Password", "331 please", "230 in", "257 \"/home\""}));
  EXPECT_EQ(client->loggedIn, 1);
  EXPECT_EQ(client->commandSocket.userTries, 1);
}

// A greeting sent as two whole replies is still one greeting: one USER,
// and the second "220" is not taken for USER's answer.
TEST_F(ScriptedServer, GreetingInTwoRepliesLogsInOnce)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    s.Send("220 Welcome\r\n220 Ready\r\n");
    s.Expect("USER quill");
    s.Send("331 password please\r\n");
    s.Expect("PASS secret");
    s.Send("230 in\r\n");
    s.Expect("PWD");
    s.Send("257 \"/\"\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login()) << client->Dump();
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER quill", "PASS secret", "PWD"}));
}

TEST_F(ScriptedServer, ThreeLoginRefusalsEndInOneServerError)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    s.Send("220 fake\r\n");
    s.Expect("USER");
    s.Send("530 Login incorrect.\r\n");
    s.Expect("USER");
    // A refusal in two lines and two reads is still one refusal.
    s.Send("530-Denied\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    s.Send("530 Login incorrect.\r\n");
    s.Expect("USER");
    s.Send("530 Login incorrect.\r\n");
    s.QuietFor(300);
  });
  auto client = Client(server);
  client->commandSocket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  ProcessPendingEvents(50);
  EXPECT_EQ(server.Failure(), "");
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER quill", "USER quill", "USER quill"}));
  ASSERT_EQ(client->serverErrors.size(), 1u);
  EXPECT_EQ(client->serverErrors[0], "530 Login incorrect.\r\n");
  EXPECT_EQ(client->loggedIn, 0);
}

// After the login a "530" refuses the command in flight like any other
// error: no new login, whose answers would be taken for that command's.
TEST_F(ScriptedServer, RefusalAfterTheLoginIsAnErrorAndStartsNoNewLogin)
{
  bool quiet = false;
  ScriptedFtpServer server([&quiet](ScriptSession& s) {
    s.Login();
    s.Expect("MKD /a");
    s.Send("530 Not logged in.\r\n");
    quiet = s.QuietFor(300);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  client->commandSocket.makeDirectory("/a");
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  ProcessPendingEvents(50);
  EXPECT_EQ(server.Failure(), "");
  EXPECT_TRUE(quiet) << "nothing may follow the refusal";
  EXPECT_EQ(client->serverErrors, (std::vector<std::string>{"530 Not logged in.\r\n"}));
  EXPECT_EQ(client->commandSocket.userTries, 1);
}

TEST_F(ScriptedServer, CommandWrittenBeforeTheGreetingCountsAsALoginAttempt)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    s.Expect("CWD /start");
    s.Send("220 fake\r\n");
    s.Send("530 Please login with USER and PASS.\r\n");
    s.Expect("USER");
    s.Expect("USER");
    s.Send("331 pw\r\n331 pw\r\n");
    s.Expect("PASS");
    s.Send("230 in\r\n");
    s.Expect("PWD");
    s.Send("257 \"/\"\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  client->commandSocket.Connect();
  client->commandSocket.sendCWD("/start"); // held until the connection is up
  ASSERT_TRUE(PumpUntil([&] { return client->loggedIn == 1 || server.Done(); }));
  EXPECT_EQ(server.Failure(), "");
  EXPECT_EQ(client->commandSocket.userTries, 2);
}

// "切断" while the connection is still being made writes QUIT, held until it
// is up; "接続" then drops that connection for a new one, where the QUIT is
// never sent and no answer may be taken for it.
TEST_F(ScriptedServer, QuitWrittenWhileConnectingIsForgottenByTheNextConnection)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    s.Login();
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  client->commandSocket.Address = "localhost"; // still being looked up below
  client->commandSocket.Connect();
  client->commandSocket.sendQUIT();
  client->commandSocket.Close();
  client->commandSocket.Address = "127.0.0.1";
  client->commandSocket.silenceLimit = std::chrono::milliseconds(3000);
  ASSERT_TRUE(client->Login()) << client->Dump();
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER quill", "PASS secret", "PWD"}));
}

class OpeningAndRefusalInOneRead : public ScriptedServer, public ::testing::WithParamInterface<bool> {};

// "150" and a refusal arrive together: no byte is moved or reported either
// way, and the local file stays as it was.
TEST_P(OpeningAndRefusalInOneRead, MovesNothingAndKeepsTheOldFile)
{
  const bool upload = GetParam();
  ScriptedFtpServer server([upload](ScriptSession& s) {
    PassiveTransfer(s, "I", upload ? "STOR f.bin" : "RETR f.bin");
    s.Send("150 Opening data connection\r\n550 Failed to open file\r\n");
    s.CloseData();
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  local.Write("keep.bin", "old");
  if (upload)
    EXPECT_FALSE(client->Upload(local / "keep.bin", "f.bin", "I"));
  else
    EXPECT_FALSE(client->Download("f.bin", local / "keep.bin", "I"));
  ProcessPendingEvents(100);
  ASSERT_EQ(client->serverErrors.size(), 1u);
  EXPECT_EQ(client->serverErrors[0], "550 Failed to open file\r\n");
  EXPECT_EQ(client->responses.back(), "150 Opening data connection");
  EXPECT_EQ(client->completes, 0);
  EXPECT_EQ(client->dataErrors, 0);
  EXPECT_EQ(client->bytes, 0);
  EXPECT_EQ(local.Read("keep.bin"), "old");
  EXPECT_FALSE(std::filesystem::exists(local / ".keep.bin.part"));
}

INSTANTIATE_TEST_SUITE_P(Ways, OpeningAndRefusalInOneRead, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("upload") : std::string("download");
                         });

TEST_F(ScriptedServer, ResetDuringADownloadKeepsTheOldFile)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    PassiveTransfer(s, "I", "RETR f.bin");
    s.Send("150 Opening\r\n");
    s.SendData(std::string(50000, 'z'));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    s.ResetData();
    s.Send("426 Connection reset\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  local.Write("keep.bin", "old");
  local.Write(".keep.bin.part", "mine"); // the user's, not ours to write over
  client->commandSocket.getFile("f.bin", local / "keep.bin", "I", "", "");
  ASSERT_TRUE(PumpUntil([&] { return client->serverErrors.size() == 1; }));
  ProcessPendingEvents(100);
  EXPECT_EQ(client->completes, 0);
  EXPECT_EQ(local.Read("keep.bin"), "old");
  EXPECT_EQ(local.Read(".keep.bin.part"), "mine");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(local.Path()), std::filesystem::directory_iterator()), 2); // nothing of ours left
  for (const auto& e : client->events)
    EXPECT_NE(e, "dataSocket.Error 102");
}

class UploadCutShort : public ScriptedServer, public ::testing::WithParamInterface<bool> {};

// The server drops the data connection in the middle of an upload, with a
// reset or with an orderly close: the owner is told, nothing completes.
TEST_P(UploadCutShort, IsReportedAndNeverCompletes)
{
  const bool reset = GetParam();
  ScriptedFtpServer server([reset](ScriptSession& s) {
    PassiveTransfer(s, "I", "STOR big.bin");
    s.Send("150 Ok to send\r\n");
    s.ReadData(8192);
    if (reset) {
      s.ResetData();
    } else {
      // Not read for a while: the client must see the close while it still
      // has most of the file to send, not after it has sent it all.
      s.EndDataSending();
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      s.ReadDataUntilClosed();
    }
    s.Send("426 Connection closed; transfer aborted.\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  local.Write("big.bin", std::string(32 << 20, 'b'));
  EXPECT_FALSE(client->Upload(local / "big.bin", "big.bin", "I"));
  ASSERT_TRUE(PumpUntil([&] {
    return client->dataSocket.upthd && client->dataSocket.upthd->State() == Thread::ThreadState::Ended;
  }));
  ProcessPendingEvents(100);
  EXPECT_EQ(client->completes, 0);
  if (!reset) {
    ASSERT_EQ(client->dataErrors, 1);
    EXPECT_EQ(client->dataSocket.LastErrorCode(), kSocketRemoteClosed);
  }
  EXPECT_FALSE(client->serverErrors.empty() && client->dataErrors == 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, UploadCutShort, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("reset") : std::string("orderlyClose");
                         });

// The local file is removed while the upload is being set up: it was open
// already, so the server gets it whole, not an empty or cut-off copy in
// place of its own.
TEST_F(ScriptedServer, FileRemovedWhileItsUploadIsSetUpIsSentWhole)
{
  local.Write("gone.bin", "whole");
  const std::string path = local / "gone.bin";
  std::string received;
  ScriptedFtpServer server([&](ScriptSession& s) {
    s.Login();
    s.Expect("TYPE I");
    std::filesystem::remove(path);
    s.Send("200 binary\r\n");
    s.Expect("PASV");
    s.Send(s.OpenPassive());
    s.AcceptData();
    s.Expect("STOR gone.bin");
    s.Send("150 Ok to send\r\n");
    received = s.ReadDataUntilClosed();
    s.Send("226 done\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  EXPECT_TRUE(client->Upload(path, "gone.bin", "I")) << client->Dump();
  EXPECT_EQ(received, "whole");
}

enum class StopBy { Cancel, OwnerCloses, HandlerThrows, FileWrittenTo, FileReplaced };

class UploadStopped : public ScriptedServer, public ::testing::WithParamInterface<StopBy> {};

// A cancel request, the owner closing the data connection (quitting in the
// middle of a transfer), an exception on the upload thread, or the local
// file saved anew while it goes out (in place, or by a rename over it)
// resets it: the server keeps no partial or mixed file as complete.
TEST_P(UploadStopped, ResetsTheDataConnection)
{
  const StopBy by = GetParam();
  bool reset = false;
  ScriptedFtpServer server([&reset](ScriptSession& s) {
    PassiveTransfer(s, "I", "STOR c.bin");
    s.Send("150 Ok to send\r\n");
    s.ReadDataUntilClosed();
    reset = s.DataWasReset();
    s.Send("426 Connection closed; transfer aborted.\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  local.Write("c.bin", std::string(100000, 'c'));
  bool once = false;
  client->dataSocket.bytesTransfered = [&](std::int32_t) {
    if (by == StopBy::Cancel) {
      SetUserCancelled(true);
    } else if (by == StopBy::OwnerCloses) {
      client->dataSocket.Close();
    } else if (by == StopBy::FileWrittenTo || by == StopBy::FileReplaced) {
      if (!once)
        local.Write(by == StopBy::FileReplaced ? "new.bin" : "c.bin", std::string(100000, 'n'));
      if (!once && by == StopBy::FileReplaced)
        std::filesystem::rename(local / "new.bin", local / "c.bin");
      once = true;
    } else {
      throw std::runtime_error("handler failed");
    }
  };
  client->commandSocket.storFile(local / "c.bin", "c.bin", "I");
  ASSERT_TRUE(PumpUntil([&] { return client->serverErrors.size() == 1; }));
  ProcessPendingEvents(50);
  if (by == StopBy::OwnerCloses) {
    EXPECT_EQ(client->dataErrors, 0); // the owner closed it and knows
  } else {
    EXPECT_EQ(client->dataErrors, 1);
    EXPECT_EQ(client->dataSocket.LastErrorCode(),
              by == StopBy::FileWrittenTo || by == StopBy::FileReplaced ? kSocketLocalFileChanged
                                                                        : kSocketUploadStopped);
  }
  EXPECT_FALSE(UserCancelled()); // answered, so the next upload runs
  EXPECT_EQ(client->completes, 0);
  EXPECT_TRUE(reset);
}

INSTANTIATE_TEST_SUITE_P(Ways, UploadStopped,
                         ::testing::Values(StopBy::Cancel, StopBy::OwnerCloses, StopBy::HandlerThrows,
                                           StopBy::FileWrittenTo, StopBy::FileReplaced),
                         ParamNames<StopBy>({"cancel", "ownerCloses", "handlerThrows", "fileWrittenTo",
                                             "fileReplaced"}));

struct FinalReplyCase {
  const char* reply;
  bool completes;
};

class UploadFinalReply : public ScriptedServer, public ::testing::WithParamInterface<FinalReplyCase> {};

TEST_P(UploadFinalReply, DecidesAfterTheDataConnectionClosed)
{
  const FinalReplyCase c = GetParam();
  std::string received;
  bool quietWhileOpen = false;
  ScriptedFtpServer server([&](ScriptSession& s) {
    PassiveTransfer(s, "A", "STOR t.txt");
    s.Send("125 Data connection already open\r\n");
    received = s.ReadDataUntilClosed();
    quietWhileOpen = s.QuietFor(200);
    s.Send(std::string(c.reply) + "\r\n");
    if (c.completes) {
      s.Expect("MKD next"); // written from the completion handler
      s.Send("257 made\r\n");
    }
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  client->onComplete = [&]() { client->commandSocket.makeDirectory("next"); };
  local.Write("t.txt", "a\nb\r\nc\r");
  client->commandSocket.storFile(local / "t.txt", "t.txt", "A");
  ASSERT_TRUE(PumpUntil([&] {
    return (client->completes == 1 && client->responses.back() == "257 made") || !client->serverErrors.empty();
  }));
  EXPECT_EQ(server.Failure(), "");
  EXPECT_EQ(received, "a\r\nb\r\nc\r\n");
  EXPECT_TRUE(quietWhileOpen);
  if (c.completes) {
    EXPECT_EQ(client->completes, 1);
    // The final reply is reported before the completion.
    const auto reply = std::find(client->events.begin(), client->events.end(), "gotResponse " + std::string(c.reply));
    const auto done = std::find(client->events.begin(), client->events.end(), "FileTransferComplete");
    EXPECT_LT(reply, done);
  } else {
    EXPECT_EQ(client->completes, 0);
    ASSERT_EQ(client->serverErrors.size(), 1u);
    EXPECT_EQ(client->serverErrors[0], std::string(c.reply) + "\r\n");
  }
}

INSTANTIATE_TEST_SUITE_P(Replies, UploadFinalReply,
                         ::testing::Values(FinalReplyCase{"226 Transfer complete", true},
                                           FinalReplyCase{"552 Quota exceeded", false},
                                           FinalReplyCase{"451 Local error", false}),
                         [](const ::testing::TestParamInfo<FinalReplyCase>& info) {
                           return std::string("reply") + std::string(info.param.reply).substr(0, 3);
                         });

// A text the owner sends itself, on its own thread, completes on the final
// reply, as an upload on the upload thread does.
TEST_F(ScriptedServer, StringSentOnTheCallersThreadCompletesOnTheFinalReply)
{
  std::string received;
  ScriptedFtpServer server([&received](ScriptSession& s) {
    PassiveTransfer(s, "I", "STOR s.txt");
    received = s.ReadDataUntilClosed();
    s.CloseData();
    s.Send("226 Transfer complete\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  client->commandSocket.storString("hello", "s.txt", "I");
  ASSERT_TRUE(PumpUntil([&] { return server.Commands().back() == "STOR s.txt"; }));
  client->dataSocket.sendString();
  ASSERT_TRUE(PumpUntil([&] { return client->completes == 1 || !client->serverErrors.empty(); }, 5))
      << client->Dump();
  EXPECT_EQ(received, "hello");
  EXPECT_EQ(client->events.back(), "FileTransferComplete");
  EXPECT_EQ(client->events.end()[-2], "gotResponse 226 Transfer complete");
}

TEST_F(ScriptedServer, TextDownloadHoldsACrAtTheEndOfARead)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    PassiveTransfer(s, "A", "RETR t.txt");
    // The final reply comes before the data ends: completion waits for both.
    s.Send("150 Opening\r\n");
    for (const char* piece : {"a\r", "\nb\r", "c\r\n", "\r"}) {
      s.SendData(piece);
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    s.Send("226 done\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    s.CloseData();
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  ASSERT_TRUE(client->Download("t.txt", local / "t.txt", "A"));
  EXPECT_EQ(local.Read("t.txt"), "a\nb\rc\n\r");
}

// A download into a folder that is not there fails at once, as a file
// error, without a stray file in the folder above.
TEST_F(ScriptedServer, DownloadIntoAMissingFolderSendsNothingAndWritesNowhere)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    s.Login();
    s.QuietFor(300);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  client->commandSocket.getFile("f.bin", local / "gone/f.bin", "I", "", "");
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  EXPECT_EQ(ModalRecorder::Requests()[0].message,
            "File Error! Are you sure the path " + (local / "gone/f.bin") + " is valid?");
  EXPECT_EQ(server.Commands().back(), "PWD");
  EXPECT_TRUE(std::filesystem::is_empty(local.Path()));
}

enum class Deleter { GotResponse, GotServerError, LoggedIn };

class OwnerDeletes : public ScriptedServer, public ::testing::WithParamInterface<Deleter> {};

// The owner gives up on the connection from inside one of its events: the
// rest of the reply is not read from a deleted socket.
TEST_P(OwnerDeletes, TheControlConnectionInsideItsOwnEvent)
{
  const Deleter by = GetParam();
  ScriptedFtpServer server([by](ScriptSession& s) {
    s.Send("220-fake\r\n220 ready\r\n");
    s.Expect("USER quill");
    if (by == Deleter::GotServerError) {
      s.Send("500 no\r\n221 more after it\r\n");
    } else {
      s.Send("331 password please\r\n");
      s.Expect("PASS secret");
      s.Send("230 in\r\n");
      s.Expect("PWD");
      s.Send("257 \"/\"\r\n200 more after it\r\n");
    }
    s.QuietFor(300);
  });
  FtpDataSocket data;
  auto* control = new FtpCommandSocket;
  control->Address = "127.0.0.1";
  control->Port = server.Port();
  control->userID = "quill";
  control->password = "secret";
  control->dataPort = &data;
  auto drop = [&control]() {
    FtpCommandSocket* const gone = control;
    control = nullptr;
    delete gone;
  };
  control->gotResponse = [&, drop](const std::string& line) {
    if (by == Deleter::GotResponse && line.rfind("257", 0) == 0)
      drop();
  };
  control->gotServerError = [&, drop](const std::string&) {
    if (by == Deleter::GotServerError)
      drop();
  };
  control->loggedIn = [&, drop](const std::string&) {
    if (by == Deleter::LoggedIn)
      drop();
  };
  control->Connect();
  ASSERT_TRUE(PumpUntil([&] { return control == nullptr; }));
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  ProcessPendingEvents(50);
}

INSTANTIATE_TEST_SUITE_P(Events, OwnerDeletes,
                         ::testing::Values(Deleter::GotResponse, Deleter::GotServerError, Deleter::LoggedIn),
                         ParamNames<Deleter>({"gotResponse", "gotServerError", "loggedIn"}));

// A download completes on its final reply after the data closed; the owner
// may drop the data connection from that completion.
TEST_F(ScriptedServer, OwnerDeletesTheDataConnectionWhenADownloadCompletes)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    PassiveTransfer(s, "I", "RETR d.bin");
    s.Send("150 Opening\r\n");
    s.SendData("data");
    s.CloseData();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    s.Send("226 done\r\n");
    s.QuietFor(300);
  });
  auto client = Client(server);
  auto* data = new FtpDataSocket;
  client->commandSocket.dataPort = data;
  bool completed = false;
  data->FileTransferComplete = [&, data]() {
    completed = true;
    client->commandSocket.dataPort = nullptr;
    delete data;
  };
  ASSERT_TRUE(client->Login());
  client->commandSocket.getFile("d.bin", local / "d.bin", "I", "", "");
  ASSERT_TRUE(PumpUntil([&] { return completed; })) << client->Dump();
  EXPECT_EQ(local.Read("d.bin"), "data");
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
}

enum class CutBy { Close, Abort, Destroy, HandlerThrows };

class DownloadLeftBehind : public ScriptedServer, public ::testing::WithParamInterface<CutBy> {};

// The owner closes or resets the data connection in the middle of a download
// (a quit during a transfer, a new connection), drops both connections, or
// its count handler throws: the old file stays and no partial file is left
// beside it.
TEST_P(DownloadLeftBehind, LeavesTheOldFileAndNoPartialOne)
{
  const CutBy by = GetParam();
  ScriptedFtpServer server([](ScriptSession& s) {
    PassiveTransfer(s, "I", "RETR d.bin");
    s.Send("150 Opening\r\n");
    s.SendData(std::string(5000, 'n'));
    s.QuietFor(500);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  local.Write("d.bin", "old");
  long long got = 0;
  client->dataSocket.bytesTransfered = [&](std::int32_t n) {
    got += n;
    if (by == CutBy::HandlerThrows)
      throw std::runtime_error("count failed");
  };
  client->commandSocket.getFile("d.bin", local / "d.bin", "I", "", "");
  ASSERT_TRUE(PumpUntil([&] { return by == CutBy::HandlerThrows ? client->dataErrors == 1 : got == 5000; }));
  if (by == CutBy::Destroy) {
    client.reset();
  } else if (by == CutBy::Close) {
    client->dataSocket.Close();
  } else if (by == CutBy::Abort) {
    client->dataSocket.Abort();
  } else {
    // The owner's own failure, not the file's: told with its own text.
    EXPECT_EQ(client->dataSocket.LastErrorCode(), kSocketUploadStopped);
    EXPECT_EQ(ModalRecorder::Count("An unexpected error occurred: count failed"), 1);
  }
  ProcessPendingEvents(50);
  EXPECT_EQ(local.Read("d.bin"), "old");
  EXPECT_FALSE(std::filesystem::exists(local / ".d.bin.part"));
}

INSTANTIATE_TEST_SUITE_P(Ways, DownloadLeftBehind,
                         ::testing::Values(CutBy::Close, CutBy::Abort, CutBy::Destroy, CutBy::HandlerThrows),
                         ParamNames<CutBy>({"closed", "aborted", "destroyed", "handlerThrows"}));

// The server has the whole file but never answers the STOR; the owner gives
// up with a reset (as it does before connecting anew): the upload thread
// ends, so the next upload can start.
TEST_F(ScriptedServer, ResetWhileAwaitingTheFinalReplyEndsTheUpload)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    PassiveTransfer(s, "I", "STOR u.bin");
    s.Send("150 Ok to send\r\n");
    s.ReadDataUntilClosed();
    s.CloseData();
    s.QuietFor(2000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  local.Write("u.bin", std::string(3000, 'u'));
  client->commandSocket.storFile(local / "u.bin", "u.bin", "I");
  ASSERT_TRUE(PumpUntil([&] { return client->bytes == 3000 && !client->dataSocket.IsOpen(); }));
  ProcessPendingEvents(100);
  ASSERT_EQ(client->dataSocket.upthd->State(), Thread::ThreadState::Running); // awaiting the reply
  client->dataSocket.Abort();
  EXPECT_TRUE(PumpUntil([&] { return client->dataSocket.upthd->State() == Thread::ThreadState::Ended; }, 2));
  EXPECT_EQ(client->completes, 0);
  EXPECT_EQ(client->dataErrors, 0); // the owner reset it and knows
}

// The final reply of a download can come before its data connection has
// closed; an owner that asks for the next listing on that reply must not
// cut the download off (in active mode PORT opens a new listener at once).
TEST_F(ScriptedServer, NextTransferAskedOnTheFinalReplyWaitsForTheDownloadToEnd)
{
  const std::string content(100000, 'x');
  ScriptedFtpServer server([&content](ScriptSession& s) {
    s.Login();
    s.Expect("TYPE I");
    s.Send("200 binary\r\n");
    const std::string port = s.Expect("PORT ");
    s.ConnectData(port);
    s.Send("200 PORT ok\r\n");
    s.Expect("RETR d.bin");
    s.Send("150 Opening\r\n");
    s.SendData(content);
    s.Send("226 done\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    s.CloseData();
    const std::string next = s.Expect("PORT ");
    s.ConnectData(next);
    s.Send("200 PORT ok\r\n");
    s.Expect("LIST");
    s.Send("150 listing\r\n");
    s.CloseData();
    s.Send("226 done\r\n");
    s.QuietFor(200);
  });
  auto client = Client(server, false);
  ASSERT_TRUE(client->Login());
  bool asked = false; // the listing's own 226 must not ask again
  client->commandSocket.gotResponse = [&](const std::string& line) {
    client->responses.push_back(line);
    if (line == "226 done" && !asked) {
      asked = true;
      client->commandSocket.getList();
    }
  };
  client->commandSocket.getFile("d.bin", local / "d.bin", "I", "", "");
  ASSERT_TRUE(PumpUntil([&] { return !client->listings.empty() || client->dataErrors > 0; }, 5)) << client->Dump();
  EXPECT_EQ(client->completes, 1);
  EXPECT_TRUE(local.Read("d.bin") == content);
  EXPECT_EQ(server.Failure(), "");
}

// The control connection ends before the download began: its temporary
// file goes at once, not only when the socket does.
TEST_F(ScriptedServer, ControlConnectionLostBeforeADownloadLeavesNoPartialFile)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    s.Login();
    s.Expect("TYPE I");
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  client->commandSocket.getFile("d.bin", local / "d.bin", "I", "", "");
  ASSERT_TRUE(PumpUntil([&] { return client->commandErrors == 1; }));
  EXPECT_EQ(client->commandSocket.LastErrorCode(), kSocketRemoteClosed);
  EXPECT_TRUE(std::filesystem::is_empty(local.Path()));
}

TEST_F(ScriptedServer, ArgumentWithALineBreakIsNeverWritten)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    s.Login();
    s.Expect("MKD ok");
    s.Send("257 made\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  for (const std::string& bad : {std::string("a\r\nDELE b"), std::string("a\nb"), std::string("a\0b", 3)})
    client->commandSocket.deleteFile(bad);
  client->commandSocket.storFile(local / "x", "x\r\nDELE y", "I");
  ASSERT_TRUE(PumpUntil([&] { return client->serverErrors.size() == 4; }));
  client->commandSocket.makeDirectory("ok");
  ASSERT_TRUE(PumpUntil([&] { return client->responses.back() == "257 made"; }));
  EXPECT_EQ(server.Commands(), (std::vector<std::string>{"USER quill", "PASS secret", "PWD", "MKD ok"}));
}

// An upload whose 227 cannot be read connects nowhere, and leaves no step
// that the next command's answer could take up.
TEST_F(ScriptedServer, MalformedPassiveReplyConnectsNowhere)
{
  bool quiet = false;
  ScriptedFtpServer server([&quiet](ScriptSession& s) {
    s.Login();
    s.Expect("TYPE I");
    s.Send("200 binary\r\n");
    s.Expect("PASV");
    s.Send("227 Entering Passive Mode (127,0,0,1,4)\r\n");
    s.Expect("MKD made");
    s.Send("257 \"made\"\r\n");
    quiet = s.QuietFor(300);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  local.Write("f.bin", "f");
  client->commandSocket.storFile(local / "f.bin", "f.bin", "I");
  ASSERT_TRUE(PumpUntil([&] { return client->serverErrors.size() == 1; }));
  EXPECT_EQ(client->serverErrors[0], "227 Entering Passive Mode (127,0,0,1,4)\r\n");
  EXPECT_FALSE(client->dataSocket.IsOpen());
  client->commandSocket.makeDirectory("made");
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  EXPECT_EQ(server.Failure(), "");
  EXPECT_TRUE(quiet);
  EXPECT_FALSE(client->commandSocket.StoreOpened());
  EXPECT_EQ(client->completes + client->dataErrors, 0);
}

// A passive transfer command goes out only once its data connection is up,
// to the address the control connection reached (the host name may name
// another host by now): when it cannot be made, no STOR empties the
// server's file, and the connection goes on.
TEST_F(ScriptedServer, PassiveDataConnectionThatCannotBeMadeWritesNoTransferCommand)
{
  const int nobody = FreeLocalPort();
  ScriptedFtpServer server([&](ScriptSession& s) {
    s.Login();
    s.Expect("TYPE I");
    s.Send("200 binary\r\n");
    s.Expect("PASV");
    s.Send("227 Entering Passive Mode (10,9,8,7," + std::to_string(nobody / 256) + "," +
           std::to_string(nobody % 256) + ")\r\n");
    s.Expect("MKD made"); // and no STOR before it
    s.Send("257 \"made\"\r\n");
  });
  FtpHarness client("localhost", server.Port(), "quill", "secret", true);
  ASSERT_TRUE(client.Login());
  local.Write("f.bin", "f");
  client.commandSocket.storFile(local / "f.bin", "f.bin", "I");
  ASSERT_TRUE(PumpUntil([&] { return client.dataErrors == 1; })) << client.Dump();
  EXPECT_EQ(client.dataSocket.Address, "127.0.0.1");
  EXPECT_EQ(client.dataSocket.LastErrorCode(), kSocketConnectFailed);
  EXPECT_FALSE(client.commandSocket.StoreWritten());
  EXPECT_TRUE(client.Command([&] { client.commandSocket.makeDirectory("made"); })) << client.Dump();
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  EXPECT_EQ(server.Failure(), "");
  EXPECT_EQ(client.completes, 0);
  EXPECT_TRUE(client.serverErrors.empty());
}

// A passive data connection that hangs (a firewall dropping the port) is
// given up at the silence limit as a silent server is, and what was
// awaited names the upload it was for, not the transfer before it.
TEST_F(ScriptedServer, HangingPassiveDataConnectionIsNamedForItsUpload)
{
  const HangingPort hanging;
  const int port = hanging.port;
  ScriptedFtpServer server([&](ScriptSession& s) {
    s.Login();
    s.OpenListing();
    s.CloseData();
    s.Send("226 done\r\n");
    s.Expect("TYPE I");
    s.Send("200 binary\r\n");
    s.Expect("PASV");
    s.Send("227 Entering Passive Mode (127,0,0,1," + std::to_string(port / 256) + "," +
           std::to_string(port % 256) + ")\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  client->commandSocket.silenceLimit = std::chrono::milliseconds(500);
  ASSERT_TRUE(client->Login());
  client->commandSocket.getList();
  ASSERT_TRUE(PumpUntil([&] { return client->listings.size() == 1; })) << client->Dump();
  local.Write("f.bin", "f");
  client->commandSocket.storFile(local / "f.bin", "f.bin", "I");
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); })) << client->Dump();
  EXPECT_EQ(client->commandSocket.LastErrorCode(), kSocketServerSilent);
  EXPECT_EQ(client->commandSocket.Awaited(), "the data connection for the upload of f.bin");
  EXPECT_EQ(server.Commands().back(), "PASV");
}

// Given up while its passive data connection is still being made, a
// listing writes no LIST once that connection comes, after a QUIT, say.
TEST_F(ScriptedServer, SequenceStoppedWhileItsDataConnectionIsMadeWritesNothingMore)
{
  const HangingPort hanging;
  ScriptedFtpServer server([&](ScriptSession& s) {
    s.Login();
    s.Expect("PASV");
    s.Send("227 Entering Passive Mode (127,0,0,1," + std::to_string(hanging.port / 256) + "," +
           std::to_string(hanging.port % 256) + ")\r\n");
    s.Expect("QUIT");
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  client->commandSocket.getList();
  ASSERT_TRUE(PumpUntil([&] { return client->dataSocket.IsOpen(); })) << client->Dump();
  client->commandSocket.StopSequence();
  EXPECT_FALSE(client->dataSocket.IsOpen());
  client->commandSocket.sendQUIT();
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  EXPECT_EQ(server.Failure(), "");
}

enum class PasvForm { Blanks, NoParentheses };

class PassiveReplyForm : public ScriptedServer, public ::testing::WithParamInterface<PasvForm> {};

// Servers set the six numbers of a 227 reply with blanks, or leave the
// parentheses out: the data connection is opened all the same.
TEST_P(PassiveReplyForm, OpensTheDataConnection)
{
  const PasvForm form = GetParam();
  ScriptedFtpServer server([form](ScriptSession& s) {
    s.Login();
    s.Expect("PASV");
    const std::string usual = s.OpenPassive();
    const std::size_t open = usual.find('(');
    const std::string numbers = usual.substr(open + 1, usual.find(')') - open - 1);
    std::string spaced;
    for (char c : numbers)
      spaced += c == ',' ? std::string(" ,\t ") : std::string(1, c);
    s.Send(form == PasvForm::Blanks ? "227 Entering Passive Mode ( " + spaced + " ).\r\n"
                                    : "227 Entering Passive Mode " + numbers + "\r\n");
    s.AcceptData();
    s.Expect("LIST");
    s.Send("150 listing\r\n");
    s.SendData("x\r\n");
    s.CloseData();
    s.Send("226 done\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  std::string listing;
  ASSERT_TRUE(client->List(listing)) << client->Dump();
  EXPECT_EQ(listing, "x\r\n");
}

INSTANTIATE_TEST_SUITE_P(Forms, PassiveReplyForm, ::testing::Values(PasvForm::Blanks, PasvForm::NoParentheses),
                         ParamNames<PasvForm>({"blanks", "noParentheses"}));

// A listing is whole only when the final reply says so, whether that
// reply comes before or after the data connection closes; a line without a
// reply code is no reply at all.
TEST_F(ScriptedServer, ListingIsTakenOnlyOnItsFinalSuccessReply)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    s.Login();
    for (const char* end : {"2 files, then trouble\r\n451 Transfer aborted.\r\n", "226 done\r\n"}) {
      s.OpenListing();
      s.SendData(end[0] == '2' && end[1] == ' ' ? "cut short\r\n" : "whole\r\n");
      s.CloseData();
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      s.Send(end);
    }
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  std::string listing;
  EXPECT_FALSE(client->List(listing)) << client->Dump();
  ASSERT_EQ(client->serverErrors.size(), 1u);
  PumpFor(200);
  EXPECT_TRUE(client->listings.empty());
  ASSERT_TRUE(client->List(listing)) << client->Dump();
  EXPECT_EQ(listing, "whole\r\n");
}

enum class GivenUp { ListingAnsweredLate, ListingNeverAnswered, UploadAnsweredLate };

class CommandAfterAFailedTransfer : public ScriptedServer, public ::testing::WithParamInterface<GivenUp> {};

// The data side of a transfer fails and the owner writes its next command
// at once. Servers that answer in order send the transfer's final reply
// first; pyftpdlib answers the next command first, or, when the data
// connection was reset, never answers the transfer at all. So the command
// waits for that final reply, and each reply is taken for its own command;
// a final reply that never comes ends the connection at the silence limit.
TEST_P(CommandAfterAFailedTransfer, WaitsForTheTransfersFinalReply)
{
  const GivenUp how = GetParam();
  const bool upload = how == GivenUp::UploadAnsweredLate;
  const std::string next = upload ? "MKD /next" : "CWD /next";
  bool heldBack = false;
  ScriptedFtpServer server([&](ScriptSession& s) {
    if (upload) {
      PassiveTransfer(s, "I", "STOR big.bin");
      s.Send("150 Ok to send\r\n");
      s.ReadData(8192);
    } else {
      s.Login();
      s.OpenListing();
      s.SendData("-rw-r--r-- 1 u g 1 Jan 05 2008 a\r\n");
    }
    s.ResetData();
    heldBack = s.QuietFor(300);
    if (how == GivenUp::ListingNeverAnswered) {
      s.ClientClosed(20000);
      return;
    }
    s.Send("426 Connection closed; transfer aborted.\r\n");
    s.Expect(next);
    s.Send(upload ? "257 made\r\n" : "250 ok\r\n");
    if (!upload) {
      s.Expect("PWD");
      s.Send("257 \"/next\"\r\n");
    }
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  client->commandSocket.silenceLimit = std::chrono::milliseconds(1000);
  ASSERT_TRUE(client->Login());
  local.Write("big.bin", std::string(32 << 20, 'b'));
  if (upload)
    client->commandSocket.storFile(local / "big.bin", "big.bin", "I");
  else
    client->commandSocket.getList();
  ASSERT_TRUE(PumpUntil([&] { return client->dataErrors > 0; })) << client->Dump();
  if (upload)
    client->commandSocket.makeDirectory("/next");
  else
    client->commandSocket.sendCWD("/next");
  if (how == GivenUp::ListingNeverAnswered) {
    ASSERT_TRUE(PumpUntil([&] { return client->commandErrors > 0; })) << client->Dump();
    EXPECT_EQ(client->commandSocket.LastErrorCode(), kSocketServerSilent);
    EXPECT_EQ(client->commandSocket.Awaited(), "the reply to LIST");
    ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
    EXPECT_EQ(server.Commands().back(), "LIST");
  } else {
    ASSERT_TRUE(PumpUntil([&] {
      return client->responses.back() == (upload ? "257 made" : "257 \"/next\"") || !client->serverErrors.empty();
    })) << client->Dump();
    EXPECT_EQ(client->dirChanged, upload ? 0 : 1);
    EXPECT_NE(std::find(client->responses.begin(), client->responses.end(), "426 Connection closed; transfer aborted."),
              client->responses.end())
        << "the late reply is still logged";
  }
  EXPECT_TRUE(heldBack) << "nothing may be written before the transfer's final reply";
  EXPECT_TRUE(client->serverErrors.empty()) << client->Dump();
  EXPECT_TRUE(client->listings.empty());
  EXPECT_EQ(client->completes, 0);
  EXPECT_EQ(server.Failure(), "");
}

INSTANTIATE_TEST_SUITE_P(Ways, CommandAfterAFailedTransfer,
                         ::testing::Values(GivenUp::ListingAnsweredLate, GivenUp::ListingNeverAnswered,
                                           GivenUp::UploadAnsweredLate),
                         ParamNames<GivenUp>({"listingAnsweredLate", "listingNeverAnswered", "uploadAnsweredLate"}));

// PASV and PWD are read for what their replies say: another answer is an
// error, not a wait.
TEST_F(ScriptedServer, AnswerWithoutTheContentItNeedsIsAnError)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    s.Login();
    s.Expect("PASV");
    s.Send("200 Fine.\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  client->commandSocket.getList();
  ASSERT_TRUE(PumpUntil([&] { return !client->serverErrors.empty(); })) << client->Dump();
  EXPECT_EQ(client->serverErrors, (std::vector<std::string>{"200 Fine.\r\n"}));
  EXPECT_FALSE(client->dataSocket.IsOpen());
}

// A STOR answered at once with its final reply, before any byte was sent:
// the server cannot hold the file whole, and the owner hears of it.
TEST_F(ScriptedServer, UploadOverBeforeItWasSentIsAnError)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    PassiveTransfer(s, "I", "STOR u.bin");
    s.Send("226 Transfer complete.\r\n");
    s.ReadDataUntilClosed();
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  local.Write("u.bin", "upload");
  EXPECT_FALSE(client->Upload(local / "u.bin", "u.bin", "I")) << client->Dump();
  EXPECT_EQ(client->dataSocket.LastErrorCode(), kSocketUploadStopped);
  EXPECT_TRUE(client->commandSocket.StoreOpened());
  EXPECT_EQ(client->completes, 0);
}

// The silence limit counts the data connection too: a download that keeps
// moving, however slowly, is not cut off while its final reply waits.
TEST_F(ScriptedServer, SlowDownloadOutlastsTheSilenceLimit)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    PassiveTransfer(s, "I", "RETR slow.bin");
    s.Send("150 Opening\r\n");
    for (int i = 0; i < 8; ++i) {
      s.SendData(std::string(1000, 's'));
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    s.CloseData();
    s.Send("226 done\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  client->commandSocket.silenceLimit = std::chrono::milliseconds(1000);
  ASSERT_TRUE(client->Login());
  ASSERT_TRUE(client->Download("slow.bin", local / "slow.bin", "I")) << client->Dump();
  EXPECT_EQ(local.Read("slow.bin"), std::string(8000, 's'));
  EXPECT_EQ(client->commandErrors, 0);
}

// In active mode another host may reach the data port before the server:
// it is turned away at once, and the server's own connection is taken.
TEST_F(ScriptedServer, ActiveDataPortTakesOnlyTheServersConnection)
{
  bool turnedAway = false;
  ScriptedFtpServer server([&turnedAway](ScriptSession& s) {
    s.Login();
    const std::string port = s.Expect("PORT ");
    const int intruder = s.ConnectFrom(port, "127.0.0.2");
    ::send(intruder, "forged\r\n", 8, MSG_NOSIGNAL);
    pollfd p{intruder, POLLIN, 0};
    char c;
    turnedAway = ::poll(&p, 1, 5000) == 1 && ::recv(intruder, &c, 1, 0) <= 0;
    ::close(intruder);
    s.ConnectData(port);
    s.Send("200 PORT ok\r\n");
    s.Expect("LIST");
    s.Send("150 listing\r\n");
    s.SendData("real\r\n");
    s.CloseData();
    s.Send("226 done\r\n");
    s.ClientClosed(20000);
  });
  auto client = Client(server, false);
  ASSERT_TRUE(client->Login());
  std::string listing;
  ASSERT_TRUE(client->List(listing)) << client->Dump();
  EXPECT_EQ(listing, "real\r\n");
  EXPECT_TRUE(turnedAway);
}

enum class Flood { LineWithoutEnd, LongLine, EndlessReply };

class ReplyFlood : public ScriptedServer, public ::testing::WithParamInterface<Flood> {};

// A server that sends a reply without end is cut off with an error of its
// own before it fills our memory, and nothing is answered.
TEST_P(ReplyFlood, EndsTheConnection)
{
  const Flood flood = GetParam();
  bool cutOff = false;
  ScriptedFtpServer server([flood, &cutOff](ScriptSession& s) {
    const std::string line = "220 " + std::string(64 * 1024, 'x');
    try {
      if (flood == Flood::EndlessReply) {
        for (int i = 0; i < 2000; ++i)
          s.Send("220-" + std::string(1000, 'x') + "\r\n");
      } else {
        s.Send(flood == Flood::LongLine ? line + "\r\n" : line);
      }
    } catch (const std::exception&) {
      // the client has cut it off already
    }
    cutOff = s.ClientClosed(5000);
  });
  auto client = Client(server);
  client->commandSocket.Connect();
  ASSERT_TRUE(PumpUntil([&] { return client->commandErrors == 1; }, 5)) << client->Dump();
  EXPECT_EQ(client->commandSocket.LastErrorCode(), kSocketReplyTooLong);
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  EXPECT_TRUE(cutOff);
  EXPECT_TRUE(server.Commands().empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, ReplyFlood,
                         ::testing::Values(Flood::LineWithoutEnd, Flood::LongLine, Flood::EndlessReply),
                         ParamNames<Flood>({"lineWithoutEnd", "longLine", "endlessReply"}));

// A listing beyond 512 MiB ends its transfer with an error of its own;
// nothing of it is handed on.
TEST_F(ScriptedServer, ListingBeyondItsLimitEndsTheTransfer)
{
  ScriptedFtpServer server([](ScriptSession& s) {
    s.Login();
    s.OpenListing();
    const std::string block(64 * 1024, 'l');
    try {
      for (int i = 0; i <= 512 * 16; ++i) // 512 MiB and one block more
        s.SendData(block);
      s.CloseData();
      s.Send("226 done\r\n");
    } catch (const std::exception&) {
      s.Send("426 Connection closed; transfer aborted.\r\n");
    }
    s.ClientClosed(20000);
  });
  auto client = Client(server);
  ASSERT_TRUE(client->Login());
  std::string listing;
  EXPECT_FALSE(client->List(listing));
  ASSERT_TRUE(PumpUntil([&] { return client->dataErrors == 1; }));
  EXPECT_EQ(client->dataSocket.LastErrorCode(), kSocketListingTooLarge);
  EXPECT_TRUE(client->listings.empty());
}

// A socket listening on the loopback port, or -1.
int ListenOn(int port)
{
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 1) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Three consecutive free ports for a private active-mode range.
int FreeRangeOfThree(std::vector<int>& held)
{
  for (int base = 47000; base < 60000; base += 7) {
    std::vector<int> fds;
    for (int p = base; p < base + 3; ++p) {
      const int fd = ListenOn(p);
      if (fd < 0)
        break;
      fds.push_back(fd);
    }
    if (fds.size() == 3) {
      held = fds;
      return base;
    }
    for (int fd : fds)
      ::close(fd);
  }
  return 0;
}

TEST_F(ScriptedServer, PortSkipsTakenPortsAndFailsWhenNoneIsFree)
{
  std::string portCommand;
  bool quiet = false;
  ScriptedFtpServer server([&](ScriptSession& s) {
    s.Login();
    portCommand = s.Expect("PORT ");
    s.ConnectData(portCommand);
    s.Send("200 PORT ok\r\n");
    s.Expect("LIST");
    s.Send("150 listing\r\n");
    s.SendData("-rw-r--r-- 1 a a 1 Dec 08 10:00 x\r\n");
    s.CloseData();
    s.Send("226 done\r\n");
    s.Expect("MKD made");
    s.Send("257 \"made\"\r\n");
    quiet = s.QuietFor(300);
  });
  auto client = Client(server, false);
  ASSERT_TRUE(client->Login());
  std::vector<int> held;
  const int base = FreeRangeOfThree(held);
  ASSERT_NE(base, 0);
  client->commandSocket.portLow = base;
  client->commandSocket.portCount = 3;
  ::close(held[2]); // only the last port of the range is free
  std::string listing;
  ASSERT_TRUE(client->List(listing));
  EXPECT_EQ(portCommand, "PORT 127,0,0,1," + std::to_string((base + 2) / 256) + "," + std::to_string((base + 2) % 256));

  // Now every port is taken: no PORT goes out, the data side reports it.
  const int again = ListenOn(base + 2);
  ASSERT_GE(again, 0);
  const std::size_t commands = server.Commands().size();
  client->commandSocket.getList();
  ASSERT_TRUE(PumpUntil([&] { return client->dataErrors == 1; }));
  EXPECT_EQ(client->dataSocket.LastErrorCode(), kSocketAddressInUse);
  ProcessPendingEvents(100);
  EXPECT_EQ(server.Commands().size(), commands);
  // The next command's answer takes up nothing of the failed listing.
  client->commandSocket.makeDirectory("made");
  ASSERT_TRUE(PumpUntil([&] { return server.Done(); }));
  EXPECT_TRUE(quiet) << "no LIST may follow";
  ::close(again);
  ::close(held[0]);
  ::close(held[1]);
}

} // namespace
