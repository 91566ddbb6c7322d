#pragma once
// Server files whose last upload did not end whole, in the settings file
// "untrusted": a path is written down before its STOR goes out and struck
// off once the file is settled (stored whole, or deleted), so a quit, a
// crash or a lost connection leaves it there, and the next compare of the
// same server and account sends the file again whatever the dates say.

#include <set>
#include <vector>
#include <string>

class UntrustedUploads {
public:
  // The server as the profile names it, and the account the paths are on.
  UntrustedUploads(std::string host, std::string user);

  // Writes path down; false, after a box naming the settings file, when it
  // could not be written.
  bool Add(const std::string& path) const;
  // Strikes path off.
  void Remove(const std::string& path) const;
  // Every path written down for this server and account.
  std::set<std::string> Paths() const;

private:
  struct Entry {
    std::string host;
    std::string user;
    std::string path;
  };
  std::string host_;
  std::string user_;

  static std::vector<Entry> Load();
  static bool Save(const std::vector<Entry>& entries);
  bool Mine(const Entry& e) const { return e.host == host_ && e.user == user_; }
};

extern const char* const UntrustedFileName;
