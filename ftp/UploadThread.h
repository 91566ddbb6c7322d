#pragma once
// Sends one local file over the data connection during a STOR, piece by
// piece, on the cooperative thread.

#include "framework/Thread.h"

class FtpDataSocket;

class UploadThread : public Thread {
public:
  FtpDataSocket* parent = nullptr;

  // Big enough that a fast network is not held up by a loop pass and an
  // event for every few kilobytes.
  static constexpr std::size_t kPieceSize = 64u << 10;

  // Waits, giving way, until everything written has left the socket; false
  // when the transfer ended first (closed, failed or answered early).
  bool WaitForSendComplete();
  // Closes the data connection gracefully, waits for the server's final
  // reply to the STOR and raises FileTransferComplete when it is a success.
  void FinishUpload();
  // An upload that stopped before its end: tells the owner unless the
  // socket or the control connection has already done so.
  void ReportEarlyEnd();

protected:
  void Event_Run() override;

private:
  void Pause(int& rounds);
};
