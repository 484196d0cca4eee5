#include "uGlobals.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "uIniFile.h"
#include "uText.h"

namespace {

constexpr std::string_view kMainSection = "Main";

bool FileExists(const std::string& name) {
  std::error_code error;
  return std::filesystem::is_regular_file(name, error);
}

// The name's extension (from its last dot) becomes ".ini"; a name without
// one gets ".ini" appended.
std::string SettingsFileName(const std::string& programName) {
  size_t dot = programName.rfind('.');
  return (dot == std::string::npos ? programName : programName.substr(0, dot)) + ".ini";
}

void ReplaceAll(std::string& text, char from, char to) {
  for (char& c : text) {
    if (c == from) c = to;
  }
}

void NoteTooLarge(TGlobals& g, const TIniFile& ini, const std::string& what) {
  if (!ini.IsTooLarge()) return;
  if (!g.SettingsWarning.empty()) g.SettingsWarning += "\r\n\r\n";
  g.SettingsWarning += what + " слишком большой и не прочитан:\r\n" + ini.FileName() + "\r\n" + "Его размер " +
                       GroupThousands(ini.FileSize()) + " байт, а допустимо не больше " +
                       GroupThousands(kMaxIniFileSize) + " байт. Программа этот файл не изменит.";
}

void LoadUserSettings(TGlobals& g) {
  if (!FileExists(g.SettingsFile)) return;
  const TIniFile ini(g.SettingsFile);
  NoteTooLarge(g, ini, "Файл настроек");
  g.FontSize = ini.ReadInteger(kMainSection, "FontSize", g.FontSize);
  g.IsFirstStart = ini.ReadBool(kMainSection, "IsFirstStart", g.IsFirstStart);
  g.DirectoryWordWrap = ini.ReadBool(kMainSection, "DirectoryWordWrap", g.DirectoryWordWrap);
  g.ShowButtonCaptions = ini.ReadBool(kMainSection, "ShowButtonCaptions", g.ShowButtonCaptions);
  g.Database = ini.ReadString(kMainSection, "Database", g.Database);
  g.DatabaseUser = ini.ReadString(kMainSection, "DatabaseUser", g.DatabaseUser);
}

// A plain path in Database moves the embedded book; a server leaves DBFile
// as it is (nothing opens it then).
void LocateBook(TGlobals& g) {
  g.Book = ParseBookLocation(g.Database, g.AppPath);
  if (g.Book.Error.empty() && !g.Book.OnServer) g.DBFile = g.Book.Book;
}

// Global.ini beside the program wins; otherwise the one in Project/ is the
// location, whether it exists or not.
void ChooseGlobalIniFile(TGlobals& g) {
  g.GlobalIniFile = g.AppPath + "Global.ini";
  if (!FileExists(g.GlobalIniFile)) g.GlobalIniFile = g.AppPath + "Project/Global.ini";
}

void LoadProductInformation(TGlobals& g) {
  if (!FileExists(g.GlobalIniFile)) return;
  const TIniFile ini(g.GlobalIniFile);
  NoteTooLarge(g, ini, "Файл сведений о программе");
  g.Title = ini.ReadString(kMainSection, "Title", g.Title);
  g.SmallTitle = ini.ReadString(kMainSection, "SmallTitle", g.SmallTitle);
  // A bar marks where a long title may break; a caption shows it as a blank.
  ReplaceAll(g.Title, '|', ' ');
  g.Description = ini.ReadString(kMainSection, "Description", g.Description);
  g.ID = ini.ReadString(kMainSection, "ID", g.ID);
  g.URL = ini.ReadString(kMainSection, "URL", g.URL);
  g.Type = ini.ReadString(kMainSection, "Type", g.Type);
  g.Program = ini.ReadString(kMainSection, "Program", g.Program);
}

}  // namespace

TGlobals& Globals() {
  static TGlobals globals;
  return globals;
}

std::string RunningProgramFile() {
  std::error_code error;
  std::filesystem::path file = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : file.string();
}

void ComputeLocations(const std::string& programFile) {
  TGlobals& g = Globals();
  const size_t slash = programFile.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  g.AppPath = programFile.substr(0, nameStart);
  g.SettingsFile = g.AppPath + SettingsFileName(programFile.substr(nameStart));
  g.GlobalIniFile = g.AppPath + "Global.ini";
  g.DBPath = g.AppPath + "DB/";
  g.DBFile = g.DBPath + "DB.fdb";
  g.HelpPath = g.AppPath + "Help/";
}

void LoadSettings() {
  TGlobals& g = Globals();
  LoadUserSettings(g);
  LocateBook(g);
  ChooseGlobalIniFile(g);
  LoadProductInformation(g);
}

void SaveSettings() {
  const TGlobals& g = Globals();
  if (!FileExists(g.SettingsFile)) return;
  TIniFile ini(g.SettingsFile);
  ini.WriteInteger(kMainSection, "FontSize", g.FontSize);
  ini.WriteBool(kMainSection, "IsFirstStart", g.IsFirstStart);
  ini.WriteBool(kMainSection, "DirectoryWordWrap", g.DirectoryWordWrap);
  ini.WriteBool(kMainSection, "ShowButtonCaptions", g.ShowButtonCaptions);
  ini.UpdateExistingFile();
}

void ResetGlobals() { Globals() = TGlobals{}; }

std::string BuildSiteLink(const std::string& address) {
  const std::string separator = address.find('?') != std::string::npos ? "&" : "?";
  if (address.find("r1=") != std::string::npos || address.find("&r2=") != std::string::npos) {
    return address;
  }
  return address + separator + "r1=product&r2=" + Utf8ToLower(Globals().ID);
}

TGlobalsUnit::TGlobalsUnit() : TGlobalsUnit(RunningProgramFile()) {}

TGlobalsUnit::TGlobalsUnit(const std::string& programFile) {
  ComputeLocations(programFile);
  LoadSettings();
}

TGlobalsUnit::~TGlobalsUnit() {
  // Shutdown goes on whatever happens to the settings file.
  try {
    SaveSettings();
  } catch (...) {
  }
  try {
    ResetGlobals();
  } catch (...) {
  }
}
