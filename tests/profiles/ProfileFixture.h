#pragma once
// A started application with its own settings folder, so what it writes at
// quit can be read back byte for byte.

#include "../app/AppFixture.h"
#include "settings/Globals.h"
#include "TempDir.h"

#include <cstdint>
#include <string>

class ProfileTest : public AppFixture {
protected:
  ProfileTest() : config_("XDG_CONFIG_HOME", dir_ / "config") {}

  void SetUp() override
  {
    resetGlobals();
    Start();
  }
  void TearDown() override
  {
    AppFixture::TearDown();
    resetGlobals();
  }

  // Starts the program as a user does: settings read, the window opened.
  void Start()
  {
    AppFixture::SetUp();
    StartUp();
    w->makeConnectionHook = [this] { ++connects; };
  }
  void Restart()
  {
    Quit();
    resetGlobals();
    Start();
  }

  std::string datasetBytes() const { return dir_.Read("config/Quillmere初期設定/dataset"); }

  // Fills the edit page as a user types.
  struct Form {
    std::string name, adrs, user, pass, rDir;
    bool passive = true;
    std::string path; // answered to "選択..."; empty: not pressed
    int mode = 0;
    bool zone = false;
    std::string hours;
  };
  void fill(const Form& f)
  {
    w->EditField7.SetText(f.name);
    w->EditField1.SetText(f.adrs);
    w->EditField2.SetText(f.user);
    w->EditField3.SetText(f.pass);
    w->EditField4.SetText(f.rDir);
    w->CheckBox2.SetValue(f.passive);
    if (!f.path.empty()) {
      ModalRecorder::PushPath(f.path);
      w->BevelButton4.Push();
    }
    w->PopupMenu1.SetListIndex(f.mode);
    w->CheckBox4.SetValue(f.zone);
    if (f.zone)
      w->EditField8.SetText(f.hours);
  }
  // "＋", the form, "保存".
  void create(const Form& f)
  {
    w->BevelButton1.Push();
    fill(f);
    w->BevelButton5.Push();
  }
  void selectRow(int row) { w->ListBox1.SetListIndex(row); }

  static std::string int32(std::int32_t v)
  {
    const auto u = static_cast<std::uint32_t>(v);
    return {static_cast<char>(u >> 24), static_cast<char>(u >> 16), static_cast<char>(u >> 8), static_cast<char>(u)};
  }
  static std::string pstr(const std::string& s) { return std::string(1, static_cast<char>(s.size())) + s; }
  static std::string bytesOf(const Dataset& d)
  {
    return pstr(d.Name) + pstr(d.Adrs) + pstr(d.User) + pstr(d.Pass) + pstr(d.rDir) + pstr(d.Pasv) +
           int32(static_cast<std::int32_t>(d.Path.size())) + d.Path + pstr(d.Mode) + pstr(d.Zone);
  }

  static void resetGlobals()
  {
    gPref.fill(0);
    gDataset.clear();
    gFileType.clear();
  }

  TempDir dir_;
  TempDir sites_; // local folders the profiles point at
  EnvGuard config_;
  int connects = 0;
};
