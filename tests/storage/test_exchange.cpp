// Section export and import against real reference book files: the rows the
// export writes, the entries the import creates, round trips of awkward
// texts and trees, and how an import stops.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "BookTest.h"
#include "TestSupport.h"
#include "uDB.h"
#include "uDBDirectory.h"
#include "uDirectory.h"
#include "uExchangeRows.h"
#include "udmDB.h"

namespace {

const std::string kMarker = kExchangeMarker;
const std::string kUnclosedMessage = "Некорректное завершение CSV-строки: ";

// An entry as stored with everything below it, ids left out so that a copy
// made by the import compares equal to its original.
struct TNode {
  std::string Title;
  int Position = 0;
  int Flags = 0;
  int Kind = 0;
  std::string Description;
  std::vector<TNode> Children;
};

// Where two trees first differ, for a readable failure.
std::string FirstDifference(const TNode& expected, const TNode& actual, const std::string& path = "") {
  const std::string here = path + "/" + expected.Title;
  if (expected.Title != actual.Title) return here + ": title '" + actual.Title + "'";
  if (expected.Position != actual.Position) return here + ": position " + std::to_string(actual.Position);
  if (expected.Flags != actual.Flags) return here + ": flags " + std::to_string(actual.Flags);
  if (expected.Kind != actual.Kind) return here + ": kind " + std::to_string(actual.Kind);
  if (expected.Description != actual.Description) return here + ": description '" + actual.Description + "'";
  if (expected.Children.size() != actual.Children.size())
    return here + ": " + std::to_string(actual.Children.size()) + " children";
  for (size_t i = 0; i < expected.Children.size(); ++i) {
    std::string difference = FirstDifference(expected.Children[i], actual.Children[i], here);
    if (!difference.empty()) return difference;
  }
  return "";
}

// The exchange text as the window builds it.
std::string ExchangeText(const std::vector<std::string>& rows) {
  std::string text = kMarker + "\r\n";
  for (const std::string& row : rows) text += row + "\r\n";
  return text;
}

// The main window's connection on a fresh book, shared with every command.
class ExchangeTest : public TBookTest {
 protected:
  // Stores a row directly, not through the commands under test.
  void Put(int id, int parent, int position, const std::string& title, int kind, int flags = 0,
           const std::string& description = "") {
    TFbTransaction transaction(&dmDB.DB);
    transaction.Params = WriteTransactionParams();
    transaction.StartTransaction();
    {
      TFbQuery query(&dmDB.DB, &transaction);
      query.SetSQL(
          "INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
          "VALUES (:idd, :id_parent, :order_position, :title, :description, :kind, :flags)");
      query.ParamByName("IDD").SetInteger(id);
      query.ParamByName("ID_PARENT").SetInteger(parent);
      query.ParamByName("ORDER_POSITION").SetInteger(position);
      query.ParamByName("TITLE").SetString(title);
      query.ParamByName("DESCRIPTION").SetString(description);
      query.ParamByName("KIND").SetInteger(kind);
      query.ParamByName("FLAGS").SetInteger(flags);
      query.ExecNoResult();
    }
    transaction.Commit();
  }

  // A new entry under an id from the generator, as the window makes them,
  // so that the import's ids never meet the test's own.
  int Add(int parent, int position, const std::string& title, int kind, int flags = 0,
          const std::string& description = "") {
    int id = NextGeneratorValue("GEN_DIRECTORY_ID");
    Put(id, parent, position, title, kind, flags, description);
    return id;
  }

  // Ids of a folder's children by position (ties by id).
  std::vector<int> Children(int parent) {
    TFbTransaction transaction(&dmDB.DB);
    transaction.Params = ReadTransactionParams();
    transaction.StartTransaction();
    return Children(parent, transaction);
  }

  std::vector<int> Children(int parent, TFbTransaction& transaction) {
    std::vector<int> ids;
    TFbQuery query(&dmDB.DB, &transaction);
    query.SetSQL("SELECT idd FROM directory WHERE id_parent = " + std::to_string(parent) +
                 " ORDER BY order_position, idd");
    for (query.ExecQuery(); !query.Eof(); query.Next()) ids.push_back(query.FieldByName("IDD").AsInteger());
    return ids;
  }

  // The stored entry with everything below it, read in one transaction.
  TNode Node(int id) {
    TFbTransaction transaction(&dmDB.DB);
    transaction.Params = ReadTransactionParams();
    transaction.StartTransaction();
    return Node(id, transaction);
  }

  TNode Node(int id, TFbTransaction& transaction) {
    TNode node;
    {
      TFbQuery query(&dmDB.DB, &transaction);
      query.SetSQL("SELECT * FROM directory WHERE idd = " + std::to_string(id));
      query.ExecQuery();
      if (query.Eof()) {
        ADD_FAILURE() << "no row " << id;
        return node;
      }
      node.Title = query.FieldByName("TITLE").AsString();
      node.Position = query.FieldByName("ORDER_POSITION").AsInteger();
      node.Flags = query.FieldByName("FLAGS").AsInteger();
      node.Kind = query.FieldByName("KIND").AsInteger();
      node.Description = query.FieldByName("DESCRIPTION").AsString();
    }
    for (int child : Children(id, transaction)) node.Children.push_back(Node(child, transaction));
    return node;
  }

  std::vector<std::string> Titles(int parent) {
    std::vector<std::string> titles;
    for (int id : Children(parent)) titles.push_back(Node(id).Title);
    return titles;
  }

  // The rows of a section, as the window's export command gets them.
  std::vector<std::string> ExportRows(int id) {
    TDirectory entry;
    entry.Id = id;
    EXPECT_TRUE(TDBDirectoryReadCmd::Run(&entry));
    std::vector<std::string> rows;
    EXPECT_TRUE(TDBDirectoryExportCmd::Run(&entry, 0, &rows, nullptr));
    return rows;
  }

  bool Import(const std::string& text, int target, TImportResult* result = nullptr,
              TImportProgress progress = nullptr) {
    const std::vector<TTextLine> lines = SplitTextLines(text);
    return TDBDirectoryImportCmd::Run(lines, target, nullptr, result, std::move(progress));
  }

  // Exports a section, imports it into a new folder and expects the one
  // entry there to equal the original section in every field and in shape.
  void ExpectRoundTrip(int section, int expectedRows) {
    const std::vector<std::string> rows = ExportRows(section);
    EXPECT_EQ(expectedRows, static_cast<int>(rows.size()));
    const int target = Add(0, 900, "Цель", 1);
    TImportResult result;
    EXPECT_TRUE(Import(ExchangeText(rows), target, &result)) << result.Reason;
    EXPECT_EQ(expectedRows, result.Created);
    EXPECT_EQ(0, result.StoppedAtLine);
    const std::vector<int> copies = Children(target);
    ASSERT_EQ(1u, copies.size());
    EXPECT_NE(section, copies[0]);
    EXPECT_EQ("", FirstDifference(Node(section), Node(copies[0])));
  }
};

// --- export -------------------------------------------------------------------------

// Folder A holds record B at 100, subfolder D at 200 (with record E) and
// record C at 300; stored out of order and with a sibling of A beside it.
class ExportExampleTest : public ExchangeTest {
 protected:
  void SetUp() override {
    ExchangeTest::SetUp();
    A = Add(0, 100, "A", 1);
    Add(0, 200, "Sibling", 1);
    C = Add(A, 300, "C", 0);
    D = Add(A, 200, "D", 1);
    B = Add(A, 100, "B", 0);
    E = Add(D, 100, "E", 0);
  }
  int A = 0, B = 0, C = 0, D = 0, E = 0;
};

TEST_F(ExportExampleTest, WritesRowsDepthFirstByPositionByteExact) {
  std::string text = ExchangeText(ExportRows(A));
  EXPECT_EQ(
      "#ZORVANA-DIRECTORY-EXCHANGE#\r\n"
      "A\t100\t0\t1\t\r\n"
      "\tB\t100\t0\t0\t\r\n"
      "\tD\t200\t0\t1\t\r\n"
      "\t\tE\t100\t0\t0\t\r\n"
      "\tC\t300\t0\t0\t\r\n",
      text);
}

TEST_F(ExportExampleTest, ImportIntoAnotherFolderCopiesTheSectionUnderNewIds) {
  const int F = Add(0, 300, "F", 1);
  const int before = RowCount();
  TImportResult result;
  ASSERT_TRUE(Import(ExchangeText(ExportRows(A)), F, &result)) << result.Reason;
  EXPECT_EQ(5, result.Created);
  EXPECT_EQ(0, result.StoppedAtLine);
  EXPECT_EQ(before + 5, RowCount());

  const std::vector<int> inF = Children(F);
  ASSERT_EQ(1u, inF.size());
  const int newA = inF[0];
  const std::vector<int> inA = Children(newA);
  ASSERT_EQ(3u, inA.size());
  const int newD = inA[1];
  const std::vector<int> inD = Children(newD);
  ASSERT_EQ(1u, inD.size());
  for (int original : {A, B, C, D, E}) {
    for (int copy : {newA, inA[0], inA[2], newD, inD[0]}) EXPECT_NE(original, copy);
  }
  EXPECT_EQ("", FirstDifference(Node(A), Node(newA)));
  // The original section is untouched.
  EXPECT_EQ((std::vector<int>{B, D, C}), Children(A));
  EXPECT_EQ((std::vector<int>{E}), Children(D));
}

TEST_F(ExchangeTest, ExportingARecordGivesOneRowAndImportsAsOneRecord) {
  const int record = Add(0, 7, "Запись", 0, 3, "текст записи");
  const std::vector<std::string> rows = ExportRows(record);
  EXPECT_EQ((std::vector<std::string>{"Запись\t7\t3\t0\tтекст записи"}), rows);

  const int target = Add(0, 8, "Папка", 1);
  ASSERT_TRUE(Import(ExchangeText(rows), target));
  const std::vector<int> copies = Children(target);
  ASSERT_EQ(1u, copies.size());
  EXPECT_EQ("", FirstDifference(Node(record), Node(copies[0])));
}

// Broken parent links must not send the export round in circles.
TEST_F(ExchangeTest, CycleInParentLinksIsNotWalkedAgain) {
  const int a = NextGeneratorValue("GEN_DIRECTORY_ID");
  const int b = NextGeneratorValue("GEN_DIRECTORY_ID");
  const int self = NextGeneratorValue("GEN_DIRECTORY_ID");
  Put(a, b, 1, "a", 1);
  Put(b, a, 2, "b", 1);
  Put(self, self, 3, "self", 1);
  Add(b, 4, "under b", 0);

  EXPECT_EQ((std::vector<std::string>{"a\t1\t0\t1\t", "\tb\t2\t0\t1\t", "\t\tunder b\t4\t0\t0\t"}),
            ExportRows(a));
  EXPECT_EQ((std::vector<std::string>{"self\t3\t0\t1\t"}), ExportRows(self));
}

// --- round trips ----------------------------------------------------------------

struct TTextCase {
  const char* Name;
  std::string Title;
  std::string Description;
};

const TTextCase kAwkwardTexts[] = {
    {"plain Cyrillic", "Заголовок", "Описание записи"},
    {"TAB", "a\tb", "c\td\t"},
    {"quotes", "\"в кавычках\"", "say \"hi\" and \"\""},
    {"first line ends in a quote", "q", "say \"hi\"\r\nnext"},
    {"CR LF", "w", "первая\r\nвторая\r\n\r\nчетвёртая"},
    {"lone LF", "x", "a\nb"},
    {"lone CR", "y", "a\rb"},
    {"only a line break", "z", "\r\n"},
    {"break in the title", "две\r\nстроки", ""},
    {"line that looks like a row", "r", "x\r\n\tfake\t1\t0\t0\t\r\n#ZORVANA-DIRECTORY-EXCHANGE#"},
    {"blanks at the ends", "  title  ", "  description  "},
    {"empty title", "", "без заголовка"},
    {"empty everything", "", ""},
    {"blank title", " ", "\t"},
};

// Every awkward text as a record and as a folder holding a record, all in one
// section, so that rows after multi-line rows and shallower rows after
// deeper ones are placed right too.
TEST_F(ExchangeTest, AwkwardTextsSurviveExportAndImport) {
  const int section = Add(0, 100, "Раздел", 1, 0, "раздел\r\nс описанием");
  int position = -500;
  int entries = 1;
  for (const TTextCase& c : kAwkwardTexts) {
    Add(section, position, c.Title, 0, position, c.Description);
    const int folder = Add(section, position + 1, c.Title, 1, 1, c.Description);
    Add(folder, 1, c.Description, 0, 0, c.Title);
    position += 100;
    entries += 3;
  }
  ExpectRoundTrip(section, entries);
}

// Each text alone as the exported entry itself, where it is the first row.
TEST_F(ExchangeTest, AwkwardTextsSurviveAsTheExportedEntry) {
  for (const TTextCase& c : kAwkwardTexts) {
    SCOPED_TRACE(c.Name);
    const int folder = Add(0, -7, c.Title, 1, -1, c.Description);
    Add(folder, 5, c.Title, 0, 0, c.Description);
    ExpectRoundTrip(folder, 2);
  }
}

// Deeper than the hundred levels a fixed level table would hold; a record
// every ten levels makes the rows climb back up on the way out.
TEST_F(ExchangeTest, TreeDeeperThanAHundredLevelsSurvives) {
  constexpr int kDepth = 120;
  const int top = Add(0, 1, "level 0", 1);
  int parent = top;
  int entries = 1;
  for (int level = 1; level <= kDepth; ++level) {
    if (level % 10 == 0) {
      Add(parent, 2, "record at " + std::to_string(level), 0, level);
      ++entries;
    }
    parent = Add(parent, 1, "level " + std::to_string(level), 1, level, "d\r\n" + std::to_string(level));
    ++entries;
  }
  const std::vector<std::string> rows = ExportRows(top);
  ASSERT_EQ(entries, static_cast<int>(rows.size()));
  // Depth first: the folders all the way down, then the records on the way
  // back up.
  EXPECT_EQ(std::string(kDepth, '\t') + "level 120\t1\t120\t1\t\"d\r\n120\"", rows[kDepth]);
  EXPECT_EQ(std::string(kDepth, '\t') + "record at 120\t2\t120\t0\t", rows[kDepth + 1]);
  EXPECT_EQ(std::string(10, '\t') + "record at 10\t2\t10\t0\t", rows.back());
  ExpectRoundTrip(top, entries);
}

// --- texts that import nothing or stop early -----------------------------------

struct TEndCase {
  const char* Name;
  std::string Text;
  std::vector<std::string> Created;  // titles in the target folder
  TImportEnd End;
  int StoppedAtLine;
  int LinesNotRead;
  std::string Reason;
};

// Texts that are no exchange text, and texts whose rows end at a blank line
// or at their end, all import with true; the result tells them apart.
TEST_F(ExchangeTest, TextsWithoutRowsOrWithABlankLineEndWithTrue) {
  const TEndCase cases[] = {
      {"no marker", "A\t0\t0\t1\t\r\nB\t0\t0\t1\t\r\n", {}, TImportEnd::NoExchangeText, 0, 0, ""},
      {"marker only", kMarker + "\r\n", {}, TImportEnd::NoExchangeText, 0, 0, ""},
      {"marker and blank lines", kMarker + "\r\n\r\n \t\r\n", {}, TImportEnd::NoExchangeText, 0, 0, ""},
      {"lower-case marker", "#zorvana-directory-exchange#\r\nA\t0\t0\t1\t\r\n", {}, TImportEnd::NoExchangeText, 0,
       0, ""},
      {"blank second line", kMarker + "\r\n \t \r\nA\t0\t0\t1\t\r\n", {}, TImportEnd::BlankLine, 2, 1,
       "Строка 2 пустая, на ней импорт закончен. Строки после неё не прочитаны, их 1."},
      {"blank line in the middle",
       kMarker + "\r\nA\t1\t0\t1\t\r\n\tB\t2\t0\t0\t\r\n\r\nC\t3\t0\t0\t\r\n\r\nD\t4\t0\t0\t\r\n\r\n",
       {"A"}, TImportEnd::BlankLine, 4, 3,
       "Строка 4 пустая, на ней импорт закончен. Строки после неё не прочитаны, их 3."},
      {"blank lines at the end", kMarker + "\r\nA\t1\t0\t0\t\r\n\r\n \r\n", {"A"}, TImportEnd::Completed, 0, 0, ""},
      {"no break after the last row", kMarker + "\r\nA\t1\t0\t0\t\r\nB\t2\t0\t0\t", {"A", "B"},
       TImportEnd::Completed, 0, 0, ""},
      {"LF breaks", kMarker + "\nA\t1\t0\t0\t\nB\t2\t0\t0\t\n", {"A", "B"}, TImportEnd::Completed, 0, 0, ""},
  };
  for (const TEndCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const int target = Add(0, 0, c.Name, 1);
    TImportResult result;
    EXPECT_TRUE(Import(c.Text, target, &result));
    EXPECT_EQ(c.End, result.End);
    EXPECT_EQ(c.StoppedAtLine, result.StoppedAtLine);
    EXPECT_EQ(c.LinesNotRead, result.LinesNotRead);
    EXPECT_EQ(c.Reason, result.Reason);
    EXPECT_EQ(c.Created, Titles(target));
  }
}

TEST_F(ExchangeTest, BlankLineInTheMiddleKeepsTheRowsBeforeIt) {
  const int target = Add(0, 0, "target", 1);
  TImportResult result;
  EXPECT_TRUE(Import(ExchangeText({"A\t1\t0\t1\t", "\tB\t2\t0\t0\t", "", "\tC\t3\t0\t0\t"}), target, &result));
  EXPECT_EQ(2, result.Created);
  const std::vector<int> inTarget = Children(target);
  ASSERT_EQ(1u, inTarget.size());
  EXPECT_EQ((std::vector<std::string>{"B"}), Titles(inTarget[0]));
}

struct TBadRowCase {
  const char* Name;
  std::vector<std::string> Rows;
  int StoppedAtLine;
  std::vector<std::string> InTarget;  // titles of the target folder's entries
  std::vector<std::string> InFirst;   // titles inside the first of them
  std::string ReasonStart;            // empty: any reason
};

// A row the import cannot place, or cannot read, stops it with false at that
// row's line; the rows before it stay saved, those after it are not read.
TEST_F(ExchangeTest, BadRowStopsImportAndKeepsRowsBeforeIt) {
  const TBadRowCase cases[] = {
      {"two levels deeper than the row before",
       {"A\t1\t0\t1\t", "\tB\t2\t0\t1\t", "\t\t\tC\t3\t0\t0\t", "\tD\t4\t0\t0\t"}, 4, {"A"}, {"B"}, ""},
      {"shallower than the first row", {"\tA\t1\t0\t1\t", "\tB\t2\t0\t0\t", "C\t3\t0\t0\t", "\tD\t4\t0\t0\t"},
       4, {"A", "B"}, {}, ""},
      {"quoted field never closed",
       {"A\t1\t0\t1\t", "\tB\t2\t0\t0\t\"two\r\nlines\"", "\tC\t3\t0\t0\t\"open", "\tD\t4\t0\t0\t"}, 5, {"A"},
       {"B"}, kUnclosedMessage},
  };
  for (const TBadRowCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const int target = Add(0, 0, c.Name, 1);
    TImportResult result;
    EXPECT_FALSE(Import(ExchangeText(c.Rows), target, &result));
    EXPECT_EQ(c.StoppedAtLine, result.StoppedAtLine);
    EXPECT_FALSE(result.Reason.empty());
    if (!c.ReasonStart.empty()) {
      EXPECT_EQ(c.ReasonStart, result.Reason.substr(0, c.ReasonStart.size()));
    }
    const std::vector<std::string> inTarget = Titles(target);
    EXPECT_EQ(c.InTarget, inTarget);
    EXPECT_EQ(static_cast<int>(inTarget.size() + c.InFirst.size()), result.Created);
    if (!inTarget.empty()) {
      EXPECT_EQ(c.InFirst, Titles(Children(target)[0]));
    }
  }
}

// Another copy of the program holds an uncommitted insert of the id the
// import is about to draw for its third row: that save fails, and the import
// stops there.
TEST_F(ExchangeTest, FailedSaveStopsImportAndKeepsRowsBeforeIt) {
  const int target = Add(0, 0, "target", 1);
  const int third = NextGeneratorValue("GEN_DIRECTORY_ID") + 3;

  TFbDatabase other;
  other.DatabaseName = Book.Path();
  other.Params = DirectoryConnectionParams();
  other.Open();
  TFbTransaction lock(&other);
  lock.Params = WriteTransactionParams();
  lock.StartTransaction();
  {
    TFbQuery query(&other, &lock);
    query.SetSQL("INSERT INTO directory (idd, id_parent, title) VALUES (" + std::to_string(third) +
                 ", -1, 'held')");
    query.ExecNoResult();
  }

  TImportResult result;
  EXPECT_FALSE(Import(ExchangeText({"A\t1\t0\t1\t", "\tB\t2\t0\t0\t", "\tC\t3\t0\t0\t", "\tD\t4\t0\t0\t"}),
                      target, &result));
  EXPECT_EQ(2, result.Created);
  EXPECT_EQ(4, result.StoppedAtLine);
  EXPECT_FALSE(result.Reason.empty());
  lock.Rollback();

  const std::vector<int> inTarget = Children(target);
  ASSERT_EQ(1u, inTarget.size());
  EXPECT_EQ("A", Node(inTarget[0]).Title);
  EXPECT_EQ((std::vector<std::string>{"B"}), Titles(inTarget[0]));
  EXPECT_TRUE(Children(-1).empty());
}

// A title longer than its column stops the import at its row, with the
// save's reason; nothing of that row is stored, cut short or otherwise.
TEST_F(ExchangeTest, OverlongTitleStopsImportAtItsRowWithTheReason) {
  const int target = Add(0, 0, "target", 1);
  const int before = RowCount();
  std::string overlong = "\t";
  overlong += std::string(65540, 'W');
  overlong += "\t3\t0\t0\t";
  TImportResult result;
  EXPECT_FALSE(Import(ExchangeText({"A\t1\t0\t1\t", "\tB\t2\t0\t0\t", overlong, "\tD\t4\t0\t0\t"}), target, &result));
  EXPECT_EQ(result.Created, 2);
  EXPECT_EQ(result.StoppedAtLine, 4);
  EXPECT_EQ(result.Reason,
            "Текст поля «Название» слишком длинный: 65 540 символов, а база данных вмещает в этом поле не больше 4 000.");
  EXPECT_EQ(RowCount(), before + 2);
  const std::vector<int> inTarget = Children(target);
  ASSERT_EQ(1u, inTarget.size());
  EXPECT_EQ((std::vector<std::string>{"B"}), Titles(inTarget[0]));
}

// The generator disappears part-way (another copy of the program dropped
// it): no id can be drawn for the third row, and the import stops there
// instead of saving rows under an invalid id.
TEST_F(ExchangeTest, FailedIdDrawStopsImportAndKeepsRowsBeforeIt) {
  const int target = Add(0, 0, "target", 1);
  TImportResult result;
  EXPECT_FALSE(Import(ExchangeText({"A\t1\t0\t1\t", "\tB\t2\t0\t0\t", "\tC\t3\t0\t0\t"}), target, &result,
                      [this](int created) {
                        if (created == 2) Sql("DROP SEQUENCE GEN_DIRECTORY_ID");
                        return true;
                      }));
  EXPECT_EQ(-1, NextGeneratorValue("GEN_DIRECTORY_ID"));
  EXPECT_EQ(2, result.Created);
  EXPECT_EQ(4, result.StoppedAtLine);
  EXPECT_FALSE(result.Reason.empty());
  EXPECT_EQ(3, RowCount());
  const std::vector<int> inTarget = Children(target);
  ASSERT_EQ(1u, inTarget.size());
  EXPECT_EQ((std::vector<std::string>{"B"}), Titles(inTarget[0]));
}

TEST_F(ExchangeTest, ProgressSeesEveryCountAndCanStopTheImport) {
  const int target = Add(0, 0, "target", 1);
  const std::string text =
      ExchangeText({"A\t1\t0\t1\t", "\tB\t2\t0\t0\t\"two\r\nlines\"", "\tC\t3\t0\t0\t", "\tD\t4\t0\t0\t",
                    "\tE\t5\t0\t0\t"});

  std::vector<int> seen;
  TImportResult result;
  EXPECT_FALSE(Import(text, target, &result, [&seen](int created) {
    seen.push_back(created);
    return created < 3;
  }));
  EXPECT_EQ((std::vector<int>{1, 2, 3}), seen);
  EXPECT_EQ(3, result.Created);
  // C on line 5 was the last one imported; D on line 6 is the first not.
  EXPECT_EQ(TImportEnd::Cancelled, result.End);
  EXPECT_EQ(6, result.StoppedAtLine);
  EXPECT_EQ(2, result.LinesNotRead);
  EXPECT_EQ("Импорт прерван. Не импортированы строки, начиная со строки 6.", result.Reason);
  const std::vector<int> inTarget = Children(target);
  ASSERT_EQ(1u, inTarget.size());
  EXPECT_EQ((std::vector<std::string>{"B", "C"}), Titles(inTarget[0]));

  // Left running, it reports every entry once.
  seen.clear();
  EXPECT_TRUE(Import(text, target, &result, [&seen](int created) {
    seen.push_back(created);
    return true;
  }));
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), seen);
  EXPECT_EQ(5, result.Created);
  EXPECT_EQ(TImportEnd::Completed, result.End);

  // Asked to stop after the last row, nothing was left out.
  EXPECT_TRUE(Import(text + "\r\n", target, &result, [](int created) { return created < 5; }));
  EXPECT_EQ(TImportEnd::Completed, result.End);
  EXPECT_EQ(0, result.StoppedAtLine);
}

// A row that runs over many lines (an unclosed quote early in a long text)
// still lets the progress handler stop the import; nothing of it is stored.
TEST_F(ExchangeTest, LongRowConsultsProgressAndCanBeStopped) {
  const int target = Add(0, 0, "target", 1);
  std::vector<std::string> rows = {"A\t1\t0\t1\t", "\t\"unclosed"};
  for (int i = 0; i < 20000; ++i) rows.push_back("line " + std::to_string(i));
  int calls = 0;
  TImportResult result;
  EXPECT_FALSE(Import(ExchangeText(rows), target, &result, [&calls](int) { return ++calls < 5; }));
  EXPECT_EQ(5, calls);
  EXPECT_EQ(1, result.Created);
  EXPECT_EQ(TImportEnd::Cancelled, result.End);
  EXPECT_EQ(3, result.StoppedAtLine);
  EXPECT_EQ(20001, result.LinesNotRead);
  EXPECT_EQ((std::vector<std::string>{"A"}), Titles(target));
}

// Foreign rows whose titles start with a quote char are never merged into
// one entry: the import stops at the row whose quoting it cannot read, and
// names its line. A row holding a NUL stops it the same way.
TEST_F(ExchangeTest, UnreadableForeignRowsStopTheImportWithoutMergingRows) {
  struct {
    const char* Name;
    std::vector<std::string> Rows;
    std::vector<std::string> Created;
    int StoppedAtLine;
    std::string Reason;
  } cases[] = {
      {"title starting with a quote",
       {"\"Рога и копыта\" ООО\t0\t0\t0\t", "row3\t0\t0\t0\t", "row4\t0\t0\t0\t", "\"row5\"\t0\t0\t0\t"},
       {},
       2,
       kUnclosedMessage + "\"Рога и копыта\" ООО\t0\t0\t0 (строка 2)"},
      {"quoted titles", {"\"Рога и копыта\"\t0\t0\t0\t", "row3\t0\t0\t0\t", "\"row5\"\t0\t0\t0\t"},
       {"Рога и копыта", "row3", "row5"}, 0, ""},
      {"NUL in a title", {"A\t0\t0\t0\t", std::string("B\0C\t0\t0\t0\t", 10)}, {"A"}, 3,
       "В строке 3 текста есть символ с кодом 0 (NUL): такой текст нельзя сохранить в справочнике."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const int target = Add(0, 0, c.Name, 1);
    TImportResult result;
    EXPECT_EQ(c.StoppedAtLine == 0, Import(ExchangeText(c.Rows), target, &result));
    EXPECT_EQ(c.StoppedAtLine, result.StoppedAtLine);
    EXPECT_EQ(c.Reason, result.Reason);
    EXPECT_EQ(c.Created, Titles(target));
    EXPECT_EQ(static_cast<int>(c.Created.size()), result.Created);
  }
}

}  // namespace
