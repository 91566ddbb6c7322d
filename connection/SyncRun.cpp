#include "connection/SyncRun.h"
#include "app/Texts.h"

#include "connection/ConnectionTexts.h"

#include "framework/CaseFold.h"
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

// Orders entries by key, ascending or descending, byte for byte; a text
// that begins another sorts before it.
void SortByKey(std::vector<std::int32_t>& list, const std::vector<std::string>& keys, bool ascending)
{
  std::vector<std::size_t> order(list.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return ascending ? keys[a] < keys[b] : keys[b] < keys[a];
  });
  std::vector<std::int32_t> sorted;
  sorted.reserve(list.size());
  for (std::size_t i : order)
    sorted.push_back(list[i]);
  list.swap(sorted);
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

std::string CutShortNotice(const std::string& remotePath)
{
  return "The upload of " + remotePath + " was cut short, and the server may keep the part it got: the next " +
         "compare ticks the file for upload again.";
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

// ------------------------------------------------------------------ plan

void SyncRun::SyncUpload()
{
  // One run at a time, and only once the compare is done and the server
  // has answered everything: an earlier reply would be taken for a step's.
  if (running_ || pSyncRFlg || dataConnected || !SyncConnectionIdle()) {
    Beep();
    return;
  }
  Begin(Phase::Upload);
  pFin2 = false;
  const std::uint64_t run = runNumber_;
  std::vector<std::int32_t> leftAlone;
  std::vector<std::int32_t> withFolder;
  for (std::size_t i = 0; i < pSyncL.size(); ++i) {
    const SyncRecord& r = pSyncL[i];
    if (!r.check)
      continue;
    // Ticked by hand, but the server's entry of that name is left alone.
    if (r.reserved) {
      leftAlone.push_back(static_cast<std::int32_t>(i));
      continue;
    }
    if (r.kind == "d") {
      for (std::int32_t j = 0; j < r.childCount; ++j) {
        const std::int32_t c = r.child + j;
        if (c < 0 || c >= static_cast<std::int32_t>(pSyncL.size()))
          continue;
        // A file that goes up with its folder shows ticked, as every file
        // stored does. A sub-folder is only made; its content stays as ticked.
        const SyncRecord& child = pSyncL[static_cast<std::size_t>(c)];
        if (!child.check && !child.sync && !child.reserved && child.kind != "d")
          withFolder.push_back(c);
        SyncAppend("Local", c);
      }
    }
    SyncAppend("Local", static_cast<std::int32_t>(i));
  }
  TreeTick(true, leftAlone, false);
  TreeTick(true, withFolder);
  SyncUploadSort();
  if (gPref[PrefConfirmSync] == 1 && !ShowSyncDlg("upload")) {
    End(false);
    return;
  }
  if (!StillRunning(run))
    return;
  if (pSyncList.empty()) {
    if (SyncUploadAndDelete()) {
      SyncRemove();
    } else {
      End(false); // nothing to do: no notice
      return;
    }
  } else {
    // Written down before anything goes out, in one write for the whole
    // plan: a file never reached is struck off again when the run ends.
    std::vector<std::string> files;
    for (const std::int32_t entry : pSyncList)
      if (pSyncL[static_cast<std::size_t>(entry)].kind != "d")
        files.push_back(SyncUpload2Path(entry, "full"));
    if (!SyncUntrusted(files)) {
      SyncLog("Nothing was uploaded: the files to upload could not be written down in the settings folder first.");
      End(false);
      return;
    }
    planWrittenDown_ = true;
    SyncUpload2();
  }
  // A run with nothing to send has ended here; say so now, not at some
  // later reply.
  SyncShowEndIfDue();
}

void SyncRun::SyncAppend(const std::string& side, std::int32_t index)
{
  SyncRecords& records = side == "Local" ? pSyncL : pSyncR;
  if (index < 0 || index >= static_cast<std::int32_t>(records.size()))
    return;
  SyncRecord& r = records[static_cast<std::size_t>(index)];
  if (r.sync || r.reserved)
    return;
  pSyncList.push_back(index);
  r.sync = true;
}

void SyncRun::SyncUploadSort()
{
  std::vector<std::string> keys;
  keys.reserve(pSyncList.size());
  for (std::int32_t entry : pSyncList)
    keys.push_back(SyncUpload2Path(entry, "full"));
  SortByKey(pSyncList, keys, true);
}

void SyncRun::SyncRemove()
{
  if (LocalRootHeldNothing() && !pSyncR.empty()) {
    RefuseRemovalForEmptyFolder();
    return;
  }
  Begin(Phase::Remove);
  const std::uint64_t run = runNumber_;
  // Neither what stays nor, for a folder, anything in it is asked about or
  // sent.
  const std::vector<std::string> stays = WhyRemoteStays();
  std::vector<std::int32_t> kept;
  for (std::size_t i = 0; i < pSyncR.size(); ++i) {
    if (pSyncR[i].check && !stays[i].empty()) {
      SyncLog("Kept " + pSyncR[i].path + " on the server: " + stays[i] + ".");
      kept.push_back(static_cast<std::int32_t>(i));
    }
  }
  TreeTick(false, kept, false);
  for (std::size_t i = 0; i < pSyncR.size(); ++i) {
    if (!pSyncR[i].check)
      continue;
    SyncAppend("Remote", static_cast<std::int32_t>(i));
    if (pSyncR[i].kind != "d")
      continue;
    const std::int32_t child = pSyncR[i].child;
    const std::int32_t count = pSyncR[i].childCount;
    for (std::int32_t j = 0; j < count; ++j) {
      const std::int32_t c = child + j;
      if (c < 0 || c >= static_cast<std::int32_t>(pSyncR.size()))
        break;
      if (!pSyncR[c].check) {
        const std::int32_t answer =
            gCautionDlg(2, ConnectionText::Continue, Text::Cancel, "", ConnectionText::KeepChildQuestion,
                        pSyncR[c].name, SyncParentWindow());
        if (!StillRunning(run))
          return;
        if (answer == CautionCancel) {
          End(false);
          return;
        }
        if (answer == CautionAction)
          TreeTick(false, c);
      }
      SyncAppend("Remote", c);
    }
  }
  SyncRemoveSort();
  if (gPref[PrefConfirmSync] == 1 && !ShowSyncDlg("remove")) {
    End(false);
    return;
  }
  if (!StillRunning(run))
    return;
  SyncRemove2();
}

void SyncRun::RefuseRemovalForEmptyFolder()
{
  // Whatever is ticked, by the user too: an empty folder is no plan.
  const FolderItem* root = TreesLocalFolder();
  const std::string folder = root ? root->AbsolutePath() : std::string();
  SyncLog("Nothing was deleted on the server: the local folder " + folder + " is empty.");
  End(false);
  gCautionDlg1("Nothing was deleted on the server: the local folder is empty.",
               "Check that the drive of " + folder + " is there.", SyncParentWindow());
}

void SyncRun::SyncRemoveSort()
{
  std::vector<std::string> keys;
  keys.reserve(pSyncList.size());
  for (std::int32_t entry : pSyncList)
    keys.push_back(pSyncR[static_cast<std::size_t>(entry)].path);
  SortByKey(pSyncList, keys, false);
}

bool SyncRun::ShowSyncDlg(const std::string& mode)
{
  std::vector<std::string> rows;
  rows.reserve(pSyncList.size());
  if (mode == "upload") {
    for (std::int32_t entry : pSyncList)
      rows.push_back(SyncUpload2Path(entry, "root"));
    return SyncListConfirm(ConnectionText::UploadHeading, rows);
  }
  for (std::int32_t entry : pSyncList)
    rows.push_back(pSyncR[static_cast<std::size_t>(entry)].path);
  return SyncListConfirm(ConnectionText::RemoveHeading, rows);
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
      // it, and the server is done with the file.
      SendCutShortDele();
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

void SyncRun::SyncFailed()
{
  if (!running_)
    return;
  // Whether the server opened it is known for sure only with its final
  // reply; its opening reply may still be on the way.
  if (phase_ == Phase::Upload && pUpload == 1) {
    if (SyncStoreOpened() || SyncStoreReplyAwaited()) {
      cutShort_ = stepPath_;
      cutShortDeleSent_ = false;
    } else if (!SyncStoreWritten()) {
      SyncNotSent(stepPath_); // no STOR went out: the server's file is as it was
    } else {
      // Refused, but some servers empty the file on STOR all the same.
      SyncLog("The upload of " + stepPath_ + " did not end whole: the next compare ticks it for upload again.");
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

void SyncRun::SendCutShortDele()
{
  if (!SyncStoreOpened()) {
    cutShort_.clear(); // refused before it was opened: the server's file is as it was
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
  cutShort_.clear();
  cutShortDeleSent_ = false;
  if (path.empty() || !touched)
    return {};
  SyncLog(CutShortNotice(path));
  return CutShortNotice(path);
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

void SyncRun::KeepCaseTwins(const std::string& remotePath)
{
  if (caseIndexRun_ != runNumber_) {
    caseIndex_.clear();
    for (std::size_t i = 0; i < pSyncR.size(); ++i)
      caseIndex_[CaseAndFormFolded(pSyncR[i].path)].push_back(static_cast<std::int32_t>(i));
    caseIndexRun_ = runNumber_;
  }
  const auto twins = caseIndex_.find(CaseAndFormFolded(remotePath));
  if (twins == caseIndex_.end())
    return;
  for (const std::int32_t i : twins->second) {
    SyncRecord& r = pSyncR[static_cast<std::size_t>(i)];
    if (r.reserved)
      continue;
    r.reserved = true;
    if (!r.check)
      continue;
    TreeTick(false, i, false);
    SyncLog("Kept " + r.path + " on the server: " + remotePath +
            " was stored or made there, which a server that ignores letter case or Unicode normalisation takes for the same name.");
  }
}

std::vector<std::string> SyncRun::WhyRemoteStays() const
{
  const auto n = static_cast<std::int32_t>(pSyncR.size());
  std::vector<std::int32_t> parent(pSyncR.size(), -1);
  for (std::int32_t i = 0; i < n; ++i) {
    const SyncRecord& r = pSyncR[static_cast<std::size_t>(i)];
    if (r.kind == "d")
      for (std::int32_t c = std::max(r.child, 0); c < r.child + r.childCount && c < n; ++c)
        parent[static_cast<std::size_t>(c)] = i;
  }
  std::vector<std::string> why(pSyncR.size());
  for (std::int32_t i = 0; i < n; ++i) {
    const SyncRecord& r = pSyncR[static_cast<std::size_t>(i)];
    std::string reason;
    if (r.unread)
      reason = "it was not read whole";
    else if (r.reserved)
      reason = "it is left alone";
    else if (r.kind == "d" && RemoteFolderHoldsSkipped(r.path))
      reason = "it holds an entry that is left alone";
    if (reason.empty() || !why[static_cast<std::size_t>(i)].empty())
      continue;
    why[static_cast<std::size_t>(i)] = reason;
    for (std::int32_t p = parent[static_cast<std::size_t>(i)]; p >= 0 && why[static_cast<std::size_t>(p)].empty();
         p = parent[static_cast<std::size_t>(p)])
      why[static_cast<std::size_t>(p)] = "something in it stays there";
  }
  return why;
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
}
