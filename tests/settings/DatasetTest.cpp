#include "SettingsFixture.h"

#include "NoLinkFileSystem.h"

#include "settings/UntrustedUploads.h"

#include <filesystem>
#include <optional>

namespace {
Dataset profile(const std::string& name, const std::string& path = "/home/u/site")
{
  return {true, name, "ftp.example.com", "user", "secret", "/www", "yes", path, "sync", "9"};
}
} // namespace

class DatasetTest : public SettingsTest {
protected:
  static std::string bytesOf(const Dataset& d)
  {
    return pstr(d.Name) + pstr(d.Adrs) + pstr(d.User) + pstr(d.Pass) + pstr(d.rDir) + pstr(d.Pasv) +
           int32(static_cast<std::int32_t>(d.Path.size())) + d.Path + pstr(d.Mode) + pstr(d.Zone);
  }
  std::vector<Dataset> loadFrom(const std::string& bytes)
  {
    writeFile("dataset", bytes);
    gDataset.clear();
    LoadSet();
    return gDataset;
  }
};

TEST_F(DatasetTest, NoProfileInUseWritesOnlyMinusOne)
{
  makeFolder();
  gDataset.push_back(profile("gone"));
  gDataset[0].Eflg = false;
  SaveSet();
  EXPECT_EQ(readFile("dataset"), int32(-1));
  EXPECT_EQ(modeOf(filePath("dataset")), 0600u);
  EXPECT_TRUE(loadFrom(readFile("dataset")).empty());
  EXPECT_FALSE(fileExists("dataset.bad"));
  EXPECT_EQ(messageCount(), 0u);
}

TEST_F(DatasetTest, SmallestExampleIs28Bytes)
{
  makeFolder();
  gDataset.push_back({true, "n", "a", "u", "", "r", "yes", "/p", "up", "0"});
  SaveSet();
  const std::string expected =
      int32(0) + pstr("n") + pstr("a") + pstr("u") + std::string(1, '\0') + pstr("r") + pstr("yes") + int32(2) +
      "/p" + pstr("up") + pstr("0");
  EXPECT_EQ(readFile("dataset"), expected);
  EXPECT_EQ(readFile("dataset").size(), 28u);
}

TEST_F(DatasetTest, DeletedProfilesAreDroppedAndTheRestReadBackInOrder)
{
  makeFolder();
  gDataset = {profile("one"), profile("二つ目"), profile("three", std::string(300, 'p'))};
  gDataset[1].Eflg = false;
  gDataset.push_back(profile("added"));
  SaveSet();
  EXPECT_EQ(readFile("dataset"),
            int32(2) + bytesOf(gDataset[0]) + bytesOf(gDataset[2]) + bytesOf(gDataset[3]));
  const std::vector<Dataset> expected{gDataset[0], gDataset[2], gDataset[3]};
  EXPECT_EQ(loadFrom(readFile("dataset")), expected);
}

TEST_F(DatasetTest, OverlongFieldIsCutAtACharacterAndLaterFieldsStayInPlace)
{
  makeFolder();
  std::string longName;
  for (int i = 0; i < 100; ++i)
    longName += "名"; // 300 bytes
  Dataset d = profile(longName);
  d.User = std::string(256, 'u');
  gDataset.push_back(d);
  SaveSet();
  const auto read = loadFrom(readFile("dataset"));
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].Name, longName.substr(0, 255));
  EXPECT_EQ(read[0].User, std::string(255, 'u'));
  EXPECT_EQ(read[0].Pass, "secret");
  EXPECT_EQ(read[0].Zone, "9");
}

TEST_F(DatasetTest, EveryTruncationYieldsTheCompleteProfilesAndKeepsTheFile)
{
  const std::string first = bytesOf(profile("first"));
  const std::string second = bytesOf(profile("second"));
  const std::string full = int32(1) + first + second;
  for (std::size_t len = 0; len < full.size(); ++len) {
    SCOPED_TRACE(len);
    const std::string cut = full.substr(0, len);
    const auto read = loadFrom(cut);
    const std::size_t complete = len >= 4 + first.size() ? 1 : 0;
    ASSERT_EQ(read.size(), complete);
    SaveSet();
    ASSERT_EQ(readFile("dataset.bad"), cut);
    ASSERT_EQ(readFile("dataset"), int32(static_cast<std::int32_t>(complete) - 1) + (complete ? first : ""));
    std::filesystem::remove(filePath("dataset.bad"));
  }
  EXPECT_EQ(messageCount(), 0u);
}

struct DamageCase {
  const char* what;
  std::string bytes;
  std::size_t profiles;
};
void PrintTo(const DamageCase& c, std::ostream* os)
{
  *os << c.what;
}

class DatasetDamage : public DatasetTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DatasetDamage, GivesTheProfilesBeforeTheDamageAndKeepsTheFileAsBad)
{
  EXPECT_EQ(loadFrom(GetParam().bytes).size(), GetParam().profiles);
  SaveSet();
  EXPECT_EQ(readFile("dataset.bad"), GetParam().bytes);
  EXPECT_EQ(loadFrom(readFile("dataset")).size(), GetParam().profiles);
  EXPECT_EQ(messageCount(), 0u);
}

namespace {
std::string withPathLength(std::int32_t len)
{
  return SettingsTest::pstr("n") + SettingsTest::pstr("a") + SettingsTest::pstr("u") + SettingsTest::pstr("p") +
         SettingsTest::pstr("r") + SettingsTest::pstr("no") + SettingsTest::int32(len) + "/x" +
         SettingsTest::pstr("up") + SettingsTest::pstr("0");
}
const std::string one = withPathLength(2);
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Files, DatasetDamage,
    ::testing::Values(DamageCase{"huge count", SettingsTest::int32(2147483647) + one, 1},
                      DamageCase{"count above the bytes", SettingsTest::int32(5) + one, 1},
                      DamageCase{"count below -1", SettingsTest::int32(-2) + one, 0},
                      DamageCase{"most negative count", SettingsTest::int32(-2147483647 - 1), 0},
                      DamageCase{"negative path length", SettingsTest::int32(1) + one + withPathLength(-1), 1},
                      DamageCase{"huge path length", SettingsTest::int32(1) + one + withPathLength(2147483647), 1},
                      DamageCase{"bytes after the last profile", SettingsTest::int32(0) + one + one, 1},
                      DamageCase{"short count", std::string("\xff\xff", 2), 0}));

class DamagedKeptAside : public DatasetTest, public ::testing::WithParamInterface<bool> {};

// A copy kept aside may hold the only bytes left of some profiles: one
// kept later never takes its name, also on a file system without hard
// links or an exclusive rename.
TEST_P(DamagedKeptAside, NeverReplacesAnEarlierCopy)
{
  std::optional<NoLinkFileSystem> withoutLinks;
  if (GetParam())
    withoutLinks.emplace();
  const std::vector<std::string> damaged{int32(5) + bytesOf(profile("a")), int32(-2),
                                         int32(0) + bytesOf(profile("c")) + "x"};
  for (const std::string& bytes : damaged) {
    loadFrom(bytes);
    SaveSet();
  }
  EXPECT_EQ(readFile("dataset.bad"), damaged[0]);
  EXPECT_EQ(readFile("dataset.bad.1"), damaged[1]);
  EXPECT_EQ(readFile("dataset.bad.2"), damaged[2]);
  EXPECT_EQ(loadFrom(readFile("dataset")), std::vector<Dataset>{profile("c")});
  EXPECT_EQ(messageCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(FileSystems, DamagedKeptAside, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "WithoutLinks" : "Ordinary"); });

TEST_F(DatasetTest, SoundFileIsReplacedWithoutABadCopy)
{
  writeFile("dataset", int32(0) + bytesOf(profile("a")));
  LoadSet();
  gDataset.push_back(profile("b"));
  SaveSet();
  EXPECT_FALSE(fileExists("dataset.bad"));
  EXPECT_EQ(loadFrom(readFile("dataset")).size(), 2u);
}

TEST_F(DatasetTest, MissingFolderAtStartIsCreatedAndMissingAtQuitWritesNothing)
{
  LoadSet();
  EXPECT_TRUE(gDataset.empty());
  EXPECT_EQ(modeOf(folderPath()), 0700u);
  std::filesystem::remove_all(folderPath());
  gDataset.push_back(profile("a"));
  SaveSet();
  EXPECT_FALSE(std::filesystem::exists(folderPath()));
  EXPECT_EQ(messageCount(), 1u); // the profile is not saved
}

// A server file left untrusted on one server and account never ticks a
// file of the same path on another; what is written down reads back byte
// for byte, whatever the path holds, and a settled one is gone.
TEST_F(SettingsTest, UntrustedUploadsStayWithTheirServerAndAccount)
{
  const std::string odd = "/www/50% off\tnow\r\n.html";
  UntrustedUploads mine("ftp.example.com", "user");
  ASSERT_TRUE(mine.Add({"/www/a.html", odd}));
  ASSERT_TRUE(UntrustedUploads("ftp.example.com", "other").Add({"/www/b.html"}));
  ASSERT_TRUE(UntrustedUploads("ftp.example.org", "user").Add({"/www/c.html"}));
  EXPECT_EQ(UntrustedUploads("ftp.example.com", "user").Paths(), (std::set<std::string>{"/www/a.html", odd}));
  mine.Remove("/www/a.html");
  mine.Flush();
  EXPECT_EQ(UntrustedUploads("ftp.example.com", "user").Paths(), std::set<std::string>{odd});
  EXPECT_EQ(UntrustedUploads("ftp.example.org", "user").Paths(), std::set<std::string>{"/www/c.html"});
  EXPECT_EQ(modeOf(folderPath() + "/untrusted"), 0600u);
}

// Without a settings folder to write the record in, nothing may go up, and
// the box says that, not only that a file could not be saved; the file in
// the folder's place is left as it is.
TEST_F(SettingsTest, UntrustedUploadsThatCannotBeWrittenDownSendNothingAndSaySo)
{
  mkdir((dir_ / "config").c_str(), 0700);
  dir_.Write("config/Quillmere初期設定", "in the way");
  EXPECT_FALSE(UntrustedUploads("ftp.example.com", "user").Add({"/www/a.html"}));
  ASSERT_EQ(messageCount(), 1u);
  EXPECT_NE(ModalRecorder::Requests()[0].message.find("so nothing was uploaded"), std::string::npos)
      << ModalRecorder::Requests()[0].message;
  EXPECT_EQ(dir_.Read("config/Quillmere初期設定"), "in the way");
}

// The record is found whatever way its server is typed: in other letter
// case or with a trailing dot, or as another name of the address the
// connection reached; a line written before addresses were kept is found
// by its name. A line of another version is kept as it is, and another
// account at that address keeps its own.
TEST_F(SettingsTest, UntrustedUploadsFindTheirServerUnderAnySpelling)
{
  const std::string later = "a line\tof\tsome\tlater\tversion";
  writeFile("untrusted", "FTP.Example.COM.\tuser\t/www/old.html\n" + later +
                             "\nftp.example.com\tother\t/www/theirs.html\t192.0.2.7\n");
  UntrustedUploads byName("ftp.example.com", "user");
  EXPECT_EQ(byName.Paths(), std::set<std::string>{"/www/old.html"});
  byName.Reached("192.0.2.7");
  ASSERT_TRUE(byName.Add({"/www/new.html"}));
  UntrustedUploads byAddress("192.0.2.7", "user");
  byAddress.Reached("192.0.2.7");
  EXPECT_EQ(byAddress.Paths(), (std::set<std::string>{"/www/new.html", "/www/old.html"}));
  byAddress.Remove("/www/new.html");
  byAddress.Remove("/www/old.html");
  byAddress.Flush();
  EXPECT_TRUE(UntrustedUploads("ftp.example.com", "user").Paths().empty());
  EXPECT_EQ(UntrustedUploads("ftp.example.com", "other").Paths(), std::set<std::string>{"/www/theirs.html"});
  EXPECT_NE(readFile("untrusted").find(later + "\n"), std::string::npos) << readFile("untrusted");
}
