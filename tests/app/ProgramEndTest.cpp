// What the user saved is there at the next start however the program
// ended: the system asking it to end (a signal, the desktop session ending)
// is a quit, and a kill or the display going away loses nothing saved.
#include "AppFixture.h"

#include "app/MenuBar1.h"
#include "profiles/PrefDlg.h"

#include "AsNobody.h"
#include "RealDialogs.h"
#include "TempDir.h"

#include <QCoreApplication>
#include <QEvent>

#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace {

enum class End { Terminated, HungUp, Interrupted, TerminatedInPreferences, SessionEnded, Killed, DisplayGone };

struct EndCase {
  End end;
  const char* name;
};

void PrintTo(const EndCase& c, std::ostream* os)
{
  *os << c.name;
}

int signalOf(End end)
{
  switch (end) {
  case End::Terminated:
  case End::TerminatedInPreferences:
    return SIGTERM;
  case End::HungUp:
    return SIGHUP;
  case End::Interrupted:
    return SIGINT;
  default:
    return 0;
  }
}

// Ends like File > Quit: the settings written, the window's bounds too.
bool endsAsQuit(End end)
{
  return end != End::Killed && end != End::DisplayGone;
}

PrefDlg* openPreferences()
{
  for (Window* w : Window::OpenWindows())
    if (auto* dlg = dynamic_cast<PrefDlg*>(w))
      return dlg;
  return nullptr;
}
} // namespace

class ProgramEnd : public AppFixture, public ::testing::WithParamInterface<EndCase> {
protected:
  // The first program: a profile deleted (ー) and one made (＋, the fields,
  // 保存), 同期前に確認 turned off (環境設定, 保存), the window moved; then
  // bounds holds slots 1 to 4 for the parent, and the program ends as the
  // case says. Runs in a child process; its exit is the program's.
  [[noreturn]] void firstProgram(End end, int ready, const std::string& local)
  {
    // As started from a desktop or a terminal, whatever runs the tests.
    for (int s : {SIGTERM, SIGHUP, SIGINT})
      ::signal(s, SIG_DFL);
    StartUp();
    w->ListBox1.SetListIndex(0);
    ModalRecorder::PushButton(0); // "削除"
    w->BevelButton2.Push();
    w->BevelButton1.Push();
    w->EditField7.SetText("新しいサイト");
    w->EditField1.SetText("ftp.example.com");
    w->EditField2.SetText("user");
    w->EditField3.SetText("secret");
    w->EditField4.SetText("/www");
    ModalRecorder::PushPath(local);
    w->BevelButton4.Push();
    w->BevelButton5.Push();
    TurnConfirmOffInPreferences();
    w->SetBounds(w->Left() + 40, w->Top() + 30, 900, 700);
    w->Event_Moved();
    w->Event_Resized();
    const std::int32_t bounds[4] = {gPref[1], gPref[2], gPref[3], gPref[4]};
    const auto announce = [&] {
      [[maybe_unused]] const ssize_t n = ::write(ready, bounds, sizeof bounds);
    };
    ::alarm(60); // a program that does not end fails the test instead of holding it
    switch (end) {
    case End::TerminatedInPreferences: {
      // The dialog open, a box ticked and not saved, when the signal comes.
      RealDialogs real;
      WhenModal([&](QWidget*) {
        if (PrefDlg* dlg = openPreferences())
          dlg->CheckBox1.SetValue(true);
        announce();
      });
      w->Toolbar11.Press("ToolItem10");
      break;
    }
    case End::SessionEnded:
      // What the platform delivers, from its event loop, when the session
      // manager ends the session.
      announce();
      PostEvent([] {
        QEvent quit(QEvent::Quit);
        QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
      });
      break;
    case End::Killed:
      announce();
      ::raise(SIGKILL);
      break;
    case End::DisplayGone:
      // Qt's X11 platform ends the program so from its event loop when the
      // X server goes away; no X server runs on the test machines.
      announce();
      PostEvent([] { std::exit(1); });
      break;
    default:
      announce(); // the parent sends the signal
      break;
    }
    // As main() does.
    const int rc = app->Quitting() ? 0 : RunEventLoop();
    std::_Exit(rc == 0 && app->Quitting() ? 0 : 3);
  }
};

TEST_P(ProgramEnd, SavedProfilesAndPreferencesAreThereAtTheNextStart)
{
  const End end = GetParam().end;
  TempDir config, local;
  EnvGuard xdg("XDG_CONFIG_HOME", config.Path());
  ::mkdir((config / "Quillmere初期設定").c_str(), 0700);
  const std::string old = std::string("\0\0\0\0\3old\1a\1u\1p\1/\3yes", 20) + std::string("\0\0\0", 3) +
                          static_cast<char>(local.Path().size()) + local.Path() + "\2up\1" + "0";
  config.Write("Quillmere初期設定/dataset", old);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ForkForWindows();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    firstProgram(end, ready[1], local.Path()); // the window is made here: Qt's painting threads do not survive a fork
  }
  ::close(ready[1]);
  std::int32_t bounds[4] = {};
  const bool announced = ::read(ready[0], bounds, sizeof bounds) == sizeof bounds;
  ::close(ready[0]);
  if (announced && signalOf(end) != 0)
    ::kill(child, signalOf(end));
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(announced);
  if (endsAsQuit(end))
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
  else if (end == End::Killed)
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "wait status " << status;
  else
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "wait status " << status;

  StartUp();
  EXPECT_TRUE(ModalRecorder::Requests().empty()) << ModalRecorder::Requests().front().message;
  ASSERT_EQ(w->ListBox1.ListCount(), 1);
  EXPECT_EQ(w->ListBox1.Cell(0, 0), "新しいサイト");
  EXPECT_EQ(gPref[PrefConfirmSync], 0);
  EXPECT_EQ(gPref[PrefConnectOnSelect], 0) << "a box ticked and never saved";
  if (endsAsQuit(end)) {
    EXPECT_EQ(gPref[1], bounds[0]);
    EXPECT_EQ(gPref[2], bounds[1]);
    EXPECT_EQ(gPref[3], bounds[2]);
    EXPECT_EQ(gPref[4], bounds[3]);
  }
}

INSTANTIATE_TEST_SUITE_P(Ends, ProgramEnd,
                         ::testing::Values(EndCase{End::Terminated, "Terminated"}, EndCase{End::HungUp, "HungUp"},
                                           EndCase{End::Interrupted, "Interrupted"},
                                           EndCase{End::TerminatedInPreferences, "TerminatedInPreferences"},
                                           EndCase{End::SessionEnded, "SessionEnded"},
                                           EndCase{End::Killed, "Killed"},
                                           EndCase{End::DisplayGone, "DisplayGone"}),
                         [](const auto& info) { return std::string(info.param.name); });
