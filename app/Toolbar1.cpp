#include "app/Toolbar1.h"
#include "app/Texts.h"

#include "framework/Graphics.h"

#include <memory>

namespace {
void add(Toolbar1& bar, ToolButton& item, const char* name, int style, const char* caption)
{
  item.Name = name;
  item.SetStyle(style);
  item.SetEnabled(true);
  item.SetCaption(caption);
  item.HelpTag.clear();
  bar.Append(&item);
}

Picture* cached(std::unique_ptr<Picture>& cache, int id)
{
  if (!cache)
    cache = LoadResourcePicture(id);
  return cache.get();
}

std::unique_ptr<Picture> p1, p2, p3, p4, p5, p6, pMask;
} // namespace

Toolbar1::Toolbar1(Window& window, std::string name) : Toolbar(window, std::move(name))
{
  add(*this, ToolItem1, "ToolItem1", ToolItem::PushButtonStyle, "接続");
  add(*this, ToolItem4, "ToolItem4", ToolItem::PushButtonStyle, "同期");
  add(*this, ToolItem2, "ToolItem2", ToolItem::PushButtonStyle, Text::Disconnect);
  add(*this, ToolItem5, "ToolItem5", ToolItem::SeparatorStyle, "Untitled");
  add(*this, ToolItem6, "ToolItem6", ToolItem::PushButtonStyle, Text::Clear);
  add(*this, ToolItem3, "ToolItem3", ToolItem::SpaceStyle, "Untitled");
  add(*this, ToolItem8, "ToolItem8", ToolItem::PushButtonStyle, "タイプリスト");
  add(*this, ToolItem9, "ToolItem9", ToolItem::FlexibleSpaceStyle, "Untitled");
  add(*this, ToolItem10, "ToolItem10", ToolItem::PushButtonStyle, "環境設定");
}

Picture* button1() { return cached(p1, 168); }
Picture* button2() { return cached(p2, 169); }
Picture* button3() { return cached(p3, 170); }
Picture* button4() { return cached(p4, 171); }
Picture* button5() { return cached(p5, 172); }
Picture* button6() { return cached(p6, 173); }
Picture* anyMask() { return cached(pMask, 174); }
