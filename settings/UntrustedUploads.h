#pragma once
// Server files whose last upload did not end whole, in the settings file
// "untrusted": a path is written down (durably) before its STOR can go out
// and struck off once the file is settled (stored whole, deleted, or never
// touched), so a quit, a crash or a lost connection leaves it there, and
// the next compare of the same server and account sends the file again
// whatever the dates say.
//
// A server is the same whatever its name was typed as: an entry is this
// record's when its account is the same and either its host name is (ASCII
// letter case and trailing dots aside) or the address the connection
// reached is the one stored with it.

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

  // The dotted address the control connection reached; empty leaves the
  // one known.
  void Reached(const std::string& address);

  // Writes paths down before returning; false, after a box naming the
  // settings file, when they could not be written, or when the file there
  // could not be read (it is then left as it is). anew, when given, gets
  // those that were not written down before.
  bool Add(const std::vector<std::string>& paths, std::set<std::string>* anew = nullptr);
  // Strikes path off. Written with the next Add or Flush, or once a second
  // has passed since the last write: losing it only sends a file again.
  // False when what was struck off could not be written now (Error() says
  // why); it is tried again with the next write.
  bool Remove(const std::string& path);
  bool Flush();
  // Every path written down for this server and account, less those
  // struck off.
  std::set<std::string> Paths() const;

  // The file and why it could not be read or written, after a false.
  const std::string& Error() const { return error_; }

private:
  struct Entry {
    std::string host;
    std::string user;
    std::string path;
    std::string address; // reached when it was written; empty in older lines
    std::string line;    // a line not understood, kept as it is
  };
  struct Loaded {
    std::vector<Entry> entries;
    std::string error; // the file exists but could not be read through: why, for a box
  };
  std::string host_;
  std::string hostKey_;
  std::string user_;
  std::string reached_;
  std::set<std::string> written_;   // in the file, as this object last wrote it
  std::set<std::string> struckOff_; // not yet written
  std::chrono::steady_clock::time_point lastWrite_{};
  std::string error_;

  static Loaded Load();
  bool Save(std::vector<Entry> entries);
  bool Mine(const Entry& e) const;
};

extern const char* const UntrustedFileName;
