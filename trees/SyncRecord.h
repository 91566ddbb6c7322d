#pragma once
// One file or folder of the local or the remote tree. Both trees are flat
// arrays of these; a folder's content is one run of consecutive records with
// one group number, sorted by name, at higher indexes than the folder.

#include <cstdint>
#include <string>
#include <vector>

struct SyncRecord {
  std::string size;  // "-" for a folder, else the size text
  std::string kind;  // "d" folder, "f" file
  std::string name;
  std::string date;  // "YYYY/MM/DD HH:MM" on both sides
  std::string path;  // remote: folder path + "/" + name; local: absolute, a folder's ending in "/"
  std::int32_t group = 0;
  bool check = false;
  // Folders only: where the content group starts; -1 until the walk asks
  // for the content.
  std::int32_t child = -1;
  // Number of direct children; written by the comparison's counting step.
  std::int32_t childCount = 0;
  bool sync = false; // queued for a run
  // The folder's content could not be read (refused, unreadable or gone):
  // nothing in or below it is ticked by the comparison.
  bool unread = false;
  // Left alone: the other side has this name but its walk passes it over on
  // purpose (a link, a pipe, a name a server may take for another...), or a
  // run stored this name there in other letter case or Unicode form. Never
  // ticked by the comparison nor queued by a run, nor is anything below it.
  bool reserved = false;
  // Remote files: the server listed the time of day, which it gives to the
  // minute only. False for a date listed by its day (taken as 23:59).
  bool listedTime = false;

  bool HasChild() const { return child >= 0; }
};

using SyncRecords = std::vector<SyncRecord>;

// Size texts shown in the trees. Both switch units above 1000 and 1000000
// bytes; the local one shows whole kilobytes and megabytes.
std::string RemoteSizeText(std::int64_t bytes);
std::string LocalSizeText(std::int64_t bytes);
