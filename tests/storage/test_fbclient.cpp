// The database layer against real database files.

#include <gtest/gtest.h>

#include <chrono>

#include "TestSupport.h"
#include "uFbClient.h"
#include "udmDB.h"

namespace {

struct TParamCase {
  const char* Sql;
  const char* Expected;
  std::vector<std::string> Names;
  std::vector<size_t> Slots;
};

TEST(TranslateNamedParams, ReplacesMarkersOutsideQuotesAndComments) {
  const TParamCase cases[] = {
      {"SELECT * FROM t WHERE a = :a", "SELECT * FROM t WHERE a = ?", {"A"}, {0}},
      {"UPDATE t SET x = :Val WHERE (idd = :idd)", "UPDATE t SET x = ? WHERE (idd = ?)", {"VAL", "IDD"}, {0, 1}},
      {"SELECT :a, :b, :A FROM t", "SELECT ?, ?, ? FROM t", {"A", "B"}, {0, 1, 0}},
      {"SELECT ':a', \":b\" FROM t WHERE c = :c", "SELECT ':a', \":b\" FROM t WHERE c = ?", {"C"}, {0}},
      {"SELECT 'it''s :x' FROM t", "SELECT 'it''s :x' FROM t", {}, {}},
      {"SELECT 1 -- :a\n, :b FROM t", "SELECT 1 -- :a\n, ? FROM t", {"B"}, {0}},
      {"SELECT /* :a */ :b_2 FROM t", "SELECT /* :a */ ? FROM t", {"B_2"}, {0}},
      {"SELECT a FROM t WHERE x = : y", "SELECT a FROM t WHERE x = : y", {}, {}},
  };
  for (const TParamCase& c : cases) {
    SCOPED_TRACE(c.Sql);
    TTranslatedSQL translated = TranslateNamedParams(c.Sql);
    EXPECT_EQ(translated.Text, c.Expected);
    EXPECT_EQ(translated.Names, c.Names);
    EXPECT_EQ(translated.Slots, c.Slots);
  }
}

// A connection and one read-write transaction on a fresh book.
class FbClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Database.DatabaseName = Book.Path();
    Database.Params = DirectoryConnectionParams();
    Database.Open();
    Transaction.Params = {"read_committed", "rec_version", "nowait"};
    Transaction.StartTransaction();
  }

  void Insert(int id, const std::string& title, const std::string& description) {
    TFbQuery query(&Database, &Transaction);
    query.SetSQL("INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
                 "VALUES (:idd, 0, 0, :title, :description, 0, 0)");
    query.ParamByName("idd").SetInteger(id);
    query.ParamByName("TITLE").SetString(title);
    query.ParamByName("Description").SetString(description);
    query.ExecNoResult();
  }

  TTempDatabase Book;
  TFbDatabase Database;
  TFbTransaction Transaction{&Database};
};

TEST_F(FbClientTest, TextsSurviveTheWin1251Boundary) {
  const std::string texts[] = {
      "Привет, мир! Ёжик ёлка",
      "quote \" and 'single' and TAB\there",
      "line one\r\nline two\nline three\rend",
      "  blanks at both ends  ",
      "€ № « » — – … ‰",
      std::string(70000, 'x') + "конец",
      "",
  };
  int id = 1;
  for (const std::string& text : texts) {
    std::string title = text.substr(0, 3000);
    Insert(id, title, text);
    TFbQuery query(&Database, &Transaction);
    query.SetSQL("SELECT * FROM directory WHERE idd = " + std::to_string(id));
    query.ExecQuery();
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldByName("title").AsString(), title);
    EXPECT_EQ(query.FieldByName("DESCRIPTION").AsString(), text);
    ++id;
  }
}

// A text longer than its column is refused whole, before anything is sent:
// never stored cut short, nor wrapped round a 16-bit length (65,540
// characters once came out as 4, five million as none).
TEST_F(FbClientTest, TextLongerThanItsColumnIsRefusedAndNothingIsStored) {
  for (size_t length : {size_t(4001), size_t(32766), size_t(65540), size_t(5'000'000)}) {
    SCOPED_TRACE(length);
    try {
      Insert(1, std::string(length, 'W'), "");
      FAIL() << "stored";
    } catch (const ETextTooLong& error) {
      EXPECT_EQ(error.Parameter(), "TITLE");
      EXPECT_EQ(error.Length(), length);
      EXPECT_EQ(error.Limit(), 4000u);
    }
  }
  // Up to the column's length everything is stored whole; the description
  // is a blob, without a limit of its own.
  Insert(2, std::string(4000, 'W'), std::string(5'000'000, 'D'));
  TFbQuery query(&Database, &Transaction);
  query.SetSQL("SELECT * FROM directory");
  query.ExecQuery();
  ASSERT_FALSE(query.Eof());
  EXPECT_EQ(query.FieldByName("IDD").AsInteger(), 2);
  EXPECT_EQ(query.FieldByName("TITLE").AsString(), std::string(4000, 'W'));
  EXPECT_EQ(query.FieldByName("DESCRIPTION").AsString().size(), 5'000'000u);
  query.Next();
  EXPECT_TRUE(query.Eof());
}

// A text bound to a parameter that is no text at all is held to the
// largest text Firebird takes.
TEST_F(FbClientTest, OverlongTextForAnIntegerParameterIsRefused) {
  TFbQuery query(&Database, &Transaction);
  query.SetSQL("SELECT COUNT(*) AS n FROM directory WHERE idd = :idd");
  query.ParamByName("IDD").SetString(std::string(65540, '1'));
  EXPECT_THROW(query.ExecQuery(), ETextTooLong);
}

TEST_F(FbClientTest, CyrillicLiteralsInTheStatementTextMatch) {
  Insert(1, "Ёлка", "");
  TFbQuery query(&Database, &Transaction);
  query.SetSQL("SELECT idd FROM directory WHERE title = 'Ёлка'");
  query.ExecQuery();
  ASSERT_FALSE(query.Eof());
  EXPECT_EQ(query.FieldByName("IDD").AsInteger(), 1);
}

TEST_F(FbClientTest, CharacterOutsideWin1251IsAClearError) {
  try {
    Insert(1, "Иероглиф 漢", "");
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("漢"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("Windows-1251"), std::string::npos) << e.what();
  }
}

TEST_F(FbClientTest, ColumnsAreFoundByNameWhateverTheirOrderAndNullsReadAsEmpty) {
  TFbQuery query(&Database, &Transaction);
  query.SetSQL("INSERT INTO directory (idd) VALUES (7)");
  query.ExecNoResult();
  query.SetSQL("SELECT flags, title, idd AS Renamed, description, kind FROM directory");
  query.ExecQuery();
  ASSERT_FALSE(query.Eof());
  EXPECT_EQ(query.FieldByName("renamed").AsInteger(), 7);
  EXPECT_TRUE(query.FieldByName("TITLE").IsNull());
  EXPECT_EQ(query.FieldByName("TITLE").AsString(), "");
  EXPECT_EQ(query.FieldByName("DESCRIPTION").AsString(), "");
  EXPECT_EQ(query.FieldByName("kind").AsInteger(), 0);
  EXPECT_THROW(query.FieldByName("IDD"), EDatabaseError);
  query.Next();
  EXPECT_TRUE(query.Eof());
  EXPECT_THROW(query.FieldByName("FLAGS"), EDatabaseError);
}

TEST_F(FbClientTest, UnknownParameterAndBadStatementThrow) {
  TFbQuery query(&Database, &Transaction);
  query.SetSQL("SELECT * FROM directory WHERE idd = :idd");
  EXPECT_THROW(query.ParamByName("ID"), EDatabaseError);
  query.SetSQL("SELECT * FROM no_such_table");
  EXPECT_THROW(query.ExecQuery(), EDatabaseError);
  EXPECT_TRUE(Transaction.InTransaction());
}

TEST_F(FbClientTest, SameParameterNameIsBoundAtEveryPlace) {
  Insert(5, "a", "");
  TFbQuery query(&Database, &Transaction);
  query.SetSQL("SELECT COUNT(*) AS n FROM directory WHERE idd = :id AND idd >= :ID");
  query.ParamByName("Id").SetInteger(5);
  query.ExecQuery();
  EXPECT_EQ(query.FieldByName("N").AsInteger(), 1);
}

TEST_F(FbClientTest, ReadOnlyTransactionRefusesWrites) {
  TFbTransaction readOnly(&Database);
  readOnly.Params = {"read_committed", "rec_version", "nowait", "read"};
  readOnly.StartTransaction();
  TFbQuery query(&Database, &readOnly);
  query.SetSQL("INSERT INTO directory (idd) VALUES (1)");
  EXPECT_THROW(query.ExecNoResult(), EDatabaseError);
}

TEST_F(FbClientTest, UnknownTransactionParameterIsRefused) {
  TFbTransaction transaction(&Database);
  transaction.Params = {"read_committed", "no_such_option"};
  EXPECT_THROW(transaction.StartTransaction(), EDatabaseError);
  EXPECT_FALSE(transaction.InTransaction());
}

TEST_F(FbClientTest, LockConflictFailsAtOnceWithNowait) {
  Insert(1, "a", "");
  Transaction.Commit();
  Transaction.StartTransaction();
  TFbQuery update(&Database, &Transaction);
  update.SetSQL("UPDATE directory SET title = 'b' WHERE idd = 1");
  update.ExecNoResult();

  TFbDatabase other;
  other.DatabaseName = Book.Path();
  other.Params = DirectoryConnectionParams();
  other.Open();
  TFbTransaction otherTransaction(&other);
  otherTransaction.Params = {"read_committed", "rec_version", "nowait"};
  otherTransaction.StartTransaction();
  TFbQuery conflicting(&other, &otherTransaction);
  conflicting.SetSQL("UPDATE directory SET title = 'c' WHERE idd = 1");
  auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(conflicting.ExecNoResult(), EDatabaseError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(FbClientTest, DestroyedTransactionRollsBack) {
  {
    TFbTransaction transaction(&Database);
    transaction.Params = {"read_committed", "rec_version", "nowait"};
    transaction.StartTransaction();
    TFbQuery query(&Database, &transaction);
    query.SetSQL("INSERT INTO directory (idd) VALUES (3)");
    query.ExecNoResult();
  }
  TFbQuery query(&Database, &Transaction);
  query.SetSQL("SELECT COUNT(*) AS n FROM directory");
  query.ExecQuery();
  EXPECT_EQ(query.FieldByName("N").AsInteger(), 0);
}

TEST(FbDatabase, CreateRefusesAnExistingFile) {
  TTempDatabase book;
  TFbDatabase database;
  database.DatabaseName = book.Path();
  database.Params = DirectoryConnectionParams();
  EXPECT_THROW(database.CreateDatabase(), EDatabaseError);
  EXPECT_FALSE(database.Connected());
}

}  // namespace
