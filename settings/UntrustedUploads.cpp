#include "UntrustedUploads.h"

#include "Globals.h"
#include "SettingsFile.h"

#include "framework/Modal.h"
#include "framework/TextStream.h"

#include <algorithm>
#include <cstdio>
#include <vector>

const char* const UntrustedFileName = "untrusted";

namespace {

// One entry a line, fields split by TAB; bytes that would end a line or a
// field are written as %XX.
std::string Escaped(const std::string& text)
{
  std::string out;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", b);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

int HexValue(char c)
{
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::string Unescaped(const std::string& text)
{
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Fields split at TAB, unescaped.
std::vector<std::string> Fields(const std::string& line)
{
  std::vector<std::string> fields;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = line.find('\t', begin);
    fields.push_back(Unescaped(line.substr(begin, end == std::string::npos ? std::string::npos : end - begin)));
    if (end == std::string::npos)
      return fields;
    begin = end + 1;
  }
}

// A host name as the resolver takes it: letters in either case, and a
// trailing dot or none.
std::string HostKey(const std::string& host)
{
  std::string key = host;
  while (!key.empty() && key.back() == '.')
    key.pop_back();
  for (char& c : key)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return key;
}

} // namespace

UntrustedUploads::UntrustedUploads(std::string host, std::string user)
    : host_(std::move(host)), hostKey_(HostKey(host_)), user_(std::move(user))
{
}

UntrustedUploads::~UntrustedUploads()
{
  Flush();
}

void UntrustedUploads::Reached(const std::string& address)
{
  if (!address.empty())
    reached_ = address;
}

bool UntrustedUploads::Mine(const Entry& e) const
{
  return e.line.empty() && e.user == user_ &&
         (HostKey(e.host) == hostKey_ || (!reached_.empty() && e.address == reached_));
}

UntrustedUploads::Loaded UntrustedUploads::Load()
{
  Loaded loaded;
  const FolderItem file = SettingsFolder().Child(UntrustedFileName);
  auto in = OpenSettingsTextFile(file, loaded.error);
  if (!in)
    return loaded;
  while (!in->EOF()) {
    const std::string line = in->ReadLine();
    const std::vector<std::string> f = Fields(line);
    if (f.size() == 3 || f.size() == 4)
      loaded.entries.push_back({f[0], f[1], f[2], f.size() == 4 ? f[3] : std::string(), {}});
    else if (!line.empty())
      loaded.entries.push_back({{}, {}, {}, {}, line}); // a later version's, say
  }
  if (in->ReadError())
    loaded.error = CouldNotReadSettingsFile(file);
  return loaded;
}

// Writes entries less what was struck off meanwhile; the words of a failure
// are kept in error_.
bool UntrustedUploads::Save(std::vector<Entry> entries)
{
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [&](const Entry& e) { return Mine(e) && struckOff_.count(e.path) > 0; }),
                entries.end());
  for (Entry& e : entries)
    if (Mine(e) && !reached_.empty())
      e.address = reached_;
  CreateSettingsFolderIfMissing();
  lastWrite_ = std::chrono::steady_clock::now();
  const FolderItem file = SettingsFolder().Child(UntrustedFileName);
  // A folder the start could not use may hold a record not read.
  if (const std::string why = WhySettingsFolderUnusable(); !why.empty()) {
    error_ = "Could not save the settings file \"" + file.NativePath() + "\" (" + why + ").";
    return false;
  }
  const auto write = [&](TextOutputStream& out) {
    for (const Entry& e : entries) {
      if (!e.line.empty())
        out.WriteLine(e.line);
      else
        out.WriteLine(Escaped(e.host) + "\t" + Escaped(e.user) + "\t" + Escaped(e.path) +
                      (e.address.empty() ? "" : "\t" + Escaped(e.address)));
    }
  };
  if (!WriteSettingsTextFileQuietly(file, write, error_))
    return false;
  struckOff_.clear();
  written_.clear();
  for (const Entry& e : entries)
    if (Mine(e))
      written_.insert(e.path);
  return true;
}

bool UntrustedUploads::Add(const std::vector<std::string>& paths, std::set<std::string>* anew)
{
  // A path struck off but not yet written was settled: it is written down
  // anew as much as one not in the file.
  const auto takeBack = [&](const std::string& path) {
    if (struckOff_.erase(path) > 0 && anew)
      anew->insert(path);
  };
  // Most of a run's files were written down with its plan.
  bool known = true;
  for (const std::string& path : paths)
    known = known && written_.count(path) > 0;
  if (known) {
    for (const std::string& path : paths)
      takeBack(path); // still in the file
    return true;
  }
  Loaded loaded = Load();
  if (!loaded.error.empty()) {
    // Written anew it would hold this plan alone, and every earlier record
    // of every server would be lost.
    error_ = loaded.error;
    MsgBox(error_ + " The files to upload could not be written down in it, so nothing was uploaded; the file " +
           "was left as it is.");
    return false;
  }
  std::vector<Entry>& entries = loaded.entries;
  std::set<std::string> mine;
  for (const Entry& e : entries)
    if (Mine(e))
      mine.insert(e.path);
  bool added = false;
  for (const std::string& path : paths) {
    takeBack(path);
    if (mine.insert(path).second) {
      entries.push_back({host_, user_, path, reached_, {}});
      added = true;
      if (anew)
        anew->insert(path);
    }
  }
  if (!added) {
    written_ = std::move(mine); // all there already: nothing to write
    return true;
  }
  if (Save(std::move(entries)))
    return true;
  MsgBox(error_ + " The files to upload could not be written down in it first, so nothing was uploaded.");
  return false;
}

bool UntrustedUploads::Remove(const std::string& path)
{
  struckOff_.insert(path);
  if (std::chrono::steady_clock::now() - lastWrite_ >= std::chrono::seconds(1))
    return Flush();
  return true;
}

bool UntrustedUploads::Flush()
{
  if (struckOff_.empty())
    return true;
  Loaded loaded = Load();
  if (!loaded.error.empty()) {
    // Never replaced by what this object knows: tried again a second on.
    lastWrite_ = std::chrono::steady_clock::now();
    error_ = loaded.error;
    return false;
  }
  const bool any = std::any_of(loaded.entries.begin(), loaded.entries.end(),
                               [&](const Entry& e) { return Mine(e) && struckOff_.count(e.path) > 0; });
  if (any)
    return Save(std::move(loaded.entries));
  struckOff_.clear();
  return true;
}

std::set<std::string> UntrustedUploads::Paths() const
{
  std::set<std::string> paths;
  for (const Entry& e : Load().entries)
    if (Mine(e) && struckOff_.count(e.path) == 0)
      paths.insert(e.path);
  return paths;
}
