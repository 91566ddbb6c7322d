#include "settings/Globals.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <ctime>
#include <tuple>

class NameSplit : public ::testing::TestWithParam<std::tuple<std::string, std::string, std::string>> {};

TEST_P(NameSplit, SplitsAtTheLastDot)
{
  const auto& [name, body, extn] = GetParam();
  std::string b = "junk", e = "as passed";
  gExtractBodyAndExtn(name, b, e);
  EXPECT_EQ(b, body);
  EXPECT_EQ(e, extn);
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameSplit,
    ::testing::Values(std::tuple{"index.html", "index", "html"}, std::tuple{"archive.tar.gz", "archive.tar", "gz"},
                      std::tuple{".profile", "", "profile"}, std::tuple{"name.", "name", ""},
                      std::tuple{"a..b", "a.", "b"}, std::tuple{"README", "README", "as passed"},
                      std::tuple{"", "", "as passed"}, std::tuple{"日本.テキスト", "日本", "テキスト"}));

class DayCount : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(DayCount, FollowsTheGregorianCalendar)
{
  const auto& [year, month, days] = GetParam();
  EXPECT_EQ(gDayCount(year, month), days);
}

INSTANTIATE_TEST_SUITE_P(Months, DayCount,
                         ::testing::Values(std::tuple{2000, 2, 29}, std::tuple{1900, 2, 28}, std::tuple{2004, 2, 29},
                                           std::tuple{2003, 2, 28}, std::tuple{2100, 2, 28}, std::tuple{2400, 2, 29},
                                           std::tuple{-4, 2, 29}, std::tuple{-100, 2, 28}, std::tuple{-400, 2, 29},
                                           std::tuple{2003, 4, 30}, std::tuple{2003, 12, 31}, std::tuple{2003, 0, 0},
                                           std::tuple{2003, 13, 0}, std::tuple{2003, -1, 0}));

class TimeZone : public ::testing::TestWithParam<std::pair<std::string, int>> {};

TEST_P(TimeZone, OffsetInWholeHoursEastPositiveRoundedDown)
{
  {
    EnvGuard tz("TZ", GetParam().first);
    gTzone = 99;
    gGetTimeZone();
    EXPECT_EQ(gTzone, GetParam().second);
  }
  tzset();
}

INSTANTIATE_TEST_SUITE_P(Zones, TimeZone,
                         ::testing::Values(std::pair{std::string("JST-9"), 9}, std::pair{std::string("UTC0"), 0}, std::pair{std::string("EST5"), -5},
                                           std::pair{std::string("HST10"), -10}, std::pair{std::string("IST-5:30"), 5},
                                           std::pair{std::string("NST3:30"), -4},
                                           std::pair{std::string("NPT-5:45"), 5}, std::pair{std::string("XXX-14"), 14}));
