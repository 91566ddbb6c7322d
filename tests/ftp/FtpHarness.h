#pragma once
// A control and a data connection wired the way the main window wires
// them, recording every event in order, plus helpers to pump the loop.

#include "ftp/FtpCommandSocket.h"
#include "ftp/FtpDataSocket.h"

#include "framework/Events.h"
#include "Pump.h"

#include <functional>
#include <string>
#include <vector>

struct FtpHarness {
  FtpCommandSocket commandSocket;
  FtpDataSocket dataSocket;

  std::vector<std::string> events;   // every event, in order, with its argument
  std::vector<std::string> responses;
  std::vector<std::string> serverErrors;
  std::vector<std::string> listings;
  long long bytes = 0;
  int completes = 0;
  int dataErrors = 0;
  int commandErrors = 0;
  int loggedIn = 0;
  int dirChanged = 0;
  int cancelled = 0;
  // Runs when FileTransferComplete is raised (the next step of a run).
  std::function<void()> onComplete;

  FtpHarness(const std::string& host, int port, const std::string& user, const std::string& password, bool passive)
  {
    commandSocket.Address = host;
    commandSocket.Port = port;
    commandSocket.userID = user;
    commandSocket.password = password;
    commandSocket.usePASV = passive;
    commandSocket.dataPort = &dataSocket;
    commandSocket.gotResponse = [this](const std::string& line) {
      responses.push_back(line);
      events.push_back("gotResponse " + line);
    };
    commandSocket.gotServerError = [this](const std::string& reply) {
      serverErrors.push_back(reply);
      events.push_back("gotServerError " + reply);
    };
    commandSocket.loggedIn = [this](const std::string&) {
      ++loggedIn;
      events.push_back("loggedIn");
    };
    commandSocket.remoteDirChanged = [this](const std::string&) {
      ++dirChanged;
      events.push_back("remoteDirChanged");
    };
    commandSocket.userCancelledUpload = [this]() {
      ++cancelled;
      events.push_back("userCancelledUpload");
    };
    commandSocket.Error = [this]() {
      ++commandErrors;
      events.push_back("commandSocket.Error " + std::to_string(commandSocket.LastErrorCode()));
    };
    dataSocket.gotList = [this](const std::string& listing) {
      listings.push_back(listing);
      events.push_back("gotList");
    };
    dataSocket.bytesTransfered = [this](std::int32_t n) { bytes += n; };
    dataSocket.FileTransferComplete = [this]() {
      ++completes;
      events.push_back(std::string("FileTransferComplete") + (dataSocket.IsOpen() ? " (data open)" : ""));
      if (onComplete)
        onComplete();
    };
    dataSocket.Error = [this]() {
      ++dataErrors;
      events.push_back("dataSocket.Error " + std::to_string(dataSocket.LastErrorCode()));
    };
  }

  // Everything seen so far, for failure messages.
  std::string Dump() const
  {
    std::string out;
    for (const auto& e : events)
      out += e + "\n";
    return out + "status=" + commandSocket.status + " expected=" + commandSocket.expectedCode +
           " data status=" + dataSocket.status + " open=" + (dataSocket.IsOpen() ? "yes" : "no") + "\n";
  }

  bool Login()
  {
    commandSocket.Connect();
    return PumpUntil([this] { return loggedIn > 0 || !serverErrors.empty() || commandErrors > 0; }) && loggedIn == 1;
  }

  // Sends a folder command (DELE, MKD, RMD) and waits for its reply: true
  // when the server took it.
  bool Command(const std::function<void()>& send)
  {
    const std::size_t r = responses.size();
    const std::size_t e = serverErrors.size();
    send();
    return PumpUntil([&] { return responses.size() > r || serverErrors.size() > e; }) && serverErrors.size() == e;
  }

  bool List(std::string& listing)
  {
    const std::size_t before = listings.size();
    const std::size_t errors = serverErrors.size();
    commandSocket.getList();
    if (!PumpUntil([&] { return listings.size() > before || serverErrors.size() > errors || dataErrors > 0; }))
      return false;
    if (listings.size() == before)
      return false;
    listing = listings.back();
    return true;
  }

  bool Upload(const std::string& local, const std::string& remote, const std::string& type)
  {
    const int before = completes;
    const std::size_t errors = serverErrors.size();
    const int dataErr = dataErrors;
    commandSocket.storFile(local, remote, type);
    return PumpUntil([&] { return completes > before || serverErrors.size() > errors || dataErrors > dataErr; }) &&
           completes == before + 1;
  }

  bool Download(const std::string& remote, const std::string& local, const std::string& type)
  {
    const int before = completes;
    const std::size_t errors = serverErrors.size();
    const int dataErr = dataErrors;
    commandSocket.getFile(remote, local, type, "", "");
    return PumpUntil([&] { return completes > before || serverErrors.size() > errors || dataErrors > dataErr; }) &&
           completes == before + 1;
  }
};
