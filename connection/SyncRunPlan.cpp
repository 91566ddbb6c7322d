// The plan of a synchronisation run and what stays on the server: the
// upload and removal lists, their order and confirmation, the empty-folder
// guard, the mark that keeps a stored name's twins, and the reasons a
// server entry is not deleted. The steps that carry a plan out are in
// SyncRun.cpp.

#include "connection/SyncRun.h"
#include "app/Texts.h"

#include "connection/ConnectionTexts.h"

#include "framework/CaseFold.h"
#include "framework/FolderItem.h"
#include "settings/Globals.h"

#include <algorithm>

namespace {

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

// ------------------------------------------------------------------ plan

void SyncRun::SyncUpload()
{
  // One run at a time, and only once the compare is done and the server
  // has answered everything: an earlier reply would be taken for a step's.
  if (running_ || pSyncRFlg || dataConnected || !SyncConnectionIdle()) {
    RefuseBusyStart();
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

void SyncRun::RefuseBusyStart()
{
  // Never a press lost without a word: on a slow server the walk's last
  // reply may still be due when the trees are already shown.
  const std::string why = running_ ? "A run is already under way." : SyncBusyWith();
  gCautionDlg1("The run cannot start now.", why, SyncParentWindow());
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
  // Whatever is ticked, by the user too: a folder with nothing to send is no
  // plan.
  const FolderItem* root = TreesLocalFolder();
  const std::string folder = root ? root->AbsolutePath() : std::string();
  SyncLog("Nothing was deleted on the server: the local folder " + folder + " holds nothing to send.");
  End(false);
  gCautionDlg1("Nothing was deleted on the server: the local folder holds nothing to send.",
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

// --------------------------------------------------- what stays on the server

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
