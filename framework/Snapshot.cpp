#include "Snapshot.h"

#include "Control.h"
#include "ListBox.h"
#include "Window.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QWidget>

bool SaveWindowPicture(Window& window, const std::string& pngPath)
{
  for (Control* c : window.Controls())
    if (auto* list = dynamic_cast<ListBox*>(c))
      list->Refresh();
  QCoreApplication::processEvents();
  return window.TopLevel()->grab().save(QString::fromStdString(pngPath), "PNG");
}
