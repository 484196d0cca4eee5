// Start-up and shutdown of the whole program, in process and as a real
// process of an ordinary user.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"
#include "uGlobals.h"
#include "uSchema.h"
#include "uStartup.h"

namespace {

class StartupTest : public ::testing::Test {
 protected:
  int Run() {
    int argc = 1;
    char name[] = "zorvana-directory";
    char* argv[] = {name, nullptr};
    return RunProgram(argc, argv, Dir.File("zorvana-directory"));
  }
  void MakeBook() {
    std::filesystem::create_directories(Dir.File("DB"));
    CreateDirectoryDatabase(Dir.File("DB/DB.fdb"));
  }

  TTempDir Dir;
  TMessageRecorder Messages;
};

TEST_F(StartupTest, MissingDatabaseShowsOneMessageAndStillWritesTheSettingsBack) {
  WriteFile(Dir.File("zorvana-directory.ini"),
            "; user settings\r\n[Main]\r\nFontSize=0x10\r\nIsFirstStart=2\r\n");
  EXPECT_EQ(Run(), 1);
  ASSERT_EQ(Messages.Shown.size(), 1u);
  EXPECT_EQ(Messages.Shown[0].Text, "Отсутствет файл базы данных!\r\n" + Dir.File("DB/DB.fdb"));
  EXPECT_EQ(ReadFile(Dir.File("zorvana-directory.ini")),
            "; user settings\r\n[Main]\r\nFontSize=16\r\nIsFirstStart=1\r\n"
            "DirectoryWordWrap=0\r\nShowButtonCaptions=1\r\n");
}

TEST_F(StartupTest, GoodDatabaseRunsToAnOrderlyEndWithoutCreatingSettings) {
  MakeBook();
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(Messages.Shown.empty());
  EXPECT_FALSE(FileExists(Dir.File("zorvana-directory.ini")));
}

TEST_F(StartupTest, UnopenableDatabaseShowsTheSecondMessage) {
  WriteFile(Dir.File("DB/DB.fdb"), "not a database");
  EXPECT_EQ(Run(), 1);
  ASSERT_EQ(Messages.Shown.size(), 1u);
  EXPECT_EQ(Messages.Shown[0].Text.rfind("Не удается открыть файл базы данных!\r\n", 0), 0u);
}

// The embedded engine keeps lock files in a shared folder that root creates
// inaccessible to others; an ordinary user must still be able to start.
TEST(StartupAsUser, OrdinaryUserStartsOnTheirOwnBook) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to switch to an ordinary user";
  TTempDir dir;
  std::filesystem::copy_file(ZORVANA_PROGRAM, dir.File("zorvana-directory"));
  std::filesystem::create_directories(dir.File("DB"));
  CreateDirectoryDatabase(dir.File("DB/DB.fdb"));
  // Make the default lock folder root's own, as a root-run engine leaves it.
  mkdir("/tmp/firebird", 0770);
  const std::string owner = "65534:65534";
  ASSERT_EQ(std::system(("chown -R " + owner + " " + dir.Path()).c_str()), 0);
  std::string command = "timeout 60 setpriv --reuid=65534 --regid=65534 --clear-groups "
                        "env -i PATH=/usr/bin:/bin HOME=" + dir.Path() +
                        " QT_QPA_PLATFORM=offscreen " + dir.File("zorvana-directory") +
                        " > " + dir.File("out.txt") + " 2>&1";
  int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "status " << status << ":\n" << ReadFile(dir.File("out.txt"));
}

}  // namespace
