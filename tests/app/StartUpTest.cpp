#include "AppFixture.h"

#include "app/MenuBar1.h"

#include "AsNobody.h"
#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

TEST_F(AppFixture, FirstStartKeepsDesignedPlaceAndSize)
{
  StartUp();
  EXPECT_TRUE(app->SettingsLoaded());
  EXPECT_TRUE(w->Visible());
  EXPECT_EQ(w->Title(), "Quillmere");
  EXPECT_EQ(w->Width(), 800);
  EXPECT_EQ(w->Height(), 600);
  EXPECT_EQ(gPref[11], 1);
  EXPECT_EQ(w->ListBox1.ListCount(), 0);
  EXPECT_EQ(w->ListBox1.ColumnWidths(), "100%,0");
  EXPECT_EQ(w->GetMenuBar(), &MenuBar1::Instance());
  EXPECT_EQ(app->GetMenuBar(), &MenuBar1::Instance());
}

TEST_F(AppFixture, ProfileListShowsProfilesInUseWithTheirIndexes)
{
  StartUp();
  gDataset.resize(3);
  gDataset[0].Name = "alpha";
  gDataset[1].Name = "gone";
  gDataset[1].Eflg = false;
  gDataset[2].Name = "<b>gamma</b>";
  w->InitSetlist();
  ASSERT_EQ(w->ListBox1.ListCount(), 2);
  EXPECT_EQ(w->ListBox1.Cell(0, 0), "alpha");
  EXPECT_EQ(w->ListBox1.Cell(0, 1), "0");
  EXPECT_EQ(w->ListBox1.Cell(1, 0), "<b>gamma</b>");
  EXPECT_EQ(w->ListBox1.Cell(1, 1), "2");
  EXPECT_EQ(w->ListBox1.ColumnWidth(1), 0);
}

struct Restore {
  WindowBounds saved;
  WindowBounds expected;
};

class RestoreBounds : public AppFixture, public ::testing::WithParamInterface<Restore> {};

TEST_P(RestoreBounds, SavedSlotsApplyInOneStepAndStayStored)
{
  const Restore& p = GetParam();
  InitPref();
  gPref[1] = p.saved.left;
  gPref[2] = p.saved.top;
  gPref[3] = p.saved.width;
  gPref[4] = p.saved.height;
  Window1& win = Window1::Instance();
  const WindowBounds before{win.Left(), win.Top(), win.Width(), win.Height()};
  app->RestoreWindowBounds();
  win.Show();
  ProcessPendingEvents(50);
  const Window::ScreenArea screen = Window::Screens().at(0);
  EXPECT_EQ(win.Width(), p.expected.width ? p.expected.width : std::min(p.saved.width ? p.saved.width : before.width, screen.width));
  EXPECT_EQ(win.Height(), p.expected.height ? p.expected.height : std::min(p.saved.height ? p.saved.height : before.height, screen.height));
  if (p.expected.left) {
    EXPECT_EQ(win.Left(), p.expected.left);
  }
  if (p.expected.top) {
    EXPECT_EQ(win.Top(), p.expected.top);
  }
  // Shown at that size, the lists are laid out for it.
  EXPECT_EQ(win.remoteListBox.Left(), 210 + (win.Width() - 210) / 2);
  // Showing the window stores nothing over the saved slots.
  EXPECT_EQ(gPref[1], p.saved.left);
  EXPECT_EQ(gPref[2], p.saved.top);
  EXPECT_EQ(gPref[3], p.saved.width);
  EXPECT_EQ(gPref[4], p.saved.height);
}

INSTANTIATE_TEST_SUITE_P(Slots, RestoreBounds,
                         ::testing::Values(Restore{{30, 40, 800, 600}, {30, 40, 800, 600}},
                                           Restore{{0, 40, 0, 0}, {0, 40, 0, 0}},
                                           Restore{{20000, 20000, 0, 0}, {0, 0, 0, 0}},
                                           Restore{{10, 10, 50000, 50000}, {10, 10, 0, 0}}));

TEST(FitSavedBounds, PlaceOffEveryScreenFallsBackAndSizeIsCutToTheScreen)
{
  const std::vector<Window::ScreenArea> screens{{0, 0, 1280, 800}, {1280, 0, 1920, 1080}};
  const WindowBounds current{100, 50, 800, 600};
  auto fit = [&](WindowBounds s) { return FitSavedBounds(s, current, screens); };
  WindowBounds b = fit({1500, 100, 1024, 700});
  EXPECT_EQ(b.left, 1500);
  EXPECT_EQ(b.width, 1024);
  b = fit({5000, 3000, 1024, 700});
  EXPECT_EQ(b.left, 100);
  EXPECT_EQ(b.top, 50);
  b = fit({0, 0, 4000, 4000});
  EXPECT_EQ(b.left, 100);
  EXPECT_EQ(b.width, 1280);
  EXPECT_EQ(b.height, 800);
  b = fit({1300, 10, 4000, 4000});
  EXPECT_EQ(b.width, 1920);
  EXPECT_EQ(b.height, 1080);
}

TEST_F(AppFixture, SlotElevenOffLeavesTheDesignedBoundsAndStoresNothing)
{
  StartUp();
  gPref[11] = 0;
  gPref[3] = 0;
  w->SetWidth(900);
  w->Event_Resized();
  w->Event_Moved();
  EXPECT_EQ(gPref[3], 0);
  EXPECT_EQ(gPref[1], 0);
  gPref[11] = 1;
  w->Event_Resized();
  EXPECT_EQ(gPref[3], 900);
  EXPECT_EQ(gPref[4], 600);
}

TEST_F(AppFixture, ClosingTheMainWindowQuitsAndSavesTheSettingsInOrder)
{
  StartUp();
  const std::string folder = std::string(getenv("XDG_CONFIG_HOME")) + "/Quillmere初期設定/";
  w->UserClose(); // the close button of the last window
  EXPECT_TRUE(app->Quitting());
  EXPECT_EQ(Window1::Current(), nullptr);
  struct stat a{}, b{}, c{};
  ASSERT_EQ(stat((folder + "pref").c_str(), &a), 0);
  ASSERT_EQ(stat((folder + "dataset").c_str(), &b), 0);
  ASSERT_EQ(stat((folder + "filetype.txt").c_str(), &c), 0);
  auto ns = [](const struct stat& s) { return s.st_mtim.tv_sec * 1000000000LL + s.st_mtim.tv_nsec; };
  EXPECT_LE(ns(a), ns(b));
  EXPECT_LE(ns(b), ns(c));
}

// How a settings file comes to be there but unreadable to the user.
struct UnreadableWay {
  const char* name;
  void (*make)(const std::string& path, const std::string& bytes);
};

void PrintTo(const UnreadableWay& w, std::ostream* os)
{
  *os << w.name;
}

class UnreadableSettings : public AppFixture, public ::testing::WithParamInterface<UnreadableWay> {};

// The three settings files there but unreadable (left root's by a run
// under sudo, a link to a drive not mounted, a folder in the way): each
// start says so in one box naming them, and no quit replaces or renames
// them, while changes to profiles and preferences are told to be unsaved,
// in one box.
// As an ordinary user, whose settings folder it is.
TEST_P(UnreadableSettings, SurviveTwoStartsAndQuitsAndAreToldOfOnce)
{
  TempDir config;
  ::chmod(config.Path().c_str(), 0755);
  const std::string folder = config / "Quillmere初期設定";
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(::chown(folder.c_str(), kNobody, kNogroup), 0);
  const std::vector<std::string> names{"pref", "dataset", "filetype.txt"};
  std::string pref("\0\0\0\x32", 4); // slots 0 to 50, slot 12 off
  for (int i = 0; i < PrefSlotCount; ++i)
    pref += std::string("\0\0\0", 3) + (i == PrefConfirmSync ? '\0' : '\1');
  GetParam().make(folder + "/pref", pref);
  const char dataset[] = "\0\0\0\0\1n\1a\1u\4pass\1/\3yes\0\0\0\2/p\2up\1" "0"; // one profile
  GetParam().make(folder + "/dataset", std::string(dataset, sizeof dataset - 1));
  GetParam().make(folder + "/filetype.txt", "txt\tI\n");
  const auto state = [&] {
    std::string all;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      struct stat st {};
      ::lstat(e.path().c_str(), &st);
      all += e.path().filename().string() + " " + std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + " " +
             (e.is_symlink() ? std::filesystem::read_symlink(e.path()).string() : "") +
             (e.is_regular_file() ? config.Read("Quillmere初期設定/" + e.path().filename().string()) : "") + "\n";
    }
    return all;
  };
  const std::string before = state();
  const auto naming = [](const ModalRequest& r, const std::string& path) {
    return r.message.find("\"" + path + "\"") != std::string::npos;
  };
  RunAsNobody([&] {
    ::setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    for (int run = 1; run <= 2; ++run) {
      SCOPED_TRACE(run);
      gDataset.clear();
      gFileType.clear();
      app = std::make_unique<App>();
      StartUp();
      ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
      for (const std::string& name : names)
        EXPECT_TRUE(naming(ModalRecorder::Requests()[0], folder + "/" + name)) << ModalRecorder::Requests()[0].message;
      EXPECT_EQ(w->ListBox1.ListCount(), 0);
      EXPECT_EQ(gPref[PrefConfirmSync], 1);
      EXPECT_EQ(gFileType.size(), 19u);
      ModalRecorder::Clear();
      if (run == 1) {
        // ＋, a name and a folder, 保存: the box quit gives, at once.
        w->BevelButton1.Push();
        w->EditField7.SetText("new");
        ModalRecorder::PushPath("/tmp");
        w->BevelButton4.Push();
        w->BevelButton5.Push();
        const auto& saved = ModalRecorder::Requests();
        ASSERT_EQ(saved.size(), 2u); // the folder chooser, then the box
        EXPECT_TRUE(naming(saved[1], folder + "/dataset")) << saved[1].message;
        ModalRecorder::Clear();
        gPref[PrefConfirmSync] = 0; // as the preferences dialog stores it
      } else {
        w->SetBounds(w->Left() + 40, w->Top() + 30, 900, 700);
        w->Event_Moved();
        w->Event_Resized();
      }
      Quit();
      const auto& told = ModalRecorder::Requests();
      if (run == 1) {
        // One box for all that is lost; nothing of the type table is.
        ASSERT_EQ(told.size(), 1u);
        EXPECT_TRUE(naming(told[0], folder + "/pref")) << told[0].message;
        EXPECT_TRUE(naming(told[0], folder + "/dataset")) << told[0].message;
        EXPECT_FALSE(naming(told[0], folder + "/filetype.txt")) << told[0].message;
      } else {
        EXPECT_TRUE(told.empty()) << told.front().message; // a moved and resized window is no change to tell
      }
      ModalRecorder::Clear();
    }
  });
  EXPECT_EQ(state(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, UnreadableSettings,
    ::testing::Values(
        UnreadableWay{"AnotherOwners",
                      [](const std::string& path, const std::string& bytes) {
                        std::ofstream(path, std::ios::binary) << bytes;
                        ::chmod(path.c_str(), 0600);
                      }},
        UnreadableWay{"InAFolderOfAnotherOwners",
                      [](const std::string& path, const std::string& bytes) {
                        std::ofstream(path, std::ios::binary) << bytes;
                        const std::string folder = path.substr(0, path.rfind('/'));
                        ASSERT_EQ(::chown(folder.c_str(), 0, 0), 0);
                      }},
        UnreadableWay{"LinkToNothing",
                      [](const std::string& path, const std::string&) {
                        ASSERT_EQ(::symlink(("/media/quill-not-mounted/" + path.substr(path.rfind('/') + 1)).c_str(),
                                            path.c_str()),
                                  0);
                      }},
        UnreadableWay{"FolderInTheWay",
                      [](const std::string& path, const std::string& bytes) {
                        ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
                        std::ofstream(path + "/kept", std::ios::binary) << bytes;
                      }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AppLoading, AnErrorWhileLoadingIsReportedAndNothingIsWrittenAtQuit)
{
  struct Failing : App {
    void LoadSettings() override { throw std::runtime_error("pref is unreadable"); }
  };
  ModalRecorder::Clear();
  {
    Failing app;
    app.StartUp();
    EXPECT_FALSE(app.SettingsLoaded());
    ASSERT_FALSE(ModalRecorder::Requests().empty());
    EXPECT_NE(ModalRecorder::Requests()[0].message.find("pref is unreadable"), std::string::npos);
    EXPECT_TRUE(Window1::Instance().Visible()); // the program goes on
    EXPECT_TRUE(app.Quit());
    ProcessPendingEvents(50);
  }
  ModalRecorder::Clear();
}
