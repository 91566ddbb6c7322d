#include "Snapshot.h"

#include "Display.h"
#include "Window.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QWidget>

bool SaveWindowPicture(Window& window, const std::string& pngPath)
{
  UpdateDisplayNow();
  QCoreApplication::processEvents();
  return window.TopLevel()->grab().save(QString::fromStdString(pngPath), "PNG");
}
