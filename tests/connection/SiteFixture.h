#pragma once
// A local site folder and a remote one that differ in every way a run has
// to handle, and the server folder a run must leave behind.

#include "FtpServers.h"
#include "ModalRecorder.h"
#include "TempDir.h"

#include "framework/Window.h"
#include "settings/Globals.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>

namespace site {

// Answers every dialog the way a user who goes ahead would: the default
// button of a window, the action button of a question.
inline void AnswerGoAhead(int times)
{
  for (int i = 0; i < times; ++i)
    ModalRecorder::Push([](const ModalRequest& r) {
      if (r.window)
        r.window->PressDefaultButton(false);
      return ModalAnswer{0, {}};
    });
}

inline void SetAge(const std::string& path, int days)
{
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = std::time(nullptr) - days * 86400L;
  times[0].tv_nsec = times[1].tv_nsec = 0;
  ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

inline void WriteAged(const std::string& path, const std::string& bytes, int days)
{
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
  SetAge(path, days);
}

inline std::string Binary()
{
  std::string b;
  for (int i = 0; i < 512; ++i)
    b += static_cast<char>(i % 256);
  return b + "\r\n\n\r";
}

const std::string kText = "line one\r\nline two\rline three\nlast";

// The type table every run here uses.
inline void UseTypeTable()
{
  gFileType = {{"html", "A"}, {"txt", "A"}, {"gif", "I"}, {"png", "I"}};
}

// The program connects to port 21 only.
inline FtpServerOptions OnPort21(const std::string& user = "quill", NameFolding folding = NameFolding::None)
{
  FtpServerOptions o;
  o.port = 21;
  o.user = user;
  o.folding = folding;
  return o;
}

// Local: what is new or newer goes up.
inline void BuildLocal(const std::string& root)
{
  WriteAged(root + "/index.html", "<p>\nhello\n</p>\n", 0);
  WriteAged(root + "/same.txt", "local but older", 5);
  WriteAged(root + "/newer.txt", kText, 0);
  WriteAged(root + "/img/logo.gif", Binary(), 0);
  WriteAged(root + "/img/deep/a.png", Binary() + "png", 0);
  WriteAged(root + "/docs/readme.txt", "read\nme\n", 0);
  WriteAged(root + "/docs/empty.txt", "", 0);
  WriteAged(root + "/新しい フォルダ/名前 と空白.txt", "utf-8\n", 0);
}

// Remote, under the served folder's "site".
inline void BuildRemote(const FtpServerProcess& server)
{
  const std::string r = server.Root() + "/site/";
  server.MakeFolder("site/docs");
  server.MakeFolder("site/olddir/sub");
  server.WriteFile("site/same.txt", "REMOTE");
  server.WriteFile("site/newer.txt", "OLD");
  server.WriteFile("site/docs/readme.txt", "old readme");
  server.WriteFile("site/gone.txt", "gone");
  server.WriteFile("site/olddir/x.txt", "x");
  server.WriteFile("site/olddir/sub/y.txt", "y");
  SetAge(r + "same.txt", 0);
  for (const char* f : {"newer.txt", "docs/readme.txt", "gone.txt", "olddir/x.txt", "olddir/sub/y.txt"})
    SetAge(r + f, 3);
}

using Tree = std::map<std::string, std::string>; // relative path -> bytes, "<dir>" for folders

inline Tree ReadTree(const std::string& root)
{
  Tree t;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    const std::string rel = std::filesystem::relative(e.path(), root).string();
    if (e.is_directory()) {
      t[rel] = "<dir>";
    } else {
      std::ifstream in(e.path(), std::ios::binary);
      t[rel] = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  return t;
}

// What the server's "site" holds after a run; the text files went up in
// ASCII mode, stored as that server stores them.
inline Tree Expected(const FtpServerProcess& server, bool removed)
{
  Tree t{{"same.txt", "REMOTE"},
         {"newer.txt", server.TextAsStored(kText)},
         {"index.html", server.TextAsStored("<p>\nhello\n</p>\n")},
         {"img", "<dir>"},
         {"img/logo.gif", Binary()},
         {"img/deep", "<dir>"},
         {"img/deep/a.png", Binary() + "png"},
         {"docs", "<dir>"},
         {"docs/readme.txt", server.TextAsStored("read\nme\n")},
         {"docs/empty.txt", ""},
         {"新しい フォルダ", "<dir>"},
         {"新しい フォルダ/名前 と空白.txt", server.TextAsStored("utf-8\n")}};
  if (!removed) {
    t["gone.txt"] = "gone";
    t["olddir"] = "<dir>";
    t["olddir/x.txt"] = "x";
    t["olddir/sub"] = "<dir>";
    t["olddir/sub/y.txt"] = "y";
  }
  return t;
}

} // namespace site
