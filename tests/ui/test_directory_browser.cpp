// The folder browser on real book files: loading, leaving, the chain,
// creating, moving, exporting and importing, the notifications its
// listeners follow, and the reasons it gives when the book refuses.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <optional>
#include <string>
#include <vector>

#include "WindowBookTest.h"
#include "uDBDirectory.h"
#include "uDirectoryBrowser.h"
#include "uText.h"

namespace {

// The book of these tests:
//   Отдел (100)          folder
//     Письма (100)       folder, holds "Вложенная"
//     Акты (200)         folder
//     Первая (100)       record
//     Вторая (200)       record
//   Корень (300)         record
class DirectoryBrowserTest : public TWindowBookTest {
 protected:
  void SetUp() override {
    TWindowBookTest::SetUp();
    Department = Put(0, "Отдел", true, 100);
    Letters = Put(Department, "Письма", true, 100);
    Nested = Put(Letters, "Вложенная", false, 100);
    Acts = Put(Department, "Акты", true, 200);
    First = Put(Department, "Первая", false, 100, "описание\r\nв две строки");
    Second = Put(Department, "Вторая", false, 200);
    Root = Put(0, "Корень", false, 300);
    Sql("ALTER SEQUENCE GEN_DIRECTORY_ID RESTART WITH 100");
  }

  static std::vector<std::string> Titles(const TDirectoryList& list) {
    std::vector<std::string> titles;
    for (const auto& entry : list) titles.push_back(entry->Title);
    return titles;
  }

  // A folder's children as stored, in listing order, with their positions.
  std::vector<std::pair<std::string, int>> Stored(int32_t parent) {
    TFbTransaction read(&dmDB.DB);
    read.Params = ReadTransactionParams();
    std::vector<std::pair<std::string, int>> rows;
    for (int32_t id : ReadFolderListing(parent, &read)) {
      TDirectory entry;
      entry.Id = id;
      TDBDirectoryReadCmd::Run(&entry, &read);
      rows.emplace_back(entry.Title, entry.OrderPosition);
    }
    read.Commit();
    return rows;
  }

  int32_t Department = 0, Letters = 0, Nested = 0, Acts = 0, First = 0, Second = 0, Root = 0;
  TDirectoryBrowser Browser{dmDB};
};

TEST_F(DirectoryBrowserTest, LoadingListsFoldersFirstWithTheUpRowBelowTheRootAndTellsItsListeners) {
  QSignalSpy aboutToReset(&Browser, &TDirectoryBrowser::ListingAboutToReset);
  QSignalSpy reset(&Browser, &TDirectoryBrowser::ListingReset);
  // What a listener sees when the listing is reset: the entries already there.
  std::vector<std::string> seenAtReset;
  QObject::connect(&Browser, &TDirectoryBrowser::ListingReset,
                   [&] { seenAtReset = Titles(Browser.Entries()); });

  EXPECT_EQ(Browser.LoadDirectory(0), 0);
  EXPECT_EQ(Browser.CurrentId(), 0);
  EXPECT_EQ(Titles(Browser.Entries()), (std::vector<std::string>{"Отдел", "Корень"}));
  EXPECT_EQ(Browser.CurrentFolder().Id, 0);
  EXPECT_EQ(Browser.CurrentFolder().Title, "");

  EXPECT_EQ(Browser.LoadDirectory(Department), Department);
  EXPECT_EQ(Titles(Browser.Entries()), (std::vector<std::string>{"...", "Письма", "Акты", "Первая", "Вторая"}));
  const TDirectory& up = *Browser.Entries().Items(0);
  EXPECT_EQ(up.Id, Department);
  EXPECT_TRUE(up.IsFolder);
  EXPECT_EQ(Browser.Entries().Items(1)->Childs, 1);
  EXPECT_EQ(Browser.Entries().Items(3)->Description, "описание\r\nв две строки");
  EXPECT_EQ(Browser.CurrentFolder().Title, "Отдел");
  EXPECT_EQ(Browser.IndexOfId(First), 3);
  EXPECT_EQ(Browser.IndexOfId(Root), -1);

  EXPECT_EQ(aboutToReset.count(), 2);
  EXPECT_EQ(reset.count(), 2);
  EXPECT_EQ(seenAtReset, Titles(Browser.Entries()));

  Browser.ClearList();
  EXPECT_EQ(Browser.Entries().Count(), 0);
  EXPECT_EQ(reset.count(), 3);
}

TEST_F(DirectoryBrowserTest, LeavingLoadsTheParentAndTheChainRunsUpToTheTop) {
  Browser.LoadDirectory(Letters);
  Browser.ReadChain(Letters);
  EXPECT_EQ(Browser.Chain().ChainText(true), "\\Отдел\\Письма");

  EXPECT_EQ(Browser.LeaveFolder(), Letters);
  EXPECT_EQ(Browser.CurrentId(), Department);
  EXPECT_EQ(Browser.LeaveFolder(), Department);
  EXPECT_EQ(Browser.CurrentId(), 0);
  Browser.ReadChain(0);
  EXPECT_EQ(Browser.Chain().Count(), 0);

  // A folder whose row is gone has no parent: leaving it shows the root.
  Browser.LoadDirectory(4242);
  EXPECT_EQ(Browser.LeaveFolder(), 4242);
  EXPECT_EQ(Browser.CurrentId(), 0);
}

TEST_F(DirectoryBrowserTest, NewEntriesGoAfterTheGivenEntryAndTheFolderIsRenumbered) {
  using TRows = std::vector<std::pair<std::string, int>>;
  struct TCase {
    const char* Name;
    int32_t Folder;
    bool IsFolder;
    std::optional<int32_t> After;  // none: no entry focused, the front
    TRows Stored;
  };
  const TCase cases[] = {
      {"record after the first record", Department, false, First,
       {{"Письма", 100}, {"Акты", 200}, {"Первая", 300}, {"record after the first record", 400}, {"Вторая", 500}}},
      {"folder at the front of the root", 0, true, std::nullopt,
       {{"folder at the front of the root", 0}, {"Отдел", 100}, {"Корень", 200}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Browser.LoadDirectory(c.Folder);
    TNewEntry fresh = Browser.NewEntry(c.IsFolder);
    ASSERT_TRUE(fresh.Result.Ok);
    EXPECT_GE(fresh.Entry.Id, 100);
    EXPECT_EQ(fresh.Entry.IdParent, c.Folder);
    EXPECT_EQ(fresh.Entry.IsFolder, c.IsFolder);
    fresh.Entry.Title = c.Name;
    const TDirectory* after = c.After ? Browser.Entries().Items(Browser.IndexOfId(*c.After)) : nullptr;
    const TSaveResult saved = Browser.SaveEntry(fresh.Entry, true, after);
    EXPECT_TRUE(saved.Ok()) << saved.Reason;
    EXPECT_EQ(Stored(c.Folder), c.Stored);
  }
}

TEST_F(DirectoryBrowserTest, MovesPassOnlyNeighboursOfTheSameKindAndNotifyOnce) {
  Browser.LoadDirectory(Department);  // ..., Письма, Акты, Первая, Вторая
  QSignalSpy moved(&Browser, &TDirectoryBrowser::EntryMoved);
  struct TCase {
    const char* Name;
    int Index;
    int Direction;
    bool Moves;
  };
  const TCase refused[] = {
      {"the up row", 0, 1, false},          {"past the up row", 1, -1, false},
      {"folder past a record", 2, 1, false}, {"record past a folder", 3, -1, false},
      {"past the end", 4, 1, false},         {"no direction", 3, 0, false},
      {"no such row", 9, -1, false},
  };
  for (const TCase& c : refused) {
    SCOPED_TRACE(c.Name);
    EXPECT_TRUE(Browser.MoveEntry(c.Index, c.Direction).Ok);
  }
  EXPECT_EQ(moved.count(), 0);

  EXPECT_TRUE(Browser.MoveEntry(4, -1).Ok);
  ASSERT_EQ(moved.count(), 1);
  EXPECT_EQ(moved[0][0].toInt(), 4);
  EXPECT_EQ(moved[0][1].toInt(), 3);
  EXPECT_EQ(Titles(Browser.Entries()), (std::vector<std::string>{"...", "Письма", "Акты", "Вторая", "Первая"}));
  EXPECT_EQ(Stored(Department), (std::vector<std::pair<std::string, int>>{
                                    {"Письма", 100}, {"Акты", 200}, {"Вторая", 300}, {"Первая", 400}}));
}

TEST_F(DirectoryBrowserTest, RefusalsComeBackWithTheirReasons) {
  Browser.LoadDirectory(Department);
  {
    SCOPED_TRACE("order held by another attachment");
    TRowLock lock(Book.Path(), First);  // its position changes
    const TBookResult result = Browser.MoveEntry(4, -1);
    EXPECT_FALSE(result.Ok);
    EXPECT_EQ(result.Reason.rfind("Новый порядок записей не сохранен", 0), 0u) << result.Reason;
  }
  {
    SCOPED_TRACE("text the book's character set cannot hold");
    TDirectory entry = *Browser.Entries().Items(3);
    entry.Title = "漢字";
    const TSaveResult saved = Browser.SaveEntry(entry, false, nullptr);
    EXPECT_FALSE(saved.Stored);
    EXPECT_EQ(saved.Reason, NonWin1251Message(U'漢') + "\r\nЗапись не сохранена.");
  }
  {
    SCOPED_TRACE("row held by another attachment");
    Browser.Reload(Department);
    TRowLock lock(Book.Path(), First);
    TDirectory entry = *Browser.Entries().Items(Browser.IndexOfId(First));
    entry.Title = "Занята";
    const TSaveResult saved = Browser.SaveEntry(entry, false, nullptr);
    EXPECT_FALSE(saved.Stored);
    EXPECT_EQ(saved.Reason.rfind("Запись не сохранена", 0), 0u) << saved.Reason;
  }
  {
    SCOPED_TRACE("no generator");
    Sql("DROP SEQUENCE GEN_DIRECTORY_ID");
    const TNewEntry fresh = Browser.NewEntry(false);
    EXPECT_FALSE(fresh.Result.Ok);
    EXPECT_NE(fresh.Result.Reason.find("идентификатор"), std::string::npos);
  }
}

TEST_F(DirectoryBrowserTest, ExportWritesTheWholeSectionOrNothing) {
  Browser.LoadDirectory(0);
  const TExportedSection section = Browser.ExportSection(*Browser.Entries().Items(0));
  ASSERT_TRUE(section.Result.Ok) << section.Result.Reason;
  EXPECT_EQ(section.Text,
            "#ZORVANA-DIRECTORY-EXCHANGE#\r\n"
            "Отдел\t100\t0\t1\t\r\n"
            "\tПисьма\t100\t0\t1\t\r\n"
            "\t\tВложенная\t100\t0\t0\t\r\n"
            "\tПервая\t100\t0\t0\t\"описание\r\nв две строки\"\r\n"
            "\tАкты\t200\t0\t1\t\r\n"
            "\tВторая\t200\t0\t0\t\r\n");

  // One entry deep inside cannot be read: the export fails as a whole.
  Sql("ALTER TABLE directory ADD broken COMPUTED BY (1 / (idd - " + std::to_string(Nested) + "))");
  const TExportedSection broken = Browser.ExportSection(*Browser.Entries().Items(0));
  EXPECT_FALSE(broken.Result.Ok);
  EXPECT_FALSE(broken.Result.Reason.empty());
  EXPECT_TRUE(broken.Text.empty());
}

TEST_F(DirectoryBrowserTest, ImportLandsInTheFolderShown) {
  Browser.LoadDirectory(Acts);
  const std::vector<TTextLine> lines =
      SplitTextLines("#ZORVANA-DIRECTORY-EXCHANGE#\r\nНовая папка\t10\t0\t1\t\r\n\tВнутри\t20\t0\t0\t\r\n");
  TImportResult result;
  int progressCalls = 0;
  EXPECT_TRUE(Browser.Import(lines, &result, [&](int) { return ++progressCalls > 0; }));
  EXPECT_EQ(result.Created, 2);
  EXPECT_EQ(progressCalls, 2);
  EXPECT_EQ(Stored(Acts), (std::vector<std::pair<std::string, int>>{{"Новая папка", 10}}));
  Browser.Reload(Acts);
  EXPECT_EQ(Titles(Browser.Entries()), (std::vector<std::string>{"...", "Новая папка"}));
  EXPECT_EQ(Browser.Entries().Items(1)->Childs, 1);
}

}  // namespace
