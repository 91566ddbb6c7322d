// The work of a user through the real main window, offscreen, against real
// servers on 127.0.0.1:21, beside the same work done without the window and
// by lftp and curl on the same server in the same run:
//   - a run of 2,000 new files of 1 KiB in 20 folders (ms a file, the run
//     alone), lftp's "mirror -R";
//   - the compare of 2,000 files in 200 folders already in step (seconds
//     from "接続" to the trees shown), lftp's "mirror -R --dry-run";
//   - a run of one 200 MB file (MB/s), "curl -T".
// lftp is told not to use FEAT and MLSD, so it lists with LIST and sets no
// times, as the program does. Beside the window's figures: the longest the
// event loop went without turning (the window does not answer meanwhile).
// Each figure is the best of five rounds.
// The program always connects to port 21, so this runs itself again inside
// a private network namespace (as root).
// Usage: bench_WindowBench [pyftpdlib|pure-ftpd|both] [files, 2000 if not given]
#include "HeadlessRun.h"

#include "app/App.h"
#include "app/Window1.h"
#include "connection/ConnectionTexts.h"
#include "framework/Events.h"
#include "framework/Timer.h"
#include "settings/Globals.h"

#include <algorithm>
#include <memory>

using namespace bench;

namespace {

constexpr std::int64_t kBigFile = 200'000'000;
constexpr int kRounds = 5;
const std::string kLikeUs = "set ftp:use-feat no; set ftp:use-mlsd no; ";

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
    meter_.Start();
    const auto start = std::chrono::steady_clock::now();
    w_->Toolbar11.Press("ToolItem1");
    ok = PumpUntil([&] { return w_->pFin && !w_->pSyncRFlg && w_->SyncConnectionIdle(); }, 300);
    const double seconds = Seconds(start);
    pause = meter_.Stop();
    return seconds;
  }

  // Seconds from "同期" to the end notice; ok when it came.
  double Sync(bool& ok)
  {
    notices_ = 0;
    Answer();
    meter_.Start();
    const auto start = std::chrono::steady_clock::now();
    w_->Toolbar11.Press("ToolItem4");
    ok = PumpUntil([&] { return notices_ > 0 || !w_->SyncRunning(); }, 600) && notices_ == 1;
    const double seconds = Seconds(start);
    pause = meter_.Stop();
    return seconds;
  }

  void Disconnect()
  {
    w_->Toolbar11.Press("ToolItem2");
    PumpUntil([&] { return !w_->commandSocket.IsOpen(); }, 10);
  }

  int Ticked() const
  {
    return static_cast<int>(std::count_if(w_->pSyncL.begin(), w_->pSyncL.end(), [](auto& r) { return r.check; }));
  }

  double pause = 0; // ms, of the last Connect or Sync

private:
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

// The best of the rounds, the one least disturbed by the rest of the
// machine; ok when every round did its work; the longest pause of any.
struct Figure {
  double seconds = 0;
  bool ok = true;
  double pause = 0;
  int rounds = 0;
  void Take(double s, bool good, double longestPause = 0)
  {
    seconds = rounds++ > 0 ? std::min(seconds, s) : s;
    ok = ok && good;
    pause = std::max(pause, longestPause);
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

  int rc = 0;
  WindowDriver window;
  std::printf("run of %d new files of 1 KiB in %d folders; compare of %d files in %d folders in step; "
              "run of one file of %lld bytes. Passive mode; the best of %d rounds.\n",
              n, tops, n, tops * 10, static_cast<long long>(kBigFile), kRounds);
  for (FtpServerKind kind : ServerKinds(argc, argv)) {
    FtpServerOptions options;
    options.port = 21;
    FtpServerProcess server(kind, options);
    server.MakeFolder("c");
    server.MakeFolder("b");
    fs::copy(compareTree, server.Root() + "/c", fs::copy_options::recursive);
    Figure run, headless, lftp, compare, dry, big, curl;
    bool ok = false;
    for (int r = 0; r < kRounds; ++r) {
      const std::string round = std::to_string(r);
      for (const std::string f : {"w", "q"})
        server.MakeFolder(f + round);
      window.Connect(server, "/w" + round, runTree, ok);
      const double s = ok ? window.Sync(ok) : 0;
      window.Disconnect();
      run.Take(s, ok && CountFiles(server.Root() + "/w" + round) == n, window.pause);
      const double h = HeadlessRun(server, runTree, "/q" + round, true, ok);
      headless.Take(h, ok && CountFiles(server.Root() + "/q" + round) == n);
      const double l = RunLftpCommands(server, true, kLikeUs + "mirror -R " + runTree + " l" + round, ok);
      lftp.Take(l, ok);

      const double c = window.Connect(server, "/c", compareTree, ok);
      compare.Take(c, ok && window.Ticked() == 0, window.pause);
      window.Disconnect();
      const double d = RunLftpCommands(server, true, kLikeUs + "mirror -R --dry-run " + compareTree + " c", ok);
      dry.Take(d, ok);

      window.Connect(server, "/b", bigDir, ok);
      const double b = ok ? window.Sync(ok) : 0;
      window.Disconnect();
      big.Take(b, ok && SizeOf(server.Root() + "/b/big.bin") == kBigFile, window.pause);
      const double u = RunCurl(server, bigDir + "/big.bin", ok);
      curl.Take(u, ok && SizeOf(server.Root() + "/cu/big.bin") == kBigFile);
      for (const char* sent : {"/b/big.bin", "/cu/big.bin"})
        fs::remove(server.Root() + sent);
    }
    std::printf("%-10s files    window %6.3f ms/file%s (longest pause %3.0f ms)   headless %6.3f ms/file%s   "
                "lftp mirror -R %6.3f ms/file%s\n",
                server.Name(), run.seconds * 1000 / n, Failed(run.ok), run.pause, headless.seconds * 1000 / n,
                Failed(headless.ok), lftp.seconds * 1000 / n, Failed(lftp.ok));
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
