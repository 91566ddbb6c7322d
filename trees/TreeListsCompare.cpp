#include "trees/TreeLists.h"

#include "framework/CaseFold.h"
#include "framework/FolderItem.h"
#include "trees/SendableName.h"

#include <algorithm>
#include <unordered_map>

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
          const int byDate = l.date.compare(r.date);
          // The server lists no seconds: its copy may be older than a local
          // edit of the same minute. Sending it once more never keeps an edit
          // back; a day-only date (taken as 23:59) is not such a tie.
          const bool sameMinute = byDate == 0 && r.listedTime;
          if (byDate > 0 || sameMinute)
            GetCompareList34cAdd(li, "Local", "Update");
          if (sameMinute && pSyncL[li].check)
            TreesLog("Ticked " + l.path + " for upload: it and " + r.path +
                     " on the server are dated in the same minute (" + l.date +
                     "), which the server lists without seconds, so it is sent once more.");
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
    // A server that folds names may hold a local name under any name that
    // folds alike ("notes." as "notes", "Straße" as "strasse"): all of them
    // stay. A local twin is the name itself.
    const auto key = [twinsLocal](const std::string& below) {
      return twinsLocal ? below : CaseAndFormFolded(below);
    };
    std::unordered_map<std::string, std::vector<std::size_t>> byPath;
    for (std::size_t i = 0; i < twins.size(); ++i)
      byPath[key(BelowRoot(twins[i].path, twinRoot))].push_back(i);
    for (const SkippedEntry& s : skipped) {
      const auto found = byPath.find(key(BelowRoot(s.path, skippedRoot)));
      if (found == byPath.end())
        continue;
      for (const std::size_t twin : found->second) {
        SyncRecord& r = twins[twin];
        if (r.reserved)
          continue;
        r.reserved = true;
        const std::string shownTwin = ShownName(r.path);
        const std::string shownName = ShownName(s.path);
        TreesLog(twinsLocal ? "Left " + shownTwin + " alone: " + shownName + " on the server is " + s.why + "."
                            : "Left " + shownTwin + " on the server alone: the local " + shownName + " is " + s.why +
                                  ".");
      }
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
