#pragma once
// Reading of Unix-style long-format listing lines and of their dates.

#include <cstdint>
#include <string>
#include <vector>

struct ListingEntry {
  char kind = 0;          // 'd' folder or '-' file
  std::int64_t size = 0;
  std::string dateText;   // "Mon D HH:MM" or "Mon D YYYY", as listed
  std::string name;
};

// Reads one line. The fields are found by the whole date group (size, month,
// day, time or year), so month words, digits or ":" in an owner, a group or
// a name do not mislead it. False for links and other kinds, and for any
// line that does not parse; entry is then unspecified.
bool ParseListingLine(const std::string& line, ListingEntry& entry);

// A line a listing may hold besides entries ("total" lines aside), passed
// over on purpose: a Unix long-format line of a kind that is neither a file
// nor a folder (a link, a device, a pipe, a socket: "lrwxrwxrwx", "crw-r--r--").
bool ListingLineSkippedOnPurpose(const std::string& line);

// The name such a line lists, as every reading of it: a link's name stands
// before " -> ", which the name or the target may hold too. Empty when the
// line has no date group to find the name by, or holds more readings than
// any real link.
std::vector<std::string> SkippedLineNames(const std::string& line);

// The final reply of a listing says it was cut short or failed (pure-ftpd's
// "Output truncated" and "unable to read", vsftpd's "failed to open
// directory").
bool ListingReplyNotWhole(const std::string& reply);

// A civil date and time to the minute.
struct CivilMinute {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0;
};

// The machine's current local date and time.
CivilMinute LocalNow();

// Whole hours of a time-zone text: a leading number, sign and fraction
// allowed, or hours and minutes ("-3:30"), rounded down (-3:30 gives -4,
// 5:30 gives 5); full-width digits and signs read as ASCII; anything else
// counts as 0.
int ZoneHours(const std::string& text);

// "Mon D HH:MM" or "Mon D YYYY" (blanks in any number) as
// "YYYY/MM/DD HH:MM", shifted by zoneHours with full calendar arithmetic.
// A time-of-day entry is dated in the year of the server's current date
// (localNow minus zoneHours), or the year before when that would put it more
// than a day after the server's present moment, or the year after when that
// puts it at most a day after it.
// A year entry is taken at 23:59. Empty when the text is not a date.
std::string FormatRemoteDate(const std::string& text, int zoneHours, const CivilMinute& localNow);
