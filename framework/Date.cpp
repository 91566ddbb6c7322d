#include "Date.h"

#include <cstdio>
#include <ctime>

namespace {
void fillFrom(Date& d, std::int64_t seconds)
{
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!localtime_r(&t, &tm))
    return;
  d.Year = tm.tm_year + 1900;
  d.Month = tm.tm_mon + 1;
  d.Day = tm.tm_mday;
  d.Hour = tm.tm_hour;
  d.Minute = tm.tm_min;
  d.Second = tm.tm_sec;
}
} // namespace

Date::Date()
{
  fillFrom(*this, static_cast<std::int64_t>(std::time(nullptr)));
}

Date Date::FromSeconds(std::int64_t unixSeconds)
{
  Date d;
  fillFrom(d, unixSeconds);
  return d;
}

std::string Date::AbbreviatedDate() const
{
  char text[32];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d", Year, Month, Day);
  return text;
}

std::int64_t Date::TotalSeconds() const
{
  std::tm tm{};
  tm.tm_year = Year - 1900;
  tm.tm_mon = Month - 1;
  tm.tm_mday = Day;
  tm.tm_hour = Hour;
  tm.tm_min = Minute;
  tm.tm_sec = Second;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&tm));
}
