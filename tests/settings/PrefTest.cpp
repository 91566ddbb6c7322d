#include "SettingsFixture.h"

namespace {
const char* const MissingPrefText = "初期設定ファイルがありません。デフォルトの設定で起動します。";

std::array<std::int32_t, PrefSlotCount> defaults()
{
  std::array<std::int32_t, PrefSlotCount> d{};
  for (int i = 10; i <= 19; ++i)
    d[i] = 1;
  return d;
}
} // namespace

using PrefTest = SettingsTest;

TEST_F(PrefTest, FirstStartCreatesPrivateFolderSilentlyAndQuitWrites208Bytes)
{
  InitPref();
  LoadPref();
  EXPECT_EQ(messageCount(), 0u);
  EXPECT_EQ(modeOf(folderPath()), 0700u);
  EXPECT_EQ(gPref, defaults());
  SavePref();
  std::string expected = int32(50);
  for (std::int32_t v : defaults())
    expected += int32(v);
  ASSERT_EQ(expected.size(), 208u);
  EXPECT_EQ(readFile("pref"), expected);
  EXPECT_EQ(modeOf(filePath("pref")), 0600u);
}

TEST_F(PrefTest, MissingPrefInExistingFolderTellsOnceAndKeepsDefaults)
{
  makeFolder();
  InitPref();
  LoadPref();
  ASSERT_EQ(messageCount(), 1u);
  EXPECT_EQ(ModalRecorder::Requests()[0].kind, ModalKind::MessageBox);
  EXPECT_EQ(ModalRecorder::Requests()[0].message, MissingPrefText);
  EXPECT_EQ(gPref, defaults());
}

TEST_F(PrefTest, SavedSlotsReadBackUnchangedReservedOnesIncluded)
{
  makeFolder();
  InitPref();
  gPref[PrefWindowLeft] = 120;
  gPref[PrefBeepOnCaution] = 2;
  gPref[30] = 7;
  gPref[50] = -1;
  const auto saved = gPref;
  SavePref();
  gPref.fill(0);
  InitPref();
  LoadPref();
  EXPECT_EQ(gPref, saved);
}

struct CountCase {
  std::int32_t count;
  int valuesInFile;
  int slotsFromFile; // slots 0..slotsFromFile-1 come from the file
};
void PrintTo(const CountCase& c, std::ostream* os)
{
  *os << "count " << c.count << ", " << c.valuesInFile << " values";
}

class PrefCount : public SettingsTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(PrefCount, ReadsSlotsUpToTheCountAndNeverPastFifty)
{
  std::string bytes = int32(GetParam().count);
  for (int i = 0; i < GetParam().valuesInFile; ++i)
    bytes += int32(1000 + i);
  writeFile("pref", bytes);
  InitPref();
  LoadPref();
  auto expected = defaults();
  for (int i = 0; i < GetParam().slotsFromFile; ++i)
    expected[i] = 1000 + i;
  EXPECT_EQ(gPref, expected);
  EXPECT_EQ(messageCount(), 0u);
  SavePref();
  EXPECT_EQ(readFile("pref").size(), 208u);
  EXPECT_EQ(readFile("pref").substr(0, 4), int32(50));
}

INSTANTIATE_TEST_SUITE_P(Counts, PrefCount,
                         ::testing::Values(CountCase{12, 13, 13}, CountCase{-1, 5, 0}, CountCase{-2147483647 - 1, 5, 0},
                                           CountCase{0, 1, 1}, CountCase{60, 61, 51},
                                           CountCase{2147483647, 51, 51}, CountCase{2147483647, 80, 51}));

TEST_F(PrefTest, EveryTruncationKeepsTheSlotsReadAndDefaultsTheRest)
{
  std::string full = int32(50);
  for (int i = 0; i < PrefSlotCount; ++i)
    full += int32(500 + i);
  for (std::size_t len = 0; len <= full.size(); ++len) {
    SCOPED_TRACE(len);
    writeFile("pref", full.substr(0, len));
    gPref.fill(0);
    InitPref();
    LoadPref();
    auto expected = defaults();
    const int whole = len < 4 ? 0 : static_cast<int>((len - 4) / 4);
    for (int i = 0; i < whole; ++i)
      expected[i] = 500 + i;
    ASSERT_EQ(gPref, expected);
  }
  EXPECT_EQ(messageCount(), 0u);
}

// Nothing makes the folder again behind the user's back; one box names
// the one file whose changes are lost.
TEST_F(PrefTest, FolderRemovedDuringTheRunMeansNothingWrittenAtQuit)
{
  InitPref();
  LoadPref();
  if (!LoadFileType())
    InitFileType();
  LoadSet();
  std::filesystem::remove_all(folderPath());
  gDataset.push_back({true, "n", "a", "u", "p", "/", "yes", "/tmp", "up", "0"});
  CloseApp();
  EXPECT_FALSE(std::filesystem::exists(folderPath()));
  ASSERT_EQ(messageCount(), 1u);
  const std::string told = ModalRecorder::Requests()[0].message;
  EXPECT_NE(told.find("\"" + filePath("dataset") + "\""), std::string::npos) << told;
  EXPECT_EQ(told.find(filePath("pref")), std::string::npos) << told;
  EXPECT_EQ(told.find(filePath("filetype.txt")), std::string::npos) << told;
}

TEST_F(PrefTest, UnwritablePrefIsReportedOnceNamingItAndLeftAlone)
{
  // A folder in the way cannot be replaced, even by root.
  makeFolder();
  mkdir(filePath("pref").c_str(), 0700);
  writeFile("pref/keep", "x");
  InitPref();
  SavePref();
  ASSERT_EQ(messageCount(), 1u);
  EXPECT_NE(ModalRecorder::Requests()[0].message.find(filePath("pref")), std::string::npos);
  EXPECT_EQ(readFile("pref/keep"), "x");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folderPath()), {}), 1);
}
