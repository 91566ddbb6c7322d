#include "AppFixture.h"

#include "app/MenuBar1.h"

#include <cstdlib>
#include <sys/stat.h>

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
