// The command framework and the directory commands against real reference
// book files: transactions, entry read and save, chain, listings and order
// positions.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BookTest.h"
#include "TestSupport.h"
#include "uDB.h"
#include "uDBDirectory.h"
#include "uDirectory.h"
#include "uDirectorySQL.h"
#include "udmDB.h"

namespace {

// What one statement of a test command gave.
struct TStep {
  bool HasRow;       // Exec's answer
  bool RowReadable;  // a column of the current row could be read
};

// Sends the given statements one after the other, shaped like the real
// commands' Execute, so the base classes' transaction rule can be watched
// on statements of the test's choosing.
template <class TKind>
class TStatementsCmd final : public TKind {
 public:
  static bool Run(const std::vector<std::string>& statements, TFbTransaction* transaction = nullptr,
                  std::vector<TStep>* steps = nullptr) {
    TStatementsCmd command(transaction);
    command.FStatements = &statements;
    command.FSteps = steps;
    return command.Execute();
  }

 protected:
  using TKind::TKind;

  bool Execute() override {
    this->SetSQL(FStatements->front());
    try {
      for (size_t i = 0; i < FStatements->size(); ++i) {
        if (i > 0) this->SetSQL((*FStatements)[i]);
        bool hasRow = this->Exec();
        if (FSteps) FSteps->push_back({hasRow, RowReadable()});
      }
      return this->Finish();
    } catch (...) {
      return this->Fail();
    }
  }

 private:
  bool RowReadable() const {
    std::vector<std::string> names = this->Query->FieldNames();
    if (names.empty()) return false;
    try {
      this->FieldByName(names.front());
      return true;
    } catch (const EDatabaseError&) {
      return false;
    }
  }

  const std::vector<std::string>* FStatements = nullptr;
  std::vector<TStep>* FSteps = nullptr;
};

using TReadStatements = TStatementsCmd<TDBReadCmd>;
using TWriteStatements = TStatementsCmd<TDBWriteCmd>;

std::string InsertSQL(int id, int parent = 0, const std::string& title = "t") {
  return "INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) VALUES (" +
         std::to_string(id) + ", " + std::to_string(parent) + ", 0, '" + title + "', '', 0, 0)";
}

const char* const kBadStatement = "SELEC idd FROM directory";
const char* const kAdvanceGenerator = "SELECT GEN_ID(GEN_DIRECTORY_ID, 1) AS id FROM rdb$database";

// A row as stored, read through the database layer and not the commands.
struct TRow {
  std::optional<int> Parent;
  int Position;
  std::string Title;
  std::string Description;
  int Kind;
  int Flags;
};

// Another copy of the program holding an uncommitted update of one row.
class TRowLock {
 public:
  TRowLock(const std::string& path, int id) {
    FDB.DatabaseName = path;
    FDB.Params = DirectoryConnectionParams();
    FDB.Open();
    FTransaction.Params = WriteTransactionParams();
    FTransaction.StartTransaction();
    TFbQuery query(&FDB, &FTransaction);
    query.SetSQL("UPDATE directory SET order_position = -7, title = 'locked' WHERE idd = " + std::to_string(id));
    query.ExecNoResult();
  }
  void Release() { FTransaction.Rollback(); }

 private:
  TFbDatabase FDB;
  TFbTransaction FTransaction{&FDB};
};

// A fresh book opened through the data module and made the shared database
// of every command.
class CommandTest : public TBookTest {
 protected:
  void Put(int id, std::optional<int> parent, int position, const std::string& title, int kind,
           int flags = 0, const std::string& description = "") {
    TFbTransaction transaction(&dmDB.DB);
    transaction.Params = WriteTransactionParams();
    transaction.StartTransaction();
    {
      TFbQuery query(&dmDB.DB, &transaction);
      query.SetSQL(
          "INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
          "VALUES (:idd, :id_parent, :order_position, :title, :description, :kind, :flags)");
      query.ParamByName("IDD").SetInteger(id);
      if (parent)
        query.ParamByName("ID_PARENT").SetInteger(*parent);
      else
        query.ParamByName("ID_PARENT").SetNull();
      query.ParamByName("ORDER_POSITION").SetInteger(position);
      query.ParamByName("TITLE").SetString(title);
      query.ParamByName("DESCRIPTION").SetString(description);
      query.ParamByName("KIND").SetInteger(kind);
      query.ParamByName("FLAGS").SetInteger(flags);
      query.ExecNoResult();
    }
    transaction.Commit();
  }

  // What a new transaction sees: only committed work.
  std::optional<TRow> Row(int id) {
    TFbTransaction transaction(&dmDB.DB);
    transaction.Params = ReadTransactionParams();
    transaction.StartTransaction();
    TFbQuery query(&dmDB.DB, &transaction);
    query.SetSQL("SELECT * FROM directory WHERE idd = " + std::to_string(id));
    query.ExecQuery();
    if (query.Eof()) return std::nullopt;
    TRow row;
    if (!query.FieldByName("ID_PARENT").IsNull()) row.Parent = query.FieldByName("ID_PARENT").AsInteger();
    row.Position = query.FieldByName("ORDER_POSITION").AsInteger();
    row.Title = query.FieldByName("TITLE").AsString();
    row.Description = query.FieldByName("DESCRIPTION").AsString();
    row.Kind = query.FieldByName("KIND").AsInteger();
    row.Flags = query.FieldByName("FLAGS").AsInteger();
    return row;
  }

  // Whether a row is visible inside the given (active) transaction.
  bool VisibleIn(TFbTransaction& transaction, int id) {
    TFbQuery query(&dmDB.DB, &transaction);
    query.SetSQL("SELECT idd FROM directory WHERE idd = " + std::to_string(id));
    query.ExecQuery();
    return !query.Eof();
  }
};

// --- transaction rule -------------------------------------------------------------

TEST_F(CommandTest, CommittedWriteIsSeenAtOnceInTheLongLivedReadTransaction) {
  TFbTransaction& read = dmDB.trDirectoryRead;
  EXPECT_TRUE(ReadFolderListing(0, &read).empty());
  ASSERT_TRUE(read.InTransaction());

  EXPECT_TRUE(TWriteStatements::Run({InsertSQL(1, 0, "first")}));
  EXPECT_EQ(ReadFolderListing(0, &read), (std::vector<int32_t>{1}));

  TDirectory entry;
  entry.Id = 2;
  entry.Title = "second";
  EXPECT_TRUE(TDBDirectorySaveCmd::Run(&entry));
  EXPECT_EQ(ReadFolderListing(0, &read), (std::vector<int32_t>{1, 2}));

  TDirectory readBack;
  readBack.Id = 1;
  EXPECT_TRUE(TDBDirectoryReadCmd::Run(&readBack, &read));
  EXPECT_EQ(readBack.Title, "first");

  // None of the commands ended the window's transaction.
  EXPECT_TRUE(read.InTransaction());
}

TEST_F(CommandTest, FailureInsidePassedTransactionLeavesItActiveWithItsWork) {
  TFbTransaction transaction(&dmDB.DB);
  transaction.Params = WriteTransactionParams();

  // Exec starts a passed transaction that is not active; Finish does not
  // commit it.
  EXPECT_TRUE(TWriteStatements::Run({InsertSQL(1)}, &transaction));
  ASSERT_TRUE(transaction.InTransaction());
  EXPECT_FALSE(Row(1));

  const std::vector<std::string> failing[] = {
      {InsertSQL(1)},  // duplicate key
      {kBadStatement},
      {InsertSQL(2), kBadStatement},
  };
  for (const auto& statements : failing) {
    SCOPED_TRACE(statements.back());
    EXPECT_FALSE(TWriteStatements::Run(statements, &transaction));
    ASSERT_TRUE(transaction.InTransaction());
    EXPECT_TRUE(VisibleIn(transaction, 1));  // not rolled back
    EXPECT_FALSE(Row(1));                    // not committed
  }
  EXPECT_FALSE(TReadStatements::Run({"SELECT * FROM no_such_table"}, &transaction));
  EXPECT_TRUE(transaction.InTransaction());

  transaction.Commit();
  ASSERT_TRUE(Row(1));
  EXPECT_TRUE(Row(2));  // sent before the failing statement, inside the caller's transaction
}

struct TOwnedCase {
  const char* What;
  bool Write;
  std::vector<std::string> Statements;
  bool Result;
  std::vector<int> Present;
  std::vector<int> Absent;
};

TEST_F(CommandTest, OwnedTransactionCommitsOnSuccessAndRollsBackOnFailure) {
  Put(100, 0, 0, "existing", 0);
  const TOwnedCase cases[] = {
      {"all statements succeed", true, {InsertSQL(1), InsertSQL(2)}, true, {1, 2}, {}},
      {"second statement is bad", true, {InsertSQL(3), kBadStatement}, false, {}, {3}},
      {"second statement breaks the key", true, {InsertSQL(4), InsertSQL(100)}, false, {100}, {4}},
      {"a read command's transaction is read-only", false, {InsertSQL(5)}, false, {}, {5}},
  };
  for (const TOwnedCase& c : cases) {
    SCOPED_TRACE(c.What);
    bool result = c.Write ? TWriteStatements::Run(c.Statements) : TReadStatements::Run(c.Statements);
    EXPECT_EQ(result, c.Result);
    for (int id : c.Present) EXPECT_TRUE(Row(id)) << id;
    for (int id : c.Absent) EXPECT_FALSE(Row(id)) << id;
  }
  EXPECT_EQ(Row(100)->Title, "existing");
}

TEST_F(CommandTest, FirstFailingStatementStopsTheCommand) {
  // The generator moves outside transactions, so a second statement that
  // ran would show even after the rollback.
  int before = NextGeneratorValue("GEN_DIRECTORY_ID");
  std::vector<TStep> steps;
  EXPECT_FALSE(TWriteStatements::Run({kBadStatement, kAdvanceGenerator}, nullptr, &steps));
  EXPECT_FALSE(TReadStatements::Run({kBadStatement, kAdvanceGenerator}, nullptr, &steps));
  EXPECT_TRUE(steps.empty());
  EXPECT_EQ(NextGeneratorValue("GEN_DIRECTORY_ID"), before + 1);

  // Inside a caller's transaction nothing is rolled back, so a second
  // statement would stay visible there.
  TFbTransaction transaction(&dmDB.DB);
  transaction.Params = WriteTransactionParams();
  EXPECT_FALSE(TWriteStatements::Run({kBadStatement, InsertSQL(1)}, &transaction));
  ASSERT_TRUE(transaction.InTransaction());
  EXPECT_FALSE(VisibleIn(transaction, 1));
}

struct TExecCase {
  const char* What;
  std::string Sql;
  bool HasRow;
  bool RowReadable;
};

// Exec tells a reading statement that found a row from one that found none,
// and runs a writing statement to its end without a result: the statements
// the commands send.
TEST_F(CommandTest, ExecTellsWhetherAReadingStatementFoundARowAndRunsWrites) {
  Put(1, 0, 0, "folder", 1);
  Put(2, 1, 0, "record", 0);
  const TExecCase cases[] = {
      {"entry read", kReadSQL + std::string("1"), true, true},
      {"entry read of an id without a row", kReadSQL + std::string("9"), false, false},
      {"child count, a row also for none", kChildCountSQL + std::string("2"), true, true},
      {"existence check of an id without a row", kExistsSQL + std::string("9"), false, false},
      {"chain step", kChainSQL + std::string("2"), true, true},
      {"children in order", kChildrenSQL + std::string("1") + kChildrenOrderSQL, true, true},
      {"children of a record", kChildrenSQL + std::string("2") + kChildrenOrderSQL, false, false},
      {"order update", "UPDATE directory SET order_position = 5 WHERE idd = 2", true, false},
      {"insert", InsertSQL(3, 1, "new"), true, false},
  };
  for (const TExecCase& c : cases) {
    SCOPED_TRACE(c.What);
    std::vector<TStep> steps;
    EXPECT_TRUE(TWriteStatements::Run({c.Sql}, nullptr, &steps));
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].HasRow, c.HasRow);
    EXPECT_EQ(steps[0].RowReadable, c.RowReadable);
  }
  EXPECT_EQ(Row(2)->Position, 5);
  EXPECT_EQ(Row(3)->Title, "new");
}

TEST_F(CommandTest, RowLockedByAnotherCopyFailsAtOnceAndChangesNothing) {
  Put(1, 0, 100, "original", 1, 5, "desc");
  const TRow before = *Row(1);
  TRowLock lock(Book.Path(), 1);

  TDirectory entry;
  entry.Id = 1;
  entry.Title = "changed";
  auto start = std::chrono::steady_clock::now();
  std::string reason;
  EXPECT_FALSE(TDBDirectorySaveCmd::Run(&entry, nullptr, &reason));
  EXPECT_EQ(reason,
            "Эту запись прямо сейчас изменяет другой пользователь или другая программа. Попробуйте ещё раз "
            "чуть позже.");
  EXPECT_FALSE(TWriteStatements::Run({"UPDATE directory SET title = 'x' WHERE idd = 1"}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

  lock.Release();
  std::optional<TRow> after = Row(1);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->Title, before.Title);
  EXPECT_EQ(after->Position, before.Position);
  EXPECT_EQ(RowCount(), 1);

  // Once the other copy has let go, the same save goes through.
  EXPECT_TRUE(TDBDirectorySaveCmd::Run(&entry));
  EXPECT_EQ(Row(1)->Title, "changed");
}

TEST(CommandFramework, WithoutSharedDatabaseEverythingFailsQuietly) {
  AssignDatabase(nullptr);
  EXPECT_FALSE(TWriteStatements::Run({"SELECT 1 AS n FROM rdb$database"}));
  EXPECT_FALSE(TReadStatements::Run({"SELECT 1 AS n FROM rdb$database"}));

  TDirectory entry;
  entry.Id = 3;
  entry.Title = "kept";
  EXPECT_FALSE(TDBDirectoryReadCmd::Run(&entry));
  EXPECT_EQ(entry.Title, "kept");
  EXPECT_FALSE(TDBDirectorySaveCmd::Run(&entry));

  TDirectoryList list;
  EXPECT_FALSE(TDBDirectoryReadChainCmd::Run(&list, 3));
  EXPECT_EQ(list.Count(), 0);
  list.Add(std::make_unique<TDirectory>())->Changed = true;
  EXPECT_FALSE(TDBDirectoriesOrderUpdateCmd::Run(&list));
  EXPECT_TRUE(list.Items(0)->Changed);

  EXPECT_FALSE(SQLHasRows("SELECT 1 AS n FROM rdb$database"));
  EXPECT_EQ(NextGeneratorValue("GEN_DIRECTORY_ID"), -1);
}

// --- helpers ------------------------------------------------------------------------

TEST_F(CommandTest, NextGeneratorValueDrawsConsecutiveValues) {
  int first = NextGeneratorValue("GEN_DIRECTORY_ID");
  EXPECT_GE(first, 0);
  EXPECT_EQ(NextGeneratorValue("GEN_DIRECTORY_ID"), first + 1);
  EXPECT_EQ(NextGeneratorValue("GEN_NO_SUCH_GENERATOR"), -1);
  EXPECT_EQ(NextGeneratorValue(""), -1);
  // A failed draw takes nothing from the real generator.
  EXPECT_EQ(NextGeneratorValue("GEN_DIRECTORY_ID"), first + 2);
}

TEST_F(CommandTest, GeneratorOutsideTheIdRangeGivesNoId) {
  // Ids run from 1 to 2^31 - 1. Past 2^31 and 2^32 a narrowed value would
  // turn into a negative id or wrap onto a small one already in use; a
  // generator set back below 1 (by other software) gives 0 or a negative
  // value, which would meet the root or a failed draw's -1.
  Put(3, 0, 0, "in use", 0);
  for (const char* start : {"2147483647", "4294967296", "-4294967294", "-2", "-1"}) {
    SCOPED_TRACE(start);
    Sql(std::string("ALTER SEQUENCE GEN_DIRECTORY_ID RESTART WITH ") + start);
    EXPECT_EQ(NextGeneratorValue("GEN_DIRECTORY_ID"), -1);
  }
  // Back inside the range, values are given again.
  Sql("ALTER SEQUENCE GEN_DIRECTORY_ID RESTART WITH 0");
  EXPECT_EQ(NextGeneratorValue("GEN_DIRECTORY_ID"), 1);
  Sql("ALTER SEQUENCE GEN_DIRECTORY_ID RESTART WITH 2147483646");
  EXPECT_EQ(NextGeneratorValue("GEN_DIRECTORY_ID"), 2147483647);
}

struct THasRowsCase {
  const char* Sql;
  bool Expected;
};

TEST_F(CommandTest, SQLHasRowsAnswersTrueOnlyForARow) {
  Put(1, 0, 0, "a", 0);
  const THasRowsCase cases[] = {
      {"SELECT idd FROM directory WHERE idd=1", true},
      {"select idd from directory where idd=1", true},
      {"SELECT idd FROM directory WHERE idd=2", false},
      {kBadStatement, false},
      {"SELECT idd FROM no_such_table", false},
      {"SELECT no_such_column FROM directory", false},
      {"INSERT INTO directory (idd) VALUES (50)", false},  // its transaction is read-only
  };
  for (const THasRowsCase& c : cases) {
    SCOPED_TRACE(c.Sql);
    EXPECT_EQ(SQLHasRows(c.Sql), c.Expected);
  }
  EXPECT_FALSE(Row(50));

  // In a caller's transaction it sees that transaction's own work and
  // leaves the transaction to the caller, also on failure.
  TFbTransaction transaction(&dmDB.DB);
  transaction.Params = WriteTransactionParams();
  EXPECT_TRUE(TWriteStatements::Run({InsertSQL(2)}, &transaction));
  EXPECT_TRUE(SQLHasRows("SELECT idd FROM directory WHERE idd=2", &transaction));
  EXPECT_FALSE(SQLHasRows("SELECT idd FROM directory WHERE idd=2"));
  EXPECT_FALSE(SQLHasRows(kBadStatement, &transaction));
  EXPECT_TRUE(transaction.InTransaction());
  EXPECT_TRUE(VisibleIn(transaction, 2));
}

// --- entry read and save ------------------------------------------------------------

void ExpectSameEntry(const TDirectory& actual, const TDirectory& expected) {
  EXPECT_EQ(actual.IsFolder, expected.IsFolder);
  EXPECT_EQ(actual.Changed, expected.Changed);
  EXPECT_EQ(actual.Childs, expected.Childs);
  EXPECT_EQ(actual.Description, expected.Description);
  EXPECT_EQ(actual.Flags, expected.Flags);
  EXPECT_EQ(actual.Id, expected.Id);
  EXPECT_EQ(actual.IdParent, expected.IdParent);
  EXPECT_EQ(actual.OrderPosition, expected.OrderPosition);
  EXPECT_EQ(actual.Title, expected.Title);
}

TEST_F(CommandTest, SaveInsertsThenUpdatesTheSameRow) {
  TDirectory entry;
  entry.Id = NextGeneratorValue("GEN_DIRECTORY_ID");
  ASSERT_GT(entry.Id, 0);
  entry.IdParent = 7;
  entry.OrderPosition = 300;
  entry.Title = "Папка";
  entry.Description = "Описание";
  entry.IsFolder = true;
  entry.Flags = 12345;
  entry.Childs = 99;     // never stored
  entry.Changed = true;  // never stored
  EXPECT_TRUE(TDBDirectorySaveCmd::Run(&entry));
  EXPECT_EQ(RowCount(), 1);
  std::optional<TRow> row = Row(entry.Id);
  ASSERT_TRUE(row);
  EXPECT_EQ(row->Parent, 7);
  EXPECT_EQ(row->Position, 300);
  EXPECT_EQ(row->Title, "Папка");
  EXPECT_EQ(row->Description, "Описание");
  EXPECT_EQ(row->Kind, 1);
  EXPECT_EQ(row->Flags, 12345);

  entry.IdParent = 0;
  entry.OrderPosition = -100;
  entry.Title = "Запись";
  entry.Description = "";
  entry.IsFolder = false;
  entry.Flags = -1;
  EXPECT_TRUE(TDBDirectorySaveCmd::Run(&entry));
  EXPECT_EQ(RowCount(), 1);
  row = Row(entry.Id);
  ASSERT_TRUE(row);
  EXPECT_EQ(row->Parent, 0);
  EXPECT_EQ(row->Position, -100);
  EXPECT_EQ(row->Title, "Запись");
  EXPECT_EQ(row->Description, "");
  EXPECT_EQ(row->Kind, 0);
  EXPECT_EQ(row->Flags, -1);

  TDirectory readBack;
  readBack.Id = entry.Id;
  EXPECT_TRUE(TDBDirectoryReadCmd::Run(&readBack));
  TDirectory expected = entry;
  expected.Childs = 0;
  expected.Changed = false;
  ExpectSameEntry(readBack, expected);
}

struct TRefusedSaveCase {
  const char* What;
  std::string Title;
  std::string Description;
  std::string Reason;
};

// A save that cannot store the entry whole stores nothing and says why.
TEST_F(CommandTest, RefusedSaveStoresNothingAndTellsWhy) {
  Put(1, 0, 0, "original", 0, 0, "kept");
  const TRefusedSaveCase cases[] = {
      {"title past its column", std::string(65540, 'W'), "d",
       "Текст поля «Название» слишком длинный: 65 540 символов, а база данных вмещает в этом поле не больше 4 000."},
      {"five megabytes of title", std::string(5'000'000, 'W'), "d",
       "Текст поля «Название» слишком длинный: 5 000 000 символов, а база данных вмещает в этом поле не больше "
       "4 000."},
      {"character without a Windows-1251 code", "Иероглиф 漢", "d",
       "Символ «漢» (U+6F22) нельзя сохранить в справочнике: кодировка Windows-1251 не содержит этого символа."},
      {"such a character in the description", "t", "emoji 😀",
       "Символ «😀» (U+1F600) нельзя сохранить в справочнике: кодировка Windows-1251 не содержит этого символа."},
  };
  for (const TRefusedSaveCase& c : cases) {
    SCOPED_TRACE(c.What);
    for (int id : {1, 2}) {  // an update and an insert
      TDirectory entry;
      entry.Id = id;
      entry.Title = c.Title;
      entry.Description = c.Description;
      std::string reason = "stale";
      EXPECT_FALSE(TDBDirectorySaveCmd::Run(&entry, nullptr, &reason));
      EXPECT_EQ(reason, c.Reason);
    }
    EXPECT_EQ(RowCount(), 1);
    EXPECT_EQ(Row(1)->Title, "original");
    EXPECT_EQ(Row(1)->Description, "kept");
  }
  // A save that goes through leaves no reason behind.
  TDirectory entry;
  entry.Id = 1;
  entry.Title = std::string(4000, 'W');
  std::string reason = "stale";
  EXPECT_TRUE(TDBDirectorySaveCmd::Run(&entry, nullptr, &reason));
  EXPECT_EQ(reason, "");
  EXPECT_EQ(Row(1)->Title, std::string(4000, 'W'));
}

TEST_F(CommandTest, SaveRefusesIdsBelowOne) {
  Put(1, 0, 0, "a", 0);
  for (int32_t id : {0, -1, -100}) {
    SCOPED_TRACE(id);
    TDirectory entry;
    entry.Id = id;
    entry.Title = "never stored";
    EXPECT_FALSE(TDBDirectorySaveCmd::Run(&entry));
    EXPECT_EQ(RowCount(), 1);
    EXPECT_FALSE(Row(id));
  }
}

TEST_F(CommandTest, ReadOfIdWithoutRowLeavesTheEntryAsItWas) {
  // Top-level rows name 0 as their parent: a read of the root must not
  // count them either.
  Put(1, 0, 0, "a", 1);
  Put(2, 0, 100, "b", 0);
  TFbTransaction* transactions[] = {nullptr, &dmDB.trDirectoryRead};
  for (int32_t id : {0, 999, -1}) {
    for (TFbTransaction* transaction : transactions) {
      SCOPED_TRACE(testing::Message() << id << (transaction ? " in the read transaction" : " own transaction"));
      TDirectory entry;
      entry.Id = id;
      entry.IsFolder = true;
      entry.Changed = true;
      entry.Childs = 42;
      entry.Description = "d";
      entry.Flags = 3;
      entry.IdParent = 4;
      entry.OrderPosition = 5;
      entry.Title = "t";
      const TDirectory before = entry;
      EXPECT_TRUE(TDBDirectoryReadCmd::Run(&entry, transaction));
      ExpectSameEntry(entry, before);
    }
  }
}

TEST_F(CommandTest, NullColumnsReadAsZeroAndEmpty) {
  Sql("INSERT INTO directory (idd) VALUES (5)");
  TDirectory entry;
  entry.Id = 5;
  entry.IsFolder = true;
  entry.Description = "d";
  entry.Flags = 3;
  entry.IdParent = 4;
  entry.OrderPosition = 5;
  entry.Title = "t";
  entry.Childs = 8;
  EXPECT_TRUE(TDBDirectoryReadCmd::Run(&entry));
  TDirectory expected;
  expected.Id = 5;
  ExpectSameEntry(entry, expected);
}

struct TKindCase {
  int StoredKind;
  bool IsFolder;
  int KindAfterSave;
};

TEST_F(CommandTest, KindReadsAsFolderOnlyWhenOneAndIsWrittenBackAsZeroOrOne) {
  const TKindCase cases[] = {{0, false, 0}, {1, true, 1}, {2, false, 0}, {-1, false, 0}};
  int id = 1;
  for (const TKindCase& c : cases) {
    SCOPED_TRACE(c.StoredKind);
    Put(id, 0, 0, "k", c.StoredKind);
    TDirectory entry;
    entry.Id = id;
    entry.IsFolder = !c.IsFolder;
    EXPECT_TRUE(TDBDirectoryReadCmd::Run(&entry));
    EXPECT_EQ(entry.IsFolder, c.IsFolder);
    EXPECT_TRUE(TDBDirectorySaveCmd::Run(&entry));
    EXPECT_EQ(Row(id)->Kind, c.KindAfterSave);
    ++id;
  }
}

TEST_F(CommandTest, ChildsCountsTheRowsNamingTheEntryAsParent) {
  Put(1, 0, 0, "folder", 1);
  Put(2, 1, 0, "c1", 0);
  Put(3, 1, 100, "c2", 1);
  Put(4, 1, 200, "c3", 0);
  Put(5, 3, 0, "grandchild", 0);  // counted for its own parent only
  Put(6, 0, 0, "empty folder", 1);
  Put(7, 0, 0, "record", 0);
  Put(8, 7, 0, "under a record", 0);
  Put(9, std::nullopt, 0, "no parent", 0);
  Put(10, 0, 0, "lone record", 0);

  const std::pair<int32_t, int32_t> expected[] = {{1, 3}, {3, 1}, {6, 0}, {7, 1}, {10, 0}, {9, 0}};
  TFbTransaction* transactions[] = {nullptr, &dmDB.trDirectoryRead};
  for (const auto& [id, childs] : expected) {
    for (TFbTransaction* transaction : transactions) {
      SCOPED_TRACE(testing::Message() << id << (transaction ? " in the read transaction" : ""));
      TDirectory entry;
      entry.Id = id;
      entry.Childs = -5;
      EXPECT_TRUE(TDBDirectoryReadCmd::Run(&entry, transaction));
      EXPECT_EQ(entry.Childs, childs);
    }
  }
  EXPECT_TRUE(dmDB.trDirectoryRead.InTransaction());
}

TEST_F(CommandTest, TextsSurviveSaveAndRead) {
  const std::pair<std::string, std::string> texts[] = {
      {"Справочник: Ёжик и ёлка", "Многострочное\r\nописание\r\nтретья строка"},
      {"quote \" and 'single' and ''", "\"in quotes\", 'apostrophes' ; -- not a comment"},
      {"TAB\there", "a\tb\t\tc\r\n\r\n"},
      {"  blanks at both ends  ", "  \r\n  "},
      {"...", "№ « » — …"},
      {":idd :title", "back\\slash and %d %s"},
      {"", ""},
      {std::string(4000, 'x'), std::string(50000, 'y') + "конец"},
  };
  int32_t id = 1;
  for (const auto& [title, description] : texts) {
    SCOPED_TRACE(title.substr(0, 40));
    TDirectory entry;
    entry.Id = id++;
    entry.Title = title;
    entry.Description = description;
    ASSERT_TRUE(TDBDirectorySaveCmd::Run(&entry));
    // Saved a second time to go through the update as well as the insert.
    ASSERT_TRUE(TDBDirectorySaveCmd::Run(&entry));
    TDirectory readBack;
    readBack.Id = entry.Id;
    readBack.Title = "other";
    readBack.Description = "other";
    ASSERT_TRUE(TDBDirectoryReadCmd::Run(&readBack));
    EXPECT_EQ(readBack.Title, title);
    EXPECT_EQ(readBack.Description, description);
  }
}

// --- chain ------------------------------------------------------------------------

std::vector<int32_t> Ids(const TDirectoryList& list) {
  std::vector<int32_t> ids;
  for (const auto& entry : list) ids.push_back(entry->Id);
  return ids;
}

struct TChainCase {
  const char* What;
  int32_t Start;
  std::vector<int32_t> Expected;
};

TEST_F(CommandTest, ChainRunsFromTheFolderUpToTheTopLevelAndEndsOnMissingRowsAndCycles) {
  Put(1, 0, 0, "A", 1);
  Put(2, 1, 0, "B", 1);
  Put(3, 2, 0, "C", 1);
  Put(4, 3, 0, "record in C", 0);
  Put(10, 77, 0, "orphan", 1);
  Put(20, 20, 0, "own parent", 1);
  Put(30, 31, 0, "P", 1);
  Put(31, 30, 0, "Q", 1);
  Put(40, 41, 0, "tail", 1);
  Put(41, 42, 0, "ring 1", 1);
  Put(42, 43, 0, "ring 2", 1);
  Put(43, 41, 0, "ring 3", 1);

  const TChainCase cases[] = {
      {"three levels", 3, {3, 2, 1}},
      {"top-level folder", 1, {1}},
      {"a record's chain", 4, {4, 3, 2, 1}},
      {"id without row", 999, {}},
      {"root", 0, {}},
      {"parent without row", 10, {10}},
      {"own parent", 20, {20}},
      {"two folders naming each other", 30, {30, 31}},
      {"the same pair from the other end", 31, {31, 30}},
      {"a tail leading into a ring", 40, {40, 41, 42, 43}},
  };
  for (const TChainCase& c : cases) {
    SCOPED_TRACE(c.What);
    TDirectoryList list;
    EXPECT_TRUE(TDBDirectoryReadChainCmd::Run(&list, c.Start));
    EXPECT_EQ(Ids(list), c.Expected);
  }
}

TEST_F(CommandTest, ChainEntriesAreFullyReadAndAppendedToTheList) {
  Put(1, 0, 100, "Верх", 1, 0, "top");
  Put(2, 1, 200, "Середина", 1);
  Put(3, 2, 300, "Низ", 1, 9);
  Put(4, 3, 0, "r1", 0);
  Put(5, 3, 0, "r2", 0);

  TDirectoryList list;
  TDirectory* kept = list.Add(TDirectory::NewFolder(55));
  kept->Title = "kept";
  EXPECT_TRUE(TDBDirectoryReadChainCmd::Run(&list, 3, &dmDB.trDirectoryRead));
  EXPECT_TRUE(dmDB.trDirectoryRead.InTransaction());
  ASSERT_EQ(Ids(list), (std::vector<int32_t>{55, 3, 2, 1}));
  EXPECT_EQ(list.Items(0), kept);
  EXPECT_EQ(list.ChainText(true), "\\Верх\\Середина\\Низ\\kept");

  const TDirectory* low = list.Items(1);
  EXPECT_TRUE(low->IsFolder);
  EXPECT_EQ(low->IdParent, 2);
  EXPECT_EQ(low->OrderPosition, 300);
  EXPECT_EQ(low->Flags, 9);
  EXPECT_EQ(low->Childs, 2);
  EXPECT_EQ(list.Items(2)->Childs, 1);
  EXPECT_EQ(list.Items(3)->Description, "top");
  EXPECT_EQ(list.Items(3)->IdParent, 0);

  // A start id without a row leaves what the list held.
  EXPECT_TRUE(TDBDirectoryReadChainCmd::Run(&list, 999));
  EXPECT_EQ(Ids(list), (std::vector<int32_t>{55, 3, 2, 1}));
}

// --- listing and parent lookup -----------------------------------------------------------

struct TListingCase {
  const char* What;
  int32_t Folder;
  std::vector<int32_t> Expected;
};

TEST_F(CommandTest, FolderListingGivesFoldersFirstThenRecordsEachByPosition) {
  Put(1, 0, 300, "record late", 0);
  Put(2, 0, 200, "folder late", 1);
  Put(3, 0, 0, "record early", 0);
  Put(4, 0, 100, "folder early", 1);
  Put(5, std::nullopt, 0, "no parent", 1);
  Put(6, 4, 100, "same 1", 0);
  Put(7, 4, 100, "same 2", 0);
  Put(8, 4, 100, "same folder", 1);
  Put(9, 4, 100, "same 3", 0);
  Put(10, 4, 0, "first record", 0);

  const TListingCase cases[] = {
      {"root", 0, {4, 2, 3, 1}},
      {"empty folder", 2, {}},
      {"id without row", 999, {}},
  };
  TFbTransaction& read = dmDB.trDirectoryRead;
  for (const TListingCase& c : cases) {
    SCOPED_TRACE(c.What);
    EXPECT_EQ(ReadFolderListing(c.Folder, &read), c.Expected);
  }

  // Equal positions come in the database's order, but each child once.
  std::vector<int32_t> ids = ReadFolderListing(4, &read);
  ASSERT_EQ(ids.size(), 5u);
  EXPECT_EQ(ids[0], 8);
  EXPECT_EQ(ids[1], 10);
  std::vector<int32_t> tied(ids.begin() + 2, ids.end());
  std::sort(tied.begin(), tied.end());
  EXPECT_EQ(tied, (std::vector<int32_t>{6, 7, 9}));
}

TEST_F(CommandTest, ParentLookupGivesTheParentOrZero) {
  Put(1, 0, 0, "top", 1);
  Put(2, 1, 0, "inside", 1);
  Put(3, 77, 0, "orphan", 0);
  Put(4, std::nullopt, 0, "no parent", 0);
  const std::pair<int32_t, int32_t> cases[] = {{2, 1}, {1, 0}, {3, 77}, {4, 0}, {999, 0}, {0, 0}};
  for (const auto& [id, parent] : cases) {
    SCOPED_TRACE(id);
    EXPECT_EQ(ReadParentId(id, &dmDB.trDirectoryRead), parent);
  }
}

// --- order update ------------------------------------------------------------------

// A sub-folder's listing as the window holds it: the up row, then the
// entries read from the book.
class OrderUpdateTest : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    Put(100, 0, 555, "folder", 1);
    Put(1, 100, 100, "A", 0);
    Put(2, 100, 200, "B", 0);
    Put(3, 100, 300, "C", 0);
    Put(4, 100, 400, "D", 0);
    TDirectory* up = Listing.Add(TDirectory::NewFolder(100));
    up->Title = kUpRowTitle;
    for (int32_t id : ReadFolderListing(100, &dmDB.trDirectoryRead)) {
      auto entry = std::make_unique<TDirectory>();
      entry->Id = id;
      ASSERT_TRUE(TDBDirectoryReadCmd::Run(entry.get(), &dmDB.trDirectoryRead));
      Listing.Add(std::move(entry));
    }
    ASSERT_EQ(Listing.Count(), 5);
  }

  std::vector<int> StoredPositions() {
    std::vector<int> positions;
    for (int id : {1, 2, 3, 4}) positions.push_back(Row(id)->Position);
    return positions;
  }

  std::vector<bool> Marks() const {
    std::vector<bool> marks;
    for (const auto& entry : Listing) marks.push_back(entry->Changed);
    return marks;
  }

  TDirectoryList Listing;
};

TEST_F(OrderUpdateTest, StoresExactlyTheMarkedPositionsAndClearsTheirMarks) {
  // The user moves D to the top: D, A, B, C.
  Listing.Move(4, 1);
  Listing.Renumber();
  EXPECT_EQ(Marks(), (std::vector<bool>{false, true, true, true, true}));
  Listing.Items(1)->OrderPosition = 999;  // unmarked: must not be sent
  Listing.Items(1)->Changed = false;

  EXPECT_TRUE(TDBDirectoriesOrderUpdateCmd::Run(&Listing));
  EXPECT_EQ(Marks(), std::vector<bool>(5, false));
  EXPECT_EQ(StoredPositions(), (std::vector<int>{200, 300, 400, 400}));
  EXPECT_EQ(Row(100)->Position, 555);  // the up row names the folder but is never stored

  Listing.Items(1)->OrderPosition = 100;
  Listing.Items(1)->Changed = true;
  EXPECT_TRUE(TDBDirectoriesOrderUpdateCmd::Run(&Listing));
  EXPECT_EQ(ReadFolderListing(100, &dmDB.trDirectoryRead), (std::vector<int32_t>{4, 1, 2, 3}));

  // Nothing is marked now, so a run sends nothing: even rows locked by
  // another copy do not make it fail.
  TRowLock lockA(Book.Path(), 1);
  TRowLock lockD(Book.Path(), 4);
  EXPECT_TRUE(TDBDirectoriesOrderUpdateCmd::Run(&Listing));
  EXPECT_EQ(Marks(), std::vector<bool>(5, false));
}

TEST_F(OrderUpdateTest, FailurePartWayKeepsEveryMarkForTheNextRun) {
  // A new entry after A pushes B, C and D down; B is the second entry sent.
  auto added = std::make_unique<TDirectory>();
  added->Id = 5;
  added->IdParent = 100;
  added->Title = "new";
  ASSERT_TRUE(TDBDirectorySaveCmd::Run(added.get()));
  Listing.Insert(2, std::move(added));
  Listing.Renumber();
  ASSERT_EQ(Marks(), (std::vector<bool>{false, false, true, true, true, true}));

  TRowLock lock(Book.Path(), 2);
  EXPECT_FALSE(TDBDirectoriesOrderUpdateCmd::Run(&Listing));
  EXPECT_EQ(Marks(), (std::vector<bool>{false, false, true, true, true, true}));
  lock.Release();
  // The update of the new entry, sent before the failure, was rolled back.
  EXPECT_EQ(Row(5)->Position, 0);
  EXPECT_EQ(StoredPositions(), (std::vector<int>{100, 200, 300, 400}));

  EXPECT_TRUE(TDBDirectoriesOrderUpdateCmd::Run(&Listing));
  EXPECT_EQ(Marks(), std::vector<bool>(6, false));
  EXPECT_EQ(Row(5)->Position, 200);
  EXPECT_EQ(StoredPositions(), (std::vector<int>{100, 300, 400, 500}));
  EXPECT_EQ(ReadFolderListing(100, &dmDB.trDirectoryRead), (std::vector<int32_t>{1, 5, 2, 3, 4}));
}

}  // namespace
