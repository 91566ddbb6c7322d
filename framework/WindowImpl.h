#pragma once
// Qt side of Window (framework only).

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <memory>

class Window;
class QMenuBar;

class WindowContent : public QWidget {
public:
  explicit WindowContent(Window& owner);
  Window& owner;

protected:
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
};

class WindowImpl : public QMainWindow {
public:
  explicit WindowImpl(Window& owner);
  Window& owner;
  WindowContent* content;
  QTimer settle; // Resized once a run of resize steps has settled
  QMenuBar* qtMenuBar = nullptr;
  int contentW = 800, contentH = 600; // as last laid out (locks)
  int minW = 64, minH = 64, maxW = 32000, maxH = 32000;
  bool resizeable = true;
  // Height taken above the content by the menu bar and the toolbar.
  int Chrome();
  void ApplySize(int w, int h);
  void ApplySizeLimits();

protected:
  void closeEvent(QCloseEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
};
