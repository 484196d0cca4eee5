#include "uGlobals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "test_tempdir.h"
#include "uIniFile.h"

namespace {

// A fake program file in a fresh folder; every test starts and ends with
// the default values.
class GlobalsTest : public ::testing::Test {
 protected:
  static constexpr const char* kSettings = "zorvana-directory.ini";

  void SetUp() override {
    ResetGlobals();
    ComputeLocations(FDir.File("zorvana-directory"));
  }
  void TearDown() override { ResetGlobals(); }

  TTempDir FDir;
};

// ---- Locations -----------------------------------------------------------

struct TLocationCase {
  const char* ProgramFile;
  const char* AppPath;
  const char* SettingsFile;
};

class LocationsTest : public ::testing::TestWithParam<TLocationCase> {
 protected:
  void TearDown() override { ResetGlobals(); }
};

TEST_P(LocationsTest, DerivedFromProgramFile) {
  const TLocationCase& c = GetParam();
  ComputeLocations(c.ProgramFile);
  const TGlobals& g = Globals();
  const std::string app = c.AppPath;
  EXPECT_EQ(g.AppPath, app);
  EXPECT_EQ(g.SettingsFile, c.SettingsFile);
  EXPECT_EQ(g.GlobalIniFile, app + "Global.ini");
  EXPECT_EQ(g.DBPath, app + "DB/");
  EXPECT_EQ(g.DBFile, app + "DB/DB.fdb");
  EXPECT_EQ(g.HelpPath, app + "Help/");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LocationsTest,
    ::testing::Values(
        TLocationCase{"/opt/zorvana/zorvana-directory", "/opt/zorvana/",
                      "/opt/zorvana/zorvana-directory.ini"},
        TLocationCase{"/opt/z.d/zorvana-directory", "/opt/z.d/", "/opt/z.d/zorvana-directory.ini"},
        TLocationCase{"/opt/app/Directory.exe", "/opt/app/", "/opt/app/Directory.ini"},
        TLocationCase{"/opt/app/my.app.bin", "/opt/app/", "/opt/app/my.app.ini"},
        TLocationCase{"/zorvana-directory", "/", "/zorvana-directory.ini"}));

TEST_F(GlobalsTest, ComputingLocationsLeavesSettingsAlone) {
  Globals().FontSize = 20;
  Globals().Title = "kept";
  ComputeLocations("/elsewhere/zorvana-directory");
  EXPECT_EQ(Globals().FontSize, 20);
  EXPECT_EQ(Globals().Title, "kept");
}

TEST_F(GlobalsTest, RunningProgramIsThisTestProgram) {
  const std::string program = RunningProgramFile();
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(program.front(), '/');
  EXPECT_TRUE(std::filesystem::equivalent(program, "/proc/self/exe"));

  TGlobalsUnit unit;
  const std::string& appPath = Globals().AppPath;
  EXPECT_EQ(program.substr(0, appPath.size()), appPath);
  EXPECT_EQ(program.find('/', appPath.size()), std::string::npos);
}

// ---- Settings ------------------------------------------------------------

TEST_F(GlobalsTest, WithoutFilesEverythingKeepsItsDefault) {
  LoadSettings();
  const TGlobals& g = Globals();
  EXPECT_EQ(g.FontSize, 10);
  EXPECT_TRUE(g.IsFirstStart);
  EXPECT_FALSE(g.DirectoryWordWrap);
  EXPECT_TRUE(g.ShowButtonCaptions);
  for (const std::string* text : {&g.Title, &g.SmallTitle, &g.Description, &g.ID, &g.URL, &g.Program}) {
    EXPECT_EQ(*text, "");
  }
  EXPECT_EQ(g.Type, "ЗОРВАНА");
}

struct TSettingsCase {
  const char* File;
  int FontSize;
  bool IsFirstStart;
  bool DirectoryWordWrap;
  bool ShowButtonCaptions;
};

class SettingsReadTest : public GlobalsTest, public ::testing::WithParamInterface<TSettingsCase> {};

TEST_P(SettingsReadTest, ReadsFourSettings) {
  const TSettingsCase& c = GetParam();
  FDir.Write(kSettings, c.File);
  LoadSettings();
  const TGlobals& g = Globals();
  EXPECT_EQ(g.FontSize, c.FontSize);
  EXPECT_EQ(g.IsFirstStart, c.IsFirstStart);
  EXPECT_EQ(g.DirectoryWordWrap, c.DirectoryWordWrap);
  EXPECT_EQ(g.ShowButtonCaptions, c.ShowButtonCaptions);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsReadTest,
    ::testing::Values(
        TSettingsCase{"[Main]\r\nFontSize=12\r\nIsFirstStart=0\r\nDirectoryWordWrap=1\r\n"
                      "ShowButtonCaptions=0\r\n",
                      12, false, true, false},
        TSettingsCase{"[main]\nfontsize=0x10\nisfirststart=2\n", 16, true, false, true},
        TSettingsCase{"[Main]\nFontSize=abc\nIsFirstStart=abc\nDirectoryWordWrap=abc\n", 10, true,
                      false, true},
        TSettingsCase{"[Other]\nFontSize=12\nIsFirstStart=0\n", 10, true, false, true},
        TSettingsCase{"", 10, true, false, true}));

TEST_F(GlobalsTest, MissingKeyKeepsTheCurrentValue) {
  FDir.Write(kSettings, "[Main]\n");
  Globals().FontSize = 14;
  Globals().DirectoryWordWrap = true;
  LoadSettings();
  EXPECT_EQ(Globals().FontSize, 14);
  EXPECT_TRUE(Globals().DirectoryWordWrap);
}

TEST_F(GlobalsTest, SaveWritesAllFourKeysIntoHeaderOnlyFile) {
  for (const std::string ending : {"\n", "\r\n"}) {
    FDir.Write(kSettings, "[Main]" + ending);
    LoadSettings();
    Globals().IsFirstStart = false;  // as the main window does on its first showing
    SaveSettings();
    EXPECT_EQ(FDir.Read(kSettings), "[Main]" + ending + "FontSize=10" + ending + "IsFirstStart=0" +
                                        ending + "DirectoryWordWrap=0" + ending +
                                        "ShowButtonCaptions=1" + ending);
    ResetGlobals();
    ComputeLocations(FDir.File("zorvana-directory"));
  }
}

TEST_F(GlobalsTest, SaveReplacesValuesInPlace) {
  const std::string before =
      "; user settings\r\n[Main]\r\nShowButtonCaptions=1\r\nFontSize=0x10\r\n"
      "DirectoryWordWrap=0\r\nIsFirstStart=1\r\n\r\n[Window]\r\nLeft=5\r\n";
  FDir.Write(kSettings, before);
  LoadSettings();
  Globals().IsFirstStart = false;
  Globals().DirectoryWordWrap = true;
  Globals().ShowButtonCaptions = false;
  SaveSettings();
  EXPECT_EQ(FDir.Read(kSettings),
            "; user settings\r\n[Main]\r\nShowButtonCaptions=0\r\nFontSize=16\r\n"
            "DirectoryWordWrap=1\r\nIsFirstStart=0\r\n\r\n[Window]\r\nLeft=5\r\n");
}

TEST_F(GlobalsTest, DatabaseKeysAreReadNeverWrittenAndAPlainPathMovesTheBook) {
  const std::string defaultFile = Globals().DBFile;
  struct TCase {
    std::string Line;
    bool OnServer;
    std::string DBFile;
  } cases[] = {
      {"", false, defaultFile},
      {"database=books/team.fdb", false, FDir.File("books/team.fdb")},
      {"Database=/srv/team.fdb", false, "/srv/team.fdb"},
      {"Database=localhost/3051:/srv/team.fdb", true, defaultFile},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Line);
    const std::string text = "[Main]\n" + c.Line + "\nDatabaseUser=alice\n";
    FDir.Write(kSettings, text);
    LoadSettings();
    EXPECT_EQ(Globals().Book.OnServer, c.OnServer);
    EXPECT_EQ(Globals().DBFile, c.DBFile);
    EXPECT_EQ(Globals().DatabaseUser, "alice");
    SaveSettings();
    const std::string saved = FDir.Read(kSettings);
    EXPECT_EQ(saved.substr(0, text.size()), text) << "the two keys stay as they were";
    ResetGlobals();
    ComputeLocations(FDir.File("zorvana-directory"));
  }
}

// A settings file that other software filled with a very long [Main]
// section: reading and rewriting it take time in proportion to its size,
// and every other line stays. (A step per line that walked the section
// again took half a minute here.)
TEST_F(GlobalsTest, LongMainSectionIsReadAndRewrittenQuickly) {
  constexpr int kLines = 40000;
  std::string body = "[Main]\r\n";
  for (int i = 0; i < kLines; ++i) body += "Key" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
  FDir.Write(kSettings, body + "FontSize=12\r\n\r\n[Other]\r\nA=1\r\n");

  const auto start = std::chrono::steady_clock::now();
  LoadSettings();
  EXPECT_EQ(Globals().FontSize, 12);
  Globals().IsFirstStart = false;
  SaveSettings();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // Far above what the work takes on a loaded machine, far below half a minute.
  EXPECT_LT(seconds, 5.0);
  EXPECT_EQ(FDir.Read(kSettings), body + "FontSize=12\r\nIsFirstStart=0\r\nDirectoryWordWrap=0\r\n"
                                         "ShowButtonCaptions=1\r\n\r\n[Other]\r\nA=1\r\n");
  EXPECT_EQ(Globals().SettingsWarning, "");
}

// A settings file or Global.ini past the size limit is neither read nor
// rewritten, and the program is given the words to say so.
TEST_F(GlobalsTest, OversizedFilesAreLeftUnreadAndUntouched) {
  const std::string big = "[Main]\r\nFontSize=12\r\nTitle=Big\r\n; " + std::string(kMaxIniFileSize, 'x') + "\r\n";
  FDir.Write(kSettings, big);
  FDir.Write("Global.ini", big);
  const auto start = std::chrono::steady_clock::now();
  LoadSettings();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(Globals().FontSize, 10);
  EXPECT_EQ(Globals().Title, "");
  const std::string size = std::to_string(big.size());
  const std::string grouped = size.substr(0, size.size() - 6) + " " + size.substr(size.size() - 6, 3) + " " +
                              size.substr(size.size() - 3);
  EXPECT_EQ(Globals().SettingsWarning,
            "Файл настроек слишком большой и не прочитан:\r\n" + FDir.File(kSettings) + "\r\nЕго размер " + grouped +
                " байт, а допустимо не больше 4 194 304 байт. Программа этот файл не изменит.\r\n\r\n"
                "Файл сведений о программе слишком большой и не прочитан:\r\n" + FDir.File("Global.ini") +
                "\r\nЕго размер " + grouped + " байт, а допустимо не больше 4 194 304 байт. Программа этот файл не изменит.");
  Globals().IsFirstStart = false;
  SaveSettings();
  EXPECT_EQ(FDir.Read(kSettings), big);

  // At the limit itself the file is still read.
  std::string fits = "[Main]\r\nFontSize=12\r\n; ";
  fits += std::string(kMaxIniFileSize - fits.size(), 'x');
  FDir.Write(kSettings, fits);
  ResetGlobals();
  ComputeLocations(FDir.File("zorvana-directory"));
  FDir.Write("Global.ini", "");
  LoadSettings();
  EXPECT_EQ(Globals().FontSize, 12);
  EXPECT_EQ(Globals().SettingsWarning, "");
}

TEST_F(GlobalsTest, SaveNeverCreatesSettingsFile) {
  // Two runs: without the file every start is a first start.
  for (int run = 0; run < 2; ++run) {
    TGlobalsUnit unit(FDir.File("zorvana-directory"));
    EXPECT_TRUE(Globals().IsFirstStart) << "run " << run;
    Globals().IsFirstStart = false;
  }
  EXPECT_FALSE(FDir.Exists(kSettings));
}

// ---- Product information -------------------------------------------------

struct TGlobalIniCase {
  const char* Name;
  bool BesideProgram;
  bool InProject;
  const char* ExpectedFile;
  const char* ExpectedTitle;
};

class GlobalIniPlaceTest : public GlobalsTest, public ::testing::WithParamInterface<TGlobalIniCase> {};

TEST_P(GlobalIniPlaceTest, BesideProgramWinsOverProject) {
  const TGlobalIniCase& c = GetParam();
  if (c.BesideProgram) FDir.Write("Global.ini", "[Main]\nTitle=Beside\n");
  if (c.InProject) FDir.Write("Project/Global.ini", "[Main]\nTitle=Project\n");
  LoadSettings();
  EXPECT_EQ(Globals().GlobalIniFile, FDir.File(c.ExpectedFile));
  EXPECT_EQ(Globals().Title, c.ExpectedTitle);
}

INSTANTIATE_TEST_SUITE_P(
    Places, GlobalIniPlaceTest,
    ::testing::Values(TGlobalIniCase{"Both", true, true, "Global.ini", "Beside"},
                      TGlobalIniCase{"BesideOnly", true, false, "Global.ini", "Beside"},
                      TGlobalIniCase{"ProjectOnly", false, true, "Project/Global.ini", "Project"},
                      TGlobalIniCase{"Neither", false, false, "Project/Global.ini", ""}),
    [](const ::testing::TestParamInfo<TGlobalIniCase>& info) { return std::string(info.param.Name); });

TEST_F(GlobalsTest, ReadsEveryProductKeyAndNeverWritesGlobalIni) {
  const std::string global =
      "[Main]\r\nTitle=Справочник|формулировок\r\nSmallTitle=Малый|заголовок\r\n"
      "Description=Описание\r\nID=ZDir\r\nURL=https://example.org/\r\nType=ЗОРВАНА-Справочник\r\n"
      "Program=zorvana-directory\r\n";
  FDir.Write("Global.ini", global);
  FDir.Write(kSettings, "[Main]\r\n");
  {
    TGlobalsUnit unit(FDir.File("zorvana-directory"));
    const TGlobals& g = Globals();
    EXPECT_EQ(g.Title, "Справочник формулировок");
    EXPECT_EQ(g.SmallTitle, "Малый|заголовок");
    EXPECT_EQ(g.Description, "Описание");
    EXPECT_EQ(g.ID, "ZDir");
    EXPECT_EQ(g.URL, "https://example.org/");
    EXPECT_EQ(g.Type, "ЗОРВАНА-Справочник");
    EXPECT_EQ(g.Program, "zorvana-directory");
  }
  EXPECT_EQ(FDir.Read("Global.ini"), global);
}

TEST_F(GlobalsTest, MissingProductKeysKeepDefaults) {
  FDir.Write("Global.ini", "[Main]\nTitle=T\n");
  LoadSettings();
  EXPECT_EQ(Globals().Title, "T");
  EXPECT_EQ(Globals().Type, "ЗОРВАНА");
  EXPECT_EQ(Globals().ID, "");
}

TEST_F(GlobalsTest, TitleBarsBecomeBlanks) {
  struct {
    const char* Value;
    const char* Expected;
  } cases[] = {
      {"Справочник|формулировок", "Справочник формулировок"},
      {"Два||бара", "Два  бара"},
      {"|края|", " края "},
      {"без баров", "без баров"},
  };
  for (const auto& c : cases) {
    FDir.Write("Global.ini", std::string("[Main]\nTitle=") + c.Value + "\n");
    Globals().Title.clear();
    LoadSettings();
    EXPECT_EQ(Globals().Title, c.Expected) << c.Value;
  }
}

TEST_F(GlobalsTest, Windows1251GlobalIniReadsCyrillic) {
  // "Справочник|формулировок" and "ЗОРВАНА" in Windows-1251.
  FDir.Write("Global.ini",
             "[Main]\r\nTitle=\xD1\xEF\xF0\xE0\xE2\xEE\xF7\xED\xE8\xEA|\xF4\xEE\xF0\xEC\xF3\xEB\xE8"
             "\xF0\xEE\xE2\xEE\xEA\r\nType=\xC7\xCE\xD0\xC2\xC0\xCD\xC0\r\n");
  LoadSettings();
  EXPECT_EQ(Globals().Title, "Справочник формулировок");
  EXPECT_EQ(Globals().Type, "ЗОРВАНА");
}

// ---- Site links ----------------------------------------------------------

struct TLinkCase {
  const char* ID;
  const char* Address;
  const char* Expected;
};

class SiteLinkTest : public ::testing::TestWithParam<TLinkCase> {
 protected:
  void TearDown() override { ResetGlobals(); }
};

TEST_P(SiteLinkTest, AddsProductQueryOnce) {
  const TLinkCase& c = GetParam();
  Globals().ID = c.ID;
  EXPECT_EQ(BuildSiteLink(c.Address), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, SiteLinkTest,
    ::testing::Values(
        TLinkCase{"ZDIR", "https://a.org/", "https://a.org/?r1=product&r2=zdir"},
        TLinkCase{"ZDIR", "https://a.org/?lang=ru", "https://a.org/?lang=ru&r1=product&r2=zdir"},
        TLinkCase{"ZDIR", "https://a.org/?", "https://a.org/?&r1=product&r2=zdir"},
        TLinkCase{"ZDIR", "https://a.org/?r1=x", "https://a.org/?r1=x"},
        TLinkCase{"ZDIR", "https://a.org/page?xr1=y", "https://a.org/page?xr1=y"},
        TLinkCase{"ZDIR", "https://a.org/?a=1&r2=y", "https://a.org/?a=1&r2=y"},
        TLinkCase{"ZDIR", "https://a.org/?r2=y", "https://a.org/?r2=y&r1=product&r2=zdir"},
        TLinkCase{"ZDIR", "https://a.org/?R1=y", "https://a.org/?R1=y&r1=product&r2=zdir"},
        TLinkCase{"СпрАВ-Ёж", "mailto:x@a.org", "mailto:x@a.org?r1=product&r2=справ-ёж"},
        TLinkCase{"", "https://a.org/", "https://a.org/?r1=product&r2="},
        TLinkCase{"ZDIR", "", "?r1=product&r2=zdir"}));

// ---- Unit start and shutdown ---------------------------------------------

TEST_F(GlobalsTest, UnitLoadsAtStartAndSavesAndClearsAtShutdown) {
  FDir.Write(kSettings, "[Main]\nFontSize=12\n");
  FDir.Write("Global.ini", "[Main]\nTitle=T\n");
  ResetGlobals();
  {
    TGlobalsUnit unit(FDir.File("zorvana-directory"));
    EXPECT_EQ(Globals().AppPath, FDir.Path());
    EXPECT_EQ(Globals().FontSize, 12);
    EXPECT_EQ(Globals().Title, "T");
    Globals().DirectoryWordWrap = true;
  }
  EXPECT_EQ(FDir.Read(kSettings),
            "[Main]\nFontSize=12\nIsFirstStart=1\nDirectoryWordWrap=1\nShowButtonCaptions=1\n");
  const TGlobals& g = Globals();
  EXPECT_EQ(g.AppPath, "");
  EXPECT_EQ(g.DBFile, "");
  EXPECT_EQ(g.FontSize, 10);
  EXPECT_FALSE(g.DirectoryWordWrap);
  EXPECT_EQ(g.Title, "");
  EXPECT_EQ(g.Type, "ЗОРВАНА");
}

TEST_F(GlobalsTest, UnitShutdownSurvivesSettingsFileGoneOrUnwritable) {
  FDir.Write(kSettings, "[Main]\n");
  {
    TGlobalsUnit unit(FDir.File("zorvana-directory"));
    std::filesystem::remove(FDir.File(kSettings));
    std::filesystem::create_directory(FDir.File(kSettings));  // a folder in its place
  }
  EXPECT_TRUE(std::filesystem::is_directory(FDir.File(kSettings)));
  EXPECT_EQ(Globals().AppPath, "");
}

}  // namespace
