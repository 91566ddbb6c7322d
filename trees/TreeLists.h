#pragma once
// The two folder trees of the main window and everything done with them:
// the remote walk (one folder listing at a time), the local walk, the
// comparison that ticks what to upload or delete, and the filling of the two
// tree views. Plain C++: the window reaches the socket, its fields and its
// list controls through the hooks at the end, which tests replace.

#include "framework/Date.h"
#include "framework/Thread.h"
#include "trees/ListingLine.h"
#include "trees/SyncRecord.h"
#include "trees/TreeView.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

class FolderItem;

class TreeLists {
public:
  TreeLists() = default;
  virtual ~TreeLists() = default;
  TreeLists(const TreeLists&) = delete;
  TreeLists& operator=(const TreeLists&) = delete;

  // --- records -------------------------------------------------------------
  SyncRecords pSyncR; // remote tree, groups breadth first
  SyncRecords pSyncL; // local tree, groups depth first
  std::int32_t pGroupR = -1;
  std::int32_t pGroupL = -1;

  // Appends one folder's content as one group in name order (fresh records
  // with the seven walk keys only).
  void GetCompareList2rSort(const SyncRecords& list);
  void GetCompareList32lSort(const SyncRecords& list);

  // --- remote walk ---------------------------------------------------------
  std::string pRootR;      // absolute remote root, as the server reports it
  std::string currentPath; // folder whose listing is awaited
  bool pSyncRFlg = false;  // the walk waits for a listing
  std::int32_t pCountR = 0;
  bool pFin = false;
  std::vector<std::string> listData{std::string()}; // element 0 unused

  // Starts a compare run: empties both trees and waits for the login.
  void GetCompareList();
  // Consumes the listing in listData (when the walk awaits one).
  void GetCompareList2r();
  // Date columns of a listing line in the shape of the comparison, shifted by
  // the time-zone field.
  std::string DateFormatR(const std::string& text);

  // Steps of the walk, from the control and data connections' events.
  // The login is done; startFolder is the remote-folder text, reply the
  // server's answer to PWD.
  void RemoteWalkLoggedIn(const std::string& startFolder, const std::string& reply);
  // A CWD was answered and PWD read. False when no listing is to be asked for.
  bool RemoteWalkDirChanged(const std::string& reply);
  // Splits a listing into listData (lines end at CR LF, LF or CR, as the
  // server ends them; empty and "total" lines dropped; a last line without
  // line end kept). A listing whose line ends cannot be told from names'
  // own leaves its folder unread.
  void TakeListing(const std::string& listing);
  bool RemoteWalkAwaitsListing() const;
  // A server error reply. When it refuses a folder of the walk (the CWD of a
  // sub-folder, or any listing) the walk logs it, leaves that folder unread
  // and goes on, and the box after the compare names it: true, and the
  // caller shows and starts nothing. When the remote folder itself cannot be
  // entered the walk ends with nothing compared and false is returned: the
  // caller says why. False otherwise.
  bool RemoteWalkRefused(const std::string& reply);
  // The data connection of an awaited listing failed (why, in words): as a
  // refused listing.
  bool RemoteWalkDataError(const std::string& why);

  // A folder of this compare whose listing failed, and the server's reply or
  // the error.
  struct FailedListing {
    std::string path;
    std::string why;
  };
  const std::vector<FailedListing>& FailedListings() const { return failedListings_; }

  // --- local walk ----------------------------------------------------------
  // Appends the visible content of folder as one group, then walks each of
  // its sub-folders. False when the folder could not be read; nothing is
  // appended then.
  bool GetCompareList32l(const FolderItem& folder);
  std::string DateFormatL(const FolderItem& item);
  std::string DateFormatL(const Date& date);

  // --- comparison ----------------------------------------------------------
  void GetCompareList3();
  void GetCompareList33c();
  bool GetCompareList33c2(const std::string& side, const std::string& pathA, const std::string& pathB) const;
  void GetCompareList34c(std::int32_t localIndex, bool localFinished, std::int32_t localGroup,
                         std::int32_t remoteIndex, bool remoteFinished, std::int32_t remoteGroup);
  void GetCompareList34cAdd(std::int32_t index, const std::string& side, const std::string& reason);
  void GetCompareList34l();
  void GetCompareList34r();

  // --- views ---------------------------------------------------------------
  std::int32_t pTimerRow = 0; // local row r as r, remote row r as -r-1
  bool expanding = false;     // remote view is filling beneath a folder
  bool expandingL = false;    // local view is filling beneath a folder

  void GetCompareList35r(std::int32_t group, std::int32_t baseRow);
  void GetCompareList35r2();
  void GetCompareList36l(std::int32_t group, std::int32_t baseRow);
  void GetCompareList36l2();

  // The views' events, for either view.
  void TreeExpandRow(bool local, int row);
  void TreeCellClick(bool local, int row);
  // Copies the check box of a row into its record.
  void TreeTickChanged(bool local, int row);
  // Copies the box of the row last clicked (the delayed copy).
  void TreeCopyPendingTick();
  // Ticks (or unticks) a record and the box of its row, where one is shown,
  // so that the view shows what a run will do.
  void TreeTick(bool local, std::int32_t index, bool ticked = true);
  // The same for many records, in one pass over the view.
  void TreeTick(bool local, const std::vector<std::int32_t>& indexes, bool ticked = true);

protected:
  // --- hooks to the window -------------------------------------------------
  virtual void TreesSendCWD(const std::string& /*dir*/) {}
  virtual void TreesGetList() {}
  virtual void TreesLog(const std::string& /*line*/) {}
  virtual std::string TreesRemoteFolderText() const { return {}; }
  virtual std::string TreesZoneText() const { return {}; }
  // The final reply of the listing in listData.
  virtual std::string TreesListingReply() const { return {}; }
  virtual const FolderItem* TreesLocalFolder() const { return nullptr; }
  virtual TreeView* TreesView(bool /*local*/) { return nullptr; }
  virtual bool TreesUserCancelled() const { return UserCancelled(); }
  virtual CivilMinute TreesNow() const { return LocalNow(); }
  // Both trees are compared and ticked; the views are not filled yet.
  virtual void TreesCompared() {}
  // The views are filled, and listings failed: message names every folder.
  virtual void TreesListingsFailed(const std::string& /*message*/) {}

  // The remote folder's listing held an entry passed over on purpose: the
  // folder cannot be emptied.
  bool RemoteFolderHoldsSkipped(const std::string& folderPath) const;
  // The local root held nothing to send when it was read: no entry, or only
  // hidden ones and ones left alone (links that cannot be followed, pipes,
  // names left alone). A drive not mounted looks just so, and nothing may
  // be deleted on the server for it.
  bool LocalRootHeldNothing() const { return localRootEmpty_; }

private:
  // An entry a walk passes over on purpose: its path on its own side, and
  // what it is.
  struct SkippedEntry {
    std::string path;
    std::string why;
  };
  enum class WalkStep { Idle, Login, RootCwd, FolderCwd, Listing, BackToRoot };

  void NextRemoteFolder();
  // The folder being listed is left unread, and so is its local twin (its
  // root: nothing is compared); logLine says why.
  void LeaveFolderUnread(const std::string& logLine);
  // The same for a listing that failed, which the box after the compare
  // names.
  void ListingFailed(const std::string& why);
  void FinishRemoteWalk();
  void EndWalkWithoutRoot();
  // The remote folder cannot be entered: nothing is read or compared.
  void EndWalkUncompared();
  std::string FailedListingsNotice() const;
  void SortAppend(const SyncRecords& list, SyncRecords& target);
  // Marks the records of names the other side passes over on purpose, and
  // everything below them, as left alone, and logs each.
  void ReserveTwins();
  void FillGroup(bool local, std::int32_t group);
  void ExpandAll(bool local);

  WalkStep walkStep_ = WalkStep::Idle;
  std::int32_t walkFolder_ = -1; // record being listed; -1 the root
  int walkZone_ = 0;
  bool remoteRootUnread_ = false;
  bool localRootUnread_ = false;
  bool localRootEmpty_ = false;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> localOnPath_; // device, inode
  std::vector<SkippedEntry> skippedL_;
  std::vector<SkippedEntry> skippedR_;
  std::set<std::string> foldersWithSkippedR_;
  // Why the listing in listData cannot be cut into its lines; empty when it can.
  std::string listingDoubt_;
  std::vector<FailedListing> failedListings_;
  // A listing failed on this connection: the next one may begin with what
  // the server had left of it (proftpd sends it there), so it is asked for
  // twice.
  bool leftoverDue_ = false;
};

// The folder path in a PWD reply ("257 "/a ""b"" c" ..."), or empty.
std::string PathOfPwdReply(const std::string& reply);
