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
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <chrono>
#include <map>

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

namespace {
// Counts the paint events each widget gets.
class PaintCounter : public QObject {
public:
  PaintCounter() { QCoreApplication::instance()->installEventFilter(this); }
  ~PaintCounter() override { QCoreApplication::instance()->removeEventFilter(this); }
  std::map<QObject*, int> paints;

protected:
  bool eventFilter(QObject* o, QEvent* e) override
  {
    if (e->type() == QEvent::Paint)
      ++paints[o];
    return false;
  }
};
} // namespace

// A run changes the log, the bar and the texts once per reply or piece:
// each setter keeps the value, read back at once, and paints nothing; the
// window shows the last values by the next frame and paints once a frame.
TEST(Display, SettersKeepTheValueAndTheWindowPaintsOnceAFrame)
{
  Window w;
  StaticText text{w, "text"};
  ProgressBar bar{w, "bar"};
  EditField log{w, "log", nullptr, EditField::MultiLine};
  text.SetBounds(0, 0, 100, 20);
  bar.SetBounds(0, 30, 100, 18);
  log.SetBounds(0, 60, 200, 100);
  log.SetReadOnly(true);
  w.Show();
  PumpFor(100);
  auto* pane = static_cast<QPlainTextEdit*>(log.Widget());
  PaintCounter counter;
  std::string lines;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 1; i <= 300; ++i) {
    text.SetText(std::to_string(i));
    bar.SetValue(i % 100);
    log.AppendText("226 reply " + std::to_string(i) + "\n");
    lines += "226 reply " + std::to_string(i) + "\n";
    ASSERT_EQ(text.Text(), std::to_string(i));
    ASSERT_EQ(bar.Value(), i % 100);
    ProcessPendingEvents(0); // one reply handled per turn of the loop
  }
  PumpFor(2 * display::kFrameMs + 20);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ(static_cast<QLabel*>(text.Widget())->text(), "300");
  EXPECT_EQ(static_cast<QProgressBar*>(bar.Widget())->value(), 0);
  EXPECT_EQ(pane->toPlainText().toStdString(), lines); // shown without anyone reading it
  EXPECT_EQ(log.Text(), lines);
  const int frames = static_cast<int>(ms.count() / display::kFrameMs) + 2;
  for (QObject* o : {static_cast<QObject*>(text.Widget()), static_cast<QObject*>(bar.Widget()),
                     static_cast<QObject*>(pane->viewport())})
    EXPECT_LE(counter.paints[o], frames) << o->metaObject()->className() << " in " << ms.count() << " ms";
  w.CloseNow();
}
