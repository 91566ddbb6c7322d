#include "Globals.h"

#include <cmath>
#include <ctime>

std::array<std::int32_t, PrefSlotCount> gPref{};
std::vector<FileTypeEntry> gFileType;
std::vector<Dataset> gDataset;
std::int32_t gTzone = 0;

std::int32_t gConvBI(bool value)
{
  return value ? 1 : 0;
}

bool gConvIB(std::int32_t value)
{
  return value >= 1;
}

void gExtractBodyAndExtn(const std::string& fullName, std::string& body, std::string& extn)
{
  const std::size_t dot = fullName.rfind('.');
  if (dot == std::string::npos) {
    body = fullName;
    return;
  }
  body = fullName.substr(0, dot);
  extn = fullName.substr(dot + 1);
}

std::int32_t gUruu(std::int32_t year)
{
  return ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0) ? 1 : 0;
}

std::int32_t gDayCount(std::int32_t year, std::int32_t month)
{
  switch (month) {
  case 1: case 3: case 5: case 7: case 8: case 10: case 12:
    return 31;
  case 4: case 6: case 9: case 11:
    return 30;
  case 2:
    return 28 + gUruu(year);
  default:
    return 0;
  }
}

void gGetTimeZone()
{
  tzset();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (!localtime_r(&now, &local))
    return;
  // Whole hours, rounded down (GMT+5:30 gives 5, GMT-3:30 gives -4): a
  // server date corrected by too little looks older, so a wrong half hour
  // sends a file once more rather than never.
  gTzone = static_cast<std::int32_t>(std::floor(static_cast<double>(local.tm_gmtoff) / 3600.0));
}
