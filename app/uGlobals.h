#pragma once
// Where things are and how the user left them: file locations derived from
// the program file, the user's four settings and the product information.
// All values are process-wide and live from the unit's start step to its
// shutdown step (TGlobalsUnit).

#include <string>

#include "uBookLocation.h"

struct TGlobals {
  // Locations; folders end with "/".
  std::string AppPath;
  std::string SettingsFile;
  std::string GlobalIniFile;
  std::string DBPath;
  std::string DBFile;
  std::string HelpPath;

  // Settings, section "Main" of SettingsFile.
  int FontSize = 10;
  bool IsFirstStart = true;
  bool DirectoryWordWrap = false;
  bool ShowButtonCaptions = true;
  // Where the book is and who signs in on a server; read, never written.
  std::string Database;
  std::string DatabaseUser;
  // Database read by ParseBookLocation; an embedded book's file is DBFile.
  TBookLocation Book;

  // Product information, section "Main" of GlobalIniFile (read only).
  std::string Title;
  std::string SmallTitle;
  std::string Description;
  std::string ID;
  std::string URL;
  std::string Type = "ЗОРВАНА";
  std::string Program;

  // Set by LoadSettings when the settings file or Global.ini was too large
  // to be read (see kMaxIniFileSize): what the program tells the user at
  // start. Empty when both were read as usual.
  std::string SettingsWarning;
};

TGlobals& Globals();

// The running program file (from /proc/self/exe).
std::string RunningProgramFile();

// Fills every location from the program file's path; resets nothing else.
void ComputeLocations(const std::string& programFile);

// Reads SettingsFile and GlobalIniFile by their rules; never writes.
void LoadSettings();
// Writes the four settings back when SettingsFile exists; never creates it.
void SaveSettings();
// Puts every value back to its default and clears the locations.
void ResetGlobals();

// address + "?" or "&" + "r1=product&r2=" + lower-cased ID, unless the
// address already carries "r1=" or "&r2=".
std::string BuildSiteLink(const std::string& address);

// The unit's start and shutdown steps as one object: construction computes
// the locations from the running program and loads the settings;
// destruction saves them and clears every value.
class TGlobalsUnit {
 public:
  TGlobalsUnit();
  explicit TGlobalsUnit(const std::string& programFile);
  ~TGlobalsUnit();
  TGlobalsUnit(const TGlobalsUnit&) = delete;
  TGlobalsUnit& operator=(const TGlobalsUnit&) = delete;
};
