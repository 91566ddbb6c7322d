#pragma once
// A calendar date and time of day in local time.

#include <cstdint>
#include <string>

class Date {
public:
  Date(); // now
  static Date FromSeconds(std::int64_t unixSeconds);

  int Year = 1970, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;

  // "YYYY/MM/DD", zero-padded whatever the locale.
  std::string AbbreviatedDate() const;
  std::int64_t TotalSeconds() const; // seconds since the Unix epoch
};
