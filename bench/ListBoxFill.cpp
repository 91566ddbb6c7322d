// Cost of filling a hierarchical list through ExpandRow handlers, the way the
// tree views fill: the time per row should stay flat as the tree grows.
#include "framework/Display.h"
#include "framework/Events.h"
#include "framework/ListBox.h"
#include "framework/Window.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {
struct Host : Window {
  ListBox tree{*this, "tree", nullptr, 7, true};
};

// Folders of `fanout` entries, every `fanout`-th entry a folder, until about
// `rows` rows exist; the handler writes the cells as the tree code does.
double fill(int rows, int fanout)
{
  Host h;
  h.Show();
  int made = 1;
  h.tree.ExpandRow = [&](int row) {
    for (int k = 0; k < fanout && made < rows; ++k, ++made) {
      const bool folder = k == 0;
      folder ? h.tree.AddFolder("") : h.tree.AddRow("");
      const int r = row + 1 + k;
      h.tree.SetCell(r, 1, folder ? "-" : "12 KB");
      h.tree.SetCell(r, 4, folder ? "d" : "f");
      h.tree.SetCell(r, 0, "name" + std::to_string(made));
      h.tree.SetCellType(r, 0, ListBox::TypeCheckBox);
      h.tree.SetCellCheck(r, 0, k % 2 == 0);
      h.tree.SetCell(r, 2, "2026/12/08 10:00");
      h.tree.SetCell(r, 3, "/some/path");
      h.tree.SetCell(r, 6, std::to_string(made));
    }
  };
  const auto start = std::chrono::steady_clock::now();
  h.tree.AddFolder("root");
  h.tree.SetCell(0, 4, "d");
  for (int r = 0; r < h.tree.ListCount(); ++r) {
    if (h.tree.Cell(r, 4) == "d")
      h.tree.SetExpanded(r, true);
    if (r % 64 == 0)
      ProcessPendingEvents(0); // the yield of the fill loops
  }
  UpdateDisplayNow(); // the list on screen caught up
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(h.tree.ListCount(), rows);
  h.CloseNow();
  return s;
}
} // namespace

TEST(ListBoxFill, TimePerRowStaysFlat)
{
  for (int fanout : {20, 2000})
    for (int rows : {50000, 100000, 200000}) {
      const double s = fill(rows, fanout);
      std::printf("fanout %5d  rows %7d  %.3f s  %.2f us/row\n", fanout, rows, s, s * 1e6 / rows);
    }
}
