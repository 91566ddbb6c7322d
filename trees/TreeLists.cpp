#include "trees/TreeLists.h"

#include "framework/FolderItem.h"

#include <algorithm>
#include <numeric>
#include <set>
#include <unordered_map>
#include <unordered_set>

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

// ---------------------------------------------------------------- records

void TreeLists::SortAppend(const SyncRecords& list, SyncRecords& target)
{
  std::vector<std::size_t> order(list.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  // Byte order, the same order the comparison's merge walks in.
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return list[a].name < list[b].name; });
  for (std::size_t i : order) {
    const SyncRecord& from = list[i];
    SyncRecord r;
    r.size = from.size;
    r.kind = from.kind;
    r.name = from.name;
    r.date = from.date;
    r.path = from.path;
    r.group = from.group;
    r.check = from.check;
    target.push_back(std::move(r));
  }
}

void TreeLists::GetCompareList2rSort(const SyncRecords& list)
{
  SortAppend(list, pSyncR);
}

void TreeLists::GetCompareList32lSort(const SyncRecords& list)
{
  SortAppend(list, pSyncL);
}

// ------------------------------------------------------------ remote walk

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

void TreeLists::LeaveFolderUnread(const std::string& why, const std::string& quote)
{
  if (walkFolder_ < 0) {
    TreesLog("The listing of " + currentPath + " " + why + "; nothing is ticked: " + quote);
    EndWalkWithoutRoot();
    return;
  }
  TreesLog("The listing of " + currentPath + " " + why + "; nothing in it is ticked: " + quote);
  pSyncR[walkFolder_].unread = true;
  walkStep_ = WalkStep::Idle;
  NextRemoteFolder();
}

void TreeLists::GetCompareList2r()
{
  if (!RemoteWalkAwaitsListing())
    return;
  walkStep_ = WalkStep::Idle;
  // A listing is the whole folder only when the server says it is and every
  // line is an entry or a line passed over on purpose. Anything else may
  // hide entries, whose local namesakes would then go up over them.
  const std::string reply = TreesListingReply();
  if (ListingReplyNotWhole(reply)) {
    LeaveFolderUnread("was not whole, by the server's reply", OneLine(reply));
    return;
  }
  if (!listingDoubt_.empty()) {
    LeaveFolderUnread("mixes line ends so that its lines cannot be told apart", listingDoubt_);
    return;
  }
  SyncRecords list;
  std::vector<SkippedEntry> skipped;
  const std::int32_t group = pGroupR + 1;
  const CivilMinute now = TreesNow();
  ListingEntry e;
  std::set<std::string> names;
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
        LeaveFolderUnread("holds a line that cannot be read", line.substr(0, 200));
        return;
      }
      for (const std::string& name : skippedNames)
        if (!name.empty() && name[0] != '.')
          skipped.push_back({currentPath + "/" + name, line[0] == 'l' ? "a link" : "neither a file nor a folder"});
      continue;
    }
    // Hidden entries, "." and ".." included, go by their name alone. A
    // name no command could name exactly is left alone, and so is a second
    // entry of one name: its path would name the first.
    if (e.name.empty() || e.name[0] == '.' || e.name.find_first_of(std::string("\r\n\0/", 4)) != std::string::npos ||
        !names.insert(e.name).second)
      continue;
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
    r.path = currentPath + "/" + e.name;
    r.group = group;
    r.check = false;
    list.push_back(std::move(r));
  }
  pGroupR = group;
  GetCompareList2rSort(list);
  if (!skipped.empty())
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
  // Whatever folder the server is in is never taken for the root.
  pSyncR.clear();
  remoteRootUnread_ = true;
  pSyncRFlg = false;
  pFin = true;
  walkStep_ = WalkStep::Idle;
  walkFolder_ = -1;
  GetCompareList3();
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
  if (walkFolder_ < 0) {
    EndWalkWithoutRoot();
    return false;
  }
  TreesLog(WithoutLineEnds(reply));
  pSyncR[walkFolder_].unread = true;
  walkStep_ = WalkStep::Idle;
  NextRemoteFolder();
  return true;
}

bool TreeLists::RemoteWalkDataError(const std::string& text)
{
  if (!RemoteWalkAwaitsListing())
    return false;
  return RemoteWalkRefused(text);
}

std::string TreeLists::DateFormatR(const std::string& text)
{
  return FormatRemoteDate(text, ZoneHours(TreesZoneText()), TreesNow());
}

// ------------------------------------------------------------- comparison

void TreeLists::GetCompareList33c()
{
  auto count = [this](SyncRecords& a, const std::string& side) {
    const auto last = static_cast<std::int32_t>(a.size()) - 1;
    for (auto& r : a) {
      if (!r.HasChild())
        continue;
      std::int32_t c = r.child;
      if (c > last || !GetCompareList33c2(side, r.path, a[c].path)) {
        r.childCount = 0;
        continue;
      }
      std::int32_t n = 1;
      const std::int32_t g = a[c].group;
      while (!TreesUserCancelled() && c + 1 <= last && a[c + 1].group == g) {
        ++c;
        ++n;
      }
      r.childCount = n;
    }
  };
  count(pSyncL, "Local");
  count(pSyncR, "Remote");
}

bool TreeLists::GetCompareList33c2(const std::string& side, const std::string& pathA,
                                   const std::string& pathB) const
{
  // Both sides separate names with "/"; a local folder's path ends in one.
  const bool local = side == "Local";
  auto parts = [local](const std::string& p) {
    std::vector<std::string> out;
    std::size_t b = 0;
    for (;;) {
      const auto e = p.find('/', b);
      out.push_back(p.substr(b, e == std::string::npos ? std::string::npos : e - b));
      if (e == std::string::npos)
        break;
      b = e + 1;
    }
    if (local && out.size() > 1 && out.back().empty())
      out.pop_back();
    return out;
  };
  const auto a = parts(pathA);
  const auto b = parts(pathB);
  if (b.size() != a.size() + 1)
    return false;
  return std::equal(a.begin(), a.end(), b.begin());
}

void TreeLists::GetCompareList34c(std::int32_t li, bool lf, std::int32_t lg, std::int32_t ri, bool rf,
                                  std::int32_t rg)
{
  const auto lastL = static_cast<std::int32_t>(pSyncL.size()) - 1;
  const auto lastR = static_cast<std::int32_t>(pSyncR.size()) - 1;
  auto advanceL = [&] {
    lf = true;
    if (li < lastL && pSyncL[li + 1].group == lg) {
      ++li;
      lf = false;
    }
  };
  auto advanceR = [&] {
    rf = true;
    if (ri < lastR && pSyncR[ri + 1].group == rg) {
      ++ri;
      rf = false;
    }
  };
  for (;;) {
    if (lf && rf)
      return;
    if (lf) {
      GetCompareList34cAdd(ri, "Remote", "Remove");
      advanceR();
    } else if (rf) {
      GetCompareList34cAdd(li, "Local", "Add");
      advanceL();
    } else {
      const SyncRecord& l = pSyncL[li];
      const SyncRecord& r = pSyncR[ri];
      const int c = l.name.compare(r.name);
      if (c < 0) {
        GetCompareList34cAdd(li, "Local", "Add");
        advanceL();
      } else if (c > 0) {
        GetCompareList34cAdd(ri, "Remote", "Remove");
        advanceR();
      } else {
        if (l.kind == "d" && r.kind == "d") {
          // A folder whose content is unknown on either side ticks nothing
          // below it: its twin's content would look one-sided.
          if (!l.unread && !r.unread) {
            const bool clf = l.childCount == 0;
            const bool crf = r.childCount == 0;
            if (!(clf && crf)) {
              const std::int32_t cli = clf ? 0 : l.child;
              const std::int32_t cri = crf ? 0 : r.child;
              const std::int32_t clg = clf ? 0 : pSyncL[cli].group;
              const std::int32_t crg = crf ? 0 : pSyncR[cri].group;
              GetCompareList34c(cli, clf, clg, cri, crf, crg);
            }
          }
        } else if (l.kind == "f" && r.kind == "f") {
          if (l.date.compare(r.date) > 0)
            GetCompareList34cAdd(li, "Local", "Update");
        } else {
          // Neither can replace the other; the user must be told, or a whole
          // folder would silently never go up.
          TreesLog(l.kind == "d" ? "The local folder " + l.path + " is a file on the server (" + r.path +
                                       "); nothing of it is ticked."
                                 : "The local file " + l.path + " is a folder on the server (" + r.path +
                                       "); nothing of it is ticked.");
        }
        advanceL();
        advanceR();
      }
    }
    if (TreesUserCancelled())
      return;
  }
}

void TreeLists::GetCompareList34cAdd(std::int32_t index, const std::string& side, const std::string& /*reason*/)
{
  SyncRecord& r = side == "Local" ? pSyncL[index] : pSyncR[index];
  if (!r.unread && !r.reserved)
    r.check = true;
}

namespace {

void TickSubtrees(SyncRecords& a)
{
  for (const auto& r : a) {
    if (r.kind != "d" || !r.check || r.childCount <= 0)
      continue;
    for (std::int32_t i = r.child; i < r.child + r.childCount; ++i)
      if (!a[i].unread && !a[i].reserved)
        a[i].check = true;
  }
}

// The path below the root, without a folder's trailing "/".
std::string BelowRoot(const std::string& path, std::size_t rootLength)
{
  std::string rel = path.substr(std::min(rootLength, path.size()));
  while (!rel.empty() && rel.back() == '/')
    rel.pop_back();
  return rel;
}

} // namespace

void TreeLists::ReserveTwins()
{
  if (skippedL_.empty() && skippedR_.empty())
    return;
  // Remote paths are the root, "/" and the path below it; local ones the
  // root's path (ending in "/") and the path below it.
  const std::size_t rootR = pRootR.size() + 1;
  const std::size_t rootL = TreesLocalFolder()->AbsolutePath().size();
  auto reserve = [this](SyncRecords& twins, std::size_t twinRoot, const std::vector<SkippedEntry>& skipped,
                        std::size_t skippedRoot, bool twinsLocal) {
    if (skipped.empty())
      return;
    std::unordered_map<std::string, std::size_t> byPath;
    for (std::size_t i = 0; i < twins.size(); ++i)
      byPath.emplace(BelowRoot(twins[i].path, twinRoot), i);
    for (const SkippedEntry& s : skipped) {
      const auto twin = byPath.find(BelowRoot(s.path, skippedRoot));
      if (twin == byPath.end() || twins[twin->second].reserved)
        continue;
      SyncRecord& r = twins[twin->second];
      r.reserved = true;
      TreesLog(twinsLocal ? "Left " + r.path + " alone: " + s.path + " on the server is " + s.why + "."
                          : "Left " + r.path + " on the server alone: the local " + s.path + " is " + s.why + ".");
    }
    // Nothing below a name left alone is touched either; content lies after
    // its folder.
    for (const SyncRecord& r : twins)
      if (r.reserved && r.kind == "d")
        for (std::int32_t c = r.child; c >= 0 && c < r.child + r.childCount; ++c)
          twins[static_cast<std::size_t>(c)].reserved = true;
  };
  reserve(pSyncR, rootR, skippedL_, rootL, false);
  reserve(pSyncL, rootL, skippedR_, rootR, true);
}

bool TreeLists::RemoteFolderHoldsSkipped(const std::string& folderPath) const
{
  return foldersWithSkippedR_.count(folderPath) > 0;
}

void TreeLists::GetCompareList34l()
{
  TickSubtrees(pSyncL);
}

void TreeLists::GetCompareList34r()
{
  TickSubtrees(pSyncR);
}

// ------------------------------------------------------------------ views

void TreeLists::FillGroup(bool local, std::int32_t group)
{
  TreeView* view = TreesView(local);
  if (!view)
    return;
  const SyncRecords& a = local ? pSyncL : pSyncR;
  if (!(local ? expandingL : expanding))
    view->DeleteAllRows();
  // Group numbers only grow along the array, so a group is found by
  // halving instead of reading every record once per folder.
  const auto first = std::partition_point(a.begin(), a.end(), [&](const SyncRecord& r) { return r.group < group; });
  std::vector<TreeRow> rows;
  for (auto it = first; it != a.end() && it->group == group; ++it) {
    const SyncRecord& r = *it;
    TreeRow& row = rows.emplace_back();
    row.folder = r.kind == "d";
    row.checked = r.check;
    row.cells[0] = r.name;
    row.cells[1] = row.folder ? "-" : r.size;
    row.cells[2] = r.date;
    row.cells[3] = r.path;
    row.cells[4] = row.folder ? "d" : "f";
    if (row.folder && r.childCount > 0 && r.child >= 0 && r.child < static_cast<std::int32_t>(a.size()))
      row.cells[ChildGroupColumn] = std::to_string(a[r.child].group);
    row.cells[RecordIndexColumn] = std::to_string(it - a.begin());
  }
  // One insertion per folder: a view that keeps its rows in one sequence
  // moves the rows below only once.
  view->AddTreeRows(rows);
  view->Refresh();
}

void TreeLists::GetCompareList35r(std::int32_t group, std::int32_t /*baseRow*/)
{
  FillGroup(false, group);
}

void TreeLists::GetCompareList36l(std::int32_t group, std::int32_t /*baseRow*/)
{
  FillGroup(true, group);
}

void TreeLists::ExpandAll(bool local)
{
  TreeView* view = TreesView(local);
  if (!view)
    return;
  for (int r = 0; r < view->ListCount(); ++r) {
    if (view->Cell(r, 4) == "d")
      view->SetExpanded(r, true);
    if (TreesUserCancelled())
      break;
  }
  view->Refresh();
}

void TreeLists::GetCompareList35r2()
{
  ExpandAll(false);
}

void TreeLists::GetCompareList36l2()
{
  ExpandAll(true);
}

void TreeLists::TreeExpandRow(bool local, int row)
{
  TreeView* view = TreesView(local);
  if (!view)
    return;
  bool& flag = local ? expandingL : expanding;
  flag = true;
  const std::string g = view->Cell(row, ChildGroupColumn);
  if (!g.empty()) {
    const std::int32_t group = std::stoi(g);
    if (local)
      GetCompareList36l(group, row + 1);
    else
      GetCompareList35r(group, row + 1);
  }
  flag = false;
}

void TreeLists::TreeCellClick(bool local, int row)
{
  pTimerRow = local ? row : -row - 1;
}

void TreeLists::TreeTickChanged(bool local, int row)
{
  TreeView* view = TreesView(local);
  if (!view || row < 0 || row >= view->ListCount())
    return;
  const std::string index = view->Cell(row, RecordIndexColumn);
  SyncRecords& a = local ? pSyncL : pSyncR;
  if (index.empty() || index.find_first_not_of("0123456789") != std::string::npos)
    return;
  const auto i = std::stoull(index);
  if (i >= a.size())
    return;
  a[i].check = view->CellCheck(row, 0);
}

void TreeLists::TreeTick(bool local, std::int32_t index, bool ticked)
{
  TreeTick(local, std::vector<std::int32_t>{index}, ticked);
}

void TreeLists::TreeTick(bool local, const std::vector<std::int32_t>& indexes, bool ticked)
{
  SyncRecords& a = local ? pSyncL : pSyncR;
  std::unordered_set<std::string> cells;
  for (const std::int32_t index : indexes) {
    if (index < 0 || index >= static_cast<std::int32_t>(a.size()))
      continue;
    a[static_cast<std::size_t>(index)].check = ticked;
    cells.insert(std::to_string(index));
  }
  TreeView* view = TreesView(local);
  if (!view || cells.empty())
    return;
  // Rows are found by their record's index: one pass for all of them, as a
  // pass per record takes seconds on a tree of many thousands.
  bool changed = false;
  for (int row = 0; row < view->ListCount(); ++row) {
    if (cells.count(view->Cell(row, RecordIndexColumn)) > 0) {
      view->SetCellCheck(row, 0, ticked);
      changed = true;
    }
  }
  if (changed)
    view->Refresh();
}

void TreeLists::TreeCopyPendingTick()
{
  if (pTimerRow >= 0)
    TreeTickChanged(true, pTimerRow);
  else
    TreeTickChanged(false, -pTimerRow - 1);
}
