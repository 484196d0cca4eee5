// The exchange text as a file, on real files: what is written, how files of
// either encoding read back, and the reason for every file that cannot be
// read or written.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "uExchangeFile.h"
#include "uExchangeRows.h"
#include "uText.h"

namespace {

namespace fs = std::filesystem;

const std::string kMarker = kExchangeMarker;

class ExchangeFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "zorvana-exchange-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    Dir = pattern + "/";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(Dir, ignored);
  }

  std::string File(const std::string& name) const { return Dir + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string Dir;
};

bool RunsAsRoot() { return ::geteuid() == 0; }

TEST(ExchangeFileLines, EveryBreakBecomesCrLfAndTheLastLineEndsWithOne) {
  struct TCase {
    const char* Name;
    std::string Text;
    std::string Expected;
  };
  const TCase cases[] = {
      {"LF", "a\nb\n", "a\r\nb\r\n"},
      {"CR LF kept", "a\r\nb\r\n", "a\r\nb\r\n"},
      {"lone CR", "a\rb", "a\r\nb\r\n"},
      {"mixed, blank lines kept", "a\n\r\n\rb", "a\r\n\r\n\r\nb\r\n"},
      {"no break at the end", "a", "a\r\n"},
      {"CR at the very end", "a\r", "a\r\n"},
      {"empty", "", ""},
      {"Cyrillic untouched", "Папка\tзапись\n", "Папка\tзапись\r\n"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(ToCrLfLines(c.Text), c.Expected);
  }
}

TEST_F(ExchangeFileTest, WritesUtf8WithCrLfAndReadsItBack) {
  const std::string text = kMarker + "\n\"Папка\"\t100\t0\t1\t\"строка 1\nстрока 2\"\n\tЗапись «ё»\t100\t0\t0\t\n";
  const TExchangeFileResult written = WriteExchangeFile(File("раздел.txt"), text);
  ASSERT_TRUE(written.Ok) << written.Error;
  EXPECT_TRUE(written.Error.empty());

  const std::string bytes = Read("раздел.txt");
  EXPECT_EQ(bytes, ToCrLfLines(text));
  EXPECT_TRUE(IsValidUtf8(bytes));
  EXPECT_FALSE(bytes.starts_with("\xEF\xBB\xBF")) << "no byte order mark";
  EXPECT_EQ(Names(), std::vector<std::string>{"раздел.txt"}) << "no temporary file is left";

  const TExchangeFileResult read = ReadExchangeFile(File("раздел.txt"));
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_EQ(read.Text, bytes);
  // What the file holds is an exchange text that the rows reader takes.
  const std::vector<TTextLine> lines = SplitTextLines(read.Text);
  EXPECT_TRUE(TExchangeReader(lines).IsExchangeText());
}

TEST_F(ExchangeFileTest, ReadsUtf8AndWindows1251Files) {
  const std::string utf8 = kMarker + "\r\nСправочник — «тест» №1\r\n";
  struct TCase {
    const char* Name;
    std::string Bytes;
    std::string Expected;
  };
  const TCase cases[] = {
      {"UTF-8", utf8, utf8},
      {"UTF-8 with a byte order mark", "\xEF\xBB\xBF" + utf8, utf8},
      {"Windows-1251 from a Windows editor", Utf8ToWin1251(utf8), utf8},
      {"Windows-1251 with LF only", Utf8ToWin1251("Ёлка\nщи\n"), "Ёлка\nщи\n"},
      {"plain ASCII", "abc\r\n", "abc\r\n"},
      // Valid UTF-8 wins even when a 1251 reading would also make sense.
      {"UTF-8 that is also 1251 bytes", "\xD0\x90", "\xD0\x90"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Write("in.txt", c.Bytes);
    const TExchangeFileResult read = ReadExchangeFile(File("in.txt"));
    ASSERT_TRUE(read.Ok) << read.Error;
    EXPECT_EQ(read.Text, c.Expected);
  }
}

TEST_F(ExchangeFileTest, FilesThatCannotBeReadNameTheirReason) {
  Write("empty.txt", "");
  Write("bom-only.txt", "\xEF\xBB\xBF");
  Write("utf16.txt", std::string("\xFF\xFE#\0Z\0", 6));
  Write("binary.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
  fs::create_directory(File("folder"));
  ASSERT_EQ(::mkfifo(File("pipe").c_str(), 0600), 0);
  {
    // One byte over the limit; sparse, so it costs no disk space.
    std::ofstream(File("large.txt")) << "";
    fs::resize_file(File("large.txt"), kExchangeFileLimit + 1);
  }
  struct TCase {
    const char* Name;
    std::string Path;
    std::string Reason;
  };
  const TCase cases[] = {
      {"missing", File("нет.txt"), "Файл «" + File("нет.txt") + "» не найден."},
      {"missing folder", File("нет/x.txt"), "Файл «" + File("нет/x.txt") + "» не найден."},
      {"no name", "", "Не указан файл для загрузки."},
      {"empty", File("empty.txt"), "Файл «" + File("empty.txt") + "» пуст."},
      {"byte order mark only", File("bom-only.txt"), "Файл «" + File("bom-only.txt") + "» пуст."},
      {"folder", File("folder"), "«" + File("folder") + "» — это папка, а не файл."},
      {"named pipe, read without waiting", File("pipe"), "«" + File("pipe") + "» — не обычный файл."},
      {"too large", File("large.txt"),
       "Файл «" + File("large.txt") + "» слишком большой (50,0 МБ): загрузить можно файл не больше 50 МБ."},
      {"UTF-16", File("utf16.txt"),
       "Файл «" + File("utf16.txt") +
           "» записан в кодировке UTF-16: сохраните его в кодировке UTF-8 или Windows-1251."},
      {"binary", File("binary.png"), "Файл «" + File("binary.png") + "» не текстовый: в нем есть нулевые байты."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TExchangeFileResult read = ReadExchangeFile(c.Path);
    EXPECT_FALSE(read.Ok);
    EXPECT_EQ(read.Error, c.Reason);
    EXPECT_TRUE(read.Text.empty());
  }
}

TEST_F(ExchangeFileTest, UnreadableFileNamesMissingRights) {
  if (RunsAsRoot()) GTEST_SKIP() << "root reads every file";
  Write("secret.txt", "x\r\n");
  fs::permissions(File("secret.txt"), fs::perms::none);
  const TExchangeFileResult read = ReadExchangeFile(File("secret.txt"));
  EXPECT_FALSE(read.Ok);
  EXPECT_EQ(read.Error, "Нет прав на чтение файла «" + File("secret.txt") + "».");
}

TEST_F(ExchangeFileTest, ReplacingAFileKeepsItsPermissionsAndFollowsALink) {
  Write("old.txt", "old\r\n");
  fs::permissions(File("old.txt"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(WriteExchangeFile(File("old.txt"), "new").Ok);
  EXPECT_EQ(Read("old.txt"), "new\r\n");
  EXPECT_EQ(fs::status(File("old.txt")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  fs::create_symlink(File("old.txt"), File("link.txt"));
  ASSERT_TRUE(WriteExchangeFile(File("link.txt"), "through the link").Ok);
  EXPECT_TRUE(fs::is_symlink(File("link.txt"))) << "the link stays a link";
  EXPECT_EQ(Read("old.txt"), "through the link\r\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"link.txt", "old.txt"}));
}

TEST_F(ExchangeFileTest, FailedWritesNameTheirReasonAndLeaveTheOldFile) {
  fs::create_directory(File("folder"));
  struct TCase {
    const char* Name;
    std::string Path;
    std::string Reason;
  };
  const TCase cases[] = {
      {"missing folder", File("нет/x.txt"), "Папка для файла «" + File("нет/x.txt") + "» не найдена."},
      {"a folder in the way", File("folder"), "«" + File("folder") + "» — это папка, а не файл."},
      {"no name", "", "Не указан файл для записи."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TExchangeFileResult written = WriteExchangeFile(c.Path, "x");
    EXPECT_FALSE(written.Ok);
    EXPECT_EQ(written.Error, c.Reason);
  }

  if (RunsAsRoot()) return;  // root writes into every folder
  Write("kept.txt", "kept\r\n");
  fs::permissions(Dir, fs::perms::owner_read | fs::perms::owner_exec);
  const TExchangeFileResult written = WriteExchangeFile(File("kept.txt"), "new");
  fs::permissions(Dir, fs::perms::owner_all);
  EXPECT_FALSE(written.Ok);
  EXPECT_EQ(written.Error, "Нет прав на запись файла «" + File("kept.txt") + "».");
  EXPECT_EQ(Read("kept.txt"), "kept\r\n");
}

TEST_F(ExchangeFileTest, TextOverTheLimitIsNotWritten) {
  const std::string text(kExchangeFileLimit + 1, 'a');
  const TExchangeFileResult written = WriteExchangeFile(File("big.txt"), text);
  EXPECT_FALSE(written.Ok);
  EXPECT_EQ(written.Error, "Текст слишком большой для файла (50,0 МБ): записать можно не больше 50 МБ.");
  EXPECT_TRUE(Names().empty());
}

}  // namespace
