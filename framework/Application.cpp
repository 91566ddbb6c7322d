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

Application::Application()
{
  current() = this;
  InstallRealDialogs();
}

Application::~Application()
{
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
  DeliverEvent([this] { Event_Open(); });
}

int Application::Run()
{
  Start();
  return RunEventLoop();
}

bool Application::Quit()
{
  if (quitting_)
    return true;
  for (Window* w : Window::OpenWindows()) {
    bool refused = false;
    DeliverEvent([&] { refused = w->Event_CancelClose(true); });
    if (refused)
      return false;
  }
  bool refused = false;
  DeliverEvent([&] { refused = Event_CancelClose(); });
  if (refused)
    return false;
  quitting_ = true;
  for (Window* w : Window::OpenWindows())
    w->CloseNow();
  QuitEventLoop(0);
  return true;
}
