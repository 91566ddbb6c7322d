#include "framework/AtomicFile.h"
#include "framework/BinaryStream.h"
#include "framework/FolderItem.h"
#include "framework/TextStream.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <vector>

TEST(BinaryStream, Int32IsBigEndianAndSigned)
{
  TempDir dir;
  {
    auto out = FolderItem(dir / "b").CreateBinaryFile();
    ASSERT_TRUE(out);
    out->WriteInt32(50);
    out->WriteInt32(-2);
    EXPECT_TRUE(out->Close());
  }
  EXPECT_EQ(dir.Read("b"), std::string("\0\0\0\x32\xff\xff\xff\xfe", 8));
  auto in = FolderItem(dir / "b").OpenAsBinaryFile();
  EXPECT_EQ(in->ReadInt32(), 50);
  EXPECT_EQ(in->ReadInt32(), -2);
  EXPECT_TRUE(in->EOF());
  EXPECT_FALSE(in->ShortRead());
  EXPECT_EQ(in->ReadInt32(), 0);
  EXPECT_TRUE(in->ShortRead());
}

struct CutCase {
  std::string text;
  std::size_t kept;
};
void PrintTo(const CutCase& c, std::ostream* os)
{
  *os << c.text.size() << " bytes";
}

class PStringCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(PStringCut, NeverSplitsACharacterAndKeepsLaterFieldsInPlace)
{
  TempDir dir;
  {
    auto out = FolderItem(dir / "p").CreateBinaryFile();
    out->WritePString(GetParam().text);
    out->WritePString("next");
  }
  auto in = FolderItem(dir / "p").OpenAsBinaryFile();
  EXPECT_EQ(in->ReadPString(), GetParam().text.substr(0, GetParam().kept));
  EXPECT_EQ(in->ReadPString(), "next");
  EXPECT_TRUE(in->EOF());
}

// "あ" is three bytes: 85 of them are 255 bytes, 86 must be cut to 85.
INSTANTIATE_TEST_SUITE_P(Lengths, PStringCut,
                         ::testing::Values(CutCase{"", 0}, CutCase{std::string(255, 'x'), 255},
                                           CutCase{std::string(300, 'x'), 255},
                                           CutCase{[] { std::string s; for (int i = 0; i < 86; ++i) s += "あ"; return s; }(), 255},
                                           CutCase{"x" + [] { std::string s; for (int i = 0; i < 85; ++i) s += "あ"; return s; }(), 253}));

TEST(BinaryStream, ImpossibleLengthsAreShortReadsWithoutAllocation)
{
  TempDir dir;
  dir.Write("huge", std::string("\x7f\xff\xff\xff" "abc", 7));
  auto in = FolderItem(dir / "huge").OpenAsBinaryFile();
  EXPECT_EQ(in->ReadLongString(), "");
  EXPECT_TRUE(in->ShortRead());

  dir.Write("neg", std::string("\xff\xff\xff\xf0", 4));
  auto neg = FolderItem(dir / "neg").OpenAsBinaryFile();
  EXPECT_EQ(neg->ReadLongString(), "");
  EXPECT_TRUE(neg->ShortRead());

  dir.Write("short", std::string("\x05" "ab", 3));
  auto sh = FolderItem(dir / "short").OpenAsBinaryFile();
  EXPECT_EQ(sh->ReadPString(), "ab");
  EXPECT_TRUE(sh->ShortRead());
}

TEST(BinaryStream, ReadsPiecesAndSeesTheEndOfAnEmptyFileAtOnce)
{
  TempDir dir;
  dir.Write("empty", "");
  EXPECT_TRUE(FolderItem(dir / "empty").OpenAsBinaryFile()->EOF());
  dir.Write("f", std::string(4097, 'z'));
  auto in = FolderItem(dir / "f").OpenAsBinaryFile();
  std::vector<std::size_t> pieces;
  while (!in->EOF())
    pieces.push_back(in->Read(2048).size());
  EXPECT_EQ(pieces, (std::vector<std::size_t>{2048, 2048, 1}));
  EXPECT_EQ(in->Length(), 4097);
}

struct LinesCase {
  std::string text;
  std::vector<std::string> lines;
};
void PrintTo(const LinesCase& c, std::ostream* os)
{
  *os << ::testing::PrintToString(c.text);
}

class TextLines : public ::testing::TestWithParam<LinesCase> {};

TEST_P(TextLines, EveryLineEndIsAccepted)
{
  TempDir dir;
  dir.Write("t", GetParam().text);
  auto in = FolderItem(dir / "t").OpenAsTextFile();
  std::vector<std::string> got;
  while (!in->EOF())
    got.push_back(in->ReadLine());
  EXPECT_EQ(got, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, TextLines,
    ::testing::Values(LinesCase{"", {}}, LinesCase{"a", {"a"}}, LinesCase{"a\n", {"a"}}, LinesCase{"a\nb", {"a", "b"}},
                      LinesCase{"a\r\nb\r\n", {"a", "b"}}, LinesCase{"a\rb\r", {"a", "b"}},
                      LinesCase{"a\r\n\r\nb", {"a", "", "b"}}, LinesCase{"a\r\rb", {"a", "", "b"}},
                      LinesCase{"a\n\rb", {"a", "", "b"}}, LinesCase{"\n", {""}}));

TEST(AtomicFile, ReplacesTheFileWithModeSixHundredAndLeavesNoTemporary)
{
  TempDir dir;
  dir.Write("pref", "old");
  {
    AtomicFile file(FolderItem(dir / "pref"));
    ASSERT_NE(file.Binary(), nullptr);
    file.Binary()->WriteInt32(7);
    ASSERT_TRUE(file.Commit());
  }
  EXPECT_EQ(dir.Read("pref"), std::string("\0\0\0\x07", 4));
  struct stat st {};
  ASSERT_EQ(stat((dir / "pref").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(FolderItem(dir.Path()).Count(), 1);
}

TEST(AtomicFile, WithoutCommitTheOldFileStays)
{
  TempDir dir;
  dir.Write("f", "old");
  {
    AtomicFile file(FolderItem(dir / "f"));
    file.Text()->Write("new");
  }
  EXPECT_EQ(dir.Read("f"), "old");
  EXPECT_EQ(FolderItem(dir.Path()).Count(), 1);
}

TEST(AtomicFile, NoTemporaryFileMeansFailureWithAReason)
{
  TempDir dir;
  AtomicFile file(FolderItem(dir / "missing/f"));
  EXPECT_EQ(file.Binary(), nullptr);
  EXPECT_FALSE(file.Commit());
  EXPECT_NE(file.Error().find("No such file"), std::string::npos);
  EXPECT_FALSE(FolderItem(dir / "missing").Exists());
}

TEST(AtomicFile, AFolderInTheWayIsAFailure)
{
  TempDir dir;
  mkdir((dir / "f").c_str(), 0700);
  AtomicFile file(FolderItem(dir / "f"));
  file.Binary()->WriteInt32(1);
  EXPECT_FALSE(file.Commit());
  EXPECT_TRUE(FolderItem(dir / "f").Directory());
  EXPECT_EQ(FolderItem(dir.Path()).Count(), 1);
}
