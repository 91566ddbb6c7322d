#include "framework/Application.h"
#include "framework/Controls.h"
#include "framework/Display.h"
#include "framework/Events.h"
#include "framework/Menu.h"
#include "framework/Modal.h"
#include "framework/Timer.h"
#include "framework/Window.h"
#include "ModalRecorder.h"
#include "Pump.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QProgressBar>

namespace {
struct Dialog : Window {
  PushButton ok{*this, "ok"};
  PushButton cancel{*this, "cancel"};
  bool result = false;
  int opens = 0;
  Dialog()
  {
    ok.SetDefault(true);
    cancel.SetCancel(true);
    ok.Action = [this] {
      result = true;
      Hide();
    };
    cancel.Action = [this] { Hide(); };
  }
  void Event_Open() override { ++opens; }
};
} // namespace

TEST(Timer, ActionComesFromTheEventLoopNeverInsideTheCaller)
{
  Timer t;
  int fired = 0;
  t.Action = [&] { ++fired; };
  t.SetPeriod(1);
  t.SetMode(Timer::ModeSingle);
  EXPECT_EQ(fired, 0);
  ASSERT_TRUE(PumpUntil([&] { return fired == 1; }));
  EXPECT_EQ(t.Mode(), Timer::ModeOff);
  ProcessPendingEvents(30);
  EXPECT_EQ(fired, 1);
  t.SetMode(Timer::ModeMultiple);
  ASSERT_TRUE(PumpUntil([&] { return fired >= 3; }));
  t.SetMode(Timer::ModeOff);
}

TEST(Window, ShowModalGoesThroughTheModalPointAndTheAnswerPressesButtons)
{
  Dialog d;
  ModalRecorder::Clear();
  ModalRecorder::Push([](const ModalRequest& r) {
    r.window->PressDefaultButton(false); // Return
    return ModalAnswer{};
  });
  d.ShowModal();
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  EXPECT_EQ(ModalRecorder::Requests()[0].kind, ModalKind::Window);
  EXPECT_EQ(ModalRecorder::Requests()[0].window, &d);
  EXPECT_TRUE(d.result);
  EXPECT_EQ(d.opens, 1);
  d.result = false;
  ModalRecorder::Push([](const ModalRequest& r) {
    r.window->PressDefaultButton(true); // Escape
    return ModalAnswer{};
  });
  d.ShowModal();
  EXPECT_FALSE(d.result);
  EXPECT_EQ(d.opens, 1);
  ModalRecorder::Clear();
}

TEST(Window, DisabledDefaultButtonIsNotPressed)
{
  Dialog d;
  d.ok.SetEnabled(false);
  d.PressDefaultButton(false);
  EXPECT_FALSE(d.result);
}

TEST(Window, CancelCloseCanRefuseAndCloseRaisesClose)
{
  struct W : Window {
    bool refuse = true;
    int closes = 0;
    bool Event_CancelClose(bool) override { return refuse; }
    void Event_Close() override { ++closes; }
  } w;
  w.Show();
  EXPECT_FALSE(w.Close());
  EXPECT_TRUE(w.Visible());
  w.refuse = false;
  EXPECT_TRUE(w.Close());
  EXPECT_FALSE(w.Visible());
  EXPECT_EQ(w.closes, 1);
}

TEST(Application, QuitAsksTheWindowsThenTheApplication)
{
  std::vector<std::string> order;
  struct W : Window {
    std::vector<std::string>* order;
    bool Event_CancelClose(bool quitting) override
    {
      order->push_back(quitting ? "window quitting" : "window");
      return false;
    }
    void Event_Close() override { order->push_back("window closed"); }
  } w;
  w.order = &order;
  struct A : Application {
    std::vector<std::string>* order;
    bool refuse = true;
    bool Event_CancelClose() override
    {
      order->push_back("app");
      return refuse;
    }
  } app;
  app.order = &order;
  EXPECT_FALSE(app.Quit());
  app.refuse = false;
  EXPECT_TRUE(app.Quit());
  EXPECT_EQ(order, (std::vector<std::string>{"window quitting", "app", "window quitting", "app", "window closed"}));
}

TEST(Menu, HandlersByNameWindowFirstThenApplication)
{
  Application app;
  MenuBar bar;
  auto item = std::make_unique<MenuItem>();
  item->SetName("Thing");
  item->SetText("Thing");
  item->SetKeyboardShortcut("Cmd+T");
  MenuItem* raw = item.get();
  auto menu = std::make_unique<MenuItem>();
  menu->SetName("M");
  menu->Append(std::move(item));
  bar.Append(std::move(menu));
  EXPECT_EQ(raw->QtShortcut(), "Ctrl+T");
  EXPECT_EQ(bar.Lookup("Thing"), raw);
  int appCalls = 0, winCalls = 0;
  app.AddMenuHandler("Thing", [&] { return ++appCalls, true; });
  raw->Choose();
  EXPECT_EQ(appCalls, 1);
  Window w;
  w.SetMenuBar(&bar);
  w.AddMenuHandler("Thing", [&] { return ++winCalls, true; });
  w.Show();
  raw->Choose();
  EXPECT_EQ(winCalls, 1);
  EXPECT_EQ(appCalls, 1);
  w.CloseNow();
}

TEST(Menu, SeparatorShowsNoText)
{
  MenuItem sep;
  sep.SetText("-");
  EXPECT_TRUE(sep.IsSeparator());
  EXPECT_TRUE(sep.Action()->isSeparator());
  EXPECT_TRUE(sep.Action()->text().isEmpty());
  EXPECT_EQ(sep.Text(), "-");
  MenuItem item;
  item.SetText("&Undo");
  EXPECT_FALSE(item.Action()->isSeparator());
  EXPECT_EQ(item.Action()->text(), QString("&Undo"));
}

TEST(ProgressBar, MaximumZeroIsTheBusyBar)
{
  Window w;
  ProgressBar bar{w, "bar"};
  auto* q = static_cast<QProgressBar*>(bar.Widget());
  bar.SetMaximum(0);
  UpdateDisplayNow();
  EXPECT_EQ(q->maximum(), 0);
  EXPECT_EQ(q->minimum(), 0);
  bar.SetMaximum(1);
  bar.SetValue(0);
  UpdateDisplayNow();
  EXPECT_EQ(q->maximum(), 1);
  EXPECT_EQ(q->value(), 0);
  bar.SetMaximum(100);
  bar.SetValue(250);
  UpdateDisplayNow();
  EXPECT_EQ(q->value(), 100);
  EXPECT_EQ(bar.Value(), 250);
}
