#include "trees/TreeLists.h"

#include "trees/SendableName.h"

#include <set>

namespace {

std::string WithoutLineEnds(const std::string& text)
{
  std::string out;
  for (char c : text)
    if (c != '\r' && c != '\n')
      out += c;
  return out;
}

// A reply's lines joined by blanks, for one log line.
std::string OneLine(const std::string& text)
{
  std::string out;
  for (char c : text) {
    if (c != '\r' && c != '\n')
      out += c;
    else if (!out.empty() && out.back() != ' ')
      out += ' ';
  }
  while (!out.empty() && out.back() == ' ')
    out.pop_back();
  return out;
}

std::string FailedListingSentence(const std::string& path, const std::string& why)
{
  return "The listing of " + path + " failed (" + why + "); nothing in it is uploaded or deleted.";
}

// "/a/b/" -> "/a/b"; "/" stays.
std::string WithoutTrailingSlash(std::string path)
{
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  return path;
}

} // namespace

std::string PathOfPwdReply(const std::string& reply)
{
  const auto open = reply.find('"');
  if (open == std::string::npos)
    return {};
  std::string path;
  for (std::size_t i = open + 1; i < reply.size(); ++i) {
    if (reply[i] == '"') {
      if (i + 1 < reply.size() && reply[i + 1] == '"') {
        path += '"';
        ++i;
        continue;
      }
      return path;
    }
    if (reply[i] == '\r' || reply[i] == '\n')
      break;
    path += reply[i];
  }
  return {}; // no closing quote
}

void TreeLists::GetCompareList()
{
  pSyncR.clear();
  pSyncL.clear();
  // The roots' content must be group 0 on both sides, whatever ran before.
  pGroupR = -1;
  pGroupL = -1;
  pCountR = 0;
  pFin = false;
  pSyncRFlg = true;
  pRootR = TreesRemoteFolderText();
  if (pRootR.empty() || pRootR[0] != '/')
    pRootR = "/" + pRootR;
  currentPath = pRootR;
  walkZone_ = ZoneHours(TreesZoneText());
  walkFolder_ = -1;
  remoteRootUnread_ = false;
  localRootUnread_ = false;
  skippedR_.clear();
  skippedL_.clear();
  foldersWithSkippedR_.clear();
  failedListings_.clear();
  leftoverDue_ = false;
  // The first CWD waits for the login: written before the greeting it
  // would be refused and use up a login try.
  walkStep_ = WalkStep::Login;
}

void TreeLists::RemoteWalkLoggedIn(const std::string& startFolder, const std::string& reply)
{
  if (walkStep_ != WalkStep::Login)
    return;
  walkFolder_ = -1;
  if (!startFolder.empty()) {
    walkStep_ = WalkStep::RootCwd;
    TreesSendCWD(startFolder);
    return;
  }
  const std::string pwd = PathOfPwdReply(reply);
  if (pwd.empty() || pwd[0] != '/') {
    TreesLog("The server did not report its current folder: " + WithoutLineEnds(reply));
    EndWalkWithoutRoot();
    return;
  }
  pRootR = WithoutTrailingSlash(pwd);
  currentPath = pRootR;
  walkStep_ = WalkStep::Listing;
  TreesGetList();
}

bool TreeLists::RemoteWalkDirChanged(const std::string& reply)
{
  switch (walkStep_) {
  case WalkStep::RootCwd: {
    // Every path of the run is built on the folder the server says it is
    // in, so a relative remote folder lists and deletes in one place.
    std::string pwd = PathOfPwdReply(reply);
    if (pwd.empty() || pwd[0] != '/') {
      const std::string typed = TreesRemoteFolderText();
      if (!typed.empty() && typed[0] == '/') {
        pwd = typed;
      } else {
        TreesLog("The server did not report its current folder: " + WithoutLineEnds(reply));
        EndWalkWithoutRoot();
        return false;
      }
    }
    pRootR = WithoutTrailingSlash(pwd);
    currentPath = pRootR;
    walkStep_ = WalkStep::Listing;
    return true;
  }
  case WalkStep::FolderCwd:
    walkStep_ = WalkStep::Listing;
    return true;
  case WalkStep::BackToRoot:
    // Back at the root after the walk: nothing more to list.
    walkStep_ = WalkStep::Idle;
    return false;
  case WalkStep::Idle:
    return true;
  default:
    return false; // a listing is already on its way
  }
}

void TreeLists::TakeListing(const std::string& listing)
{
  listData.assign(1, std::string());
  listingDoubt_.clear();
  // Servers end every listing line alike; a name may hold a CR or an LF of
  // its own. A listing of one kind of line end is cut at it. Where both CR
  // LF and a bare LF occur, the end of the last line tells which the
  // server uses, since names can make either the more frequent.
  std::size_t crlf = 0, lf = 0;
  for (std::size_t k = 0; k < listing.size(); ++k) {
    if (listing[k] != '\n')
      continue;
    if (k > 0 && listing[k - 1] == '\r')
      ++crlf;
    else
      ++lf;
  }
  std::string end = "\r";
  if (crlf > 0 && lf == 0)
    end = "\r\n";
  else if (lf > 0 && crlf == 0)
    end = "\n";
  else if (lf > 0) {
    if (listing.back() != '\n') {
      listingDoubt_ = "the last line has no line end";
      return;
    }
    end = listing.size() > 1 && listing[listing.size() - 2] == '\r' ? "\r\n" : "\n";
  }
  std::size_t i = 0;
  while (i < listing.size()) {
    std::size_t j = listing.find(end, i);
    if (j == std::string::npos)
      j = listing.size();
    std::string line = listing.substr(i, j - i);
    i = j + end.size();
    // An LF within a CR LF line is the name's own, unless what follows it
    // reads as a line: then the server ends lines in LF and the last name
    // ends in CR, and cutting at CR LF would hide entries in names.
    for (std::size_t k = line.find('\n'); end == "\r\n" && k != std::string::npos; k = line.find('\n', k + 1)) {
      const std::string rest = line.substr(k + 1, line.find('\n', k + 1) - (k + 1));
      ListingEntry e;
      if (ParseListingLine(rest, e) || ListingLineSkippedOnPurpose(rest)) {
        listingDoubt_ = rest.substr(0, 200);
        listData.assign(1, std::string());
        return;
      }
    }
    // A CR before an LF here is the name's own: its line makes no record.
    if (line.empty() || line.compare(0, 5, "total") == 0)
      continue;
    listData.push_back(std::move(line));
  }
}

bool TreeLists::RemoteWalkAwaitsListing() const
{
  return pSyncRFlg && walkStep_ == WalkStep::Listing;
}

void TreeLists::LeaveFolderUnread(const std::string& logLine)
{
  TreesLog(logLine);
  if (walkFolder_ < 0) {
    EndWalkWithoutRoot();
    return;
  }
  pSyncR[walkFolder_].unread = true;
  // What the server holds there is unknown: nothing local goes up into it,
  // ticked by hand or not.
  skippedR_.push_back({currentPath, "a folder that was not read whole"});
  walkStep_ = WalkStep::Idle;
  NextRemoteFolder();
}

void TreeLists::ListingFailed(const std::string& why)
{
  failedListings_.push_back({currentPath, why});
  LeaveFolderUnread(FailedListingSentence(currentPath, why));
}

void TreeLists::GetCompareList2r()
{
  if (!RemoteWalkAwaitsListing())
    return;
  if (leftoverDue_) {
    // Bytes of the failed listing may open this one: it is asked for again.
    leftoverDue_ = false;
    TreesGetList();
    return;
  }
  walkStep_ = WalkStep::Idle;
  // A listing is the whole folder only when the server says it is and every
  // line is an entry or a line passed over on purpose. Anything else may
  // hide entries, whose local namesakes would then go up over them.
  const std::string reply = TreesListingReply();
  if (ListingReplyNotWhole(reply)) {
    ListingFailed(OneLine(reply));
    return;
  }
  if (!listingDoubt_.empty()) {
    LeaveFolderUnread("The listing of " + currentPath +
                      " mixes line ends so that its lines cannot be told apart; nothing in it is ticked: " +
                      listingDoubt_);
    return;
  }
  SyncRecords list;
  std::vector<SkippedEntry> skipped;
  const std::int32_t group = pGroupR + 1;
  const CivilMinute now = TreesNow();
  ListingEntry e;
  std::set<std::string> names;
  // A hidden entry (".htaccess") is never deleted, so its folder cannot be
  // emptied: a server that refuses to remove it would end the run there.
  bool holdsHidden = false;
  for (std::size_t i = 1; i < listData.size(); ++i) {
    const std::string& line = listData[i];
    if (!ParseListingLine(line, e)) {
      if (line.find_first_not_of(" \t") == std::string::npos)
        continue;
      // Passed over on purpose, but its name stays taken: the local
      // namesake must not go up through a link or replace a device.
      const std::vector<std::string> skippedNames =
          ListingLineSkippedOnPurpose(line) ? SkippedLineNames(line) : std::vector<std::string>{};
      if (skippedNames.empty()) {
        LeaveFolderUnread("The listing of " + currentPath + " holds a line that cannot be read; nothing in it is ticked: " +
                          line.substr(0, 200));
        return;
      }
      for (const std::string& name : skippedNames) {
        if (!name.empty() && name[0] != '.')
          skipped.push_back({currentPath + "/" + name, line[0] == 'l' ? "a link" : "neither a file nor a folder"});
        else if (!name.empty())
          holdsHidden = true;
      }
      continue;
    }
    if (e.name == "." || e.name == "..")
      continue;
    // Hidden entries go by their name alone. A name no path could name makes
    // no record, and neither does a second entry of one name: its path would
    // name the first.
    if (!e.name.empty() && e.name[0] == '.') {
      holdsHidden = true;
      continue;
    }
    if (e.name.empty() || e.name.find('/') != std::string::npos || !names.insert(e.name).second)
      continue;
    // A name the server may take for another is never named: not deleted,
    // not entered, and its local namesake not sent.
    const std::string path = currentPath + "/" + e.name;
    const std::string why = WhyNameLeftAlone(e.name, path.size());
    if (!why.empty()) {
      TreesLog("Left " + ShownName(path) + " on the server alone: it is " + why + ".");
      skipped.push_back({path, why});
      continue;
    }
    SyncRecord r;
    if (e.kind == 'd') {
      r.size = "-";
      r.kind = "d";
    } else {
      r.size = RemoteSizeText(e.size);
      r.kind = "f";
    }
    r.name = e.name;
    r.date = FormatRemoteDate(e.dateText, walkZone_, now);
    r.listedTime = e.dateText.find(':') != std::string::npos; // "Mon D HH:MM", not "Mon D YYYY"
    r.path = path;
    r.group = group;
    r.check = false;
    list.push_back(std::move(r));
  }
  pGroupR = group;
  GetCompareList2rSort(list);
  if (!skipped.empty() || holdsHidden)
    foldersWithSkippedR_.insert(currentPath);
  skippedR_.insert(skippedR_.end(), skipped.begin(), skipped.end());
  NextRemoteFolder();
}

void TreeLists::NextRemoteFolder()
{
  while (pCountR < static_cast<std::int32_t>(pSyncR.size())) {
    SyncRecord& r = pSyncR[pCountR];
    if (r.kind == "d") {
      pSyncRFlg = true;
      walkFolder_ = pCountR;
      currentPath = r.path;
      r.child = static_cast<std::int32_t>(pSyncR.size());
      ++pCountR;
      walkStep_ = WalkStep::FolderCwd;
      TreesSendCWD(currentPath);
      return;
    }
    ++pCountR;
  }
  pFin = true;
  FinishRemoteWalk();
}

void TreeLists::FinishRemoteWalk()
{
  pSyncRFlg = false;
  walkStep_ = WalkStep::BackToRoot;
  walkFolder_ = -1;
  TreesSendCWD(pRootR);
  currentPath = pRootR;
  GetCompareList3();
}

void TreeLists::EndWalkWithoutRoot()
{
  EndWalkUncompared();
  GetCompareList3(); // the local tree alone
}

void TreeLists::EndWalkUncompared()
{
  // Whatever folder the server is in is never taken for the root.
  pSyncR.clear();
  pSyncL.clear();
  remoteRootUnread_ = true;
  pSyncRFlg = false;
  pFin = true;
  walkStep_ = WalkStep::Idle;
  walkFolder_ = -1;
  // Nothing of an earlier compare stays in view either.
  GetCompareList35r(0, 0);
  GetCompareList36l(0, 0);
}

bool TreeLists::RemoteWalkRefused(const std::string& reply)
{
  const bool folderStep = walkStep_ == WalkStep::RootCwd || walkStep_ == WalkStep::FolderCwd ||
                          walkStep_ == WalkStep::Listing;
  if (!pSyncRFlg || !folderStep) {
    if (walkStep_ == WalkStep::BackToRoot)
      walkStep_ = WalkStep::Idle;
    return false;
  }
  if (walkStep_ == WalkStep::RootCwd) {
    EndWalkUncompared();
    return false;
  }
  if (walkStep_ == WalkStep::Listing)
    leftoverDue_ = true;
  ListingFailed(OneLine(reply));
  return true;
}

bool TreeLists::RemoteWalkDataError(const std::string& why)
{
  if (!RemoteWalkAwaitsListing())
    return false;
  return RemoteWalkRefused(why);
}

std::string TreeLists::FailedListingsNotice() const
{
  if (failedListings_.size() == 1)
    return FailedListingSentence(failedListings_[0].path, failedListings_[0].why);
  // A box of thousands of lines helps nobody: the log holds them all.
  constexpr std::size_t kNamed = 20;
  std::string text = "The listings of " + std::to_string(failedListings_.size()) +
                     " server folders failed; nothing in them is uploaded or deleted:";
  for (std::size_t i = 0; i < failedListings_.size() && i < kNamed; ++i)
    text += "\n" + failedListings_[i].path + " (" + failedListings_[i].why + ")";
  if (failedListings_.size() > kNamed)
    text += "\nand " + std::to_string(failedListings_.size() - kNamed) + " more, named in the log.";
  return text;
}

std::string TreeLists::DateFormatR(const std::string& text)
{
  return FormatRemoteDate(text, ZoneHours(TreesZoneText()), TreesNow());
}
