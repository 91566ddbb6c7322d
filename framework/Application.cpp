#include "Application.h"

#include "Events.h"
#include "Modal.h"
#include "Window.h"

#include <QApplication>
#include <QEventLoop>
#include <QCloseEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
Application*& current()
{
  static Application* a = nullptr;
  return a;
}

QString q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QWidget* activeParent()
{
  return QApplication::activeWindow();
}

// An alert given a window is modal to that window, whichever is active.
QWidget* parentOf(const ModalRequest& r)
{
  return r.parent ? r.parent->TopLevel() : activeParent();
}

void modalTo(QDialog& dialog, const ModalRequest& r)
{
  if (r.parent)
    dialog.setWindowModality(Qt::WindowModal);
}

ModalAnswer present(const ModalRequest& r)
{
  ModalAnswer answer;
  switch (r.kind) {
  case ModalKind::MessageBox: {
    QMessageBox box(parentOf(r));
    modalTo(box, r);
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(q(r.title));
    box.setText(q(r.message));
    box.exec();
    break;
  }
  case ModalKind::MessageDialog: {
    // Escape and the close button answer -1, whatever buttons there are.
    class Box : public QMessageBox {
    public:
      using QMessageBox::QMessageBox;
      bool escaped = false;

    protected:
      void keyPressEvent(QKeyEvent* e) override
      {
        if (e->key() != Qt::Key_Escape)
          return QMessageBox::keyPressEvent(e);
        escaped = true;
        reject();
      }
      void closeEvent(QCloseEvent* e) override
      {
        escaped = true;
        e->accept();
        reject();
      }
    };
    Box box(parentOf(r));
    modalTo(box, r);
    box.setTextFormat(Qt::PlainText);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(q(r.title));
    box.setText(q(r.message));
    box.setInformativeText(q(r.explanation));
    static const QMessageBox::ButtonRole roles[] = {QMessageBox::AcceptRole, QMessageBox::RejectRole,
                                                    QMessageBox::DestructiveRole};
    std::vector<QAbstractButton*> buttons(r.buttons.size(), nullptr);
    for (std::size_t i = 0; i < r.buttons.size() && i < 3; ++i)
      if (!r.buttons[i].empty())
        buttons[i] = box.addButton(q(r.buttons[i]), roles[i]);
    if (!buttons.empty() && buttons[0])
      box.setDefaultButton(static_cast<QPushButton*>(buttons[0]));
    box.exec();
    answer.button = -1;
    for (std::size_t i = 0; i < buttons.size() && !box.escaped; ++i)
      if (buttons[i] && box.clickedButton() == buttons[i])
        answer.button = static_cast<int>(i);
    break;
  }
  case ModalKind::Window: {
    if (!r.window)
      break;
    QPointer<QWidget> top = r.window->TopLevel();
    top->setWindowModality(Qt::ApplicationModal);
    r.window->Show();
    while (top && top->isVisible())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
    if (top)
      top->setWindowModality(Qt::NonModal);
    break;
  }
  case ModalKind::SaveFile: {
    QFileDialog d(activeParent(), q(r.title), q(r.initialFolder));
    d.setAcceptMode(QFileDialog::AcceptSave);
    d.setFileMode(QFileDialog::AnyFile);
    if (!r.suggestedName.empty())
      d.selectFile(q(r.suggestedName));
    if (d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty())
      answer.path = d.selectedFiles().first().toUtf8().toStdString();
    break;
  }
  case ModalKind::SelectFolder: {
    const QString dir = QFileDialog::getExistingDirectory(activeParent(), q(r.title), q(r.initialFolder));
    answer.path = dir.toUtf8().toStdString();
    if (!answer.path.empty() && answer.path.back() != '/')
      answer.path += '/';
    break;
  }
  }
  return answer;
}
} // namespace

void InstallRealDialogs()
{
  SetModalPresenter(present);
}

namespace {
constexpr int EndSignals[] = {SIGTERM, SIGHUP, SIGINT};
// How long the quit may take once the system asked for it.
constexpr unsigned SecondsToEnd = 5;

// The pipe through which a signal wakes the event loop: a handler may do
// next to nothing itself.
int endPipeWrite = -1;
volatile std::sig_atomic_t watchdogArmed = 0;

// Whatever holds the quit or the event loop up, the program is gone then:
// SIGALRM ends it.
void armWatchdog()
{
  if (watchdogArmed)
    return;
  watchdogArmed = 1;
  ::alarm(SecondsToEnd);
}

void endSignal(int)
{
  const int saved = errno;
  armWatchdog();
  const char byte = 0;
  // The pipe does not block: when it is full, a wake-up is waiting already.
  [[maybe_unused]] const ssize_t n = ::write(endPipeWrite, &byte, 1);
  errno = saved;
}
} // namespace

// The signals and the session's end, turned into one call of endForSystem
// from the event loop.
class Application::SystemEnd : public QObject {
public:
  explicit SystemEnd(Application& app) : app_(app)
  {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0)
      return;
    endPipeWrite = fds_[1];
    notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
      char bytes[16];
      while (::read(fds_[0], bytes, sizeof bytes) > 0) {
      }
      app_.endForSystem();
    });
    watchdogArmed = 0;
    struct sigaction alarmAction {};
    alarmAction.sa_handler = SIG_DFL;
    sigemptyset(&alarmAction.sa_mask);
    ::sigaction(SIGALRM, &alarmAction, &oldAlarm_);
    struct sigaction action {};
    action.sa_handler = endSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(EndSignals); ++i) {
      ::sigaction(EndSignals[i], nullptr, &old_[i]);
      // One ignored by whoever started the program (nohup, say) stays so.
      installed_[i] = old_[i].sa_handler != SIG_IGN && ::sigaction(EndSignals[i], &action, nullptr) == 0;
    }
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~SystemEnd() override
  {
    if (QCoreApplication* qapp = QCoreApplication::instance())
      qapp->removeEventFilter(this);
    for (std::size_t i = 0; i < std::size(EndSignals); ++i)
      if (installed_[i])
        ::sigaction(EndSignals[i], &old_[i], nullptr);
    if (watchdogArmed)
      ::alarm(0);
    ::sigaction(SIGALRM, &oldAlarm_, nullptr);
    notifier_.reset();
    endPipeWrite = -1;
    for (int fd : fds_)
      if (fd >= 0)
        ::close(fd);
  }
  SystemEnd(const SystemEnd&) = delete;
  SystemEnd& operator=(const SystemEnd&) = delete;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override
  {
    // The platform asks the application to quit so when the desktop
    // session ends.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) {
      app_.endForSystem();
      return true;
    }
    return false;
  }

private:
  Application& app_;
  int fds_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction old_[std::size(EndSignals)] {};
  struct sigaction oldAlarm_ {};
  bool installed_[std::size(EndSignals)] = {};
};

Application::Application()
{
  current() = this;
  InstallRealDialogs();
}

Application::~Application()
{
  systemEnd_.reset();
  if (endingForSystem_)
    SetNobodyToAnswer(false);
  if (current() == this)
    current() = nullptr;
}

Application* Application::Current() { return current(); }

void Application::AddMenuHandler(const std::string& itemName, std::function<bool()> handler)
{
  handlers_.Add(itemName, std::move(handler));
}

bool Application::HandleMenu(const std::string& itemName) { return handlers_.Handle(itemName); }

void Application::Start()
{
  if (started_)
    return;
  started_ = true;
  systemEnd_ = std::make_unique<SystemEnd>(*this);
  DeliverEvent([this] { Event_Open(); });
}

int Application::Run()
{
  Start();
  // A quit during Open (the system asked for one) has no loop to end.
  return quitting_ ? 0 : RunEventLoop();
}

void Application::endForSystem()
{
  if (quitting_ || endingForSystem_)
    return;
  endingForSystem_ = true;
  SetNobodyToAnswer(true);
  armWatchdog();
  // A modal run open now ends as by Escape; its caller goes on, and the
  // quit comes once the loops return to the main one.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (!w->isVisible() || !w->isModal())
      continue;
    if (auto* dialog = qobject_cast<QDialog*>(w))
      dialog->reject();
    else
      w->hide();
  }
  PostEvent([] {
    if (Application* app = Current())
      app->Quit();
  });
}

bool Application::Quit()
{
  if (quitting_)
    return true;
  for (Window* w : Window::OpenWindows()) {
    bool refused = false;
    DeliverEvent([&] { refused = w->Event_CancelClose(true); });
    // Nobody asked the user: a refusal cannot be theirs.
    if (refused && !endingForSystem_)
      return false;
  }
  bool refused = false;
  DeliverEvent([&] { refused = Event_CancelClose(); });
  if (refused && !endingForSystem_)
    return false;
  quitting_ = true;
  for (Window* w : Window::OpenWindows())
    w->CloseNow();
  QuitEventLoop(0);
  return true;
}
