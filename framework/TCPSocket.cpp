#include "TCPSocket.h"

#include "Events.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <linux/sockios.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {
// How often the system's queue for the peer is looked at while it holds
// bytes: often enough to count a slow peer's progress, rarely enough to cost
// nothing.
constexpr int kQueueLookMs = 200;

bool ParseIPv4(const std::string& text, in_addr& out)
{
  return ::inet_pton(AF_INET, text.c_str(), &out) == 1;
}

// A name is looked up on a thread that nobody waits for: a lookup still
// running when the program quits (a slow or absent resolver) neither holds
// up its exit nor runs into what the exit has already torn down. The thread
// tells the loop through a pipe, which lives as long as either side holds it.
struct NameLookup {
  enum : int { Running, Found, NotFound };
  std::atomic<int> outcome{Running};
  in_addr address{};
  int pipe[2] = {-1, -1};

  ~NameLookup()
  {
    for (int fd : pipe)
      if (fd >= 0)
        ::close(fd);
  }
};

std::shared_ptr<NameLookup> StartNameLookup(const std::string& name)
{
  auto lookup = std::make_shared<NameLookup>();
  if (::pipe2(lookup->pipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return nullptr;
  try {
    std::thread([lookup, name]() {
      addrinfo hints{};
      hints.ai_family = AF_INET;
      hints.ai_socktype = SOCK_STREAM;
      addrinfo* found = nullptr;
      const bool ok = ::getaddrinfo(name.c_str(), nullptr, &hints, &found) == 0 && found;
      if (ok)
        lookup->address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
      if (found)
        ::freeaddrinfo(found);
      lookup->outcome.store(ok ? NameLookup::Found : NameLookup::NotFound, std::memory_order_release);
      const char done = 1;
      [[maybe_unused]] const ssize_t n = ::write(lookup->pipe[1], &done, 1);
    }).detach();
  } catch (const std::system_error&) {
    return nullptr;
  }
  return lookup;
}
} // namespace

// Plain non-blocking POSIX sockets watched by the event loop: the system's
// own answers tell an orderly close (read returns 0) from a reset, which the
// loop's stock socket classes report alike.
class TCPSocketEngine {
public:
  // Finishing: CloseWhenDelivered; our end is shut once the outbox is sent,
  // and the connection is kept until the peer has taken everything.
  enum class State { Closed, Resolving, Connecting, Listening, Connected, Draining, Finishing };

  explicit TCPSocketEngine(TCPSocket& owner) : owner_(owner) {}
  ~TCPSocketEngine() { Shut(false); }

  TCPSocket& owner_;
  QObject context_; // dies with the engine, and with it every queued event
  State state_ = State::Closed;
  int fd_ = -1;
  int generation_ = 0; // bumped whenever the connection is dropped
  int lastError_ = kSocketNoError;
  std::string inbox_;
  std::string outbox_;
  bool closeWhenSent_ = false;
  bool finishWhenUp_ = false;  // CloseWhenDelivered before the connection was up
  bool sendingShut_ = false;   // Finishing: our end is shut
  bool peerEnded_ = false;     // Finishing: the peer's end has been read
  bool peerEndNeeded_ = true;  // Finishing: the peer's end is awaited too
  bool delivered_ = false;     // the last connection ended in order, Finishing
  bool dataEventPending_ = false;
  bool wroteSinceDrained_ = false;
  std::int64_t handedOver_ = 0; // bytes this connection gave the system
  std::int64_t taken_ = 0;      // of those, acknowledged by the peer at the last look
  std::chrono::steady_clock::time_point lastMovement_ = std::chrono::steady_clock::now();
  QSocketNotifier* readNotifier_ = nullptr;
  QSocketNotifier* writeNotifier_ = nullptr;
  QTimer* queueWatch_ = nullptr;
  std::shared_ptr<NameLookup> lookup_;
  QSocketNotifier* lookupNotifier_ = nullptr;

  void Post(void (TCPSocket::*event)())
  {
    const int gen = generation_;
    QMetaObject::invokeMethod(
        &context_,
        [this, gen, event]() {
          if (gen != generation_)
            return;
          DeliverEvent([this, event]() { (owner_.*event)(); });
        },
        Qt::QueuedConnection);
  }

  // Not once the owner has closed: a close is followed only by its own end.
  void PostSendComplete()
  {
    const int gen = generation_;
    QMetaObject::invokeMethod(
        &context_,
        [this, gen]() {
          if (gen != generation_ || state_ == State::Finishing)
            return;
          DeliverEvent([this]() { owner_.Event_SendComplete(); });
        },
        Qt::QueuedConnection);
  }
  void PostDataAvailable()
  {
    if (dataEventPending_ || inbox_.empty())
      return;
    dataEventPending_ = true;
    const int gen = generation_;
    QMetaObject::invokeMethod(
        &context_,
        [this, gen]() {
          if (gen != generation_)
            return;
          dataEventPending_ = false;
          if (inbox_.empty())
            return;
          DeliverEvent([this]() { owner_.Event_DataAvailable(); });
        },
        Qt::QueuedConnection);
  }

  // An error ends the connection; data already received is delivered first
  // because the events are queued in order.
  void Fail(int code)
  {
    if (state_ == State::Draining || closeWhenSent_) {
      Shut(false); // closing on our own: nothing more to tell
      return;
    }
    PostDataAvailable();
    DropNotifiers();
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = -1;
    state_ = State::Closed;
    outbox_.clear();
    lastError_ = code;
    Post(&TCPSocket::Event_Error);
  }

  // A notifier may be dropped from inside its own signal: it is silenced
  // now and deleted by the loop later.
  static void Retire(QSocketNotifier*& notifier)
  {
    if (!notifier)
      return;
    notifier->setEnabled(false);
    QObject::disconnect(notifier, nullptr, nullptr, nullptr);
    notifier->deleteLater();
    notifier = nullptr;
  }

  void DropNotifiers()
  {
    Retire(readNotifier_);
    Retire(writeNotifier_);
    Retire(lookupNotifier_);
    lookup_.reset();
    if (queueWatch_)
      queueWatch_->stop();
  }

  // Bytes the system still holds for the peer: unsent, or sent and not yet
  // acknowledged (our FIN counts as one).
  std::size_t SystemQueue() const
  {
    int n = 0;
    if (fd_ < 0 || ::ioctl(fd_, SIOCOUTQ, &n) != 0 || n < 0)
      return 0;
    return static_cast<std::size_t>(n);
  }

  // What was handed to the system may take the peer minutes to take (a
  // server that reads slowly): while it does, the connection is moving.
  void WatchQueue()
  {
    if (!queueWatch_) {
      queueWatch_ = new QTimer(&context_);
      queueWatch_->setInterval(kQueueLookMs);
      QObject::connect(queueWatch_, &QTimer::timeout, &context_, [this]() { LookAtQueue(); });
    }
    if (!queueWatch_->isActive())
      queueWatch_->start();
  }

  void LookAtQueue()
  {
    const std::size_t queued = SystemQueue();
    const std::int64_t taken = handedOver_ - static_cast<std::int64_t>(queued);
    if (taken > taken_)
      lastMovement_ = std::chrono::steady_clock::now();
    taken_ = taken;
    if (state_ == State::Finishing)
      FinishIfDelivered();
    else if (queued == 0 && queueWatch_)
      queueWatch_->stop();
  }

  // Finishing ends in order once the peer has acknowledged every byte, our
  // FIN included, and ended its own side; a reset or error first fails it.
  void FinishIfDelivered()
  {
    if (state_ != State::Finishing || !sendingShut_)
      return;
    const auto reset = [this] {
      int err = 0;
      socklen_t len = sizeof err;
      return ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0;
    };
    if (reset()) {
      Fail(kSocketConnectionReset);
      return;
    }
    // Once the peer has said it took everything, its system may still hold
    // back the acknowledgement of our end (a delayed ACK): every byte of
    // data acknowledged is enough then, and our end is the last one left.
    const std::size_t mayRemain = peerEndNeeded_ ? 0 : 1;
    if ((peerEndNeeded_ && !peerEnded_) || SystemQueue() > mayRemain)
      return;
    // A reset that came in between may have emptied the queue as well.
    if (reset()) {
      Fail(kSocketConnectionReset);
      return;
    }
    Shut(false);
    delivered_ = true;
    Post(&TCPSocket::Event_Delivered);
  }

  void StartResolving(const std::string& name, const sockaddr_in& addr)
  {
    state_ = State::Resolving;
    lookup_ = StartNameLookup(name);
    if (!lookup_) {
      Fail(kSocketHostNotFound);
      return;
    }
    lookupNotifier_ = new QSocketNotifier(lookup_->pipe[0], QSocketNotifier::Read, &context_);
    QObject::connect(lookupNotifier_, &QSocketNotifier::activated, &context_, [this, target = addr]() {
      const int outcome = lookup_->outcome.load(std::memory_order_acquire);
      if (outcome == NameLookup::Running)
        return;
      sockaddr_in addr = target;
      addr.sin_addr = lookup_->address;
      Retire(lookupNotifier_);
      lookup_.reset();
      if (outcome == NameLookup::Found)
        StartConnect(addr);
      else
        Fail(kSocketHostNotFound);
    });
  }

  // Drops the connection at once; with reset the peer sees a reset.
  void Shut(bool reset)
  {
    ++generation_;
    DropNotifiers();
    if (fd_ >= 0) {
      if (reset) {
        linger lg{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
      } else {
        // Unread input would turn the close into a reset.
        char buf[4096];
        while (::recv(fd_, buf, sizeof buf, MSG_DONTWAIT) > 0) {
        }
      }
      ::close(fd_);
    }
    fd_ = -1;
    state_ = State::Closed;
    inbox_.clear();
    outbox_.clear();
    closeWhenSent_ = false;
    finishWhenUp_ = false;
    sendingShut_ = false;
    peerEnded_ = false;
    peerEndNeeded_ = true;
    dataEventPending_ = false;
    wroteSinceDrained_ = false;
  }

  void Watch()
  {
    readNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, &context_);
    QObject::connect(readNotifier_, &QSocketNotifier::activated, &context_, [this]() { OnReadable(); });
    writeNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Write, &context_);
    writeNotifier_->setEnabled(false);
    QObject::connect(writeNotifier_, &QSocketNotifier::activated, &context_, [this]() { OnWritable(); });
  }

  static void TuneConnected(int fd)
  {
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }

  static int NewSocket()
  {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  }

  void StartConnect(const sockaddr_in& addr)
  {
    fd_ = NewSocket();
    if (fd_ < 0) {
      Fail(kSocketConnectFailed);
      return;
    }
    TuneConnected(fd_);
    const int rc = ::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    if (rc == 0) {
      BecomeConnected();
      return;
    }
    if (errno != EINPROGRESS) {
      Fail(kSocketConnectFailed);
      return;
    }
    state_ = State::Connecting;
    writeNotifier_ = new QSocketNotifier(fd_, QSocketNotifier::Write, &context_);
    QObject::connect(writeNotifier_, &QSocketNotifier::activated, &context_, [this]() {
      int err = 0;
      socklen_t len = sizeof err;
      ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
      Retire(writeNotifier_);
      if (err != 0)
        Fail(kSocketConnectFailed);
      else
        BecomeConnected();
    });
  }

  void BecomeConnected()
  {
    state_ = finishWhenUp_ ? State::Finishing : State::Connected;
    finishWhenUp_ = false;
    sendingShut_ = false;
    peerEnded_ = false;
    peerEndNeeded_ = true;
    handedOver_ = 0;
    taken_ = 0;
    lastMovement_ = std::chrono::steady_clock::now();
    Watch();
    Post(&TCPSocket::Event_Connected);
    Flush();
  }

  void OnAccept()
  {
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    const int conn = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (conn < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED)
        return;
      Fail(kSocketConnectFailed);
      return;
    }
    in_addr allowed{};
    if (!owner_.AcceptFrom.empty() &&
        (!ParseIPv4(owner_.AcceptFrom, allowed) || peer.sin_addr.s_addr != allowed.s_addr)) {
      // Not the one we wait for: turned away, and the wait goes on.
      ::close(conn);
      return;
    }
    // Exactly one connection: the listener goes, the accepted one stays.
    DropNotifiers();
    ::close(fd_);
    fd_ = conn;
    TuneConnected(fd_);
    BecomeConnected();
  }

  void OnReadable()
  {
    // A peer that sends faster than we read must not keep us here, growing
    // the inbox: the rest waits for the loop's next pass.
    constexpr std::size_t kReadPerPass = 1 << 20;
    char buf[65536];
    for (std::size_t got = 0; got < kReadPerPass;) {
      const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n > 0) {
        if (state_ != State::Finishing) // nothing is read any more
          inbox_.append(buf, static_cast<std::size_t>(n));
        got += static_cast<std::size_t>(n);
        lastMovement_ = std::chrono::steady_clock::now();
        continue;
      }
      if (n == 0 && state_ == State::Finishing) {
        // The end stays readable: from now on only the queue is watched.
        peerEnded_ = true;
        Retire(readNotifier_);
        FinishIfDelivered();
        return;
      }
      if (n == 0) {
        Fail(kSocketRemoteClosed);
        return;
      }
      if (errno == EINTR)
        continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK)
        break;
      Fail(kSocketConnectionReset);
      return;
    }
    PostDataAvailable();
  }

  void OnWritable() { Flush(); }

  void Flush()
  {
    if (state_ != State::Connected && state_ != State::Draining && state_ != State::Finishing)
      return;
    while (!outbox_.empty()) {
      const ssize_t n = ::send(fd_, outbox_.data(), outbox_.size(), MSG_NOSIGNAL);
      if (n > 0) {
        outbox_.erase(0, static_cast<std::size_t>(n));
        handedOver_ += n;
        lastMovement_ = std::chrono::steady_clock::now();
        WatchQueue();
        continue;
      }
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (writeNotifier_)
          writeNotifier_->setEnabled(true);
        return;
      }
      Fail(kSocketConnectionReset);
      return;
    }
    if (writeNotifier_)
      writeNotifier_->setEnabled(false);
    if (state_ == State::Draining || closeWhenSent_) {
      // Everything has gone to the system, which sends it before the FIN.
      Shut(false);
      return;
    }
    if (state_ == State::Finishing) {
      // Not close(): the system would send the rest on its own, and a reset
      // before the peer had it all could not be told from the end.
      if (!sendingShut_) {
        ::shutdown(fd_, SHUT_WR);
        sendingShut_ = true;
        WatchQueue();
      }
      FinishIfDelivered();
      return;
    }
    if (wroteSinceDrained_) {
      wroteSinceDrained_ = false;
      PostSendComplete();
    }
  }
};

TCPSocket::TCPSocket() : engine_(std::make_unique<TCPSocketEngine>(*this)) {}

TCPSocket::~TCPSocket() = default;

void TCPSocket::Connect()
{
  TCPSocketEngine& e = *engine_;
  e.Shut(false);
  e.lastError_ = kSocketNoError;
  e.delivered_ = false;
  if (Port <= 0 || Port > 65535) {
    e.Fail(kSocketInvalidAddress);
    return;
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(Port));
  if (ParseIPv4(Address, addr.sin_addr)) {
    e.StartConnect(addr);
    return;
  }
  e.StartResolving(Address, addr);
}

bool TCPSocket::Listen()
{
  TCPSocketEngine& e = *engine_;
  e.Shut(false);
  e.lastError_ = kSocketNoError;
  e.delivered_ = false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(Port));
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  if ((Port < 0 || Port > 65535) || (!Address.empty() && !ParseIPv4(Address, addr.sin_addr))) {
    e.lastError_ = kSocketInvalidAddress;
    return false;
  }
  const int fd = TCPSocketEngine::NewSocket();
  if (fd < 0) {
    e.lastError_ = kSocketAddressInUse;
    return false;
  }
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 1) != 0) {
    ::close(fd);
    e.lastError_ = kSocketAddressInUse;
    return false;
  }
  e.fd_ = fd;
  e.state_ = TCPSocketEngine::State::Listening;
  e.readNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, &e.context_);
  QObject::connect(e.readNotifier_, &QSocketNotifier::activated, &e.context_, [&e]() { e.OnAccept(); });
  return true;
}

void TCPSocket::Write(const std::string& bytes)
{
  TCPSocketEngine& e = *engine_;
  if (bytes.empty() || e.closeWhenSent_ || e.finishWhenUp_ || e.state_ == TCPSocketEngine::State::Draining ||
      e.state_ == TCPSocketEngine::State::Finishing || e.state_ == TCPSocketEngine::State::Closed)
    return;
  e.outbox_ += bytes;
  e.wroteSinceDrained_ = true;
  if (e.state_ == TCPSocketEngine::State::Connected)
    e.Flush();
}

std::string TCPSocket::ReadAll()
{
  std::string out;
  out.swap(engine_->inbox_);
  return out;
}

void TCPSocket::Close()
{
  TCPSocketEngine& e = *engine_;
  switch (e.state_) {
  case TCPSocketEngine::State::Connected:
    ++e.generation_; // no more events from this connection
    e.state_ = TCPSocketEngine::State::Draining;
    e.inbox_.clear();
    if (e.readNotifier_)
      e.readNotifier_->setEnabled(false);
    e.Flush();
    break;
  case TCPSocketEngine::State::Resolving:
  case TCPSocketEngine::State::Connecting:
  case TCPSocketEngine::State::Listening:
    // The peer still gets the held data and an orderly close once it is
    // there (an empty upload in active mode is exactly this).
    e.closeWhenSent_ = true;
    break;
  default:
    break;
  }
}

void TCPSocket::CloseWhenDelivered()
{
  TCPSocketEngine& e = *engine_;
  switch (e.state_) {
  case TCPSocketEngine::State::Connected:
    e.state_ = TCPSocketEngine::State::Finishing;
    e.inbox_.clear();
    e.Flush();
    break;
  case TCPSocketEngine::State::Resolving:
  case TCPSocketEngine::State::Connecting:
  case TCPSocketEngine::State::Listening:
    e.finishWhenUp_ = true; // the held data goes first, as with Close
    break;
  default:
    break;
  }
}

void TCPSocket::DeliveredWhenAcknowledged()
{
  TCPSocketEngine& e = *engine_;
  if (e.state_ != TCPSocketEngine::State::Finishing)
    return;
  e.peerEndNeeded_ = false;
  e.FinishIfDelivered();
}

void TCPSocket::Abort()
{
  engine_->Shut(true);
}

int TCPSocket::LastErrorCode() const
{
  return engine_->lastError_;
}

void TCPSocket::SetLastErrorCode(int code)
{
  engine_->lastError_ = code;
}

void TCPSocket::PostSocketEvent(std::function<void()> handler)
{
  QMetaObject::invokeMethod(
      &engine_->context_, [h = std::move(handler)]() { DeliverEvent(h); }, Qt::QueuedConnection);
}

namespace {
// Dotted address of one end of fd, by getsockname or getpeername.
std::string EndAddress(int fd, int (*get)(int, sockaddr*, socklen_t*))
{
  if (fd < 0)
    return {};
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (get(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
    return {};
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
  return text;
}
} // namespace

std::string TCPSocket::LocalAddress() const
{
  return EndAddress(engine_->fd_, ::getsockname);
}

std::string TCPSocket::RemoteAddress() const
{
  return EndAddress(engine_->fd_, ::getpeername);
}

bool TCPSocket::IsOpen() const
{
  const auto s = engine_->state_;
  return s != TCPSocketEngine::State::Closed && s != TCPSocketEngine::State::Draining && !engine_->closeWhenSent_;
}

bool TCPSocket::IsConnected() const
{
  const auto s = engine_->state_;
  return s == TCPSocketEngine::State::Connected || s == TCPSocketEngine::State::Finishing;
}

std::size_t TCPSocket::BytesToWrite() const
{
  return engine_->outbox_.size();
}

std::size_t TCPSocket::BytesUnacknowledged() const
{
  return engine_->outbox_.size() + engine_->SystemQueue();
}

bool TCPSocket::WasDelivered() const
{
  return engine_->delivered_;
}

std::chrono::steady_clock::time_point TCPSocket::LastMovement() const
{
  return engine_->lastMovement_;
}

namespace {
// Runs a copy: the handler may delete the socket that holds it.
void RaiseCopy(const std::function<void()>& handler)
{
  if (handler) {
    const auto copy = handler;
    copy();
  }
}
} // namespace

void TCPSocket::Event_Connected()
{
  RaiseCopy(Connected);
}

void TCPSocket::Event_DataAvailable()
{
  RaiseCopy(DataAvailable);
}

void TCPSocket::Event_SendComplete()
{
  RaiseCopy(SendComplete);
}

void TCPSocket::Event_Delivered()
{
  RaiseCopy(Delivered);
}

void TCPSocket::Event_Error()
{
  RaiseCopy(Error);
}
