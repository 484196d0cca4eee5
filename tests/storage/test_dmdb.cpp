// Opening the reference book at start-up.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"
#include "uGlobals.h"
#include "udmDB.h"

namespace {

class OpenDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGlobals();
    ComputeLocations(Dir.File("zorvana-directory"));
  }
  void TearDown() override { ResetGlobals(); }

  std::string CannotOpenText() const {
    return std::string("Не удается открыть файл базы данных!\r\n") + Globals().DBFile +
           "\r\nПроверьте, возможно уже запущена другая копия этой программы.";
  }

  TTempDir Dir;
  TMessageRecorder Messages;
};

TEST_F(OpenDatabaseTest, MissingFileNamesThePathAndDoesNotConnect) {
  TdmDB dm;
  EXPECT_FALSE(dm.OpenDatabase());
  ASSERT_EQ(Messages.Shown.size(), 1u);
  EXPECT_EQ(Messages.Shown[0].Text, "Отсутствет файл базы данных!\r\n" + Dir.File("DB/DB.fdb"));
  EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Error);
  EXPECT_EQ(Messages.Shown[0].Buttons, TMsgButtons::Ok);
  EXPECT_FALSE(dm.DB.Connected());
}

TEST_F(OpenDatabaseTest, UnopenableFilesGiveTheSecondMessage) {
  const std::pair<const char*, std::string> contents[] = {
      {"empty file", ""},
      {"not a database", std::string(20000, 'z')},
  };
  for (const auto& [what, content] : contents) {
    SCOPED_TRACE(what);
    Messages.Shown.clear();
    WriteFile(Globals().DBFile, content);
    TdmDB dm;
    EXPECT_FALSE(dm.OpenDatabase());
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].Text, CannotOpenText());
    EXPECT_FALSE(dm.DB.Connected());
  }
}

TEST_F(OpenDatabaseTest, FileHeldByAnotherProcessGivesTheSecondMessage) {
  TTempDatabase book;
  WriteFile(Globals().DBFile, ReadFile(book.Path()));
  TChildProcess holder({TestProgramDir() + "hold_database", Globals().DBFile});
  ASSERT_EQ(holder.ReadLine(), "ready");
  TdmDB dm;
  EXPECT_FALSE(dm.OpenDatabase());
  ASSERT_EQ(Messages.Shown.size(), 1u);
  EXPECT_EQ(Messages.Shown[0].Text, CannotOpenText());
  EXPECT_EQ(holder.Finish(), 0);

  // Once the other copy has gone, the file opens.
  Messages.Shown.clear();
  TdmDB again;
  EXPECT_TRUE(again.OpenDatabase());
  EXPECT_TRUE(Messages.Shown.empty());
}

// A book in a folder named in Cyrillic opens in a process whose locale is
// "C", as a desktop session without a language setting starts programs.
TEST(OpenDatabaseLocale, BookInACyrillicFolderOpensUnderTheCLocale) {
  TTempDir dir;
  const std::string folder = dir.File("Справочник «Проба»/");
  std::filesystem::create_directories(folder);
  {
    TTempDatabase book;
    std::filesystem::copy_file(book.Path(), folder + "DB.fdb");
  }
  const char* previous = std::getenv("LC_ALL");
  const std::string kept = previous ? previous : "";
  setenv("LC_ALL", "C", 1);
  TChildProcess holder({TestProgramDir() + "hold_database", folder + "DB.fdb"});
  previous ? setenv("LC_ALL", kept.c_str(), 1) : unsetenv("LC_ALL");
  EXPECT_EQ(holder.ReadLine(), "ready");
  EXPECT_EQ(holder.Finish(), 0);
}

TEST_F(OpenDatabaseTest, GoodFileOpensWithTransactionsNotStarted) {
  TTempDatabase book;
  WriteFile(Globals().DBFile, ReadFile(book.Path()));
  TdmDB dm;
  EXPECT_TRUE(dm.OpenDatabase());
  EXPECT_TRUE(Messages.Shown.empty());
  EXPECT_TRUE(dm.DB.Connected());
  EXPECT_FALSE(dm.trDirectoryRead.InTransaction());
  EXPECT_FALSE(dm.trDirectoryWrite.InTransaction());
  EXPECT_EQ(dm.DB.DatabaseName, Globals().DBFile);
}

}  // namespace
