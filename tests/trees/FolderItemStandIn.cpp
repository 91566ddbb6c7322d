// Temporary stand-in for the framework's file items until they land; only
// what the tree walk uses.
#include "framework/FolderItem.h"

#include <ctime>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>
#include <algorithm>

FolderItem::FolderItem(std::string path) : path_(std::move(path))
{
  while (path_.size() > 1 && path_.back() == '/')
    path_.pop_back();
}
bool FolderItem::Exists() const { struct stat st{}; return stat(path_.c_str(), &st) == 0; }
bool FolderItem::Directory() const { struct stat st{}; return stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode); }
bool FolderItem::Visible() const { return Name().empty() || Name()[0] != '.'; }
std::string FolderItem::Name() const { return path_.substr(path_.rfind('/') + 1); }
std::string FolderItem::AbsolutePath() const { return Directory() && path_ != "/" ? path_ + "/" : path_; }
std::int64_t FolderItem::Length() const { struct stat st{}; return stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0; }
Date FolderItem::ModificationDate() const { struct stat st{}; stat(path_.c_str(), &st); return Date::FromSeconds(st.st_mtime); }
namespace { std::vector<std::string> Names(const std::string& p) {
  std::vector<std::string> out; DIR* d = opendir(p.c_str()); if (!d) return out;
  while (dirent* e = readdir(d)) { std::string n = e->d_name; if (n != "." && n != "..") out.push_back(n); }
  closedir(d); std::sort(out.begin(), out.end()); return out; } }
int FolderItem::Count() const { return static_cast<int>(Names(path_).size()); }
FolderItem FolderItem::Item(int index) const { auto n = Names(path_); return FolderItem(path_ + "/" + n.at(index - 1)); }
FolderItem GetFolderItem(const std::string& path) { return FolderItem(path); }
Date Date::FromSeconds(std::int64_t s) { std::time_t t = s; std::tm tm{}; localtime_r(&t, &tm); Date d; d.Year = tm.tm_year + 1900; d.Month = tm.tm_mon + 1; d.Day = tm.tm_mday; d.Hour = tm.tm_hour; d.Minute = tm.tm_min; d.Second = tm.tm_sec; return d; }
Date::Date() {}
std::string Date::AbbreviatedDate() const { char b[32]; std::snprintf(b, sizeof b, "%04d/%02d/%02d", Year, Month, Day); return b; }
