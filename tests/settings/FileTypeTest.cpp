#include "SettingsFixture.h"

#include <filesystem>

namespace {
const std::string DefaultFile =
    "html\tA\nhtm\tA\nshtml\tA\nphp\tA\ncss\tA\ntxt\tA\nxml\tA\nrdf\tA\nexp\tA\njs\tA\n"
    "jpg\tI\ngif\tI\npng\tI\nsit\tI\nbin\tI\nzip\tI\ndmg\tI\nlzh\tI\ngz\tI\n";
} // namespace

using FileTypeTest = SettingsTest;

TEST_F(FileTypeTest, FirstStartGivesTheNineteenDefaultsWrittenAtQuit)
{
  EXPECT_FALSE(LoadFileType());
  InitFileType();
  ASSERT_EQ(gFileType.size(), 19u);
  EXPECT_EQ(gFileType.front(), (FileTypeEntry{"html", "A"}));
  EXPECT_EQ(gFileType.back(), (FileTypeEntry{"gz", "I"}));
  SaveFileType();
  EXPECT_EQ(readFile("filetype.txt"), DefaultFile);
  EXPECT_EQ(modeOf(filePath("filetype.txt")), 0600u);
  const auto saved = gFileType;
  gFileType.clear();
  EXPECT_TRUE(LoadFileType());
  EXPECT_EQ(gFileType, saved);
}

struct TableCase {
  const char* what;
  std::string file;
  std::vector<FileTypeEntry> entries;
  std::string savedAs;
};
void PrintTo(const TableCase& c, std::ostream* os)
{
  *os << c.what;
}

class FileTypeRead : public SettingsTest, public ::testing::WithParamInterface<TableCase> {};

TEST_P(FileTypeRead, FileReplacesTheDefaultsAndWritesBackAsRead)
{
  writeFile("filetype.txt", GetParam().file);
  EXPECT_TRUE(LoadFileType());
  EXPECT_EQ(gFileType, GetParam().entries);
  SaveFileType();
  EXPECT_EQ(readFile("filetype.txt"), GetParam().savedAs);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileTypeRead,
    ::testing::Values(
        TableCase{"three lines", "a\tA\nb\tI\nc\tA\n", {{"a", "A"}, {"b", "I"}, {"c", "A"}}, "a\tA\nb\tI\nc\tA\n"},
        TableCase{"no tab", "txt\n", {{"txt", ""}}, "txt\t\n"},
        TableCase{"two tabs", "c\tA\tx\n", {{"c", "A"}}, "c\tA\n"},
        TableCase{"duplicates and case kept", "JPG\tI\njpg\tA\n", {{"JPG", "I"}, {"jpg", "A"}}, "JPG\tI\njpg\tA\n"},
        TableCase{"empty line", "a\tA\n\nb\tI\n", {{"a", "A"}, {"", ""}, {"b", "I"}}, "a\tA\n\t\nb\tI\n"},
        TableCase{"crlf", "a\tA\r\nb\tI\r\n", {{"a", "A"}, {"b", "I"}}, "a\tA\nb\tI\n"},
        TableCase{"cr", "a\tA\rb\tI\r", {{"a", "A"}, {"b", "I"}}, "a\tA\nb\tI\n"},
        TableCase{"mixed, last line open", "a\tA\rb\tI\r\nc\tA\nd\tI", {{"a", "A"}, {"b", "I"}, {"c", "A"}, {"d", "I"}},
                  "a\tA\nb\tI\nc\tA\nd\tI\n"}));

TEST_F(FileTypeTest, EmptyFileGivesTheDefaults)
{
  writeFile("filetype.txt", "");
  EXPECT_FALSE(LoadFileType());
}

TEST_F(FileTypeTest, EmptyTableWritesNothing)
{
  writeFile("filetype.txt", "keep\tA\n");
  SaveFileType();
  EXPECT_EQ(readFile("filetype.txt"), "keep\tA\n");
}

TEST_F(FileTypeTest, UnreadableFileGivesDefaultsWithABoxButIsNotOverwritten)
{
  makeFolder();
  mkdir(filePath("filetype.txt").c_str(), 0700); // exists, cannot be read as a file
  EXPECT_FALSE(LoadFileType());
  InitFileType();
  TellUnreadableSettings();
  ASSERT_EQ(messageCount(), 1u);
  const std::string told = ModalRecorder::Requests()[0].message;
  EXPECT_NE(told.find("\"" + filePath("filetype.txt") + "\""), std::string::npos) << told;
  EXPECT_NE(told.find("default transfer types"), std::string::npos) << told;
  SaveFileType();
  EXPECT_TRUE(std::filesystem::is_directory(filePath("filetype.txt")));
  EXPECT_EQ(messageCount(), 1u);
}
