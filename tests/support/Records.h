#pragma once
// Builds a tree record for tests, with the fields the comparison and the run read.

#include "trees/SyncRecord.h"

#include <string>

inline SyncRecord Rec(const std::string& kind, const std::string& name, const std::string& path, int group,
                      bool check = false, int child = -1, int childCount = 0)
{
  SyncRecord r;
  r.kind = kind;
  r.size = kind == "d" ? "-" : "3 bytes";
  r.name = name;
  r.date = "2009/01/05 10:00";
  r.path = path;
  r.group = group;
  r.check = check;
  r.child = child;
  r.childCount = childCount;
  return r;
}
