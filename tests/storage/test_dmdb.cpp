// Opening the reference book at start-up.

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A good book's bytes changed the way a damaged file, an older engine or a
// file of something else would have them.
std::string FilledFrom(std::string bytes, size_t from, char fill) {
  for (size_t i = from; i < bytes.size(); ++i) bytes[i] = fill;
  return bytes;
}

std::string WithOnDiskVersion(std::string bytes, unsigned char major) {
  bytes[18] = static_cast<char>(major);  // the header page's format version, low byte
  return bytes;
}

struct TUnopenableCase {
  const char* What;
  std::string Content;
  std::string Cause;
};

TEST_F(OpenDatabaseTest, UnopenableFilesGiveTheSecondMessageAndTheirCause) {
  TTempDatabase book;
  const std::string good = ReadFile(book.Path());
  const size_t page = 8192;
  const TUnopenableCase cases[] = {
      {"empty file", "", "Файл пуст: это не база данных."},
      {"not a database", std::string(20000, 'z'), "Этот файл не является базой данных Firebird."},
      {"cut short", good.substr(0, 3 * page),
       "Файл короче, чем должна быть база данных: он повреждён или не является базой данных."},
      {"pages wiped", FilledFrom(good, page, '\0'), "Файл базы данных повреждён."},
      {"pages garbled", FilledFrom(good, page, '\xAA'), "Файл базы данных повреждён."},
      {"older on-disk version", WithOnDiskVersion(good, 11),
       "Файл создан другой, несовместимой версией Firebird (формат файла 11.0, а программа читает формат 12.2)."},
  };
  for (const TUnopenableCase& c : cases) {
    SCOPED_TRACE(c.What);
    Messages.Shown.clear();
    WriteFile(Globals().DBFile, c.Content);
    TdmDB dm;
    EXPECT_FALSE(dm.OpenDatabase());
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].Text, CannotOpenText() + "\r\n" + c.Cause);
    EXPECT_FALSE(dm.DB.Connected());
  }
}

// A book this user may not read or not change: opened as an ordinary user
// (nobody, when the tests run as root), the cause names the user.
TEST(OpenDatabasePermissions, FileThisUserMayNotReadOrChangeIsNamed) {
  TTempDir dir;
  TTempDatabase book;
  const bool root = geteuid() == 0;
  const std::string user = root ? "nobody" : getpwuid(geteuid())->pw_name;
  chmod(dir.Path().c_str(), 0755);
  const std::pair<mode_t, std::string> cases[] = {
      {0000, "У пользователя " + user + " нет права читать этот файл."},
      {0444, "У пользователя " + user + " нет права изменять этот файл."},
  };
  for (const auto& [mode, cause] : cases) {
    SCOPED_TRACE(cause);
    const std::string file = dir.File("DB" + std::to_string(mode) + ".fdb");
    WriteFile(file, ReadFile(book.Path()));
    chmod(file.c_str(), mode);
    std::vector<std::string> command = {TestProgramDir() + "open_book", file};
    if (root) command.insert(command.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    TChildProcess opener(command);
    EXPECT_EQ(opener.ReadLine(), "Не удается открыть файл базы данных!\\n" + file +
                                     "\\nПроверьте, возможно уже запущена другая копия этой программы.\\n" + cause);
    EXPECT_EQ(opener.ReadLine(), "refused");
    EXPECT_EQ(opener.Finish(), 0);
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
