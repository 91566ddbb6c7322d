#include "trees/TreeLists.h"

#include <algorithm>
#include <numeric>

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
    r.listedTime = from.listedTime;
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
