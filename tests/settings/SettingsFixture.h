#pragma once
// A private preferences folder and fresh module globals for each test.

#include "settings/Globals.h"
#include "ModalRecorder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

inline void PrintTo(const Dataset& d, std::ostream* os)
{
  *os << (d.Eflg ? "" : "deleted ") << ::testing::PrintToString(d.Name) << " " << d.Adrs << " " << d.User << " "
      << d.rDir << " " << d.Pasv << " " << ::testing::PrintToString(d.Path) << " " << d.Mode << " " << d.Zone;
}
inline void PrintTo(const FileTypeEntry& e, std::ostream* os)
{
  *os << ::testing::PrintToString(e.ext) << "/" << ::testing::PrintToString(e.bin);
}

class SettingsTest : public ::testing::Test {
protected:
  SettingsTest() : config_("XDG_CONFIG_HOME", dir_ / "config")
  {
    gPref.fill(0);
    gDataset.clear();
    gFileType.clear();
    ModalRecorder::Clear();
  }
  ~SettingsTest() override
  {
    gPref.fill(0);
    gDataset.clear();
    gFileType.clear();
    ModalRecorder::Clear();
  }

  std::string folderPath() const { return dir_ / "config/Quillmere初期設定"; }
  std::string filePath(const std::string& name) const { return folderPath() + "/" + name; }
  void makeFolder() const
  {
    mkdir((dir_ / "config").c_str(), 0700);
    mkdir(folderPath().c_str(), 0700);
  }
  void writeFile(const std::string& name, const std::string& bytes) const
  {
    makeFolder();
    dir_.Write("config/Quillmere初期設定/" + name, bytes);
  }
  std::string readFile(const std::string& name) const { return dir_.Read("config/Quillmere初期設定/" + name); }
  bool fileExists(const std::string& name) const
  {
    struct stat st {};
    return lstat(filePath(name).c_str(), &st) == 0;
  }
  unsigned modeOf(const std::string& path) const
  {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
  }
  std::size_t messageCount() const { return ModalRecorder::Requests().size(); }

public:
  static std::string int32(std::int32_t v)
  {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8), static_cast<char>(u)};
  }
  static std::string pstr(const std::string& s) { return std::string(1, static_cast<char>(s.size())) + s; }

protected:
  TempDir dir_;
  EnvGuard config_;
};
