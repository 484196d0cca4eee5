// The set-based reads give what the per-entry reads give, on the same
// books: order, texts, kinds and child counts, also with equal positions,
// NULLs, missing parents and cycles written by other software.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "BookTest.h"
#include "uBookEvents.h"
#include "uDBDirectory.h"
#include "uDBDirectorySets.h"
#include "uDbFailure.h"

namespace {

std::string Describe(const TDirectory& e) {
  return std::to_string(e.Id) + "|" + std::to_string(e.IdParent) + "|" + std::to_string(e.OrderPosition) + "|" +
         e.Title + "|" + e.Description + "|" + (e.IsFolder ? "F" : "R") + "|" + std::to_string(e.Flags) + "|" +
         std::to_string(e.Childs);
}

std::vector<std::string> Describe(const TDirectoryList& list) {
  std::vector<std::string> out;
  for (const auto& entry : list) out.push_back(Describe(*entry));
  return out;
}

class SetReadsTest : public TBookTest {
 protected:
  void SetUp() override {
    TBookTest::SetUp();
    // Root: folders 1 (pos 100) and 2 (pos 100, equal), record 3; folder 1
    // holds records with equal positions inserted out of id order, a
    // subfolder 6 with a record, a kind 2 row, NULL texts and flags.
    const char* rows[] = {
        "1, 0, 100, 'Папка A', 'описание', 1, 0",   "2, 0, 100, 'Папка B', '', 1, 5",
        "3, 0, 50, 'Запись', 'r', 0, 0",            "9, 1, 200, 'равная 9', 'x', 0, 0",
        "4, 1, 200, 'равная 4', 'y', 0, 0",         "5, 1, 100, 'первая', 'line1' || ascii_char(13) || ascii_char(10) || 'line2', 0, 7",
        "6, 1, 300, 'подпапка', NULL, 1, NULL",     "7, 6, 0, 'глубоко', 'z', 2, 0",
        "8, 1, 200, 'равная 8', NULL, 0, 0",        "10, 2, 100, NULL, NULL, 0, 0",
        // Missing parent 99; a cycle 20 -> 21 -> 20; a NULL parent.
        "11, 99, 0, 'сирота', '', 1, 0",            "20, 21, 0, 'цикл 20', '', 1, 0",
        "21, 20, 0, 'цикл 21', '', 1, 0",           "22, 20, 5, 'в цикле', '', 0, 0",
        "23, NULL, 0, 'без родителя', '', 0, 0",
        // Descriptions at and past the length that travels inline.
        "24, 1, 400, 'длинная', LPAD('', 1000, 'д'), 0, 0",  "25, 1, 400, 'длиннее', LPAD('', 1001, 'е'), 0, 0",
        "26, 1, 400, 'очень длинная', LPAD('', 30000, 'ж') || LPAD('', 30000, 'з'), 0, 0",
    };
    for (const char* row : rows)
      Sql(std::string("INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
                      "VALUES (") + row + ")");
  }

  std::vector<std::string> PerEntryFolder(int32_t folder) {
    TDirectoryList list;
    for (int32_t id : ReadFolderListing(folder, &dmDB.trDirectoryRead)) {
      auto entry = std::make_unique<TDirectory>();
      entry->Id = id;
      EXPECT_TRUE(TDBDirectoryReadCmd::Run(entry.get(), &dmDB.trDirectoryRead));
      list.Add(std::move(entry));
    }
    return Describe(list);
  }
  std::vector<std::string> SetFolder(int32_t folder) {
    TDirectoryList list;
    ReadFolderEntries(folder, &list, &dmDB.trDirectoryRead);
    return Describe(list);
  }
  TDirectory Read(int32_t id) {
    TDirectory entry;
    entry.Id = id;
    EXPECT_TRUE(TDBDirectoryReadCmd::Run(&entry));
    return entry;
  }
};

TEST_F(SetReadsTest, FolderListingEqualsTheListingWithOneReadPerEntry) {
  for (int32_t folder : {0, 1, 2, 6, 20, 21, 99, 12345}) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(SetFolder(folder), PerEntryFolder(folder));
  }
  EXPECT_EQ(SetFolder(1).size(), 8u);
}

TEST_F(SetReadsTest, ManyEqualPositionsComeInTheSameOrder) {
  // Ids inserted in a scrambled order, three positions, folders and records.
  TFbTransaction transaction(&dmDB.DB);
  transaction.Params = WriteTransactionParams();
  transaction.StartTransaction();
  {
    TFbQuery insert(&dmDB.DB, &transaction);
    insert.SetSQL("INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
                  "VALUES (:idd, 500, :pos, 't', '', :kind, 0)");
    for (int i = 0; i < 300; ++i) {
      int id = 501 + (i * 37) % 300;
      insert.ParamByName("IDD").SetInteger(id);
      insert.ParamByName("POS").SetInteger((id * 7 % 3) * 100);
      insert.ParamByName("KIND").SetInteger(id % 5 == 0 ? 1 : 0);
      insert.ExecNoResult();
    }
  }
  transaction.Commit();
  Sql("INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
      "VALUES (500, 0, 0, 'много', '', 1, 0)");
  EXPECT_EQ(SetFolder(500), PerEntryFolder(500));
  TDirectory top = Read(500);
  std::vector<std::string> perEntry, set;
  EXPECT_TRUE(TDBDirectoryExportCmd::Run(&top, 0, &perEntry));
  ExportSectionRows(top, 0, &set);
  EXPECT_EQ(set, perEntry);
}

TEST_F(SetReadsTest, ChainEqualsTheChainCommand) {
  for (int32_t id : {0, 1, 6, 7, 10, 11, 20, 21, 22, 23, 99}) {
    SCOPED_TRACE(id);
    TDirectoryList perEntry, set;
    EXPECT_TRUE(TDBDirectoryReadChainCmd::Run(&perEntry, id));
    ReadChainEntries(&set, id);
    EXPECT_EQ(Describe(set), Describe(perEntry));
  }
}

TEST_F(SetReadsTest, SectionExportEqualsTheExportCommand) {
  for (int32_t id : {1, 2, 3, 6, 7, 20, 21, 11}) {
    SCOPED_TRACE(id);
    TDirectory top = Read(id);
    std::vector<std::string> perEntry, set;
    EXPECT_TRUE(TDBDirectoryExportCmd::Run(&top, 0, &perEntry));
    ExportSectionRows(top, 0, &set);
    EXPECT_EQ(set, perEntry);
  }
  TDirectory a = Read(1);
  std::vector<std::string> rows;
  ExportSectionRows(a, 2, &rows);
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows[0].substr(0, 2), "\t\t");
}

TEST_F(SetReadsTest, DeepChainsAndSectionsTakeMoreThanOneStatement) {
  // A line of folders deeper than one recursive statement reads.
  const int depth = kLevelsPerStatement + 20;
  TFbTransaction transaction(&dmDB.DB);
  transaction.Params = WriteTransactionParams();
  transaction.StartTransaction();
  {
    TFbQuery insert(&dmDB.DB, &transaction);
    insert.SetSQL("INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
                  "VALUES (:idd, :id_parent, 0, :title, '', 1, 0)");
    for (int i = 0; i < depth; ++i) {
      insert.ParamByName("IDD").SetInteger(1000 + i);
      insert.ParamByName("ID_PARENT").SetInteger(i == 0 ? 0 : 999 + i);
      std::string title = "L";
      title += std::to_string(i);
      insert.ParamByName("TITLE").SetString(title);
      insert.ExecNoResult();
    }
  }
  transaction.Commit();
  TDirectoryList chain;
  ReadChainEntries(&chain, 1000 + depth - 1);
  EXPECT_EQ(chain.Count(), depth);
  EXPECT_EQ(chain.Items(depth - 1)->Id, 1000);
  std::vector<std::string> rows;
  ExportSectionRows(Read(1000), 0, &rows);
  ASSERT_EQ(rows.size(), static_cast<size_t>(depth));
  std::string deepest(depth - 1, '\t');
  deepest.append("L").append(std::to_string(depth - 1)).append("\t0\t0\t1\t");
  EXPECT_EQ(rows.back(), deepest);
}

TEST_F(SetReadsTest, EveryWriteCommandPostsTheChangeEventEmbeddedToo) {
  std::atomic<int> heard{0};
  TBookEventListener listener(dmDB.DB, kDirectoryChangedEvent, [&] { ++heard; });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the first answer
  auto waitBeyond = [&](int seen) {
    for (int i = 0; i < 100 && heard <= seen; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return heard > seen;
  };
  int before = heard;
  TDirectory entry = Read(3);
  entry.Title = "новое";
  ASSERT_TRUE(TDBDirectorySaveCmd::Run(&entry));
  EXPECT_TRUE(waitBeyond(before));

  before = heard;
  TDirectoryList list;
  list.Add(std::make_unique<TDirectory>(Read(3)));
  list.Items(0)->OrderPosition = 900;
  list.Items(0)->Changed = true;
  ASSERT_TRUE(TDBDirectoriesOrderUpdateCmd::Run(&list));
  EXPECT_TRUE(waitBeyond(before));

  // A read posts nothing.
  before = heard;
  TDirectoryList chain;
  EXPECT_TRUE(TDBDirectoryReadChainCmd::Run(&chain, 7));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(heard, before);
}

TEST(DbFailureTest, CausesFromErrorCodes) {
  struct TCase {
    const char* What;
    std::vector<intptr_t> Codes;
    TDbStage Stage;
    TDbFailure Expected;
  } cases[] = {
      {"refused port", {335544721, 335544722}, TDbStage::Connect, TDbFailure::ServerUnreachable},
      {"unknown host", {335544721, 335544704}, TDbStage::Connect, TDbFailure::ServerUnreachable},
      {"read error at work", {335544721, 335544726}, TDbStage::Work, TDbFailure::ConnectionLost},
      {"write error at work", {335544721, 335544727}, TDbStage::Work, TDbFailure::ConnectionLost},
      {"connection shut down", {335544856}, TDbStage::Work, TDbFailure::ConnectionLost},
      {"connection lost", {335544741}, TDbStage::Work, TDbFailure::ConnectionLost},
      {"login", {335544472}, TDbStage::Connect, TDbFailure::WrongLogin},
      {"open on the server", {335544344, 335544734, 335544373}, TDbStage::Connect, TDbFailure::NoSuchBook},
      {"not a database", {335544323}, TDbStage::Connect, TDbFailure::NotABook},
      {"old on-disk structure", {335544379}, TDbStage::Connect, TDbFailure::NotABook},
      {"protocol", {335544421}, TDbStage::Connect, TDbFailure::VersionRefused},
      {"wire encryption", {335545064}, TDbStage::Connect, TDbFailure::VersionRefused},
      {"character set", {335544325, 335544509}, TDbStage::Connect, TDbFailure::CharsetRefused},
      {"lock conflict", {335544345, 335544878}, TDbStage::Work, TDbFailure::LockConflict},
      {"update conflict", {335544336, 335544451}, TDbStage::Work, TDbFailure::LockConflict},
      {"anything else", {335544569}, TDbStage::Work, TDbFailure::Other},
      {"no codes", {}, TDbStage::Work, TDbFailure::Other},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(ClassifyDatabaseFailure(c.Codes, c.Stage), c.Expected);
  }
}

TEST_F(SetReadsTest, ErrorsCarryFirebirdsCodes) {
  TFbTransaction transaction(&dmDB.DB);
  transaction.Params = ReadTransactionParams();
  transaction.StartTransaction();
  TFbQuery query(&dmDB.DB, &transaction);
  query.SetSQL("SELECT * FROM no_such_table");
  try {
    query.ExecQuery();
    ADD_FAILURE();
  } catch (const EDatabaseError& error) {
    ASSERT_FALSE(error.Codes().empty());
    EXPECT_EQ(error.Codes().front(), 335544569);  // dsql_error
    EXPECT_FALSE(IsLostConnection(error));
  }
}

}  // namespace
