// The work of a user through the real main window, offscreen, against real
// servers on 127.0.0.1:21, beside the same work done without the window and
// by lftp and curl on the same server in the same run:
//   - a run of 2,000 new files of 1 KiB in 20 folders (ms a file, the run
//     alone), lftp's "mirror -R", and the commands each sends a file;
//   - the compare of 2,000 files in 200 folders already in step (seconds
//     from "接続" to the trees shown), lftp's "mirror -R --dry-run";
//   - a run of one 200 MB file (MB/s), "curl -T".
// lftp is told not to use FEAT, MLSD, MDTM or SITE UTIME and not to copy
// permissions, so it compares by its LIST listings and sets neither times
// nor modes, as the program does. The event loop runs as the program's does,
// sleeping until the next event, and each piece of work is started from an
// event, so every reply pays the wake-up it pays in the program.
// Each figure is the best of five rounds. One more round before them, not
// timed, counts the commands and finds the longest the event loop went
// without turning (the window does not answer meanwhile): the 1 ms timer
// that watches for it would wake the loop a thousand times a second.
// The program always connects to port 21, so this runs itself again inside
// a private network namespace (as root). QT_QPA_PLATFORM=xcb and DISPLAY
// put the window on an X server instead of offscreen.
// Usage: bench_WindowBench [pyftpdlib|pure-ftpd|vsftpd|both|all] [files, 2000 if not given]
#include "HeadlessRun.h"

#include "app/App.h"
#include "app/Window1.h"
#include "connection/ConnectionTexts.h"
#include "framework/Events.h"
#include "framework/Timer.h"
#include "settings/Globals.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <memory>
#include <sstream>

using namespace bench;

namespace {

constexpr std::int64_t kBigFile = 200'000'000;
constexpr int kRounds = 5;
const std::string kLikeUs = "set ftp:use-feat no; set ftp:use-mlsd no; set ftp:use-mdtm no; "
                            "set ftp:use-site-utime no; set ftp:use-site-utime2 no; ";
const std::string kMirror = "mirror -R --no-perms ";

// The longest gap between two turns of the event loop while it runs.
class PauseMeter {
public:
  PauseMeter()
  {
    timer_.SetPeriod(1);
    timer_.Action = [this] {
      const auto now = std::chrono::steady_clock::now();
      longest_ = std::max(longest_, std::chrono::duration<double>(now - last_).count());
      last_ = now;
    };
  }
  void Start()
  {
    longest_ = 0;
    last_ = std::chrono::steady_clock::now();
    timer_.SetMode(Timer::ModeMultiple);
  }
  // Milliseconds.
  double Stop()
  {
    timer_.SetMode(Timer::ModeOff);
    return longest_ * 1000;
  }

private:
  Timer timer_;
  double longest_ = 0;
  std::chrono::steady_clock::time_point last_;
};

// Commands answered in a stretch of the log pane, which shows every reply:
// each command gets one final reply ("ddd text", from 2xx to 5xx), after
// any preliminary (1xx) or continuation ("ddd-") lines.
int FinalReplies(const std::string& log)
{
  int n = 0;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);)
    n += line.size() > 3 && line[0] >= '2' && line[0] <= '5' && std::isdigit(static_cast<unsigned char>(line[1])) &&
         std::isdigit(static_cast<unsigned char>(line[2])) && line[3] == ' ';
  return n;
}

// The main window driven as a user drives it: a profile selected, "接続",
// "同期", "切断"; every question answered with its action button.
class WindowDriver {
public:
  WindowDriver()
  {
    app_->StartUp();
    w_ = &Window1::Instance();
    gPref[PrefConfirmSync] = 0;
    gPref[PrefBeepOnCaution] = 0;
    gFileType = {{"bin", "I"}};
  }
  ~WindowDriver()
  {
    SetModalResponder({});
    app_->Quit();
    ProcessPendingEvents(50);
  }

  // Seconds from "接続" to the compare shown and the server idle.
  double Connect(const FtpServerProcess& server, const std::string& remote, const std::string& local, bool& ok)
  {
    Dataset d;
    d.Name = "bench";
    d.Adrs = server.Host();
    d.User = server.User();
    d.Pass = server.Password();
    d.rDir = remote;
    d.Pasv = "yes";
    d.Path = local;
    d.Mode = "up";
    d.Zone = "0";
    gDataset = {d};
    Answer();
    w_->InitSetlist();
    w_->ListBox1.SetListIndex(0);
    return Time("ToolItem1", [this] { return w_->pFin && !w_->pSyncRFlg && w_->SyncConnectionIdle(); }, 300, ok);
  }

  // Seconds from "同期" to the end notice; ok when it came.
  double Sync(bool& ok)
  {
    notices_ = 0;
    Answer();
    const double seconds = Time("ToolItem4", [this] { return notices_ > 0 || !w_->SyncRunning(); }, 600, ok);
    ok = ok && notices_ == 1;
    return seconds;
  }

  void Disconnect()
  {
    w_->Toolbar11.Press("ToolItem2");
    RunEventLoopUntil([&] { return !w_->commandSocket.IsOpen(); }, 10'000);
  }

  int Ticked() const
  {
    return static_cast<int>(std::count_if(w_->pSyncL.begin(), w_->pSyncL.end(), [](auto& r) { return r.check; }));
  }

  bool watch = false;  // the loop's pauses are measured (not for timing)
  double pause = 0;    // ms, of the last Connect or Sync when watched
  int commands = 0;    // sent in the last Connect or Sync

private:
  // Seconds from a press of the toolbar item, delivered as the click is,
  // until done() holds after some turn of the loop; ok when it did.
  double Time(const char* item, const std::function<bool()>& done, int seconds, bool& ok)
  {
    const std::size_t logged = w_->EditField5.Text().size();
    bool pressed = false;
    if (watch)
      meter_.Start();
    const auto start = std::chrono::steady_clock::now();
    PostEvent([this, item, &pressed] {
      pressed = true;
      w_->Toolbar11.Press(item);
    });
    ok = RunEventLoopUntil([&] { return pressed && done(); }, seconds * 1000);
    const double taken = Seconds(start);
    pause = watch ? meter_.Stop() : 0;
    const std::string log = w_->EditField5.Text();
    commands = FinalReplies(log.size() >= logged ? log.substr(logged) : log); // a connect may clear it
    return taken;
  }

  // The headless run installs its own answers, so these go in again each time.
  void Answer()
  {
    SetModalResponder([this](const ModalRequest& r) {
      if (r.kind == ModalKind::MessageBox)
        std::fprintf(stderr, "message: %s\n", r.message.c_str());
      notices_ += r.message == ConnectionText::SyncFinished;
      return ModalAnswer{0, {}};
    });
  }

  std::unique_ptr<App> app_ = std::make_unique<App>();
  Window1* w_ = nullptr;
  PauseMeter meter_;
  int notices_ = 0;
};

// The best of the timed rounds, the one least disturbed by the rest of the
// machine; ok when every round did its work; the longest pause of the
// watched round.
struct Figure {
  double seconds = 0;
  bool ok = true;
  double pause = 0;
  int rounds = 0;
  void Take(double s, bool good)
  {
    seconds = rounds++ > 0 ? std::min(seconds, s) : s;
    ok = ok && good;
  }
  void Watch(double longestPause, bool good)
  {
    pause = longestPause;
    ok = ok && good;
  }
};

const char* Failed(bool ok) { return ok ? "" : " FAILED"; }

void AgeFiles(const std::string& tree)
{
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(72);
  for (const auto& e : fs::recursive_directory_iterator(tree))
    if (e.is_regular_file())
      fs::last_write_time(e.path(), old);
}

std::string MakeBigFile()
{
  const std::string dir = OffscreenRun::Temp("big");
  std::ofstream out(dir + "/big.bin", std::ios::binary);
  std::string block(1 << 20, '\0');
  std::uint32_t x = 12345;
  for (char& c : block) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  for (std::int64_t left = kBigFile; left > 0; left -= static_cast<std::int64_t>(block.size()))
    out.write(block.data(), std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
  return dir;
}

double RunCurl(const FtpServerProcess& server, const std::string& file, bool& ok)
{
  const std::string cmd = "curl -s -S --ftp-create-dirs -u '" + server.User() + ":" + server.Password() + "' -T '" +
                          file + "' ftp://" + server.Host() + ":" + std::to_string(server.Port()) + "/cu/";
  const auto start = std::chrono::steady_clock::now();
  ok = std::system(cmd.c_str()) == 0;
  return Seconds(start);
}

std::int64_t SizeOf(const std::string& path)
{
  std::error_code ec;
  const auto n = fs::file_size(path, ec);
  return ec ? -1 : static_cast<std::int64_t>(n);
}

} // namespace

int main(int argc, char** argv)
{
  ReexecInPrivateNetwork(argc, argv);
  OffscreenRun folders;
  InitFramework(argc, argv);
  const int files = std::max(kFilesPerFolder, argc > 2 ? std::atoi(argv[2]) : kFiles);
  const int tops = files / kFilesPerFolder;
  const std::string runTree = MakeTree(tops, kFilesPerFolder);
  const std::string compareTree = MakeTree(tops, 10, 9);
  AgeFiles(compareTree); // the server's copies are newer: nothing to send
  const std::string bigDir = MakeBigFile();
  const int n = tops * kFilesPerFolder;
  const int compared = tops * 10; // folders of the compare

  int rc = 0;
  WindowDriver window;
  std::printf("run of %d new files of 1 KiB in %d folders; compare of %d files in %d folders in step; "
              "run of one file of %lld bytes. Passive mode; the best of %d rounds after one watched round.\n",
              n, tops, n, compared, static_cast<long long>(kBigFile), kRounds);
  for (FtpServerKind kind : ServerKinds(argc, argv)) {
    FtpServerOptions options;
    options.port = 21;
    FtpServerProcess server(kind, options);
    server.MakeFolder("c");
    server.MakeFolder("b");
    fs::copy(compareTree, server.Root() + "/c", fs::copy_options::recursive);
    Figure run, headless, lftp, compare, dry, big, curl;
    int ourCommands = 0, ourCompareCommands = 0;
    int lftpCommands = 0, lftpCompareCommands = 0;
    bool ok = false;
    for (int r = 0; r <= kRounds; ++r) {
      const bool watched = r == 0;
      window.watch = watched;
      auto take = [&](Figure& f, double s, bool good) { watched ? f.Watch(window.pause, good) : f.Take(s, good); };
      const std::string round = std::to_string(r);
      for (const std::string f : {"w", "q"})
        server.MakeFolder(f + round);
      window.Connect(server, "/w" + round, runTree, ok);
      const double s = ok ? window.Sync(ok) : 0;
      window.Disconnect();
      take(run, s, ok && CountFiles(server.Root() + "/w" + round) == n);
      if (watched) {
        ourCommands = window.commands;
        lftpCommands = LftpCommandsSent(server, true, kLikeUs + kMirror + runTree + " l" + round);
      } else {
        const double h = HeadlessRun(server, runTree, "/q" + round, true, ok);
        headless.Take(h, ok && CountFiles(server.Root() + "/q" + round) == n);
        const double l = RunLftpCommands(server, true, kLikeUs + kMirror + runTree + " l" + round, ok);
        lftp.Take(l, ok);
      }

      const double c = window.Connect(server, "/c", compareTree, ok);
      take(compare, c, ok && window.Ticked() == 0);
      window.Disconnect();
      if (watched) {
        ourCompareCommands = window.commands;
        lftpCompareCommands = LftpCommandsSent(server, true, kLikeUs + kMirror + "--dry-run " + compareTree + " c");
      } else {
        const double d = RunLftpCommands(server, true, kLikeUs + kMirror + "--dry-run " + compareTree + " c", ok);
        dry.Take(d, ok);
      }

      window.Connect(server, "/b", bigDir, ok);
      const double b = ok ? window.Sync(ok) : 0;
      window.Disconnect();
      take(big, b, ok && SizeOf(server.Root() + "/b/big.bin") == kBigFile);
      if (!watched) {
        const double u = RunCurl(server, bigDir + "/big.bin", ok);
        curl.Take(u, ok && SizeOf(server.Root() + "/cu/big.bin") == kBigFile);
      }
      for (const char* sent : {"/b/big.bin", "/cu/big.bin"})
        fs::remove(server.Root() + sent);
    }
    std::printf("%-10s files    window %6.3f ms/file%s (longest pause %3.0f ms)   headless %6.3f ms/file%s   "
                "lftp mirror -R %6.3f ms/file%s\n",
                server.Name(), run.seconds * 1000 / n, Failed(run.ok), run.pause, headless.seconds * 1000 / n,
                Failed(headless.ok), lftp.seconds * 1000 / n, Failed(lftp.ok));
    std::printf("%-10s commands window %5.2f a file, %5.2f a folder compared   lftp %5.2f a file%s, %5.2f a "
                "folder compared%s\n",
                server.Name(), static_cast<double>(ourCommands) / n, static_cast<double>(ourCompareCommands) / compared,
                static_cast<double>(lftpCommands) / n, Failed(lftpCommands >= 0),
                static_cast<double>(lftpCompareCommands) / compared, Failed(lftpCompareCommands >= 0));
    std::printf("%-10s compare  window %6.3f s%s (longest pause %3.0f ms)   lftp mirror -R --dry-run %6.3f s%s\n",
                server.Name(), compare.seconds, Failed(compare.ok), compare.pause, dry.seconds, Failed(dry.ok));
    std::printf("%-10s 200 MB   window %6.0f MB/s%s (longest pause %3.0f ms)   curl -T %6.0f MB/s%s\n",
                server.Name(), kBigFile / 1e6 / big.seconds, Failed(big.ok), big.pause, kBigFile / 1e6 / curl.seconds,
                Failed(curl.ok));
    std::fflush(stdout);
    rc |= !(run.ok && compare.ok && big.ok);
  }
  for (const std::string& dir : {runTree, compareTree, bigDir})
    fs::remove_all(dir);
  return rc;
}
