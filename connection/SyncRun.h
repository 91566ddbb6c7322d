#pragma once
// The synchronisation run of the main window: the upload and removal plans,
// their order and confirmation, the transfer-type decision, and the steps
// that send one server command at a time. Plain C++ on top of the trees:
// the window reaches the control connection, its fields and its dialogs
// through the hooks at the end, which tests replace.
//
// A step advances only on the final reply to the command it sent, so a
// continuation line, the late end of an earlier transfer or the answer to
// QUIT never runs the plan ahead of the server. Any error ends the run.

#include "trees/TreeLists.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class Window;

class SyncRun : public TreeLists {
public:
  SyncRun() = default;

  // --- run state -----------------------------------------------------------
  std::int32_t pUpload = 0;          // 1 a file is stored, 2 a folder is made
  bool pRemove = false;              // a DELE or RMD is in flight
  bool pFin2 = false;                // the run has ended; the notice is due
  std::vector<std::int32_t> pSyncList; // indexes into pSyncL or pSyncR
  std::int32_t pSyncListIdx = 0;     // position of the next step
  bool dataConnected = false;        // a data transfer is running

  // --- plan and confirmation ----------------------------------------------
  void SyncUpload();
  void SyncAppend(const std::string& side, std::int32_t index);
  void SyncUploadSort();
  void SyncRemove();
  void SyncRemoveSort();
  bool ShowSyncDlg(const std::string& mode);

  // --- execution -----------------------------------------------------------
  void SyncUpload2();
  void SyncRemove2();
  std::string SyncUpload2Path(std::int32_t index, const std::string& mode);

  // --- transfer type -------------------------------------------------------
  // "A" or "I" from the type table or the user's answer; "C" to skip.
  std::string ChkFileType(const std::string& name);
  // Asks the user; "A", "I", "C", or "" when closed without a button.
  virtual std::string GenSelectDlg(const std::string& /*name*/) { return {}; }

  // --- what the connection's events tell the run ---------------------------
  // Every reply line the control connection passes on, in order.
  void SyncReplyLine(const std::string& line);
  // The data connection's FileTransferComplete.
  void SyncTransferComplete();
  // An upload the server took whole: its file is settled. Outdated: the
  // local file changed after it was read, before the server's reply; the
  // server holds an earlier version whole, so nothing is deleted, but the
  // record keeps the file for the next compare to tick, and the log says so.
  void SyncStoredWhole(const std::string& remotePath, bool outdated);
  // An error reply, a failed or closed connection, an upload that could not
  // start, or the user's disconnect: the run ends where it is.
  void SyncFailed();
  // An error reply. When it is a 5xx refusal of the RMD in flight, answering
  // the command written as answering, the folder stays (so do the folders
  // above it, whose RMD would fail too), the log says so, the run goes on
  // with the next removal, and true is returned. False otherwise: the
  // caller ends the run.
  bool SyncRemovalRefused(const std::string& reply, const std::string& answering);
  // Shows the end notice once when it is due.
  void SyncShowEndIfDue();
  // A new control connection: no reply of the old one is open any more.
  void SyncConnectionStarted();

  bool SyncRunning() const { return running_; }
  // An error reply has come while a file is sent, a folder made or an entry
  // removed: the words naming it for the user's box, else empty. Called
  // before the run is ended.
  std::string SyncStepRefused() const;
  // Remote path of the step in flight (or of the last one).
  const std::string& SyncStepPath() const { return stepPath_; }

  // A STOR written when the run failed leaves its file unsettled until its
  // final reply. Only a 2xx, the server taking what it got for the file,
  // leads to a DELE, so the next compare offers the upload again. Any other
  // end deletes nothing: a server that stores an upload under another name
  // until it is whole (proftpd's HiddenStores) still holds its older copy,
  // and the record of untrusted uploads keeps the file for the next compare.
  // Its remote path until that is settled, else empty.
  const std::string& SyncCutShortPath() const { return cutShort_; }
  // After a data connection's failure: sends that DELE when the connection
  // answers and the STOR's 2xx is in (an error reply would have ended the
  // run and settled the file already).
  void SyncDeleteCutShort();
  // An error reply has come: the refusal of the STOR or of its DELE. The
  // file is left as the server has it; the words naming it for the user's
  // box (also logged), or empty when no file is unsettled.
  std::string SyncCutShortRefused();
  // The file will not be deleted: the DELE was refused, or the connection
  // is gone before it was answered. The words naming it for the user's box
  // (also logged), or empty when the server's file was never touched.
  std::string SyncCutShortLeft();
  // The user ends the connection with the file unsettled: a box names it.
  void SyncForgetCutShort();

protected:
  // --- hooks to the window -------------------------------------------------
  virtual void SyncMakeDirectory(const std::string& /*remotePath*/) {}
  virtual void SyncStoreFile(const std::string& /*localPath*/, const std::string& /*remotePath*/,
                             const std::string& /*type*/) {}
  // The files an upload plan may replace on the server, before any of it
  // goes out; false when they could not be written down (nothing is sent).
  virtual bool SyncUntrusted(const std::vector<std::string>& /*remotePaths*/) { return true; }
  // The server's file at remotePath is known again: stored whole or deleted.
  virtual void SyncSettled(const std::string& /*remotePath*/) {}
  // No STOR went out for remotePath in this run: what its plan wrote down
  // may go, but not what an earlier upload cut short left there.
  virtual void SyncNotSent(const std::string& /*remotePath*/) {}
  // The run has ended, however it ended, before its notice is shown.
  virtual void SyncEnded() {}
  // The STOR of the upload in flight has been written.
  virtual bool SyncStoreWritten() const { return true; }
  // It went out whole and the server took it.
  virtual bool SyncStoreWhole() const { return false; }
  // The reply being handled answers command, as it was written.
  virtual bool SyncReplyAnswers(const std::string& /*command*/) const { return true; }
  virtual void SyncDeleteFile(const std::string& /*remotePath*/) {}
  virtual void SyncDeleteDirectory(const std::string& /*remotePath*/) {}
  // The control connection has answered everything it was sent.
  virtual bool SyncConnectionIdle() const { return true; }
  // Why it is not, in a sentence for the user.
  virtual std::string SyncBusyWith() const
  {
    return pSyncRFlg ? "The server folder is still being listed." : "The connection to the server is busy.";
  }
  // The mode menu reads "アップロード＆削除".
  virtual bool SyncUploadAndDelete() const { return false; }
  // The confirmation list; true when the user pressed "実行".
  virtual bool SyncListConfirm(const std::string& /*heading*/, const std::vector<std::string>& /*rows*/)
  {
    return true;
  }
  // Progress set-up before a file is sent: its length in bytes.
  virtual void SyncProgressStart(std::int64_t /*length*/) {}
  virtual void SyncLog(const std::string& /*line*/) {}
  // The server opened the STOR in flight (its 1xx came), and it is not
  // known to have been stored whole.
  virtual bool SyncStoreOpened() const { return false; }
  // The STOR's final reply is still to come.
  virtual bool SyncStoreReplyAwaited() const { return false; }
  // The control connection is open and can still be answered.
  virtual bool SyncConnectionAnswers() const { return true; }
  virtual ::Window* SyncParentWindow() { return nullptr; }

private:
  enum class Phase { None, Upload, Remove };

  bool running_ = false;
  Phase phase_ = Phase::None;
  std::uint64_t runNumber_ = 0;
  // Positions of pSyncList below this are settled: carried out, or skipped
  // with their mark cleared.
  std::size_t settled_ = 0;
  bool planWrittenDown_ = false; // SyncUntrusted took this run's plan
  bool awaitingReply_ = false;  // a MKD, DELE or RMD awaits its final reply
  std::string openReplyCode_;   // code of a multi-line reply still open
  std::string stepPath_;        // remote path of the step in flight
  std::string stepCommand_;     // the MKD, DELE or RMD it wrote
  std::string cutShort_;
  bool cutShortDeleSent_ = false;
  // Remote records by case- and form-folded path, for the run numbered caseIndexRun_.
  std::unordered_map<std::string, std::vector<std::int32_t>> caseIndex_;
  std::uint64_t caseIndexRun_ = 0;

  bool ReplyLineIsFinal(const std::string& line);
  void Begin(Phase phase);
  void End(bool finished);
  void ClearUnsettledMarks();
  void StepCarried();
  // The entry just taken is passed over.
  void SkipEntry(std::int32_t index);
  void SendCutShortDele();
  void CutShortDeleAnswered(bool deleted);
  // "同期" pressed when no run can start: a box says why.
  void RefuseBusyStart();
  // The compare found nothing to send in the local folder: the removal
  // phase ends before it starts, and a box says why.
  void RefuseRemovalForEmptyFolder();
  // What was just stored or made at remotePath: its namesakes on the server
  // in other letter case or Unicode form are kept for the rest of this
  // compare.
  void KeepCaseTwins(const std::string& remotePath);
  // Per remote record, why the removal leaves it on the server (empty: it
  // may go): not read whole, left alone, or holding something that stays.
  std::vector<std::string> WhyRemoteStays() const;
  bool StillRunning(std::uint64_t run) const { return running_ && runNumber_ == run; }
  SyncRecords& Side(Phase phase) { return phase == Phase::Upload ? pSyncL : pSyncR; }
};

// Progress bar maximum for a file: kilobytes above 1024 bytes, else bytes.
std::int32_t ProgressMaximumFor(std::int64_t length);
// Bytes per second shown by the rate display.
std::int64_t RateOf(std::int64_t totalBytes, double elapsedSeconds);
// The log's and the error's words on a file an upload left cut short;
// stored: the server took what it got for the file.
std::string CutShortNotice(const std::string& remotePath, bool stored);
// True when text ends with the type table's extension, ASCII letters in
// either case.
bool EndsWithExtension(const std::string& text, const std::string& ext);
