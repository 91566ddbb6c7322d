// Time and peak memory of the local walk, the comparison and the fill of
// both tree views (the real list controls, offscreen), at 2,000, 20,000 and 200,000 files (one folder per ten
// files). Each size runs in its own process so its peak is its own.
//   bench_TreesBench            all three sizes
//   bench_TreesBench FILES      one size
#include "framework/Events.h"
#include "framework/FolderItem.h"
#include "trees/TreeLists.h"
#include "framework/ListBox.h"
#include "framework/Window.h"
#include "trees/ListBoxTreeView.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class BenchTrees : public TreeLists {
public:
  std::map<std::string, std::string> listings; // by remote folder
  std::optional<FolderItem> local;
  Window window;
  ListBox localList{window, "localListBox", nullptr, 7, true};
  ListBox remoteList{window, "remoteListBox", nullptr, 7, true};
  ListBoxTreeView localView{localList};
  ListBoxTreeView remoteView{remoteList};
  bool quiet = true; // no local walk or fill inside the remote walk
  std::string pending;

  void RemoteWalk()
  {
    GetCompareList();
    RemoteWalkLoggedIn("", "257 \"/srv\"");
    while (pSyncRFlg) {
      if (RemoteWalkAwaitsListing()) {
        TakeListing(listings[currentPath]);
        GetCompareList2r();
      } else {
        RemoteWalkDirChanged("257 \"" + currentPath + "\"");
      }
    }
  }

protected:
  const FolderItem* TreesLocalFolder() const override { return quiet || !local ? nullptr : &*local; }
  TreeView* TreesView(bool isLocal) override
  {
    if (quiet)
      return nullptr;
    if (isLocal)
      return &localView;
    return &remoteView;
  }
};

double Seconds(std::chrono::steady_clock::time_point since)
{
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long PeakKiB()
{
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

int RunOne(int files, int argc, char** argv)
{
  InitFramework(argc, argv);
  const int folders = files / 10;
  const int top = folders / 10; // each top folder holds nine sub-folders
  char tmpl[] = "/tmp/quill-bench-XXXXXX";
  const std::string root = mkdtemp(tmpl);

  BenchTrees t;
  const std::string line = "-rw-r--r--   1 user group 2048 Jan 05 2008 ";
  const std::string dirLine = "drwxr-xr-x   2 user group 4096 Jan 05 2008 ";
  auto fillFolder = [&](const std::string& rel, const std::string& remote, int index, std::string& listing) {
    for (int f = 0; f < 10; ++f) {
      const std::string name = "file" + std::to_string(f) + ".html";
      std::ofstream(root + rel + "/" + name) << index;
      // Every third remote folder lacks a file, every seventh has an extra one.
      if (!(index % 3 == 0 && f == 0))
        listing += line + name + "\r\n";
    }
    if (index % 7 == 0)
      listing += line + "extra.txt\r\n";
    (void)remote;
  };
  std::string& rootListing = t.listings["/srv"];
  for (int d = 0; d < top; ++d) {
    const std::string dn = "d" + std::to_string(d);
    fs::create_directories(root + "/" + dn);
    rootListing += dirLine + dn + "\r\n";
    std::string& dl = t.listings["/srv/" + dn];
    fillFolder("/" + dn, "/srv/" + dn, d * 10, dl);
    for (int s = 1; s < 10; ++s) {
      const std::string sn = "s" + std::to_string(s);
      fs::create_directories(root + "/" + dn + "/" + sn);
      dl += dirLine + sn + "\r\n";
      fillFolder("/" + dn + "/" + sn, "/srv/" + dn + "/" + sn, d * 10 + s, t.listings["/srv/" + dn + "/" + sn]);
    }
  }

  auto start = std::chrono::steady_clock::now();
  t.RemoteWalk();
  const double remoteWalk = Seconds(start);

  t.quiet = false;
  t.local = GetFolderItem(root);
  t.localList.ExpandRow = [&t](int row) { t.TreeExpandRow(true, row); };
  t.remoteList.ExpandRow = [&t](int row) { t.TreeExpandRow(false, row); };
  t.pSyncL.clear();
  t.pGroupL = -1;

  start = std::chrono::steady_clock::now();
  t.GetCompareList32l(*t.local);
  const double localWalk = Seconds(start);

  start = std::chrono::steady_clock::now();
  t.GetCompareList33c();
  t.GetCompareList34c(0, t.pSyncL.empty(), 0, 0, t.pSyncR.empty(), 0);
  t.GetCompareList34l();
  t.GetCompareList34r();
  const double compare = Seconds(start);

  start = std::chrono::steady_clock::now();
  t.GetCompareList35r(0, 0);
  t.GetCompareList35r2();
  t.GetCompareList36l(0, 0);
  t.GetCompareList36l2();
  const double fill = Seconds(start);

  int ticked = 0;
  for (const auto& r : t.pSyncL)
    ticked += r.check;
  for (const auto& r : t.pSyncR)
    ticked += r.check;
  std::printf("%7d files %5d folders | remote walk %.3f s | local walk %.3f s | compare %.3f s | fill %.3f s | "
              "local+compare+fill %.3f s | rows %d/%d | ticked %d | peak %ld KiB\n",
              files, folders, remoteWalk, localWalk, compare, fill, localWalk + compare + fill,
              t.localList.ListCount(), t.remoteList.ListCount(), ticked, PeakKiB());
  std::fflush(stdout);
  std::error_code ec;
  fs::remove_all(root, ec);
  return 0;
}

} // namespace

int main(int argc, char** argv)
{
  if (!std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char runtime[] = "/tmp/quill-bench-runtime-XXXXXX";
  if (!std::getenv("XDG_RUNTIME_DIR") && mkdtemp(runtime))
    setenv("XDG_RUNTIME_DIR", runtime, 1);
  if (argc > 1) {
    const int rc = RunOne(std::atoi(argv[1]), argc, argv);
    rmdir(runtime);
    return rc;
  }
  for (int files : {2000, 20000, 200000}) {
    const pid_t pid = fork();
    if (pid == 0)
      return RunOne(files, argc, argv);
    int status = 0;
    waitpid(pid, &status, 0);
  }
  rmdir(runtime);
  return 0;
}
