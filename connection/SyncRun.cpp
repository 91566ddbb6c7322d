// The steps that carry out a synchronisation run, one server command at a
// time, and what the connection's replies and events tell them. The plans
// they carry out are in SyncRunPlan.cpp.

#include "connection/SyncRun.h"
#include "app/Texts.h"

#include "connection/ConnectionTexts.h"

#include "framework/FolderItem.h"
#include "framework/Modal.h"
#include "settings/Globals.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

std::vector<std::string> SplitAt(const std::string& text, char separator)
{
  std::vector<std::string> out;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = text.find(separator, begin);
    out.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
    if (end == std::string::npos)
      return out;
    begin = end + 1;
  }
}

bool IsCode(const std::string& line)
{
  return line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
         std::isdigit(static_cast<unsigned char>(line[1])) && std::isdigit(static_cast<unsigned char>(line[2]));
}

// The success replies of MKD (257), DELE and RMD (250). The end of a
// transfer (225, 226) and the answer to QUIT (221) never answer them.
bool AnswersFolderCommand(const std::string& code)
{
  return code.size() == 3 && code[0] == '2' && code != "221" && code != "225" && code != "226";
}

} // namespace

std::int32_t ProgressMaximumFor(std::int64_t length)
{
  if (length > 1024)
    return static_cast<std::int32_t>(static_cast<double>(length) / 1024.0);
  return static_cast<std::int32_t>(length);
}

std::int64_t RateOf(std::int64_t totalBytes, double elapsedSeconds)
{
  if (elapsedSeconds < 1.0)
    return totalBytes;
  return std::llround(static_cast<double>(totalBytes) / elapsedSeconds);
}

std::string CutShortNotice(const std::string& remotePath, bool stored)
{
  if (stored)
    return "The upload of " + remotePath + " was cut short, and the server keeps the part it got: the next " +
           "compare ticks the file for upload again.";
  return "The upload of " + remotePath + " was cut short: the server may still hold its older copy of the file, " +
         "or the part it got. The next compare ticks the file for upload again.";
}

bool EndsWithExtension(const std::string& text, const std::string& ext)
{
  if (ext.size() > text.size())
    return false;
  const std::size_t start = text.size() - ext.size();
  for (std::size_t k = 0; k < ext.size(); ++k)
    if (std::tolower(static_cast<unsigned char>(text[start + k])) != std::tolower(static_cast<unsigned char>(ext[k])))
      return false;
  return true;
}

// ------------------------------------------------------------- execution

std::string SyncRun::SyncUpload2Path(std::int32_t index, const std::string& mode)
{
  std::vector<std::string> parts = SplitAt(pSyncL[static_cast<std::size_t>(index)].path, '/');
  if (!parts.empty() && parts.back().empty())
    parts.pop_back();
  const FolderItem* root = TreesLocalFolder();
  // Counted on the root's own path, not on what the disk holds now: a root
  // that went away during the run must not move every path one folder up.
  std::string rootPath = root ? root->NativePath() : std::string();
  if (rootPath.empty() || rootPath.back() != '/')
    rootPath += '/';
  const std::size_t k = root ? SplitAt(rootPath, '/').size() - 1 : parts.size();
  std::string out = mode == "full" ? pRootR : std::string();
  for (std::size_t i = k; i < parts.size(); ++i)
    out += "/" + parts[i];
  return out;
}

void SyncRun::SyncUpload2()
{
  if (!running_ || phase_ != Phase::Upload || dataConnected)
    return;
  const std::uint64_t run = runNumber_;
  for (;;) {
    if (pSyncListIdx >= static_cast<std::int32_t>(pSyncList.size())) {
      pUpload = 0;
      settled_ = pSyncList.size();
      if (SyncUploadAndDelete())
        SyncRemove();
      else
        End(true);
      return;
    }
    const std::int32_t i = pSyncList[static_cast<std::size_t>(pSyncListIdx)];
    ++pSyncListIdx;
    const SyncRecord& r = pSyncL[static_cast<std::size_t>(i)];
    if (r.kind == "d") {
      pUpload = 2;
      awaitingReply_ = true;
      stepPath_ = SyncUpload2Path(i, "full");
      stepCommand_ = "MKD " + stepPath_;
      SyncMakeDirectory(stepPath_);
      return;
    }
    // Unticked by the user since it was planned: not stored.
    if (!r.check) {
      SkipEntry(i);
      continue;
    }
    const FolderItem item = GetFolderItem(r.path);
    if (!item.Exists() || item.Directory()) {
      SyncLog("Skipped (no longer a file here): " + r.path);
      SkipEntry(i);
      continue;
    }
    SyncProgressStart(item.Length());
    const std::string type = ChkFileType(item.Name());
    if (!StillRunning(run))
      return; // the run ended while the type was asked
    if (type != "A" && type != "I") {
      SkipEntry(i); // skipped by the user
      continue;
    }
    pUpload = 1;
    stepPath_ = SyncUpload2Path(i, "full");
    SyncStoreFile(r.path, stepPath_, type); // written down with the plan
    return;
  }
}

void SyncRun::SyncRemove2()
{
  if (!running_ || phase_ != Phase::Remove || dataConnected)
    return;
  for (;;) {
    if (pSyncListIdx >= static_cast<std::int32_t>(pSyncList.size())) {
      pRemove = false;
      settled_ = pSyncList.size();
      End(true);
      return;
    }
    const std::int32_t i = pSyncList[static_cast<std::size_t>(pSyncListIdx)];
    ++pSyncListIdx;
    const SyncRecord& r = pSyncR[static_cast<std::size_t>(i)];
    // Unticked by the user since it was planned: not deleted.
    if (!r.check) {
      SkipEntry(i);
      continue;
    }
    pRemove = true;
    awaitingReply_ = true;
    stepPath_ = r.path;
    stepCommand_ = (r.kind == "d" ? "RMD " : "DELE ") + r.path;
    if (r.kind == "d")
      SyncDeleteDirectory(r.path);
    else
      SyncDeleteFile(r.path);
    return;
  }
}

// --------------------------------------------------------- transfer type

std::string SyncRun::ChkFileType(const std::string& name)
{
  std::string body;
  std::string extn;
  gExtractBodyAndExtn(name, body, extn);
  for (std::size_t i = 0; i < gFileType.size(); ++i) {
    const FileTypeEntry& row = gFileType[i];
    const bool same = row.ext.size() == extn.size() && EndsWithExtension(extn, row.ext);
    // Only a row naming a type that can be sent decides.
    if (same && (row.bin == "A" || row.bin == "I"))
      return row.bin;
  }
  const std::string answer = GenSelectDlg(name);
  if (answer == "A" || answer == "I")
    return answer;
  return "C"; // cancelled or closed: the file is skipped
}

// ---------------------------------------------------------------- events

bool SyncRun::ReplyLineIsFinal(const std::string& line)
{
  if (!openReplyCode_.empty()) {
    if (line.compare(0, 3, openReplyCode_) == 0 && (line.size() == 3 || line[3] == ' ')) {
      openReplyCode_.clear();
      return true;
    }
    return false;
  }
  if (!IsCode(line))
    return false;
  if (line.size() > 3 && line[3] == '-') {
    openReplyCode_ = line.substr(0, 3);
    return false;
  }
  return true;
}

void SyncRun::SyncReplyLine(const std::string& line)
{
  const bool final = ReplyLineIsFinal(line);
  if (final && !cutShort_.empty() && line[0] != '1') {
    if (cutShortDeleSent_) {
      // The DELE's answer: only a 2xx took the part away.
      if (SyncReplyAnswers("DELE " + cutShort_))
        CutShortDeleAnswered(line[0] == '2');
    } else if (SyncConnectionAnswers() && SyncReplyAnswers("STOR " + cutShort_)) {
      // Nothing is sent after a failed STOR until its final reply: this is
      // it, and the server is done with the file. Only what it took for the
      // file may go; after a refusal it may still hold its older copy.
      if (line[0] == '2')
        SendCutShortDele();
      else
        SyncCutShortLeft();
    }
  }
  // Only the answer to the step's own command moves it: the walk's last
  // CWD may still be answered after a run has started.
  const bool answers = final && running_ && awaitingReply_ && AnswersFolderCommand(line.substr(0, 3)) &&
                       SyncReplyAnswers(stepCommand_);
  if (pUpload == 2 && answers) {
    StepCarried();
    SyncUpload2();
  } else if (pRemove && answers) {
    if (stepCommand_.rfind("DELE ", 0) == 0)
      SyncSettled(stepPath_); // whatever an upload left there is gone
    StepCarried();
    SyncRemove2();
  }
  SyncShowEndIfDue();
}

void SyncRun::CutShortDeleAnswered(bool deleted)
{
  if (!deleted) {
    const std::string left = SyncCutShortLeft();
    if (!left.empty())
      MsgBox(left);
    return;
  }
  SyncLog("Deleted " + cutShort_ + " on the server: its upload was cut short, so the next run sends it again.");
  SyncSettled(cutShort_);
  cutShort_.clear();
  cutShortDeleSent_ = false;
}

void SyncRun::SyncTransferComplete()
{
  if (pUpload == 1 && running_ && phase_ == Phase::Upload) {
    StepCarried();
    SyncUpload2();
  }
  SyncShowEndIfDue();
}

void SyncRun::SyncStoredWhole(const std::string& remotePath, bool outdated)
{
  if (!outdated) {
    SyncSettled(remotePath);
    return;
  }
  SyncLog("The local file of " + remotePath + " changed after it was read for upload, before the server took it: " +
          "the server keeps the earlier version, so the next compare ticks the file for upload again.");
}

void SyncRun::SyncFailed()
{
  if (!running_)
    return;
  // What the server made of a STOR written is known only with its final
  // reply, which may still be on the way; some servers empty the file on
  // STOR even when they refuse it.
  if (phase_ == Phase::Upload && pUpload == 1 && !SyncStoreWhole()) {
    if (SyncStoreWritten()) {
      cutShort_ = stepPath_;
      cutShortDeleSent_ = false;
    } else {
      SyncNotSent(stepPath_); // no STOR went out: the server's file is as it was
    }
  }
  End(false);
}

bool SyncRun::SyncRemovalRefused(const std::string& reply, const std::string& answering)
{
  if (!running_ || phase_ != Phase::Remove || !awaitingReply_ || pSyncListIdx <= 0 || !IsCode(reply) ||
      reply[0] != '5')
    return false;
  const std::int32_t refused = pSyncList[static_cast<std::size_t>(pSyncListIdx - 1)];
  const SyncRecord& folder = pSyncR[static_cast<std::size_t>(refused)];
  if (folder.kind != "d" || answering != "RMD " + folder.path)
    return false;
  // A folder the server will not remove holds what the listing did not
  // show (a hidden ".htaccess"); the rest of the plan still stands.
  std::string shown = reply;
  shown.erase(std::remove_if(shown.begin(), shown.end(), [](char c) { return c == '\r' || c == '\n'; }),
              shown.end());
  SyncLog("Kept " + folder.path + " on the server: it refused to remove it (" + shown + ").");
  std::vector<std::int32_t> kept{refused};
  for (std::size_t p = static_cast<std::size_t>(pSyncListIdx); p < pSyncList.size(); ++p) {
    const SyncRecord& above = pSyncR[static_cast<std::size_t>(pSyncList[p])];
    if (above.kind == "d" && above.check && folder.path.compare(0, above.path.size() + 1, above.path + "/") == 0) {
      SyncLog("Kept " + above.path + " on the server: something in it stays there.");
      kept.push_back(pSyncList[p]);
    }
  }
  // Unticked, the folders above are passed over when their turn comes.
  TreeTick(false, kept, false);
  StepCarried();
  SyncRemove2();
  SyncShowEndIfDue();
  return true;
}

void SyncRun::SyncDeleteCutShort()
{
  if (cutShort_.empty() || cutShortDeleSent_ || !SyncConnectionAnswers() || SyncStoreReplyAwaited())
    return;
  SendCutShortDele();
}

std::string SyncRun::SyncStepRefused() const
{
  if (!running_ || stepPath_.empty())
    return {};
  const std::string stopped = ", so the run stopped there: nothing after it was uploaded or deleted.";
  if (phase_ == Phase::Upload && pUpload == 1)
    return SyncStoreWhole() ? std::string() : "The upload of " + stepPath_ + " failed" + stopped;
  if (!awaitingReply_)
    return {};
  if (stepCommand_.rfind("MKD ", 0) == 0)
    return "The folder " + stepPath_ + " could not be made on the server" + stopped;
  if (stepCommand_.rfind("RMD ", 0) == 0)
    return "The folder " + stepPath_ + " could not be removed from the server" + stopped;
  if (stepCommand_.rfind("DELE ", 0) == 0)
    return stepPath_ + " could not be deleted from the server" + stopped;
  return {};
}

std::string SyncRun::SyncCutShortRefused()
{
  if (SyncStoreReplyAwaited())
    return {};
  return SyncCutShortLeft();
}

void SyncRun::SendCutShortDele()
{
  if (!SyncStoreOpened()) {
    cutShort_.clear(); // stored whole after all
    return;
  }
  // Logged once its answer says it is gone, not before.
  cutShortDeleSent_ = true;
  SyncDeleteFile(cutShort_);
}

std::string SyncRun::SyncCutShortLeft()
{
  const std::string path = cutShort_;
  // A STOR written may have emptied the file even before it was opened.
  const bool touched = cutShortDeleSent_ || SyncStoreOpened() || SyncStoreWritten();
  // Its DELE goes only once the server has taken the part for the file.
  const bool stored = cutShortDeleSent_;
  cutShort_.clear();
  cutShortDeleSent_ = false;
  if (path.empty() || !touched)
    return {};
  SyncLog(CutShortNotice(path, stored));
  return CutShortNotice(path, stored);
}

void SyncRun::SyncForgetCutShort()
{
  const std::string left = SyncCutShortLeft();
  // The log goes with the window: the user must be told now.
  if (!left.empty())
    MsgBox(left);
}

void SyncRun::SyncShowEndIfDue()
{
  if (!pFin2)
    return;
  pFin2 = false;
  gCautionDlg1(ConnectionText::SyncFinished, "", SyncParentWindow());
}

void SyncRun::SyncConnectionStarted()
{
  openReplyCode_.clear();
  SyncFailed();
}

// ----------------------------------------------------------------- state

void SyncRun::Begin(Phase phase)
{
  if (phase == Phase::Upload)
    ++runNumber_;
  stepPath_.clear();
  stepCommand_.clear();
  running_ = true;
  phase_ = phase;
  pSyncList.clear();
  pSyncListIdx = 0;
  settled_ = 0;
  planWrittenDown_ = false;
  awaitingReply_ = false;
  pUpload = 0;
  pRemove = false;
}

void SyncRun::SkipEntry(std::int32_t index)
{
  // Not carried out: the next "同期" offers it again.
  Side(phase_)[static_cast<std::size_t>(index)].sync = false;
  settled_ = static_cast<std::size_t>(pSyncListIdx);
  if (phase_ == Phase::Upload && pSyncL[static_cast<std::size_t>(index)].kind != "d")
    SyncNotSent(SyncUpload2Path(index, "full"));
}


void SyncRun::StepCarried()
{
  // A server that ignores case or normalisation took what was stored or
  // made for its namesakes in other case or form: deleting one would delete
  // that.
  if (phase_ == Phase::Upload && !stepPath_.empty())
    KeepCaseTwins(stepPath_);
  stepPath_.clear();
  stepCommand_.clear();
  awaitingReply_ = false;
  // Nothing is in flight until the next step goes out: a run that fails
  // while the next file's type is asked has sent nothing of that file.
  pUpload = 0;
  settled_ = static_cast<std::size_t>(pSyncListIdx);
}

void SyncRun::ClearUnsettledMarks()
{
  if (phase_ == Phase::None)
    return;
  SyncRecords& records = Side(phase_);
  // The upload in flight, if any, was settled or kept by SyncFailed.
  const std::size_t inFlight = pUpload == 1 ? static_cast<std::size_t>(pSyncListIdx - 1) : pSyncList.size();
  for (std::size_t p = settled_; p < pSyncList.size(); ++p) {
    const auto index = static_cast<std::size_t>(pSyncList[p]);
    if (index >= records.size())
      continue;
    records[index].sync = false;
    if (phase_ == Phase::Upload && planWrittenDown_ && p != inFlight && records[index].kind != "d")
      SyncNotSent(SyncUpload2Path(static_cast<std::int32_t>(index), "full"));
  }
  settled_ = pSyncList.size();
}

void SyncRun::End(bool finished)
{
  if (!finished)
    ClearUnsettledMarks();
  running_ = false;
  phase_ = Phase::None;
  awaitingReply_ = false;
  pUpload = 0;
  pRemove = false;
  pFin2 = finished;
  SyncEnded();
}
