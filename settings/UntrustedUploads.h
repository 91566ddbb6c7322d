#pragma once
// Server files whose last upload did not end whole, in the settings file
// "untrusted": a path is written down (durably) before its STOR can go out
// and struck off once the file is settled (stored whole, deleted, or never
// touched), so a quit, a crash or a lost connection leaves it there, and
// the next compare of the same server and account sends the file again
// whatever the dates say.

#include <chrono>
#include <set>
#include <string>
#include <vector>

class UntrustedUploads {
public:
  // The server as the profile names it, and the account the paths are on.
  UntrustedUploads(std::string host, std::string user);
  ~UntrustedUploads();
  UntrustedUploads(const UntrustedUploads&) = delete;
  UntrustedUploads& operator=(const UntrustedUploads&) = delete;

  // Writes paths down before returning; false, after a box naming the
  // settings file, when they could not be written.
  bool Add(const std::vector<std::string>& paths);
  // Strikes path off. Written with the next Add or Flush, or once a second
  // has passed since the last write: losing it only sends a file again.
  void Remove(const std::string& path);
  void Flush();
  // Every path written down for this server and account, less those
  // struck off.
  std::set<std::string> Paths() const;

private:
  struct Entry {
    std::string host;
    std::string user;
    std::string path;
  };
  std::string host_;
  std::string user_;
  std::set<std::string> written_;   // in the file, as this object last wrote it
  std::set<std::string> struckOff_; // not yet written
  std::chrono::steady_clock::time_point lastWrite_{};

  static std::vector<Entry> Load();
  bool Save(std::vector<Entry> entries);
  bool Mine(const Entry& e) const { return e.host == host_ && e.user == user_; }
};

extern const char* const UntrustedFileName;
