#include "framework/BinaryStream.h"
#include "framework/FolderItem.h"
#include "framework/TextStream.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <ctime>
#include <chrono>
#include <stdexcept>
#include <thread>

struct CleanCase {
  const char* in;
  const char* out;
};

class CleanPathTest : public ::testing::TestWithParam<CleanCase> {};

TEST_P(CleanPathTest, GivesOneSpelling)
{
  EXPECT_EQ(CleanPath(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Paths, CleanPathTest,
                         ::testing::Values(CleanCase{"/", "/"}, CleanCase{"//", "/"}, CleanCase{"/..", "/"},
                                           CleanCase{"/a//b/./c/../d", "/a/b/d"}, CleanCase{"/a/b/", "/a/b"},
                                           CleanCase{"/a/b/../../..", "/"}, CleanCase{"/a/.b/..c", "/a/.b/..c"}));

TEST(FolderItem, RelativePathsStartAtTheCurrentFolder)
{
  TempDir dir;
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  const std::string got = GetFolderItem("x/../y").NativePath();
  ASSERT_EQ(chdir(old), 0);
  EXPECT_EQ(got, CleanPath(dir / "y"));
}

TEST(FolderItem, FolderPathEndsInExactlyOneSlashAndFilePathInNone)
{
  TempDir dir;
  mkdir((dir / "sub").c_str(), 0755);
  dir.Write("f.txt", "abc");
  EXPECT_EQ(GetFolderItem(dir.Path() + "//sub//").AbsolutePath(), dir / "sub/");
  EXPECT_EQ(GetFolderItem(dir / "f.txt").AbsolutePath(), dir / "f.txt");
  EXPECT_EQ(GetFolderItem("/").AbsolutePath(), "/");
  EXPECT_EQ(GetFolderItem(dir / "sub").Name(), "sub");
  EXPECT_EQ(GetFolderItem(dir / "sub").Child("f").Parent().AbsolutePath(), dir / "sub/");
}

TEST(FolderItem, ItemsCountFromOneInByteOrderWithoutDotEntries)
{
  TempDir dir;
  dir.Write("b", "");
  dir.Write("B", "");
  dir.Write(".hidden", "");
  dir.Write("a.txt", "");
  const FolderItem folder(dir.Path());
  ASSERT_EQ(folder.Count(), 4);
  EXPECT_EQ(folder.Item(1).Name(), ".hidden");
  EXPECT_EQ(folder.Item(2).Name(), "B");
  EXPECT_EQ(folder.Item(3).Name(), "a.txt");
  EXPECT_EQ(folder.Item(4).Name(), "b");
  EXPECT_FALSE(folder.Item(1).Visible());
  EXPECT_TRUE(folder.Item(3).Visible());
  EXPECT_THROW(folder.Item(0), std::out_of_range);
  EXPECT_THROW(folder.Item(5), std::out_of_range);
}

TEST(FolderItem, ItemsStayPutUntilTheNextCount)
{
  TempDir dir;
  dir.Write("a", "");
  dir.Write("c", "");
  const FolderItem folder(dir.Path());
  ASSERT_EQ(folder.Count(), 2);
  dir.Write("b", "");
  EXPECT_EQ(folder.Item(2).Name(), "c");
  ASSERT_EQ(folder.Count(), 3);
  EXPECT_EQ(folder.Item(2).Name(), "b");
}

TEST(FolderItem, LinksAreFollowedAndOddEntriesCanBeSkipped)
{
  TempDir dir;
  mkdir((dir / "real").c_str(), 0755);
  dir.Write("real/f", "12345");
  ASSERT_EQ(symlink((dir / "real").c_str(), (dir / "linkdir").c_str()), 0);
  ASSERT_EQ(symlink((dir / "real/f").c_str(), (dir / "linkfile").c_str()), 0);
  ASSERT_EQ(symlink((dir / "nowhere").c_str(), (dir / "broken").c_str()), 0);
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);

  const FolderItem linkdir(dir / "linkdir");
  EXPECT_TRUE(linkdir.Directory());
  EXPECT_TRUE(linkdir.IsLink());
  EXPECT_EQ(linkdir.AbsolutePath(), dir / "linkdir/"); // not resolved
  EXPECT_EQ(linkdir.Count(), 1);
  EXPECT_EQ(FolderItem(dir / "linkfile").Length(), 5);
  EXPECT_TRUE(FolderItem(dir / "linkfile").IsFileOrFolder());

  const FolderItem broken(dir / "broken");
  EXPECT_FALSE(broken.Exists());
  EXPECT_FALSE(broken.IsFileOrFolder());
  EXPECT_TRUE(FolderItem(dir / "pipe").Exists());
  EXPECT_FALSE(FolderItem(dir / "pipe").IsFileOrFolder());
  EXPECT_EQ(FolderItem(dir / "pipe").Length(), 0);
}

// Opening a pipe for reading would wait for a writer for ever; only regular
// files give streams.
TEST(FolderItem, StreamsOpenOnlyOnRegularFiles)
{
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  // Should an open block, a late writer frees it so the test fails, not hangs.
  std::thread unblock([&dir]() {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const int fd = ::open((dir / "pipe").c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0)
      ::close(fd);
  });
  const FolderItem pipe(dir / "pipe");
  EXPECT_EQ(pipe.OpenAsBinaryFile(false), nullptr);
  EXPECT_EQ(pipe.OpenAsTextFile(), nullptr);
  unblock.join();
  dir.Write("f", "x");
  EXPECT_NE(FolderItem(dir / "f").OpenAsBinaryFile(false), nullptr);
  EXPECT_NE(FolderItem(dir / "f").OpenAsTextFile(), nullptr);
}

TEST(FolderItem, LengthHoldsFilesBeyondFourGigabytes)
{
  TempDir dir;
  dir.Write("big", "");
  if (truncate((dir / "big").c_str(), 5'000'000'000LL) != 0)
    GTEST_SKIP() << "file system refuses a sparse 5 GB file";
  EXPECT_EQ(FolderItem(dir / "big").Length(), 5'000'000'000LL);
  EXPECT_EQ(FolderItem(dir.Path()).Length(), 0);
  EXPECT_EQ(FolderItem(dir / "missing").Length(), 0);
}

TEST(FolderItem, ModificationDateIsLocalAndZeroPadded)
{
  TempDir dir;
  dir.Write("f", "");
  // 2024-03-04 23:07:30 UTC is 2024-03-05 08:07:30 in JST.
  const timeval times[2] = {{1709593650, 0}, {1709593650, 0}};
  ASSERT_EQ(utimes((dir / "f").c_str(), times), 0);
  {
    EnvGuard tz("TZ", "JST-9");
    tzset();
    const Date d = FolderItem(dir / "f").ModificationDate();
    EXPECT_EQ(d.AbbreviatedDate(), "2024/03/05");
    EXPECT_EQ(d.Hour, 8);
    EXPECT_EQ(d.Minute, 7);
    EXPECT_EQ(d.TotalSeconds(), 1709593650);
  }
  tzset();
}

TEST(FolderItem, CreateAsFolderSetsTheModeAndRefusesAnExistingEntry)
{
  TempDir dir;
  const FolderItem sub(dir / "sub");
  ASSERT_TRUE(sub.CreateAsFolder(0700));
  struct stat st {};
  ASSERT_EQ(stat((dir / "sub").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  EXPECT_FALSE(sub.CreateAsFolder(0700));
  EXPECT_TRUE(sub.Delete());
  EXPECT_FALSE(sub.Exists());
}
