// The settings folder as a user may find it: missing on a fresh account,
// unusable (left root's by a run under sudo, a link to a drive not
// mounted, a file in its place), read-only, or on a full disk. Each case
// runs the program twice or more on the same folder, as an ordinary user.
#include "AppFixture.h"

#include "app/MenuBar1.h"
#include "profiles/PrefDlg.h"

#include "AsNobody.h"
#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr const char* Folder = "Quillmere初期設定";
constexpr const char* MissingPrefText = "初期設定ファイルがありません。デフォルトの設定で起動します。";

std::string int32(std::int32_t v)
{
  const auto u = static_cast<std::uint32_t>(v);
  return {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8), static_cast<char>(u)};
}

std::string pstr(const std::string& s)
{
  return std::string(1, static_cast<char>(s.size())) + s;
}

// One profile as "dataset" stores it.
std::string profileBytes(const std::string& name)
{
  return pstr(name) + pstr("ftp.example.com") + pstr("u") + pstr("p") + pstr("/www") + pstr("yes") + int32(4) +
         "/tmp" + pstr("up") + pstr("0");
}

// "pref" with every slot at its default but 同期前に確認 off.
std::string prefBytes()
{
  std::string pref = int32(50);
  for (int i = 0; i < PrefSlotCount; ++i)
    pref += int32(i >= 10 && i <= 19 && i != PrefConfirmSync ? 1 : 0);
  return pref;
}

std::string readFile(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes)
{
  std::ofstream(path, std::ios::binary) << bytes;
}

// The boxes shown, leaving out the folder chooser.
std::vector<std::string> boxes()
{
  std::vector<std::string> shown;
  for (const ModalRequest& r : ModalRecorder::Requests())
    if (r.kind == ModalKind::MessageBox || r.kind == ModalKind::MessageDialog)
      shown.push_back(r.message);
  return shown;
}

std::string told()
{
  std::string all;
  for (const std::string& box : boxes())
    all += "[" + box + "]\n";
  return all;
}

bool names(const std::string& box, const std::string& path)
{
  return box.find("\"" + path + "\"") != std::string::npos;
}

// Every entry under root as it stands: type, mode, owner, link target or
// bytes.
std::string treeOf(const std::string& root)
{
  std::string all;
  for (const auto& e : std::filesystem::recursive_directory_iterator(
           root, std::filesystem::directory_options::skip_permission_denied)) {
    struct stat st {};
    ::lstat(e.path().c_str(), &st);
    all += e.path().string() + " " + std::to_string(st.st_mode) + " " + std::to_string(st.st_uid);
    if (e.is_symlink())
      all += " -> " + std::filesystem::read_symlink(e.path()).string();
    else if (e.is_regular_file())
      all += " " + readFile(e.path().string());
    all += "\n";
  }
  return all;
}

void mkdirOwned(const std::string& path, unsigned mode, uid_t uid)
{
  ASSERT_EQ(::mkdir(path.c_str(), mode), 0) << path;
  ASSERT_EQ(::chown(path.c_str(), uid, uid == 0 ? 0 : kNogroup), 0);
  ::chmod(path.c_str(), mode);
}
} // namespace

class SettingsFolderRun : public AppFixture {
protected:
  void start()
  {
    gDataset.clear();
    gFileType.clear();
    gPref.fill(0);
    ModalRecorder::Clear();
    app = std::make_unique<App>();
    StartUp();
  }
  // Ctrl+Q.
  void quit()
  {
    ModalRecorder::Clear();
    w->GetMenuBar()->Lookup("FileQuit")->Choose();
    EXPECT_TRUE(app->Quitting());
    ProcessPendingEvents(50);
    app.reset();
    w = nullptr;
  }
  // ＋, the fields, 保存.
  void makeProfile(const std::string& name)
  {
    ModalRecorder::Clear();
    w->ListBox1.SetListIndex(-1);
    w->BevelButton1.Push();
    w->EditField7.SetText(name);
    w->EditField1.SetText("ftp.example.com");
    w->EditField2.SetText("user");
    ModalRecorder::PushPath("/tmp");
    w->BevelButton4.Push();
    w->BevelButton5.Push();
  }
  void turnConfirmOff()
  {
    ModalRecorder::Clear();
    TurnConfirmOffInPreferences();
  }
};

// How the settings folder comes to be unusable, or missing on a fresh
// account. make builds it under base, as root, for nobody's home base/h;
// xdg is XDG_CONFIG_HOME under base, or empty for ~/.config.
struct FolderCase {
  const char* name;
  void (*make)(const std::string& base);
  const char* xdg;
  std::string (*reason)(const std::string& base); // nullptr: the folder can be used
};

void PrintTo(const FolderCase& c, std::ostream* os)
{
  *os << c.name;
}

class UnusableSettingsFolder : public SettingsFolderRun, public ::testing::WithParamInterface<FolderCase> {};

// One box at start names the folder, the system's reason and that changes
// cannot be saved; 保存 and Ctrl+Q say the changes were not saved, in one
// box each, never for the type table; nothing outside the folder is made,
// replaced or removed. A fresh account gets no box and keeps its profile.
TEST_P(UnusableSettingsFolder, IsNamedAtStartAndAtEachSaveAndNothingElseIsTouched)
{
  const FolderCase& c = GetParam();
  TempDir base;
  ::chmod(base.Path().c_str(), 0755);
  const std::string home = base / "h";
  mkdirOwned(home, 0700, kNobody);
  c.make(base.Path());
  const std::string folder = (*c.xdg ? base / c.xdg : home + "/.config") + "/" + Folder;
  const bool usable = c.reason == nullptr;
  const std::string reason = usable ? "" : c.reason(base.Path());
  const std::string before = treeOf(base.Path());
  RunAsNobody([&] {
    ::setenv("HOME", home.c_str(), 1);
    if (*c.xdg)
      ::setenv("XDG_CONFIG_HOME", (base / c.xdg).c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
    for (int run = 1; run <= 2; ++run) {
      SCOPED_TRACE(run);
      start();
      if (usable) {
        EXPECT_TRUE(boxes().empty()) << told();
      } else {
        ASSERT_EQ(boxes().size(), 1u) << told();
        const std::string box = boxes()[0];
        EXPECT_TRUE(names(boxes()[0], folder)) << box;
        EXPECT_NE(box.find("(" + reason + ")"), std::string::npos) << box;
        EXPECT_NE(box.find("cannot be saved"), std::string::npos) << box;
        EXPECT_EQ(ModalRecorder::Count(MissingPrefText), 0);
      }
      ASSERT_EQ(w->ListBox1.ListCount(), usable && run == 2 ? 1 : 0);
      if (run == 2) {
        EXPECT_EQ(gPref[PrefConfirmSync], usable ? 0 : 1);
        quit();
        EXPECT_TRUE(boxes().empty()) << told(); // nothing changed
        continue;
      }
      makeProfile("site");
      if (!usable) {
        ASSERT_EQ(boxes().size(), 1u) << told();
        EXPECT_TRUE(names(boxes()[0], folder + "/dataset")) << told();
        EXPECT_NE(told().find("were not saved"), std::string::npos) << told();
      }
      turnConfirmOff();
      if (!usable) {
        ASSERT_EQ(boxes().size(), 1u) << told();
        EXPECT_TRUE(names(boxes()[0], folder + "/pref")) << told();
      }
      quit();
      if (usable) {
        EXPECT_TRUE(boxes().empty()) << told();
      } else {
        ASSERT_EQ(boxes().size(), 1u) << told();
        EXPECT_TRUE(names(boxes()[0], folder + "/pref")) << told();
        EXPECT_TRUE(names(boxes()[0], folder + "/dataset")) << told();
        EXPECT_FALSE(names(boxes()[0], folder + "/filetype.txt")) << told();
      }
    }
  });
  if (usable) {
    struct stat config {}, made {};
    ASSERT_EQ(::stat((home + "/.config").c_str(), &config), 0);
    ASSERT_EQ(::stat(folder.c_str(), &made), 0);
    EXPECT_EQ(config.st_mode & 07777, 0700u);
    EXPECT_EQ(made.st_mode & 07777, 0700u);
  } else {
    EXPECT_EQ(treeOf(base.Path()), before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, UnusableSettingsFolder,
    ::testing::Values(
        FolderCase{"FreshAccount", [](const std::string&) {}, "", nullptr},
        FolderCase{"ConfigOfRoot", [](const std::string& b) { mkdirOwned(b + "/h/.config", 0755, 0); }, "",
                   [](const std::string&) { return std::string("Permission denied"); }},
        FolderCase{"ConfigOfRootClosed", [](const std::string& b) { mkdirOwned(b + "/h/.config", 0700, 0); }, "",
                   [](const std::string&) { return std::string("Permission denied"); }},
        FolderCase{"ConfigLinkToDriveNotMounted",
                   [](const std::string& b) {
                     mkdirOwned(b + "/h/drive", 0700, kNobody);
                     ASSERT_EQ(::symlink((b + "/h/drive/config").c_str(), (b + "/h/.config").c_str()), 0);
                   },
                   "",
                   [](const std::string& b) {
                     return "\"" + b + "/h/.config\" is a link to \"" + b + "/h/drive/config\": No such file or directory";
                   }},
        FolderCase{"FolderLinkToDriveNotMounted",
                   [](const std::string& b) {
                     mkdirOwned(b + "/h/drive", 0700, kNobody);
                     mkdirOwned(b + "/h/.config", 0700, kNobody);
                     ASSERT_EQ(::symlink((b + "/h/drive/settings").c_str(), (b + "/h/.config/" + Folder).c_str()), 0);
                   },
                   "",
                   [](const std::string& b) {
                     return "\"" + b + "/h/.config/" + Folder + "\" is a link to \"" + b +
                            "/h/drive/settings\": No such file or directory";
                   }},
        FolderCase{"XdgConfigHomeOfRoot", [](const std::string& b) { mkdirOwned(b + "/xdg", 0755, 0); }, "xdg",
                   [](const std::string&) { return std::string("Permission denied"); }},
        FolderCase{"FileInItsPlace",
                   [](const std::string& b) {
                     mkdirOwned(b + "/h/.config", 0700, kNobody);
                     const std::string file = b + "/h/.config/" + Folder;
                     writeFile(file, "my notes");
                     ASSERT_EQ(::chown(file.c_str(), kNobody, kNogroup), 0);
                   },
                   "", [](const std::string&) { return std::string("Not a directory"); }}),
    [](const auto& info) { return std::string(info.param.name); });

// A settings folder the user may read but not write: its settings are used
// and it is named at start; a quit that loses nothing says nothing, one
// that loses a profile names "dataset" alone.
TEST_F(SettingsFolderRun, ReadOnlyFolderIsUsedAndOnlyALossIsToldAtQuit)
{
  TempDir base;
  ::chmod(base.Path().c_str(), 0755);
  const std::string folder = base / Folder;
  mkdirOwned(folder, 0700, kNobody);
  const std::vector<std::pair<std::string, std::string>> files{
      {"pref", prefBytes()}, {"dataset", int32(0) + profileBytes("kept")}, {"filetype.txt", "txt\tA\n"}};
  for (const auto& [name, bytes] : files) {
    writeFile(folder + "/" + name, bytes);
    ASSERT_EQ(::chown((folder + "/" + name).c_str(), kNobody, kNogroup), 0);
    ::chmod((folder + "/" + name).c_str(), 0600);
  }
  ::chmod(folder.c_str(), 0500);
  const std::string before = treeOf(base.Path());
  RunAsNobody([&] {
    ::setenv("XDG_CONFIG_HOME", base.Path().c_str(), 1);
    for (int run = 1; run <= 3; ++run) {
      SCOPED_TRACE(run);
      start();
      ASSERT_EQ(boxes().size(), 1u) << told();
      EXPECT_TRUE(names(boxes()[0], folder)) << told();
      EXPECT_NE(told().find("(Permission denied)"), std::string::npos) << told();
      ASSERT_EQ(w->ListBox1.ListCount(), 1);
      EXPECT_EQ(w->ListBox1.Cell(0, 0), "kept");
      EXPECT_EQ(gPref[PrefConfirmSync], 0);
      EXPECT_EQ(gFileType.size(), 1u);
      if (run == 2) {
        makeProfile("new");
        ASSERT_EQ(boxes().size(), 1u) << told();
        EXPECT_TRUE(names(boxes()[0], folder + "/dataset")) << told();
      }
      w->SetBounds(w->Left() + 40, w->Top() + 30, 900, 700); // a moved window is no loss
      w->Event_Moved();
      w->Event_Resized();
      quit();
      if (run == 2) {
        ASSERT_EQ(boxes().size(), 1u) << told();
        EXPECT_TRUE(names(boxes()[0], folder + "/dataset")) << told();
        EXPECT_FALSE(names(boxes()[0], folder + "/pref")) << told();
        EXPECT_FALSE(names(boxes()[0], folder + "/filetype.txt")) << told();
      } else {
        EXPECT_TRUE(boxes().empty()) << told();
      }
    }
  });
  EXPECT_EQ(treeOf(base.Path()), before);
}

// How much room the full disk has left when the user saves.
enum class Room { None, ForTheCopyOnly };

class FullDisk : public SettingsFolderRun, public ::testing::WithParamInterface<Room> {};

// A damaged "dataset" on a small full tmpfs (a private mount): 保存 cannot
// write the new file, so the damaged one stays under its name, whole, and
// the box says so; the next start shows its profiles. Once there is room,
// 保存 keeps the damaged bytes as "dataset.bad" and writes the new file.
TEST_P(FullDisk, DamagedDatasetStaysUntilAWholeNewOneReplacesIt)
{
  TempDir mountPoint;
  const pid_t child = ForkForWindows();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", mountPoint.Path().c_str(), "tmpfs", 0, "size=256k,mode=0755") != 0)
      std::_Exit(77);
    const std::string config = mountPoint / "config";
    const std::string folder = config + "/" + Folder;
    ::mkdir(config.c_str(), 0700);
    ::mkdir(folder.c_str(), 0700);
    const std::string damaged = int32(5) + profileBytes("whole"); // counts profiles the file lacks
    writeFile(folder + "/dataset", damaged);
    writeFile(folder + "/pref", prefBytes());
    writeFile(folder + "/filetype.txt", "txt\tA\n");
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    // Fill the disk page by page, then give back what the case leaves.
    const std::string fill = mountPoint / "fill";
    ::mkdir(fill.c_str(), 0700);
    const std::string page(4096, 'f');
    std::vector<std::string> fillers;
    for (int i = 0;; ++i) {
      const std::string name = fill + "/" + std::to_string(i);
      const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT, 0600);
      const bool whole = fd >= 0 && ::write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size());
      ::close(fd);
      if (!whole)
        break;
      fillers.push_back(name);
    }
    if (GetParam() == Room::ForTheCopyOnly) {
      ::unlink(fillers.back().c_str());
      fillers.pop_back();
    }
    // Run as a body of its own: a failed assertion must not return into
    // the parent's tests.
    [&] {
      const auto leftAlone = [&] {
        EXPECT_EQ(readFile(folder + "/dataset"), damaged);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 3) << "a copy or part left behind";
      };

      start();
      EXPECT_TRUE(boxes().empty()) << told();
      ASSERT_EQ(w->ListBox1.ListCount(), 1);
      makeProfile("new");
      ASSERT_EQ(boxes().size(), 1u) << told();
      const std::string box = boxes()[0];
      EXPECT_TRUE(names(boxes()[0], folder + "/dataset")) << box;
      EXPECT_NE(box.find("left as it was"), std::string::npos) << box;
      EXPECT_NE(box.find("were not saved"), std::string::npos) << box;
      EXPECT_EQ(box.find("kept"), std::string::npos) << box;
      leftAlone();
      quit();
      EXPECT_EQ(boxes().size(), 1u) << told();
      leftAlone();

      start();
      EXPECT_TRUE(boxes().empty()) << told();
      ASSERT_EQ(w->ListBox1.ListCount(), 1);
      EXPECT_EQ(w->ListBox1.Cell(0, 0), "whole");
      for (const std::string& name : fillers)
        ::unlink(name.c_str());
      makeProfile("new");
      EXPECT_TRUE(boxes().empty()) << told();
      EXPECT_EQ(readFile(folder + "/dataset.bad"), damaged);
      quit();

      start();
      ASSERT_EQ(w->ListBox1.ListCount(), 2);
      EXPECT_EQ(w->ListBox1.Cell(0, 0), "whole");
      EXPECT_EQ(w->ListBox1.Cell(1, 0), "new");
      quit();
    }();
    std::fflush(nullptr);
    std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
    GTEST_SKIP() << "no private mount namespace here (needs root)";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
}

INSTANTIATE_TEST_SUITE_P(Rooms, FullDisk, ::testing::Values(Room::None, Room::ForTheCopyOnly),
                         [](const auto& info) { return std::string(info.param == Room::None ? "None" : "ForTheCopyOnly"); });
