#include "trees/ListingLine.h"
#include "trees/SyncRecord.h"

#include <gtest/gtest.h>

namespace {

struct LineCase {
  const char* line;
  char kind;
  long long size;
  const char* dateText;
  const char* name;
};

class ListingLineParses : public ::testing::TestWithParam<LineCase> {};

TEST_P(ListingLineParses, ToKindSizeDateAndName)
{
  const LineCase& c = GetParam();
  ListingEntry e;
  ASSERT_TRUE(ParseListingLine(c.line, e)) << c.line;
  EXPECT_EQ(e.kind, c.kind);
  EXPECT_EQ(e.size, c.size);
  EXPECT_EQ(e.dateText, c.dateText);
  EXPECT_EQ(e.name, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    ServerShapes, ListingLineParses,
    ::testing::Values(
        // zero-padded day, time form
        LineCase{"-rw-r--r--   1 user     group        1234 Dec 08 12:34 a.txt", '-', 1234, "Dec 08 12:34", "a.txt"},
        // blank-padded day, year form
        LineCase{"-rw-r--r--    1 1000       1000            7 Mar  5  2008 old.html", '-', 7, "Mar 5 2008", "old.html"},
        LineCase{"drwxr-xr-x   2 user     group        4096 Jan 15 09:05 sub", 'd', 4096, "Jan 15 09:05", "sub"},
        // without a group column
        LineCase{"-rw-r--r-- 1 ftp 99 Feb 29 2008 leap", '-', 99, "Feb 29 2008", "leap"},
        // names with blanks, dots after a blank, month words and colons
        LineCase{"-rw-r--r--   1 u g 10 Apr 01 10:00 a .txt", '-', 10, "Apr 01 10:00", "a .txt"},
        LineCase{"-rw-r--r--   1 u g 10 Apr 01 2001 Notes Jan 12:30 x", '-', 10, "Apr 01 2001", "Notes Jan 12:30 x"},
        LineCase{"-rw-r--r--   1 u g 10 Apr 01 2001 12:00 meeting", '-', 10, "Apr 01 2001", "12:00 meeting"},
        LineCase{"-rw-r--r--   1 u g 10 Apr 01 10:00  two blanks first", '-', 10, "Apr 01 10:00", " two blanks first"},
        LineCase{"-rw-r--r--   1 u g 10 Apr 01 10:00  ", '-', 10, "Apr 01 10:00", " "},
        LineCase{"-rw-r--r--   1 u g 10 Apr 01 10:00 trailing ", '-', 10, "Apr 01 10:00", "trailing "},
        // owner and group spelled like months, or holding a colon
        LineCase{"-rw-r--r--   1 Jan Dec 5000 May 02 08:00 x", '-', 5000, "May 02 08:00", "x"},
        LineCase{"-rw-r--r--   1 a:b 12:00 77 Jun 30 23:59 y", '-', 77, "Jun 30 23:59", "y"},
        // non-ASCII name, 64-bit size
        LineCase{"-rw-r--r--   1 u g 5368709120 Nov 11 11:11 日本語 ファイル.zip", '-', 5368709120LL, "Nov 11 11:11",
                 "日本語 ファイル.zip"}));

class ListingLineSkips : public ::testing::TestWithParam<const char*> {};

TEST_P(ListingLineSkips, WithoutReadingAnything)
{
  ListingEntry e;
  EXPECT_FALSE(ParseListingLine(GetParam(), e)) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(
    NotAFileOrFolder, ListingLineSkips,
    ::testing::Values("lrwxrwxrwx   1 u g 4 Jan 01 10:00 link -> a.txt", "crw-r--r-- 1 u g 4 Jan 01 10:00 dev",
                      "total 12", "", "-", "-rw-r--r-- 1 u g 12 Foo 01 10:00 nomonth",
                      "-rw-r--r-- 1 u g 1,2 Jan 01 10:00 badsize", "-rw-r--r-- 1 u g 12 Jan 01 10:00",
                      "-rw-r--r-- 1 u g 12 Jan 32 10:00 badday", "-rw-r--r-- 1 u g 12 Jan 01 24:00 badhour",
                      "-rw-r--r-- Jan 01 10:00 x"));

struct DateCase {
  const char* text;
  const char* zone;
  CivilMinute now;
  const char* expected;
};

class RemoteDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(RemoteDate, ShiftsByTheZoneAcrossCalendarEnds)
{
  const DateCase& c = GetParam();
  EXPECT_EQ(FormatRemoteDate(c.text, ZoneHours(c.zone), c.now), c.expected) << c.text << " zone " << c.zone;
}

constexpr CivilMinute kMarch2009{2009, 3, 15, 12, 0};

INSTANTIATE_TEST_SUITE_P(
    Examples, RemoteDate,
    ::testing::Values(
        DateCase{"Jan 5 12:34", "9", kMarch2009, "2009/01/05 21:34"},
        DateCase{"Dec 31 2008", "9", kMarch2009, "2009/01/01 08:59"},
        DateCase{"Apr 2 10:00", "9", kMarch2009, "2009/04/02 19:00"},
        DateCase{"Oct 2 10:00", "9", kMarch2009, "2008/10/02 19:00"},
        DateCase{"Jan 5 12:34", "12", kMarch2009, "2009/01/06 00:34"},
        DateCase{" Jan  5  2008", "", kMarch2009, "2008/01/05 23:59"},
        DateCase{"Mar 15 11:00", "0", kMarch2009, "2009/03/15 11:00"},
        // west of GMT: back across day, month and year ends
        DateCase{"Jan 1 02:00", "-5", kMarch2009, "2008/12/31 21:00"},
        DateCase{"Mar 1 2008", "-3", kMarch2009, "2008/03/01 20:59"},
        DateCase{"Mar 1 01:00", "-03:00", kMarch2009, "2009/02/28 22:00"},
        DateCase{"Mar 1 2008", "-24", kMarch2009, "2008/02/29 23:59"},
        // 48 hours and more, leap days
        DateCase{"Feb 28 2008", "48", kMarch2009, "2008/03/01 23:59"},
        DateCase{"Feb 28 2009", "24", kMarch2009, "2009/03/01 23:59"},
        DateCase{"Dec 31 2008", "9.9", kMarch2009, "2009/01/01 08:59"},
        // a half-hour zone typed: the whole hour below, never a later date
        DateCase{"Jan 5 12:34", "-3:30", kMarch2009, "2009/01/05 08:34"},
        DateCase{"Jan 5 12:34", "-3.5", kMarch2009, "2009/01/05 08:34"},
        DateCase{"Jan 5 12:34", "+5:30", kMarch2009, "2009/01/05 17:34"},
        DateCase{"Jan 5 12:34", "-0.5", kMarch2009, "2009/01/05 11:34"},
        DateCase{"Jan 5 12:34", "－３：３０", kMarch2009, "2009/01/05 08:34"},
        DateCase{"Dec 31 2008", "abc", kMarch2009, "2008/12/31 23:59"},
        // the year of a time entry is the server's: local New Year 05:00 at
        // +9 is still Dec 31 on the server
        DateCase{"Dec 31 19:00", "9", CivilMinute{2010, 1, 1, 5, 0}, "2010/01/01 04:00"},
        DateCase{"Jan 1 01:00", "-9", CivilMinute{2009, 12, 31, 20, 0}, "2009/12/31 16:00"},
        // a server clock or zone running a little ahead: a file of the new
        // month is this year's, not last year's; of the new year, next year's
        DateCase{"Apr 1 00:05", "0", CivilMinute{2009, 3, 31, 23, 59}, "2009/04/01 00:05"},
        DateCase{"Apr 1 00:30", "9", CivilMinute{2009, 4, 1, 8, 0}, "2009/04/01 09:30"},
        // a copy dated ahead stays ahead, up to about six months; beyond, it
        // is last year's
        DateCase{"Apr 2 00:05", "0", CivilMinute{2009, 3, 31, 23, 59}, "2009/04/02 00:05"},
        DateCase{"Dec 11 10:00", "0", CivilMinute{2026, 12, 9, 23, 24}, "2026/12/11 10:00"},
        DateCase{"Sep 1 10:00", "0", CivilMinute{2009, 3, 31, 23, 59}, "2009/09/01 10:00"},
        DateCase{"Nov 1 10:00", "0", CivilMinute{2009, 3, 31, 23, 59}, "2008/11/01 10:00"},
        DateCase{"Feb 29 10:00", "0", CivilMinute{2009, 3, 15, 12, 0}, "2008/02/29 10:00"},
        DateCase{"Jan 1 00:05", "0", CivilMinute{2026, 12, 31, 23, 50}, "2027/01/01 00:05"},
        DateCase{"Jan 2 00:05", "0", CivilMinute{2026, 12, 31, 23, 50}, "2027/01/02 00:05"},
        DateCase{"Aug 2 00:05", "0", CivilMinute{2026, 12, 31, 23, 50}, "2026/08/02 00:05"},
        // typed with a Japanese input method
        DateCase{"Jan 5 12:34", "９", kMarch2009, "2009/01/05 21:34"},
        DateCase{"Jan 1 02:00", "－５", kMarch2009, "2008/12/31 21:00"},
        DateCase{"Bad 1 01:00", "0", kMarch2009, ""}));

struct SizeCase {
  long long bytes;
  const char* remote;
  const char* local;
};

class SizeText : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeText, KeepsThresholdsAndUnits)
{
  EXPECT_EQ(RemoteSizeText(GetParam().bytes), GetParam().remote);
  EXPECT_EQ(LocalSizeText(GetParam().bytes), GetParam().local);
}

INSTANTIATE_TEST_SUITE_P(Thresholds, SizeText,
                         ::testing::Values(SizeCase{0, "0 bytes", "0 bytes"}, SizeCase{1000, "1000 bytes", "1000 bytes"},
                                           SizeCase{1001, "1.0 KB", "1.0 KB"}, SizeCase{1100, "1.1 KB", "1.0 KB"},
                                           SizeCase{1536, "1.5 KB", "2.0 KB"},
                                           SizeCase{1000000, "976.6 KB", "977.0 KB"},
                                           SizeCase{1000001, "1.0 MB", "1.0 MB"},
                                           SizeCase{5368709120LL, "5120.0 MB", "5120.0 MB"}));

} // namespace
