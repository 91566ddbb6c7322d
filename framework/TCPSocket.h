#pragma once
// A TCP client socket over IPv4, driven by the event loop. Every event is
// queued and raised from the loop, never inside the call that caused it.
// Writes are queued and never block; what is written before the connection
// is up is held and sent once it is.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

// LastErrorCode values.
enum : int {
  kSocketNoError = 0,
  kSocketConnectFailed = 100,   // refused, unreachable, timed out
  kSocketRemoteClosed = 102,    // the peer closed the connection in order
  kSocketHostNotFound = 103,
  kSocketConnectionReset = 104, // reset by the peer or another I/O error
  kSocketAddressInUse = 105,    // Listen could not bind the port
  kSocketInvalidAddress = 106,  // no usable address or port
  kSocketReplyTooLong = 107,    // a reply line or reply too long to keep
  kSocketListingTooLarge = 108, // a listing grew beyond what is kept in memory
  kSocketServerSilent = 109,    // the server stopped answering while an answer was due
  kSocketUploadStopped = 110,   // a transfer was cancelled, or stopped by a local failure
  kSocketLocalFileError = 111,  // a local file could not be read or written
  kSocketLocalFileChanged = 112, // the local file was written to while it was uploaded
};

class TCPSocketEngine;

class TCPSocket {
public:
  TCPSocket();
  virtual ~TCPSocket();
  TCPSocket(const TCPSocket&) = delete;
  TCPSocket& operator=(const TCPSocket&) = delete;

  // Host name or dotted IPv4 address, and port, for Connect and Listen.
  std::string Address;
  int Port = 0;
  // Dotted address Listen takes a connection from; one from anywhere else
  // is closed at once and the listening goes on. Empty: anyone.
  std::string AcceptFrom;

  // Starts connecting to Address:Port; Connected or Error follows. Drops any
  // connection this socket held.
  void Connect();
  // Listens on Address (any interface when empty) at Port and accepts exactly
  // one connection, which becomes this socket. False, with LastErrorCode set,
  // when the port cannot be had; no event is raised then.
  bool Listen();

  void Write(const std::string& bytes);
  std::string ReadAll();

  // Graceful close: what is queued still goes out, then the connection
  // closes. No event follows.
  void Close();
  // Orderly close watched to its end, for the end of an upload: what is
  // queued still goes out, then this end stops sending. Once the peer has
  // acknowledged every byte and ended its own side, the connection closes
  // and Delivered follows; a reset or another error before that raises
  // Error. The socket stays open until then; what the peer sends is dropped.
  void CloseWhenDelivered();
  // After CloseWhenDelivered: the peer has said by other means that it took
  // everything (an FTP server's reply), so its end is not awaited: every
  // byte of data acknowledged is enough, our own end's acknowledgement
  // aside.
  void DeliveredWhenAcknowledged();
  // Resets the connection at once; queued data is dropped. No event follows.
  void Abort();

  int LastErrorCode() const;
  // Dotted address of this end of the connection ("" when not connected).
  std::string LocalAddress() const;
  // Dotted address of the other end ("" when not connected).
  std::string RemoteAddress() const;
  // Listening, connecting or connected.
  bool IsOpen() const;
  bool IsConnected() const;
  // Bytes written and not yet handed to the system.
  std::size_t BytesToWrite() const;
  // Bytes written that the peer has not acknowledged yet: those above and
  // those the system still holds for it.
  std::size_t BytesUnacknowledged() const;
  // The last connection ended by CloseWhenDelivered, in order.
  bool WasDelivered() const;
  // When bytes last went out to the system, came in, or were taken by the
  // peer (the system's queue for it shrank), or the connection opened.
  std::chrono::steady_clock::time_point LastMovement() const;

  // Events for an owner; an unset one does nothing. A subclass that
  // overrides an Event_ virtual decides itself whether to raise these.
  std::function<void()> Connected;
  std::function<void()> DataAvailable;
  std::function<void()> SendComplete;
  std::function<void()> Delivered;
  std::function<void()> Error;

protected:
  virtual void Event_Connected();
  virtual void Event_DataAvailable();
  virtual void Event_SendComplete();
  virtual void Event_Delivered();
  virtual void Event_Error();

  void SetLastErrorCode(int code);
  // Queues handler to run from the event loop like this socket's own
  // events; dropped if the socket is destroyed first.
  void PostSocketEvent(std::function<void()> handler);

private:
  friend class TCPSocketEngine;
  std::unique_ptr<TCPSocketEngine> engine_;
};
