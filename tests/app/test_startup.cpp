// Start-up and shutdown of the whole program, in process and as a real
// process of an ordinary user.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <algorithm>
#include <filesystem>

#include "TestSupport.h"
#include "uGlobals.h"
#include "uSchema.h"
#include "uStartup.h"
#include "uVTVUtils.h"
#include "ufDirectory.h"
#include <QAbstractItemView>
#include <QPointer>

#include <QApplication>
#include <QWidget>

namespace {

class StartupTest : public ::testing::Test {
 protected:
  int Run(const std::function<void()>& onRunning = nullptr) {
    int argc = 1;
    char name[] = "zorvana-directory";
    char* argv[] = {name, nullptr};
    return RunProgram(argc, argv, Dir.File("zorvana-directory"), onRunning);
  }
  // The kinds of the crash report files left beside the program, sorted.
  std::vector<std::string> ReportFiles() const {
    std::vector<std::string> kinds;
    if (!FileExists(Dir.File("Logs/Exceptions"))) return kinds;
    for (const auto& file : std::filesystem::directory_iterator(Dir.File("Logs/Exceptions"))) {
      std::string kind = file.path().extension().string();
      if (kind == ".log" || kind == ".png") kinds.push_back(kind);
    }
    std::sort(kinds.begin(), kinds.end());
    return kinds;
  }
  void MakeBook() {
    std::filesystem::create_directories(Dir.File("DB"));
    CreateDirectoryDatabase(Dir.File("DB/DB.fdb"));
  }

  TTempDir Dir;
  TMessageRecorder Messages;
};

// The program's main window while it runs.
QWidget* MainWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == "fDirectory") return widget;
  }
  throw std::logic_error("no main window");
}

TEST_F(StartupTest, MissingDatabaseShowsOneMessageAndStillWritesTheSettingsBack) {
  WriteFile(Dir.File("zorvana-directory.ini"),
            "; user settings\r\n[Main]\r\nFontSize=0x10\r\nIsFirstStart=2\r\n");
  EXPECT_EQ(Run(), 1);
  ASSERT_EQ(Messages.Shown.size(), 1u);
  EXPECT_EQ(Messages.Shown[0].Text, "Отсутствет файл базы данных!\r\n" + Dir.File("DB/DB.fdb"));
  EXPECT_EQ(ReportFiles(), std::vector<std::string>{}) << "a missing file raises nothing";
  EXPECT_EQ(ReadFile(Dir.File("zorvana-directory.ini")),
            "; user settings\r\n[Main]\r\nFontSize=16\r\nIsFirstStart=1\r\n"
            "DirectoryWordWrap=0\r\nShowButtonCaptions=1\r\n");
}

TEST_F(StartupTest, GoodDatabaseShowsOneStayOnTopWindowOnTheRootUntilItCloses) {
  MakeBook();
  WriteFile(Dir.File("zorvana-directory.ini"), "[Main]\nIsFirstStart=0\n");
  QStringList shownWindows;
  bool stayOnTop = false;
  int rows = -1;
  QPointer<QWidget> window;
  int result = Run([&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->isVisible()) shownWindows << widget->objectName();
      if (widget->objectName() == "fDirectory") window = widget;
    }
    ASSERT_NE(window, nullptr);
    stayOnTop = window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    rows = window->findChild<QAbstractItemView*>("vst")->model()->rowCount();
    window->close();
  });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(Messages.Shown.empty());
  EXPECT_EQ(shownWindows, QStringList{"fDirectory"});
  EXPECT_TRUE(stayOnTop);
  EXPECT_EQ(rows, 0);
  EXPECT_EQ(window, nullptr) << "the window is destroyed when the program ends";
  EXPECT_EQ(ReadFile(Dir.File("zorvana-directory.ini")),
            "[Main]\nIsFirstStart=0\nFontSize=10\nDirectoryWordWrap=0\nShowButtonCaptions=1\n");
}

TEST_F(StartupTest, WithoutSettingsFileNothingIsCreated) {
  MakeBook();
  std::filesystem::create_directories(Dir.File("Help"));
  WriteFile(Dir.File("Help/DirectoryForm.rvf"), "<html><body>Справка</body></html>");
  int result = Run([] { MainWindow()->close(); });
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(Messages.Shown.empty());
  EXPECT_FALSE(FileExists(Dir.File("zorvana-directory.ini")));
}

// A settings file far too large to be settings is not read, the user is told
// so before anything else, and the file stays as it was.
TEST_F(StartupTest, OversizedSettingsFileIsToldAndLeftAsItWas) {
  const std::string big = "[Main]\r\nFontSize=16\r\n" + std::string(5 * 1024 * 1024, ';') + "\r\n";
  WriteFile(Dir.File("zorvana-directory.ini"), big);
  EXPECT_EQ(Run(), 1);
  ASSERT_EQ(Messages.Shown.size(), 2u);
  EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Warning);
  EXPECT_EQ(Messages.Shown[0].Text.rfind("Файл настроек слишком большой и не прочитан:\r\n" +
                                             Dir.File("zorvana-directory.ini") + "\r\n", 0), 0u)
      << Messages.Shown[0].Text;
  EXPECT_EQ(Messages.Shown[1].Text, "Отсутствет файл базы данных!\r\n" + Dir.File("DB/DB.fdb"));
  EXPECT_TRUE(ReadFile(Dir.File("zorvana-directory.ini")) == big);
}

TEST_F(StartupTest, UnopenableDatabaseShowsTheSecondMessage) {
  WriteFile(Dir.File("DB/DB.fdb"), "not a database");
  EXPECT_EQ(Run(), 1);
  ASSERT_EQ(Messages.Shown.size(), 1u);
  EXPECT_EQ(Messages.Shown[0].Text.rfind("Не удается открыть файл базы данных!\r\n", 0), 0u);
  // The failed connection is an exception and leaves its report.
  EXPECT_EQ(ReportFiles(), (std::vector<std::string>{".log", ".png"}));
}

// A copy of the built program with its help documents and a new book in
// folder (ending with "/").
void InstallProgram(const std::string& folder) {
  std::filesystem::create_directories(folder + "DB");
  std::filesystem::copy_file(ZORVANA_PROGRAM, folder + "zorvana-directory");
  std::filesystem::copy(std::filesystem::path(ZORVANA_PROGRAM).parent_path() / "Help", folder + "Help");
  CreateDirectoryDatabase(folder + "DB/DB.fdb");
}

// Starts the installed program through launch (the words in front of it:
// the user, the environment), waits until it has its book open, then asks
// it to end as the desktop would at logout. A failed open would have shown
// its box and ended with 1 instead.
void ExpectRunsAndEndsOnRequest(const std::string& launch, const std::string& folder) {
  const std::string output = folder + "out.txt";
  std::string command = launch + " \"" + folder + "zorvana-directory\" > \"" + output + "\" 2>&1 & pid=$!; "
                        "for i in $(seq 100); do ls -l /proc/$pid/fd 2>/dev/null | grep -q DB.fdb && break; "
                        "sleep 0.2; done; sleep 1; kill -TERM $pid; wait $pid";
  int status = std::system(("timeout 120 bash -c '" + command + "'").c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << ":\n" << ReadFile(output);
}

// The program in a folder named in Cyrillic, started with the "C" locale (a
// session without a language setting): it opens its book and runs.
TEST(StartupLocale, BookInACyrillicFolderOpensUnderTheCLocale) {
  TTempDir dir;
  const std::string folder = dir.File("Справочник «Проба»/");
  InstallProgram(folder);
  WriteFile(folder + "zorvana-directory.ini", "[Main]\nIsFirstStart=0\n");
  ExpectRunsAndEndsOnRequest("env -i PATH=/usr/bin:/bin LC_ALL=C LANG=C QT_QPA_PLATFORM=offscreen", folder);
}

// The embedded engine keeps lock files in a shared folder that root creates
// inaccessible to others; an ordinary user must still be able to start.
TEST(StartupAsUser, OrdinaryUserStartsOnTheirOwnBook) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to switch to an ordinary user";
  TTempDir dir;
  InstallProgram(dir.Path());
  // Make the default lock folder root's own, as a root-run engine leaves it.
  mkdir("/tmp/firebird", 0770);
  const std::string owner = "65534:65534";
  ASSERT_EQ(std::system(("chown -R " + owner + " " + dir.Path()).c_str()), 0);
  ExpectRunsAndEndsOnRequest("setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH=/usr/bin:/bin HOME=" +
                                 dir.Path() + " QT_QPA_PLATFORM=offscreen",
                             dir.Path());
}

}  // namespace
