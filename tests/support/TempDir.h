#pragma once
// A fresh folder under /tmp for one test, removed with everything in it.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
public:
  TempDir()
  {
    char templ[] = "/tmp/quill-dir-XXXXXX";
    const char* made = mkdtemp(templ);
    path_ = made ? made : "";
  }
  ~TempDir()
  {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  void Write(const std::string& name, const std::string& bytes) const
  {
    std::ofstream(path_ + "/" + name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const
  {
    std::ifstream in(path_ + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

private:
  std::string path_;
};

// Sets an environment variable for one test and restores it afterwards.
class EnvGuard {
public:
  EnvGuard(const char* name, const std::string& value) : name_(name)
  {
    if (const char* old = std::getenv(name)) {
      had_ = true;
      old_ = old;
    }
    setenv(name, value.c_str(), 1);
  }
  ~EnvGuard()
  {
    if (had_)
      setenv(name_.c_str(), old_.c_str(), 1);
    else
      unsetenv(name_.c_str());
  }
  EnvGuard(const EnvGuard&) = delete;
  EnvGuard& operator=(const EnvGuard&) = delete;

private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};
