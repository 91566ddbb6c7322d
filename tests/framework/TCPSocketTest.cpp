// The TCP socket's promises: events from the loop only, the peer's orderly
// close after every byte, resets told apart, held and queued writes.
#include "framework/Events.h"
#include "framework/TCPSocket.h"
#include "Pump.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

sockaddr_in Loopback(int port)
{
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A bound socket's port (0: any free one).
int PortOf(int fd)
{
  sockaddr_in a = Loopback(0);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

// A port nobody listens on.
int FreePort()
{
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in a = Loopback(0);
  ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  const int port = PortOf(fd);
  ::close(fd);
  return port;
}

// A connected descriptor, or -1.
int ConnectTo(int port)
{
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in a = Loopback(port);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A peer on its own thread: accepts one connection and runs body on it.
class Peer {
public:
  explicit Peer(std::function<void(int fd)> body)
  {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = Loopback(0);
    ::bind(listenFd_, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    ::listen(listenFd_, 1);
    port = PortOf(listenFd_);
    thread_ = std::thread([this, body = std::move(body)]() {
      pollfd p{listenFd_, POLLIN, 0};
      if (::poll(&p, 1, 20000) <= 0)
        return;
      const int fd = ::accept(listenFd_, nullptr, nullptr);
      body(fd);
      ::close(fd);
    });
  }
  ~Peer()
  {
    ::shutdown(listenFd_, SHUT_RDWR);
    thread_.join();
    ::close(listenFd_);
  }
  int port = 0;

private:
  int listenFd_ = -1;
  std::thread thread_;
};

std::string ReadUntilClosed(int fd, bool* reset = nullptr)
{
  std::string got;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n > 0) {
      got.append(buf, static_cast<std::size_t>(n));
      continue;
    }
    if (reset)
      *reset = n < 0;
    return got;
  }
}

struct Recorder {
  TCPSocket socket;
  std::string received;
  std::vector<std::string> events;
  std::size_t receivedAtError = 0;
  Recorder()
  {
    socket.Connected = [this] { events.push_back("Connected"); };
    socket.DataAvailable = [this] { received += socket.ReadAll(); };
    socket.SendComplete = [this] { events.push_back("SendComplete"); };
    socket.Error = [this] {
      receivedAtError = received.size();
      events.push_back("Error " + std::to_string(socket.LastErrorCode()));
    };
  }
  void Connect(int port, const char* host = "127.0.0.1")
  {
    socket.Address = host;
    socket.Port = port;
    socket.Connect();
  }
  bool Ended() const { return !events.empty() && events.back().rfind("Error", 0) == 0; }
};

TEST(TCPSocket, OrderlyCloseComesAfterEveryReceivedByte)
{
  const std::string payload(300000, 'p');
  Peer peer([&](int fd) { ::send(fd, payload.data(), payload.size(), MSG_NOSIGNAL); });
  Recorder r;
  r.Connect(peer.port);
  EXPECT_TRUE(r.events.empty()); // nothing inside the call
  ASSERT_TRUE(PumpUntil([&] { return r.Ended(); }));
  EXPECT_EQ(r.events.front(), "Connected");
  EXPECT_EQ(r.events.back(), "Error 102");
  EXPECT_EQ(r.receivedAtError, payload.size());
}

TEST(TCPSocket, ResetIsNotAnOrderlyClose)
{
  Peer peer([](int fd) {
    ::send(fd, "abc", 3, MSG_NOSIGNAL);
    char c;
    ::recv(fd, &c, 1, 0); // wait for the client's byte so the reset follows data
    linger lg{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
  });
  Recorder r;
  r.Connect(peer.port);
  r.socket.Write("x");
  ASSERT_TRUE(PumpUntil([&] { return r.Ended(); }));
  EXPECT_EQ(r.events.back(), "Error " + std::to_string(kSocketConnectionReset));
}

TEST(TCPSocket, WritesBeforeTheConnectionAreHeldAndGracefulCloseSendsThemAll)
{
  const std::string payload(1 << 20, 'w');
  std::string got;
  bool reset = true;
  Peer peer([&](int fd) { got = ReadUntilClosed(fd, &reset); });
  Recorder r;
  r.Connect(peer.port, "localhost"); // a name is looked up first
  r.socket.Write(payload.substr(0, 1000));
  r.socket.Write(payload.substr(1000));
  r.socket.Close();
  EXPECT_FALSE(r.socket.IsOpen());
  ASSERT_TRUE(PumpUntil([&] { return got.size() == payload.size(); }));
  ProcessPendingEvents(50);
  EXPECT_EQ(got, payload);
  EXPECT_FALSE(reset);
  EXPECT_TRUE(r.events.empty()); // a closed socket raises nothing more
}

TEST(TCPSocket, SendCompleteFollowsTheDrainedQueue)
{
  std::string got;
  Peer peer([&](int fd) { got = ReadUntilClosed(fd); });
  Recorder r;
  r.Connect(peer.port);
  ASSERT_TRUE(PumpUntil([&] { return !r.events.empty(); }));
  r.socket.Write(std::string(2048, 'a'));
  EXPECT_EQ(r.events.size(), 1u); // not raised inside Write
  ASSERT_TRUE(PumpUntil([&] { return r.events.size() == 2; }));
  EXPECT_EQ(r.events[1], "SendComplete");
  EXPECT_EQ(r.socket.BytesToWrite(), 0u);
  r.socket.Close();
}

TEST(TCPSocket, AbortResetsTheConnection)
{
  bool reset = false;
  bool done = false;
  Peer peer([&](int fd) {
    ReadUntilClosed(fd, &reset);
    done = true;
  });
  Recorder r;
  r.Connect(peer.port);
  ASSERT_TRUE(PumpUntil([&] { return !r.events.empty(); }));
  r.socket.Write("partial");
  ProcessPendingEvents(20);
  r.socket.Abort();
  ASSERT_TRUE(PumpUntil([&] { return done; }));
  EXPECT_TRUE(reset);
}

enum class PeerEnd { TakesEverything, ResetsHalfway };

class CloseWhenDelivered : public ::testing::TestWithParam<PeerEnd> {};

// The end of an upload: the socket stays open while the peer still takes
// what the system holds for it, and says Delivered only once the peer has
// every byte and has ended its side. A reset before that is an error, not
// an end, though nothing was being written any more.
TEST_P(CloseWhenDelivered, EndsOnlyWhenThePeerHasEveryByte)
{
  const bool resets = GetParam() == PeerEnd::ResetsHalfway;
  const std::string payload(8 << 20, 'd');
  std::atomic<std::size_t> taken{0};
  Peer peer([&](int fd) {
    char buf[65536];
    std::size_t got = 0;
    for (;;) {
      if (resets && got >= payload.size() / 2) {
        linger lg{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
        break;
      }
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0)
        break;
      got += static_cast<std::size_t>(n);
      std::this_thread::sleep_for(std::chrono::microseconds(200)); // a slow reader
    }
    taken = got;
  });
  Recorder r;
  r.socket.Delivered = [&] { r.events.push_back("Delivered"); };
  r.Connect(peer.port);
  ASSERT_TRUE(PumpUntil([&] { return !r.events.empty(); }));
  r.socket.Write(payload);
  r.socket.CloseWhenDelivered();
  EXPECT_TRUE(r.socket.IsOpen());
  EXPECT_GT(r.socket.BytesUnacknowledged(), 0u);
  ASSERT_TRUE(PumpUntil([&] { return r.events.back() != "Connected"; })) << r.events.back();
  ProcessPendingEvents(50);
  ASSERT_EQ(r.events.size(), 2u);
  EXPECT_FALSE(r.socket.IsOpen());
  if (resets) {
    EXPECT_EQ(r.events[1], "Error " + std::to_string(kSocketConnectionReset));
    EXPECT_FALSE(r.socket.WasDelivered());
  } else {
    EXPECT_EQ(r.events[1], "Delivered");
    EXPECT_EQ(taken, payload.size());
    EXPECT_TRUE(r.socket.WasDelivered());
  }
}

INSTANTIATE_TEST_SUITE_P(Peers, CloseWhenDelivered, ::testing::Values(PeerEnd::TakesEverything, PeerEnd::ResetsHalfway),
                         [](const ::testing::TestParamInfo<PeerEnd>& info) {
                           return std::string(info.param == PeerEnd::TakesEverything ? "TakesEverything"
                                                                                     : "ResetsHalfway");
                         });

TEST(TCPSocket, RefusedConnectionIsReportedFromTheLoop)
{
  Recorder r;
  r.Connect(FreePort());
  EXPECT_TRUE(r.events.empty());
  ASSERT_TRUE(PumpUntil([&] { return r.Ended(); }));
  EXPECT_EQ(r.events.back(), "Error " + std::to_string(kSocketConnectFailed));
}

TEST(TCPSocket, ListenAcceptsExactlyOneConnection)
{
  const int port = FreePort();
  Recorder r;
  r.socket.Address = "127.0.0.1";
  r.socket.Port = port;
  ASSERT_TRUE(r.socket.Listen());
  r.socket.Write("hello"); // held until the peer is there
  const int first = ConnectTo(port);
  ASSERT_GE(first, 0);
  ASSERT_TRUE(PumpUntil([&] { return !r.events.empty(); }));
  EXPECT_EQ(r.events[0], "Connected");
  EXPECT_EQ(r.socket.LocalAddress(), "127.0.0.1");
  char buf[5];
  ASSERT_EQ(::recv(first, buf, 5, MSG_WAITALL), 5);
  EXPECT_EQ(std::string(buf, 5), "hello");
  EXPECT_EQ(ConnectTo(port), -1); // the listener is gone
  ::close(first);
  ASSERT_TRUE(PumpUntil([&] { return r.Ended(); }));
  EXPECT_EQ(r.events.back(), "Error 102");
}

enum class DeleteIn { Connected, DataAvailable, Error };

class DeletedInHandler : public ::testing::TestWithParam<DeleteIn> {};

// An owner may delete its socket from inside one of its events and still
// use what its handler holds afterwards.
TEST_P(DeletedInHandler, SocketAndHandlerStayUsable)
{
  Peer peer([](int fd) { ::send(fd, "abc", 3, MSG_NOSIGNAL); });
  auto* socket = new TCPSocket;
  std::vector<std::string> seen;
  auto finish = [&seen, &socket](const char* name) {
    delete socket;
    socket = nullptr;
    seen.push_back(name); // the handler's own state, after the delete
  };
  const DeleteIn in = GetParam();
  socket->Connected = [&, finish]() {
    if (in == DeleteIn::Connected)
      finish("Connected");
  };
  socket->DataAvailable = [&, finish]() {
    socket->ReadAll();
    if (in == DeleteIn::DataAvailable)
      finish("DataAvailable");
  };
  socket->Error = [&, finish]() { finish("Error"); };
  socket->Address = "127.0.0.1";
  socket->Port = peer.port;
  socket->Connect();
  ASSERT_TRUE(PumpUntil([&] { return socket == nullptr; }));
  ProcessPendingEvents(50);
  EXPECT_EQ(seen.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Events, DeletedInHandler,
                         ::testing::Values(DeleteIn::Connected, DeleteIn::DataAvailable, DeleteIn::Error),
                         [](const ::testing::TestParamInfo<DeleteIn>& info) {
                           return info.param == DeleteIn::Connected       ? std::string("Connected")
                                  : info.param == DeleteIn::DataAvailable ? std::string("DataAvailable")
                                                                          : std::string("Error");
                         });

} // namespace
