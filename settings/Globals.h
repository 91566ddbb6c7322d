#pragma once
// The settings store: preference slots, connection profiles and the
// transfer-type table, their three files in the settings folder, the caution
// alerts and the small helpers every window shares.

#include "framework/FolderItem.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class Window;

// One connection profile. Eflg false marks a profile deleted during this run.
struct Dataset {
  bool Eflg = true;
  std::string Name; // UTF-8
  std::string Adrs;
  std::string User;
  std::string Pass;
  std::string rDir;
  std::string Pasv; // "yes" or "no"
  std::string Path; // local folder, UTF-8
  std::string Mode; // "sync" or "up"
  std::string Zone; // hours as decimal text, "0" for none

  bool operator==(const Dataset&) const = default;
};

// One row of the transfer-type table: extension without the dot, and "A" or "I".
struct FileTypeEntry {
  std::string ext;
  std::string bin;

  bool operator==(const FileTypeEntry&) const = default;
};

// Preference slots.
constexpr int PrefSlotCount = 51;
constexpr int PrefWindowLeft = 1;
constexpr int PrefWindowTop = 2;
constexpr int PrefWindowWidth = 3;
constexpr int PrefWindowHeight = 4;
constexpr int PrefConnectOnSelect = 9;
constexpr int PrefBeepOnCaution = 10;
constexpr int PrefKeepWindowBounds = 11;
constexpr int PrefConfirmSync = 12;

// Results of gCautionDlg.
constexpr std::int32_t CautionAction = 2;
constexpr std::int32_t CautionCancel = 1;
constexpr std::int32_t CautionAlternate = 0;

extern std::array<std::int32_t, PrefSlotCount> gPref;
extern std::vector<FileTypeEntry> gFileType;
extern std::vector<Dataset> gDataset;
extern std::int32_t gTzone;

// The settings folder inside the preferences folder, and its three files.
FolderItem SettingsFolder();
extern const char* const PrefFileName;
extern const char* const DatasetFileName;
extern const char* const DatasetBadFileName;
extern const char* const FileTypeFileName;

// Loading at start, and saving: the application object at quit, the
// profile pages and the preferences dialog at "保存" and "ー". Each save
// writes its file at once; a box says what was not saved, if anything.
void InitPref();
void LoadPref();
void SavePref();
void LoadSet();
void SaveSet();
bool LoadFileType();
void InitFileType();
void SaveFileType();
// One box naming a settings folder the loaders above found unusable, and
// every settings file they found there but could not read, with what is
// used instead of each.
void TellUnreadableSettings();
// The three files, in that order, with one box for all that was not saved.
void CloseApp();

// Caution alert with 1 to 3 buttons (action, cancel, alternate), modal within
// parentWindow; returns CautionAction, CautionCancel or CautionAlternate.
std::int32_t gCautionDlg(std::int32_t buttons, const std::string& actionCaption, const std::string& cancelCaption,
                         const std::string& altCaption, const std::string& message, const std::string& explanation,
                         ::Window* parentWindow);
// Notice with the one button "OK".
void gCautionDlg1(const std::string& message, const std::string& explanation, ::Window* parentWindow);

// Check-box state to slot value and back.
std::int32_t gConvBI(bool value);
bool gConvIB(std::int32_t value);

// Splits at the last "."; a name without one sets body and leaves extn alone.
void gExtractBodyAndExtn(const std::string& fullName, std::string& body, std::string& extn);

// Days in the month (1 = January) of the year; 0 for another month number.
std::int32_t gDayCount(std::int32_t year, std::int32_t month);
// 1 for a leap year, else 0.
std::int32_t gUruu(std::int32_t year);

// Reads the local offset from GMT in whole hours (east positive) into gTzone.
void gGetTimeZone();
