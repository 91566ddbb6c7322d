#include "UntrustedUploads.h"

#include "Globals.h"
#include "SettingsFile.h"

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

} // namespace

UntrustedUploads::UntrustedUploads(std::string host, std::string user)
    : host_(std::move(host)), user_(std::move(user))
{
}

UntrustedUploads::~UntrustedUploads()
{
  Flush();
}

std::vector<UntrustedUploads::Entry> UntrustedUploads::Load()
{
  std::vector<Entry> entries;
  const FolderItem file = SettingsFolder().Child(UntrustedFileName);
  if (!file.Exists())
    return entries;
  auto in = file.OpenAsTextFile();
  if (!in)
    return entries;
  while (!in->EOF()) {
    const std::string line = in->ReadLine();
    const std::size_t a = line.find('\t');
    const std::size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
    if (b == std::string::npos || line.find('\t', b + 1) != std::string::npos)
      continue;
    entries.push_back({Unescaped(line.substr(0, a)), Unescaped(line.substr(a + 1, b - a - 1)),
                       Unescaped(line.substr(b + 1))});
  }
  return entries;
}

// Writes entries less what was struck off meanwhile.
bool UntrustedUploads::Save(std::vector<Entry> entries)
{
  entries.erase(std::remove_if(entries.begin(), entries.end(),
                               [&](const Entry& e) { return Mine(e) && struckOff_.count(e.path) > 0; }),
                entries.end());
  CreateSettingsFolderIfMissing();
  lastWrite_ = std::chrono::steady_clock::now();
  const bool ok = WriteSettingsTextFile(SettingsFolder().Child(UntrustedFileName), [&](TextOutputStream& out) {
    for (const Entry& e : entries)
      out.WriteLine(Escaped(e.host) + "\t" + Escaped(e.user) + "\t" + Escaped(e.path));
  });
  if (!ok)
    return false;
  struckOff_.clear();
  written_.clear();
  for (const Entry& e : entries)
    if (Mine(e))
      written_.insert(e.path);
  return true;
}

bool UntrustedUploads::Add(const std::vector<std::string>& paths)
{
  // Most of a run's files were written down with its plan.
  bool known = true;
  for (const std::string& path : paths)
    known = known && written_.count(path) > 0;
  if (known) {
    for (const std::string& path : paths)
      struckOff_.erase(path); // still in the file
    return true;
  }
  std::vector<Entry> entries = Load();
  std::set<std::string> mine;
  for (const Entry& e : entries)
    if (Mine(e))
      mine.insert(e.path);
  bool added = false;
  for (const std::string& path : paths) {
    struckOff_.erase(path);
    if (mine.insert(path).second) {
      entries.push_back({host_, user_, path});
      added = true;
    }
  }
  if (added)
    return Save(std::move(entries));
  written_ = std::move(mine); // all there already: nothing to write
  return true;
}

void UntrustedUploads::Remove(const std::string& path)
{
  struckOff_.insert(path);
  if (std::chrono::steady_clock::now() - lastWrite_ >= std::chrono::seconds(1))
    Flush();
}

void UntrustedUploads::Flush()
{
  if (struckOff_.empty())
    return;
  std::vector<Entry> entries = Load();
  const bool any = std::any_of(entries.begin(), entries.end(),
                               [&](const Entry& e) { return Mine(e) && struckOff_.count(e.path) > 0; });
  if (any)
    Save(std::move(entries));
  else
    struckOff_.clear();
}

std::set<std::string> UntrustedUploads::Paths() const
{
  std::set<std::string> paths;
  for (const Entry& e : Load())
    if (Mine(e) && struckOff_.count(e.path) == 0)
      paths.insert(e.path);
  return paths;
}
