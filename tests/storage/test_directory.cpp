// The in-memory entry and list: cleared values, chain text, renumbering and
// the list operations the window relies on.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "uDirectory.h"

namespace {

void ExpectCleared(const TDirectory& entry) {
  EXPECT_FALSE(entry.IsFolder);
  EXPECT_FALSE(entry.Changed);
  EXPECT_EQ(entry.Childs, 0);
  EXPECT_EQ(entry.Description, "");
  EXPECT_EQ(entry.Flags, 0);
  EXPECT_EQ(entry.Id, 0);
  EXPECT_EQ(entry.IdParent, 0);
  EXPECT_EQ(entry.OrderPosition, 0);
  EXPECT_EQ(entry.Title, "");
}

std::unique_ptr<TDirectory> Entry(const std::string& title, int32_t position = 0) {
  auto entry = std::make_unique<TDirectory>();
  entry->Title = title;
  entry->OrderPosition = position;
  return entry;
}

std::vector<std::string> Titles(const TDirectoryList& list) {
  std::vector<std::string> titles;
  for (const auto& entry : list) titles.push_back(entry->Title);
  return titles;
}

void Fill(TDirectoryList& list, const std::vector<std::string>& titles) {
  for (const std::string& title : titles) list.Add(Entry(title));
}

TEST(Directory, NewEntryIsClearedAndClearResetsEveryField) {
  TDirectory entry;
  ExpectCleared(entry);

  entry.IsFolder = true;
  entry.Changed = true;
  entry.Childs = 3;
  entry.Description = "строка 1\r\nстрока 2";
  entry.Flags = -1;
  entry.Id = 42;
  entry.IdParent = 7;
  entry.OrderPosition = 300;
  entry.Title = "Папка";
  entry.Clear();
  ExpectCleared(entry);
}

TEST(Directory, NewFolderSetsOnlyIdAndFolderMark) {
  for (int32_t id : {5, 0, -1}) {
    SCOPED_TRACE(id);
    std::unique_ptr<TDirectory> folder = TDirectory::NewFolder(id);
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->IsFolder);
    EXPECT_EQ(folder->Id, id);
    folder->IsFolder = false;
    folder->Id = 0;
    ExpectCleared(*folder);
  }
}

struct TChainCase {
  std::vector<std::string> Titles;
  bool Reversed;
  const char* Expected;
};

TEST(DirectoryList, ChainTextPutsOneBackslashBeforeEveryTitle) {
  const TChainCase cases[] = {
      {{}, false, ""},
      {{}, true, ""},
      {{"Один"}, false, "\\Один"},
      {{"Один"}, true, "\\Один"},
      {{"A", "B", "C"}, false, "\\A\\B\\C"},
      {{"A", "B", "C"}, true, "\\C\\B\\A"},
      // Titles go in as they are: a backslash inside one is not marked.
      {{"a\\b", "c"}, false, "\\a\\b\\c"},
      {{"a\\b", "c"}, true, "\\c\\a\\b"},
      {{"", "x", ""}, false, "\\\\x\\"},
      {{"...", "Папка"}, true, "\\Папка\\..."},
  };
  for (const TChainCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Expected << (c.Reversed ? " reversed" : ""));
    TDirectoryList list;
    Fill(list, c.Titles);
    EXPECT_EQ(list.ChainText(c.Reversed), c.Expected);
    EXPECT_EQ(Titles(list), c.Titles);  // the text leaves the list alone
  }
}

struct TRenumberItem {
  const char* Title;
  int32_t Position;
  bool Changed;
};

struct TRenumberCase {
  const char* What;
  std::vector<TRenumberItem> Before;
  std::vector<TRenumberItem> After;
};

TEST(DirectoryList, RenumberGivesStepsOfHundredByIndexAndMarksChanges) {
  const TRenumberCase cases[] = {
      {"up row first: real entries from 100; the up row keeps its values",
       {{"...", 7, true}, {"X", 0, false}, {"Y", 100, false}},
       {{"...", 7, true}, {"X", 100, true}, {"Y", 200, true}}},
      {"root listing starts at 0 and already fits: marks are recomputed false",
       {{"X", 0, true}, {"Y", 100, true}},
       {{"X", 0, false}, {"Y", 100, false}}},
      {"only misplaced entries are marked",
       {{"X", 0, false}, {"Y", 250, false}, {"Z", 200, true}},
       {{"X", 0, false}, {"Y", 100, true}, {"Z", 200, false}}},
      {"a real entry titled ... is skipped and its index still counted",
       {{"X", 0, false}, {"...", 55, false}, {"Z", 0, false}},
       {{"X", 0, false}, {"...", 55, false}, {"Z", 200, true}}},
      {"the title must be exactly three dots",
       {{"....", 5, false}, {" ...", 5, false}, {"..", 5, false}, {"…", 5, false}},
       {{"....", 0, true}, {" ...", 100, true}, {"..", 200, true}, {"…", 300, true}}},
      {"after an insert the entries below move down",
       {{"...", 0, false}, {"A", 100, false}, {"new", 0, false}, {"B", 200, false}},
       {{"...", 0, false}, {"A", 100, false}, {"new", 200, true}, {"B", 300, true}}},
      {"negative and huge positions are replaced",
       {{"A", -100, false}, {"B", 2000000000, false}},
       {{"A", 0, true}, {"B", 100, true}}},
      {"empty list", {}, {}},
  };
  for (const TRenumberCase& c : cases) {
    SCOPED_TRACE(c.What);
    TDirectoryList list;
    for (const TRenumberItem& item : c.Before) {
      TDirectory* entry = list.Add(Entry(item.Title, item.Position));
      entry->Changed = item.Changed;
      entry->Id = 9;  // renumbering never looks at ids
    }
    list.Renumber();
    ASSERT_EQ(list.Count(), static_cast<int>(c.After.size()));
    for (int i = 0; i < list.Count(); ++i) {
      SCOPED_TRACE(i);
      const TDirectory* entry = list.Items(i);
      EXPECT_EQ(entry->Title, c.After[static_cast<size_t>(i)].Title);
      EXPECT_EQ(entry->OrderPosition, c.After[static_cast<size_t>(i)].Position);
      EXPECT_EQ(entry->Changed, c.After[static_cast<size_t>(i)].Changed);
      EXPECT_EQ(entry->Id, 9);
    }
  }
}

TEST(DirectoryList, RenumberTwiceMarksNothingTheSecondTime) {
  TDirectoryList list;
  list.Add(TDirectory::NewFolder(3))->Title = "...";
  list.Add(Entry("A", 900));
  list.Add(Entry("B", 10));
  list.Renumber();
  list.Renumber();
  for (const auto& entry : list) EXPECT_FALSE(entry->Changed) << entry->Title;
  EXPECT_EQ(list.Items(1)->OrderPosition, 100);
  EXPECT_EQ(list.Items(2)->OrderPosition, 200);
  EXPECT_EQ(list.Items(0)->OrderPosition, 0);
}

TEST(DirectoryList, AddInsertAndItemsKeepOrderAndHandOutTheStoredEntry) {
  TDirectoryList list;
  EXPECT_EQ(list.Count(), 0);
  TDirectory* b = list.Add(Entry("B"));
  TDirectory* c = list.Add(Entry("C"));
  TDirectory* a = list.Insert(0, Entry("A"));
  TDirectory* d = list.Insert(list.Count(), Entry("D"));
  TDirectory* bc = list.Insert(2, Entry("BC"));
  EXPECT_EQ(Titles(list), (std::vector<std::string>{"A", "B", "BC", "C", "D"}));
  EXPECT_EQ(list.Items(0), a);
  EXPECT_EQ(list.Items(1), b);
  EXPECT_EQ(list.Items(2), bc);
  EXPECT_EQ(list.Items(3), c);
  EXPECT_EQ(list.Items(4), d);

  // Reading an element leaves it in the list, and changes through the
  // pointer reach the stored entry.
  list.Items(1)->Title = "b";
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(b->Title, "b");
  EXPECT_EQ(list.IndexOf(b), 1);
}

TEST(DirectoryList, IndexOfFindsOnlyItsOwnElements) {
  TDirectoryList list;
  Fill(list, {"A", "B", "C"});
  for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.IndexOf(list.Items(i)), i);
  TDirectory stranger;
  stranger.Title = "B";  // same contents, another object
  EXPECT_EQ(list.IndexOf(&stranger), -1);
  EXPECT_EQ(list.IndexOf(nullptr), -1);
}

struct TMoveCase {
  int From;
  int To;
  std::vector<std::string> Expected;
};

TEST(DirectoryList, MoveTakesTheElementOutAndPutsItAtTheTargetIndex) {
  const TMoveCase cases[] = {
      {0, 3, {"B", "C", "D", "A"}},
      {3, 0, {"D", "A", "B", "C"}},
      {0, 2, {"B", "C", "A", "D"}},
      {3, 1, {"A", "D", "B", "C"}},
      {2, 1, {"A", "C", "B", "D"}},  // one up
      {1, 2, {"A", "C", "B", "D"}},  // one down
      {2, 2, {"A", "B", "C", "D"}},
  };
  for (const TMoveCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.From << " -> " << c.To);
    TDirectoryList list;
    Fill(list, {"A", "B", "C", "D"});
    TDirectory* moved = list.Items(c.From);
    list.Move(c.From, c.To);
    EXPECT_EQ(Titles(list), c.Expected);
    EXPECT_EQ(list.Items(c.To), moved);  // the same object, not a copy
    EXPECT_EQ(list.IndexOf(moved), c.To);
  }
}

TEST(DirectoryList, RemoveAndDeleteTakeTheElementOutOfTheList) {
  TDirectoryList list;
  Fill(list, {"A", "B", "C", "D"});
  TDirectory* b = list.Items(1);
  TDirectory* c = list.Items(2);

  list.Remove(list.Items(0));
  EXPECT_EQ(Titles(list), (std::vector<std::string>{"B", "C", "D"}));
  EXPECT_EQ(list.IndexOf(b), 0);
  list.Remove(list.Items(2));
  EXPECT_EQ(Titles(list), (std::vector<std::string>{"B", "C"}));

  list.Delete(0);
  EXPECT_EQ(Titles(list), (std::vector<std::string>{"C"}));
  EXPECT_EQ(list.IndexOf(c), 0);

  // An entry the list does not hold is left to its owner.
  auto stranger = Entry("X");
  list.Remove(stranger.get());
  EXPECT_EQ(Titles(list), (std::vector<std::string>{"C"}));
  EXPECT_EQ(stranger->Title, "X");

  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.ChainText(false), "");
  list.Add(Entry("again"));
  EXPECT_EQ(Titles(list), (std::vector<std::string>{"again"}));
}

}  // namespace
