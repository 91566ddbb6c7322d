#include "trees/ListingLine.h"

#include <array>
#include <cctype>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <vector>

namespace {

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsBlank(char c)
{
  return c == ' ' || c == '\t';
}

bool AllDigits(std::string_view s)
{
  if (s.empty())
    return false;
  for (char c : s)
    if (c < '0' || c > '9')
      return false;
  return true;
}

int MonthNumber(std::string_view s)
{
  for (std::size_t i = 0; i < kMonths.size(); ++i)
    if (s == kMonths[i])
      return static_cast<int>(i) + 1;
  return 0;
}

bool ParseDay(std::string_view s, int& day)
{
  if (s.size() > 2 || !AllDigits(s))
    return false;
  day = std::atoi(std::string(s).c_str());
  return day >= 1 && day <= 31;
}

// "H:MM" or "HH:MM".
bool ParseTime(std::string_view s, int& hour, int& minute)
{
  const auto colon = s.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 2 || s.size() != colon + 3)
    return false;
  const auto h = s.substr(0, colon);
  const auto m = s.substr(colon + 1);
  if (!AllDigits(h) || !AllDigits(m))
    return false;
  hour = std::atoi(std::string(h).c_str());
  minute = std::atoi(std::string(m).c_str());
  return hour <= 23 && minute <= 59;
}

bool ParseYear(std::string_view s, int& year)
{
  if (s.size() != 4 || !AllDigits(s))
    return false;
  year = std::atoi(std::string(s).c_str());
  return true;
}

bool ParseSize(std::string_view s, std::int64_t& size)
{
  if (!AllDigits(s) || s.size() > 18)
    return false;
  size = std::strtoll(std::string(s).c_str(), nullptr, 10);
  return true;
}

struct Field {
  std::size_t begin, end;
};

std::vector<Field> SplitFields(const std::string& line, std::size_t maxFields)
{
  std::vector<Field> fields;
  std::size_t i = 0;
  while (i < line.size() && fields.size() < maxFields) {
    while (i < line.size() && IsBlank(line[i]))
      ++i;
    if (i >= line.size())
      break;
    const std::size_t b = i;
    while (i < line.size() && !IsBlank(line[i]))
      ++i;
    fields.push_back({b, i});
  }
  return fields;
}

using Minutes = std::chrono::minutes;
using SysMinutes = std::chrono::sys_time<Minutes>;

SysMinutes ToSys(int year, int month, int day, int hour, int minute)
{
  using namespace std::chrono;
  // A day past the month's end rolls into the next month.
  const year_month_day first{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                             std::chrono::day{1}};
  const sys_days d = sys_days{first} + days{day - 1};
  return SysMinutes{d} + hours{hour} + Minutes{minute};
}

CivilMinute FromSys(SysMinutes t)
{
  using namespace std::chrono;
  const auto d = floor<days>(t);
  const year_month_day ymd{d};
  const auto rest = t - d;
  CivilMinute c;
  c.year = static_cast<int>(ymd.year());
  c.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  c.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  c.hour = static_cast<int>(duration_cast<hours>(rest).count());
  c.minute = static_cast<int>((rest - duration_cast<hours>(rest)).count());
  return c;
}

} // namespace

namespace {

// The date group (size, month, day, time or year) and the name after it,
// whatever the kind letter. A device lists "major, minor" where a size
// stands.
bool ReadLongLine(const std::string& line, bool device, ListingEntry& entry)
{
  // Enough fields to reach a date group that stands after perms, links,
  // owner and group; the name is the rest of the line whatever it holds.
  const std::vector<Field> fields = SplitFields(line, 12);
  auto text = [&](std::size_t i) {
    return std::string_view(line).substr(fields[i].begin, fields[i].end - fields[i].begin);
  };
  // The month stands at least after perms, owner and size.
  for (std::size_t m = 3; m + 2 < fields.size(); ++m) {
    if (MonthNumber(text(m)) == 0)
      continue;
    std::int64_t size = 0;
    int day = 0, hour = 0, minute = 0, year = 0;
    const bool sized = ParseSize(text(m - 1), size) ||
                       (device && text(m - 1).find_first_not_of("0123456789,") == std::string_view::npos);
    if (!sized || !ParseDay(text(m + 1), day))
      continue;
    if (!ParseTime(text(m + 2), hour, minute) && !ParseYear(text(m + 2), year))
      continue;
    // The single blank after the date group ends it; every byte after it,
    // leading blanks included, is the name, also when it is nothing else.
    const std::size_t name = fields[m + 2].end + 1;
    if (name >= line.size())
      continue;
    entry.kind = line[0];
    entry.size = size;
    entry.dateText = std::string(text(m)) + " " + std::string(text(m + 1)) + " " + std::string(text(m + 2));
    entry.name = line.substr(name);
    return true;
  }
  return false;
}

} // namespace

bool ParseListingLine(const std::string& line, ListingEntry& entry)
{
  if (line.empty() || (line[0] != 'd' && line[0] != '-'))
    return false;
  return ReadLongLine(line, false, entry);
}

std::vector<std::string> SkippedLineNames(const std::string& line)
{
  ListingEntry e;
  if (!ListingLineSkippedOnPurpose(line) || !ReadLongLine(line, line[0] == 'b' || line[0] == 'c', e))
    return {};
  if (line[0] != 'l')
    return {e.name};
  // "name -> target": a name or a target may hold " -> " too, so each
  // place it stands gives one reading of the name. Readings are kept few and
  // short, or a line of arrows would take memory by its length squared: a
  // reading longer than any local path can name no local entry, and a line
  // read in more ways than any real link is not read at all.
  constexpr std::size_t kMostReadings = 16;
  std::vector<std::string> names;
  for (std::size_t arrow = e.name.find(" -> "); arrow != std::string::npos && arrow < PATH_MAX;
       arrow = e.name.find(" -> ", arrow + 1)) {
    if (names.size() == kMostReadings)
      return {};
    names.push_back(e.name.substr(0, arrow));
  }
  if (names.empty())
    names.push_back(e.name);
  return names;
}

bool ListingLineSkippedOnPurpose(const std::string& line)
{
  const std::size_t end = line.find_first_of(" \t");
  if (end == std::string::npos || end < 10 || end > 11)
    return false;
  if (std::string_view("lbcpsD").find(line[0]) == std::string_view::npos)
    return false;
  for (std::size_t i = 1; i < 10; ++i)
    if (std::string_view("rwxsStTlL-").find(line[i]) == std::string_view::npos)
      return false;
  // An ACL or extended-attribute mark may follow the mode.
  return end == 10 || std::string_view("+@.").find(line[10]) != std::string_view::npos;
}

bool ListingReplyNotWhole(const std::string& reply)
{
  std::string lower = reply;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  // pure-ftpd lists a folder it may not read as empty, saying only
  // "unable to read" in its final reply.
  return lower.find("truncated") != std::string::npos || lower.find("fail") != std::string::npos ||
         lower.find("unable") != std::string::npos;
}

CivilMinute LocalNow()
{
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min};
}

namespace {

// Digits, signs and the point as a Japanese input method types them
// (full width), and the minus sign, read as their ASCII forms.
std::string AsciiNumberText(const std::string& text)
{
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    if (i + 2 < text.size() && b(0) == 0xEF && b(1) == 0xBC && b(2) >= 0x90 && b(2) <= 0x99) {
      out += static_cast<char>('0' + (b(2) - 0x90));
    } else if (i + 2 < text.size() && b(0) == 0xEF && b(1) == 0xBC &&
               (b(2) == 0x8D || b(2) == 0x8B || b(2) == 0x8E || b(2) == 0x9A)) {
      out += b(2) == 0x8D ? '-' : b(2) == 0x8B ? '+' : b(2) == 0x8E ? '.' : ':';
    } else if (i + 2 < text.size() && b(0) == 0xE2 && b(1) == 0x88 && b(2) == 0x92) {
      out += '-';
    } else if (i + 2 < text.size() && b(0) == 0xE3 && b(1) == 0x80 && b(2) == 0x80) {
      out += ' ';
    } else {
      out += text[i];
      ++i;
      continue;
    }
    i += 3;
  }
  return out;
}

} // namespace

int ZoneHours(const std::string& text)
{
  const std::string ascii = AsciiNumberText(text);
  const char* s = ascii.c_str();
  while (*s == ' ' || *s == '\t')
    ++s;
  char* end = nullptr;
  double v = std::strtod(s, &end);
  if (end == s || !std::isfinite(v))
    return 0;
  // Hours and minutes ("-3:30"): the minutes go the way of the sign.
  if (*end == ':' && std::isdigit(static_cast<unsigned char>(end[1]))) {
    const double minutes = std::strtod(end + 1, nullptr) / 60.0;
    v += (*s == '-' ? -minutes : minutes);
  }
  // Beyond any real zone; kept bounded so the arithmetic cannot overflow.
  if (v > 1000.0)
    return 1000;
  if (v < -1000.0)
    return -1000;
  // Rounded down, as the box's own offset is: a server date corrected by
  // too little looks older, so a wrong half hour sends a file once more
  // rather than never.
  return static_cast<int>(std::floor(v));
}

std::string FormatRemoteDate(const std::string& text, int zoneHours, const CivilMinute& localNow)
{
  const std::vector<Field> f = SplitFields(text, 4);
  if (f.size() != 3)
    return {};
  auto part = [&](std::size_t i) { return std::string_view(text).substr(f[i].begin, f[i].end - f[i].begin); };
  const int month = MonthNumber(part(0));
  int day = 0, hour = 23, minute = 59, year = 0;
  if (month == 0 || !ParseDay(part(1), day))
    return {};
  if (ParseTime(part(2), hour, minute)) {
    const SysMinutes serverNow =
        ToSys(localNow.year, localNow.month, localNow.day, localNow.hour, localNow.minute) -
        std::chrono::hours{zoneHours};
    // The listing leaves out the year: take the one that puts the entry
    // nearest the server's present. A copy dated ahead (a fast clock, a
    // date kept by another client) then stays ahead instead of going a
    // year back and being replaced as old.
    const int serverYear = FromSys(serverNow).year;
    std::chrono::minutes best = std::chrono::minutes::max();
    for (int candidate = serverYear - 1; candidate <= serverYear + 1; ++candidate) {
      // Feb 29 belongs to leap years only.
      if (!std::chrono::year_month_day{std::chrono::year{candidate} / month / day}.ok())
        continue;
      const auto distance = std::chrono::abs(ToSys(candidate, month, day, hour, minute) - serverNow);
      if (distance < best) {
        best = distance;
        year = candidate;
      }
    }
    if (year == 0)
      year = serverYear;
  } else if (!ParseYear(part(2), year)) {
    return {};
  }
  const CivilMinute c = FromSys(ToSys(year, month, day, hour, minute) + std::chrono::hours{zoneHours});
  char buf[48];
  std::snprintf(buf, sizeof buf, "%d/%02d/%02d %02d:%02d", c.year, c.month, c.day, c.hour, c.minute);
  return buf;
}
