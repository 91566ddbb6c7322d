// Draws the main window with a few sample rows into a PNG (for the README).
#include "app/App.h"
#include "settings/Globals.h"
#include "app/Window1.h"
#include "framework/Events.h"
#include "framework/Snapshot.h"

#include <cstdio>

int main(int argc, char** argv)
{
  const std::string out = argc > 1 ? argv[1] : "main-window.png";
  InitFramework(argc, argv);
  App app;
  app.StartUp();
  Window1& w = Window1::Instance();
  for (const char* name : {"example.org", "staging", "backup server"}) {
    w.ListBox1.AddRow(name);
    w.ListBox1.SetCell(w.ListBox1.LastIndex(), 1, std::to_string(w.ListBox1.LastIndex()));
  }
  w.ListBox1.SetListIndex(0);
  w.PagePanel1.SetValue(1);
  w.StaticText17.SetText("example.org");
  w.StaticText18.SetText("ftp.example.org");
  w.StaticText19.SetText("web");
  w.StaticText20.SetText("••••••");
  w.StaticText21.SetText("/public_html");
  w.StaticText22.SetText("/home/user/site/");
  w.StaticText24.SetText("アップロードのみ");
  w.StaticText25.SetText("");
  struct Sample {
    const char* name;
    const char* size;
    const char* date;
    bool folder, check;
    int depth;
  };
  const Sample rows[] = {{"css", "-", "2026/12/01 10:12", true, false, 0},
                         {"site.css", "4 KB", "2026/12/08 09:40", false, true, 1},
                         {"images", "-", "2026/11/20 18:03", true, false, 0},
                         {"logo.png", "12 KB", "2026/11/20 18:03", false, false, 1},
                         {"index.html", "8 KB", "2026/12/08 09:41", false, true, 0},
                         {"about.html", "3 KB", "2026/10/02 14:27", false, false, 0}};
  for (ListBox* tree : {&w.localListBox, &w.remoteListBox}) {
    int parent = -1;
    for (const Sample& s : rows) {
      if (s.depth == 0) {
        s.folder ? tree->AddFolder(s.name) : tree->AddRow(s.name);
        if (s.folder)
          parent = tree->LastIndex();
      } else {
        const int at = parent;
        tree->ExpandRow = [&, at, s](int) { tree->AddRow(s.name); };
        tree->SetExpanded(at, true);
        tree->ExpandRow = nullptr;
      }
      const int r = tree->LastIndex();
      tree->SetCell(r, 1, s.size);
      tree->SetCell(r, 2, s.date);
      tree->SetCellType(r, 0, ListBox::TypeCheckBox);
      tree->SetCellCheck(r, 0, tree == &w.localListBox && s.check);
    }
  }
  for (const char* line : {"220 FTP server ready.", "331 Username ok, send password.", "230 Login successful.",
                           "257 \"/\" is the current directory.", "250 \"/public_html\" is the current directory.",
                           "226 Transfer complete."})
    w.updateStatus(line);
  w.ProgressBar1.SetMaximum(100);
  w.ProgressBar1.SetValue(40);
  if (!SaveWindowPicture(w, out)) {
    std::fprintf(stderr, "cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
