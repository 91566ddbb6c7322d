#pragma once
// Stand-in for the settings store while it is being written on its own
// branch: the names and shapes the shell calls, kept in memory only (no
// file is read or written). Replaced by the real headers at the merge.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class Window;

#define QUILL_SETTINGS_STANDIN 1

struct Dataset {
  bool Eflg = true;
  std::string Name, Adrs, User, Pass, rDir, Pasv, Path, Mode, Zone;
};

extern std::array<std::int32_t, 51> gPref;
extern std::vector<Dataset> gDataset;
extern int gTzone;

constexpr int CautionAlternate = 0;
constexpr int CautionCancel = 1;
constexpr int CautionAction = 2;

void gGetTimeZone();
void InitPref();
void LoadPref();
bool LoadFileType();
void InitFileType();
void LoadSet();
void CloseApp();
int gCautionDlg(int buttons, const std::string& actionCaption, const std::string& cancelCaption,
                const std::string& altCaption, const std::string& message, const std::string& explanation,
                Window& parentWindow);
void gCautionDlg1(const std::string& message, const std::string& explanation, Window& parentWindow);
