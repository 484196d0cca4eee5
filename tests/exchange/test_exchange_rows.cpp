// The rows of the section exchange text without a database: splitting the
// text into lines, writing fields and rows, and reading rows back, above all
// rows whose quoted fields run over several lines.

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <climits>
#include <ostream>
#include <string>
#include <vector>

#include "uExchangeRows.h"
#include "uQmCSV.h"

namespace {

const std::string kUnclosedMessage = "Некорректное завершение CSV-строки: ";
const std::string kMarker = kExchangeMarker;

// Readable test names in CTest from each case's Name.
struct TCaseName {
  template <class TCase>
  std::string operator()(const ::testing::TestParamInfo<TCase>& info) const {
    std::string name;
    for (const char* c = info.param.Name; *c != '\0'; ++c) {
      name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    }
    return name;
  }
};

// The text as the window builds it: the marker and every row, each followed
// by CR LF.
std::string ExchangeText(const std::vector<std::string>& rows) {
  std::string text = kMarker + "\r\n";
  for (const std::string& row : rows) text += row + "\r\n";
  return text;
}

int LineBreaks(const std::string& text) {
  int count = 0;
  for (const TTextLine& line : SplitTextLines(text)) count += line.Break.empty() ? 0 : 1;
  return count;
}

void ExpectSameEntry(const TExchangeEntry& expected, const TExchangeEntry& actual) {
  EXPECT_EQ(expected.Title, actual.Title);
  EXPECT_EQ(expected.OrderPosition, actual.OrderPosition);
  EXPECT_EQ(expected.Flags, actual.Flags);
  EXPECT_EQ(expected.IsFolder, actual.IsFolder);
  EXPECT_EQ(expected.Description, actual.Description);
}

// ------------------------------------------------------------ line splitting

struct TSplitCase {
  const char* Name;
  std::string Text;
  std::vector<TTextLine> Lines;
};

void PrintTo(const TSplitCase& c, std::ostream* os) { *os << c.Name; }

class SplitTextLinesTest : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(SplitTextLinesTest, KeepsEachLineWithItsBreak) {
  const TSplitCase& c = GetParam();
  std::vector<TTextLine> lines = SplitTextLines(c.Text);
  ASSERT_EQ(c.Lines.size(), lines.size());
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(c.Lines[i].Text, lines[i].Text) << "line " << i;
    EXPECT_EQ(c.Lines[i].Break, lines[i].Break) << "line " << i;
    joined += lines[i].Text + lines[i].Break;
  }
  // The multi-line rows are put together from these pieces, so nothing of
  // the text may get lost or changed.
  EXPECT_EQ(c.Text, joined);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SplitTextLinesTest,
    ::testing::Values(
        TSplitCase{"Empty", "", {}},
        TSplitCase{"OneLineWithoutBreak", "a", {{"a", ""}}},
        TSplitCase{"TrailingCrLfAddsNoLine", "a\r\n", {{"a", "\r\n"}}},
        TSplitCase{"CrLf", "a\r\nb", {{"a", "\r\n"}, {"b", ""}}},
        TSplitCase{"LoneCr", "a\rb\r", {{"a", "\r"}, {"b", "\r"}}},
        TSplitCase{"LoneLf", "a\nb\n", {{"a", "\n"}, {"b", "\n"}}},
        TSplitCase{"Mixed", "a\r\nb\rc\nd", {{"a", "\r\n"}, {"b", "\r"}, {"c", "\n"}, {"d", ""}}},
        TSplitCase{"LfCrIsTwoBreaks", "a\n\rb", {{"a", "\n"}, {"", "\r"}, {"b", ""}}},
        TSplitCase{"CrBeforeCrLf", "\r\r\n", {{"", "\r"}, {"", "\r\n"}}},
        TSplitCase{"EmptyLinesKept", "\r\n\r\nx", {{"", "\r\n"}, {"", "\r\n"}, {"x", ""}}},
        TSplitCase{"TabsAndBlanksKept", "\t a \t\r\n", {{"\t a \t", "\r\n"}}}),
    TCaseName());

// ------------------------------------------------------------ field writing

struct TFieldCase {
  const char* Name;
  std::string Text;
  std::string Title;        // written as a title
  std::string Description;  // written as a description
};

void PrintTo(const TFieldCase& c, std::ostream* os) { *os << c.Name; }

class ExchangeFieldTest : public ::testing::TestWithParam<TFieldCase> {};

TEST_P(ExchangeFieldTest, WritesField) {
  const TFieldCase& c = GetParam();
  EXPECT_EQ(c.Title, ExchangeTitleField(c.Text));
  EXPECT_EQ(c.Description, ExchangeDescriptionField(c.Text));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ExchangeFieldTest,
    ::testing::Values(
        TFieldCase{"Plain", "Привет, мир", "Привет, мир", "Привет, мир"},
        TFieldCase{"InnerBlanks", "a  b", "a  b", "a  b"},
        TFieldCase{"Tab", "a\tb", "\"a\tb\"", "\"a\tb\""},
        TFieldCase{"QuoteInside", "say \"hi\"", "\"say \"\"hi\"\"\"", "\"say \"\"hi\"\"\""},
        TFieldCase{"QuoteAlone", "\"", "\"\"\"\"", "\"\"\"\""},
        TFieldCase{"CrLf", "a\r\nb", "\"a\r\nb\"", "\"a\r\nb\""},
        TFieldCase{"LoneCr", "a\rb", "\"a\rb\"", "\"a\rb\""},
        TFieldCase{"LoneLf", "a\nb", "\"a\nb\"", "\"a\nb\""},
        TFieldCase{"LeadingBlank", " a", "\" a\"", "\" a\""},
        TFieldCase{"TrailingBlank", "a ", "\"a \"", "\"a \""},
        TFieldCase{"TrailingTab", "a\t", "\"a\t\"", "\"a\t\""},
        TFieldCase{"LeadingControl", "\x01" "a", "\"\x01" "a\"", "\"\x01" "a\""},
        TFieldCase{"OnlyBlank", " ", "\" \"", "\" \""},
        TFieldCase{"Empty", "", "\"\"", ""}),
    TCaseName());

// Peers read single-line rows with the plain codec, so a field that needs no
// more than the codec's own quoting must come out byte for byte as the codec
// writes it.
TEST(ExchangeFieldTest, SameAsCodecWhenOnlyCodecRulesApply) {
  const std::vector<std::string> texts = {"A", "Привет", "a b", "a\tb", "a\"b", "\"", "\"\"",
                                          "a\r\nb", "a\rb", "x;y,z", "0", "-5"};
  for (const std::string& text : texts) {
    EXPECT_EQ(QuoteCSVField(text, '\t', '"'), ExchangeTitleField(text)) << text;
    EXPECT_EQ(QuoteCSVField(text, '\t', '"'), ExchangeDescriptionField(text)) << text;
  }
}

// ------------------------------------------------------------ row writing

struct TFormatCase {
  const char* Name;
  int Level;
  TExchangeEntry Entry;
  std::string Row;
};

void PrintTo(const TFormatCase& c, std::ostream* os) { *os << c.Name; }

class FormatExchangeRowTest : public ::testing::TestWithParam<TFormatCase> {};

TEST_P(FormatExchangeRowTest, WritesRow) {
  const TFormatCase& c = GetParam();
  EXPECT_EQ(c.Row, FormatExchangeRow(c.Level, c.Entry));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FormatExchangeRowTest,
    ::testing::Values(
        TFormatCase{"FolderWithoutDescription", 0, {"A", 100, 0, true, ""}, "A\t100\t0\t1\t"},
        TFormatCase{"RecordAtLevelTwo", 2, {"E", 300, 5, false, "текст"}, "\t\tE\t300\t5\t0\tтекст"},
        TFormatCase{"NegativeNumbers", 1, {"N", -100, -1, false, ""}, "\tN\t-100\t-1\t0\t"},
        TFormatCase{"Extremes", 0, {"X", INT32_MIN, INT32_MAX, false, ""},
                    "X\t-2147483648\t2147483647\t0\t"},
        TFormatCase{"EmptyTitle", 1, {"", 0, 0, false, "d"}, "\t\"\"\t0\t0\t0\td"},
        TFormatCase{"QuotedBoth", 0, {"a\tb", 1, 2, true, "say \"hi\""},
                    "\"a\tb\"\t1\t2\t1\t\"say \"\"hi\"\"\""},
        TFormatCase{"MultiLineDescription", 0, {"M", 0, 0, false, "one\r\ntwo"},
                    "M\t0\t0\t0\t\"one\r\ntwo\""},
        TFormatCase{"LineLookingLikeRowIsMarked", 0, {"M", 0, 0, false, "one\r\n\tB\t1\t0\t0\t\r\nthree"},
                    "M\t0\t0\t0\t\"one\r\n\">\tB\t1\t0\t0\t\r\nthree\""},
        TFormatCase{"LastLineIsNotMarked", 0, {"M", 0, 0, false, "one\r\nB\t1\t0\t0"},
                    "M\t0\t0\t0\t\"one\r\nB\t1\t0\t0\""}),
    TCaseName());

// A single-line row read with the plain codec, as a peer does, gives the
// fields that were written.
TEST(FormatExchangeRowTest, SingleLineRowsReadByPlainCodec) {
  const std::vector<TExchangeEntry> entries = {
      {"A", 100, 0, true, ""},       {"", 5, 1, false, "d"},          {" a ", -3, 0, false, " d "},
      {"a\tb", 1, 2, false, "x\"y"}, {"\"\"", 0, 0, true, "\""},      {"Привет", 7, 7, false, "мир"}};
  for (const TExchangeEntry& entry : entries) {
    const std::string row = FormatExchangeRow(3, entry);
    std::vector<std::string> fields;
    CSVUtils().ParseLine(row, fields, '\t');
    std::vector<std::string> expected = {entry.Title, std::to_string(entry.OrderPosition),
                                         std::to_string(entry.Flags), entry.IsFolder ? "1" : "0"};
    if (!entry.Description.empty()) expected.push_back(entry.Description);
    EXPECT_EQ(expected, fields) << row;
  }
}

// ------------------------------------------------------------ reading back

struct TRoundTripCase {
  const char* Name;
  int Level;
  TExchangeEntry Entry;
};

void PrintTo(const TRoundTripCase& c, std::ostream* os) { *os << c.Name; }

const std::vector<TRoundTripCase>& RoundTripCases() {
  static const std::vector<TRoundTripCase> cases = {
      {"Plain", 0, {"Папка", 100, 0, true, "Описание"}},
      {"TabInBoth", 1, {"a\tb", 200, 3, false, "c\td"}},
      {"QuotesEverywhere", 2, {"\"\"\"", 0, 0, false, "\"a\" \"\" b\""}},
      {"FirstLineEndsInQuote", 1, {"T", 1, 0, false, "say \"hi\"\r\nnext"}},
      {"FirstLineEndsInDoubledQuotes", 1, {"T", 1, 0, false, "say \"\"\r\nnext"}},
      {"LastLineIsQuote", 0, {"T", 0, 0, false, "a\r\n\""}},
      {"QuoteThenBreakOnly", 0, {"T", 0, 0, false, "\"\r\n"}},
      {"CrLfInDescription", 3, {"T", 0, 0, false, "line1\r\nline2\r\nline3"}},
      {"LoneLf", 1, {"T", 0, 0, false, "a\nb"}},
      {"LoneCr", 1, {"T", 0, 0, false, "a\rb"}},
      {"MixedBreaks", 1, {"T", 0, 0, false, "a\rb\nc\r\nd\n\re"}},
      {"OnlyCrLf", 0, {"T", 0, 0, true, "\r\n"}},
      {"OnlyLf", 0, {"T", 0, 0, true, "\n"}},
      {"OnlyCr", 0, {"T", 0, 0, true, "\r"}},
      {"BlankLinesInside", 0, {"T", 0, 0, false, "a\r\n\r\n\r\nb"}},
      {"ContinuationLooksIndented", 1, {"T", 0, 0, false, "a\r\n\t\tb\t1\t0\t0\t"}},
      {"ContinuationLooksLikeMarker", 1, {"T", 0, 0, false, "x\r\n#ZORVANA-DIRECTORY-EXCHANGE#"}},
      {"ContinuationOfBlanks", 1, {"T", 0, 0, false, "x\r\n \t \r\ny"}},
      {"TitleWithBreak", 2, {"a\r\nb", 4, 0, true, "c\nd"}},
      {"TitleEndsWithCr", 0, {"a\r", 0, 0, false, ""}},
      {"OuterBlanks", 1, {"  a  ", 0, 0, false, "  b  "}},
      {"OuterTabs", 1, {"\ta\t", 0, 0, false, "\tb\t"}},
      {"OnlyBlanks", 0, {" ", 0, 0, false, "\t"}},
      {"EmptyTitle", 2, {"", 300, 1, false, "d"}},
      {"EmptyTitleAndDescription", 4, {"", 0, 0, true, ""}},
      {"QuoteAndTab", 0, {"\"\t\"", 0, 0, false, "\"\t\""}},
      {"QuoteTabBreak", 0, {"T", 0, 0, false, "x\"\t\r\n\ty\""}},
      {"Extremes", 5, {"X", INT32_MIN, INT32_MAX, false, "-"}},
      {"DeepLevel", 130, {"deep", 1, 1, true, "глубоко"}},
      {"LineInsideLooksLikeRow", 1, {"T", 0, 0, false, "x\r\n\tB\t1\t0\t0\t\r\ny"}},
      {"LinesInsideLookLikeRows", 1, {"a\r\nB\t1\t2\tTrue\r\n\"C\"\t3\t4\t0\t\"d\"\r\ne", 5, 6, true,
                                       "f\r\nG\t-7\t+8\t1\r\nh"}},
      {"LineInsideStartsLikeTheMark", 0, {"T", 0, 0, false, "x\r\n\">y\r\n\">\tB\t1\t0\t0\t\r\nz"}},
      {"LastLineLooksLikeRow", 1, {"T", 0, 0, false, "x\r\n\tB\t1\t0\t0\t"}},
  };
  return cases;
}

class ExchangeRoundTripTest : public ::testing::TestWithParam<TRoundTripCase> {};

// Written, joined with the window's breaks, split and read again: the same
// entry at the same level, and nothing after it.
TEST_P(ExchangeRoundTripTest, ReadsBackSameEntry) {
  const TRoundTripCase& c = GetParam();
  const std::string row = FormatExchangeRow(c.Level, c.Entry);
  const std::vector<TTextLine> lines = SplitTextLines(ExchangeText({row, "next\t0\t0\t0\t"}));
  TExchangeReader reader(lines);
  ASSERT_TRUE(reader.IsExchangeText());

  TExchangeRow read;
  ASSERT_TRUE(reader.Next(read)) << row;
  EXPECT_EQ(c.Level, read.Level);
  EXPECT_EQ(2, read.Line);
  ExpectSameEntry(c.Entry, read.Entry);

  // The row after a multi-line one is found on the right line, unharmed.
  ASSERT_TRUE(reader.Next(read));
  EXPECT_EQ(0, read.Level);
  EXPECT_EQ(3 + LineBreaks(row), read.Line);
  EXPECT_EQ("next", read.Entry.Title);
  EXPECT_FALSE(reader.Next(read));
}

INSTANTIATE_TEST_SUITE_P(Entries, ExchangeRoundTripTest, ::testing::ValuesIn(RoundTripCases()),
                         TCaseName());

// All the tricky entries in one text, one after the other: every row keeps
// its level, its line number and its fields.
TEST(ExchangeReaderTest, ReadsWholeTextOfTrickyRows) {
  std::vector<std::string> rows;
  std::vector<int> firstLines;
  int line = 2;
  for (const TRoundTripCase& c : RoundTripCases()) {
    rows.push_back(FormatExchangeRow(c.Level, c.Entry));
    firstLines.push_back(line);
    line += LineBreaks(rows.back()) + 1;
  }
  const std::vector<TTextLine> lines = SplitTextLines(ExchangeText(rows));
  TExchangeReader reader(lines);
  for (size_t i = 0; i < RoundTripCases().size(); ++i) {
    const TRoundTripCase& c = RoundTripCases()[i];
    TExchangeRow read;
    ASSERT_TRUE(reader.Next(read)) << c.Name;
    EXPECT_EQ(c.Level, read.Level) << c.Name;
    EXPECT_EQ(firstLines[i], read.Line) << c.Name;
    EXPECT_EQ(firstLines[i] + LineBreaks(rows[i]), read.LastLine) << c.Name;
    EXPECT_EQ(read.LastLine + 1, reader.NextLine()) << c.Name;
    ExpectSameEntry(c.Entry, read.Entry);
  }
  TExchangeRow read;
  EXPECT_FALSE(reader.Next(read));
}

struct TMarkerCase {
  const char* Name;
  std::string Text;
  bool IsExchange;
};

void PrintTo(const TMarkerCase& c, std::ostream* os) { *os << c.Name; }

class ExchangeMarkerTest : public ::testing::TestWithParam<TMarkerCase> {};

TEST_P(ExchangeMarkerTest, TellsExchangeText) {
  const std::vector<TTextLine> lines = SplitTextLines(GetParam().Text);
  EXPECT_EQ(GetParam().IsExchange, TExchangeReader(lines).IsExchangeText());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ExchangeMarkerTest,
    ::testing::Values(TMarkerCase{"MarkerAndRow", kMarker + "\r\nA\t0\t0\t0\t\r\n", true},
                      TMarkerCase{"LfBreaks", kMarker + "\nA\t0\t0\t0\t", true},
                      TMarkerCase{"MarkerAndBlankLine", kMarker + "\r\n\r\n", false},
                      TMarkerCase{"MarkerAndBlankLines", kMarker + "\r\n \t\r\n\r\n", false},
                      TMarkerCase{"BlankLineBeforeRow", kMarker + "\r\n\r\nA\t0\t0\t0\t", true},
                      TMarkerCase{"MarkerOnly", kMarker + "\r\n", false},
                      TMarkerCase{"Empty", "", false},
                      TMarkerCase{"NoMarker", "A\t0\t0\t0\t\r\nB\t0\t0\t0\t\r\n", false},
                      TMarkerCase{"LowerCaseMarker", "#zorvana-directory-exchange#\r\nA\t0\t0\t0\t", false},
                      TMarkerCase{"MarkerWithBlank", kMarker + " \r\nA\t0\t0\t0\t", false},
                      TMarkerCase{"MarkerIndented", "\t" + kMarker + "\r\nA\t0\t0\t0\t", false}),
    TCaseName());

// A line of nothing but blanks and TABs ends the rows; what follows it is
// not read, and the reader tells where it stopped and how much is left.
TEST(ExchangeReaderTest, BlankLineEndsRowsAndTellsWhatFollows) {
  const std::vector<TTextLine> lines = SplitTextLines(
      ExchangeText({"A\t0\t0\t1\t", "\tB\t0\t0\t0\t", " \t \t", "\tC\t0\t0\t0\t", "", "\tD\t0\t0\t0\t", "", " "}));
  TExchangeReader reader(lines);
  TExchangeRow row;
  ASSERT_TRUE(reader.Next(row));
  ASSERT_TRUE(reader.Next(row));
  EXPECT_EQ("B", row.Entry.Title);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(reader.Next(row));
  EXPECT_EQ(4, reader.BlankLine());
  EXPECT_EQ(3, reader.LinesAfterBlank());  // lines 5 to 7; the blank ones at the end do not count
  EXPECT_FALSE(reader.Next(row));

  // At the text's end there is no blank line to tell of.
  const std::vector<TTextLine> plain = SplitTextLines(ExchangeText({"A\t0\t0\t1\t"}));
  TExchangeReader whole(plain);
  ASSERT_TRUE(whole.Next(row));
  EXPECT_FALSE(whole.Next(row));
  EXPECT_EQ(0, whole.BlankLine());
  EXPECT_EQ(0, whole.LinesAfterBlank());
}

// Rows from other writers: missing, extra and unreadable fields.
struct TForeignRowCase {
  const char* Name;
  std::string Row;
  int Level;
  TExchangeEntry Entry;
};

void PrintTo(const TForeignRowCase& c, std::ostream* os) { *os << c.Name; }

class ForeignRowTest : public ::testing::TestWithParam<TForeignRowCase> {};

TEST_P(ForeignRowTest, ReadsFields) {
  const TForeignRowCase& c = GetParam();
  const std::vector<TTextLine> lines = SplitTextLines(ExchangeText({c.Row}));
  TExchangeReader reader(lines);
  TExchangeRow row;
  ASSERT_TRUE(reader.Next(row));
  EXPECT_EQ(c.Level, row.Level);
  ExpectSameEntry(c.Entry, row.Entry);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ForeignRowTest,
    ::testing::Values(
        TForeignRowCase{"TitleOnly", "\tA", 1, {"A", 0, 0, false, ""}},
        TForeignRowCase{"NotNumbers", "A\tx\t1.5\tmaybe\td", 0, {"A", 0, 0, false, "d"}},
        TForeignRowCase{"WordsForKind", "A\t1\t2\tTRUE\td\textra\tfields", 0, {"A", 1, 2, true, "d"}},
        TForeignRowCase{"NumberForKind", "A\t1\t2\t-3", 0, {"A", 1, 2, true, ""}},
        TForeignRowCase{"BlanksAtEnds", "\t\tA \t1\t2\t0\td  ", 2, {"A ", 1, 2, false, "d"}},
        TForeignRowCase{"QuoteInsideUnquoted", "a\"b\t1\t0\t0\tc\"", 0, {"a\"b", 1, 0, false, "c\""}}),
    TCaseName());

// A quoted field that never closes: the next line is a row of its own, so
// the row ends unfinished and fails with the codec's error, naming the line
// where the field opens; the reader names the row's first line.
TEST(ExchangeReaderTest, UnclosedQuotedFieldRaisesCodecError) {
  const std::vector<TTextLine> lines =
      SplitTextLines(ExchangeText({"A\t0\t0\t1\t", "\tB\t0\t0\t0\t\"open", "\tC\t0\t0\t0\t"}));
  TExchangeReader reader(lines);
  TExchangeRow row;
  ASSERT_TRUE(reader.Next(row));
  try {
    reader.Next(row);
    FAIL() << "no error";
  } catch (const EExchangeError& error) {
    EXPECT_EQ(kUnclosedMessage + "\"open (строка 3)", std::string(error.what()));
    EXPECT_EQ(3, error.Line());
    EXPECT_EQ(3, error.LastLine());
  }
}

// A quoted field whose last line ends in a quote char is still read, as the
// codec reads a last field without a closing quote.
TEST(ExchangeReaderTest, OpenFieldEndingInQuoteAtTextEndIsRead) {
  const std::vector<TTextLine> lines = SplitTextLines(kMarker + "\r\nA\t0\t0\t0\t\"x\r\ny\"\"");
  TExchangeReader reader(lines);
  TExchangeRow row;
  ASSERT_TRUE(reader.Next(row));
  EXPECT_EQ("x\r\ny\"", row.Entry.Description);
}

// ------------------------------------------------------------ field readers

struct TNumberCase {
  const char* Name;
  std::string Text;
  int32_t Integer;
  bool Boolean;
};

void PrintTo(const TNumberCase& c, std::ostream* os) { *os << c.Name; }

class ExchangeFieldReaderTest : public ::testing::TestWithParam<TNumberCase> {};

TEST_P(ExchangeFieldReaderTest, ReadsIntegerAndBoolean) {
  const TNumberCase& c = GetParam();
  const std::vector<std::string> fields = {"before", c.Text};
  EXPECT_EQ(c.Integer, ExchangeInteger(fields, 1));
  EXPECT_EQ(c.Boolean, ExchangeBoolean(fields, 1));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ExchangeFieldReaderTest,
    ::testing::Values(TNumberCase{"One", "1", 1, true}, TNumberCase{"Zero", "0", 0, false},
                      TNumberCase{"Negative", "-5", -5, true}, TNumberCase{"Two", "2", 2, true},
                      TNumberCase{"Zeros", "000", 0, false}, TNumberCase{"Word", "abc", 0, false},
                      TNumberCase{"Empty", "", 0, false}, TNumberCase{"TrueWord", "True", 0, true},
                      TNumberCase{"FalseUpper", "FALSE", 0, false}, TNumberCase{"MixedCase", "tRuE", 0, true},
                      TNumberCase{"NumberAndText", "12ab", 0, false},
                      TNumberCase{"Fraction", "1.5", 0, false},
                      TNumberCase{"Max", "2147483647", INT32_MAX, true},
                      TNumberCase{"Min", "-2147483648", INT32_MIN, true},
                      TNumberCase{"TooLarge", "2147483648", 0, true}),
    TCaseName());

TEST(ExchangeFieldReaderTest, AbsentFieldIsZeroAndFalse) {
  const std::vector<std::string> fields = {"only"};
  EXPECT_EQ(0, ExchangeInteger(fields, 1));
  EXPECT_FALSE(ExchangeBoolean(fields, 1));
  EXPECT_EQ(0, ExchangeInteger({}, 0));
  EXPECT_FALSE(ExchangeBoolean({}, 0));
}

// ------------------------------------------------------------ rows of their own

struct TLooksLikeRowCase {
  const char* Name;
  std::string Line;
  bool LooksLikeRow;
};

void PrintTo(const TLooksLikeRowCase& c, std::ostream* os) { *os << c.Name; }

class LooksLikeRowTest : public ::testing::TestWithParam<TLooksLikeRowCase> {};

TEST_P(LooksLikeRowTest, TellsPlainRows) {
  EXPECT_EQ(GetParam().LooksLikeRow, LooksLikeExchangeRow(GetParam().Line));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LooksLikeRowTest,
    ::testing::Values(TLooksLikeRowCase{"Row", "A\t0\t0\t0\t", true},
                      TLooksLikeRowCase{"IndentedWithDescription", "\t\tA\t-5\t+7\t1\tтекст", true},
                      TLooksLikeRowCase{"KindAsWord", "A\t1\t2\tfalse", true},
                      TLooksLikeRowCase{"QuotedTitle", "\"Рога и копыта\"\t0\t0\t0\t", true},
                      TLooksLikeRowCase{"EmptyQuotedTitle", "\"\"\t0\t0\t1", true},
                      TLooksLikeRowCase{"TitleOnly", "Рога и копыта", false},
                      TLooksLikeRowCase{"ThreeFields", "A\t0\t0", false},
                      TLooksLikeRowCase{"NotANumber", "A\tx\t0\t0", false},
                      TLooksLikeRowCase{"NotAKind", "A\t0\t0\tmaybe", false},
                      TLooksLikeRowCase{"NumberPastInt32", "A\t2147483648\t0\t0", false},
                      TLooksLikeRowCase{"OpenQuotedField", "A\t0\t0\t0\t\"open", false},
                      TLooksLikeRowCase{"StrayQuote", "\"Рога и копыта\" ООО\t0\t0\t0\t", false},
                      TLooksLikeRowCase{"Blank", " \t ", false}),
    TCaseName());

// What each row of a foreign text reads as: its first line and title, or
// the row the reader stops at and its message.
struct TForeignTextCase {
  const char* Name;
  std::vector<std::string> Rows;
  std::vector<std::pair<int, std::string>> Read;  // (first line, title) of each row read
  int ErrorLine;                                  // 0: no error
  std::string Error;
};

void PrintTo(const TForeignTextCase& c, std::ostream* os) { *os << c.Name; }

class ForeignTextTest : public ::testing::TestWithParam<TForeignTextCase> {};

// A quote char that opens a field never makes the reader swallow lines that
// are rows of their own: they are read as rows, or the row before them
// stops the reading with the line named.
TEST_P(ForeignTextTest, RowsOfTheirOwnAreNeverSwallowed) {
  const TForeignTextCase& c = GetParam();
  const std::vector<TTextLine> lines = SplitTextLines(ExchangeText(c.Rows));
  TExchangeReader reader(lines);
  std::vector<std::pair<int, std::string>> read;
  TExchangeRow row;
  try {
    while (reader.Next(row)) read.emplace_back(row.Line, row.Entry.Title);
    EXPECT_EQ(0, c.ErrorLine);
  } catch (const EExchangeError& error) {
    EXPECT_EQ(c.ErrorLine, error.Line());
    EXPECT_EQ(c.Error, error.what());
  }
  EXPECT_EQ(c.Read, read);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ForeignTextTest,
    ::testing::Values(
        TForeignTextCase{"QuoteInsideTitle",
                         {"\"Рога и копыта\" ООО\t0\t0\t0\t", "row3\t0\t0\t0\t", "row4\t0\t0\t0\t",
                          "\"row5\"\t0\t0\t0\t"},
                         {},
                         2,
                         kUnclosedMessage + "\"Рога и копыта\" ООО\t0\t0\t0 (строка 2)"},
        TForeignTextCase{"QuotedTitles",
                         {"\"Рога и копыта\"\t0\t0\t0\t", "row3\t0\t0\t0\t", "\"row5\"\t0\t0\t0\t"},
                         {{2, "Рога и копыта"}, {3, "row3"}, {4, "row5"}},
                         0,
                         ""},
        TForeignTextCase{"UnclosedTitleBeforeRows",
                         {"A\t0\t0\t1\t", "\t\"Рога и копыта ООО\t0\t0\t0\t", "\trow3\t0\t0\t0\t",
                          "\trow4\"\t0\t0\t0\t"},
                         {{2, "A"}},
                         3,
                         kUnclosedMessage + "\"Рога и копыта ООО\t0\t0\t0 (строка 3)"},
        TForeignTextCase{"UnclosedTitleBeforeTitleOnlyLines",
                         {"\"Рога и копыта ООО", "row3", "row4", "\"row5\""},
                         {},
                         2,
                         kUnclosedMessage + "\"Рога и копыта ООО\r\nrow3\r\nrow4 (строка 2)"},
        TForeignTextCase{"UnclosedDescriptionBeforeRow",
                         {"A\t0\t0\t0\t\"описание", "B\t0\t0\t0\t"},
                         {},
                         2,
                         kUnclosedMessage + "\"описание (строка 2)"},
        TForeignTextCase{"DescriptionOpenedAfterMultiLineTitle",
                         {"\"a", "b\"\t1\t0\t0\t\"c", "C\t0\t0\t0\t"},
                         {},
                         2,
                         kUnclosedMessage + "\"c (строка 3)"},
        TForeignTextCase{"DescriptionClosedWithTextAfterIt",
                         {"A\t0\t0\t0\t\"x", "y\" z", "B\t0\t0\t0\t"},
                         {},
                         2,
                         kUnclosedMessage + "\"x (строка 2)"},
        TForeignTextCase{"OpenFieldOtherThanTitleOrDescription",
                         {"A\t\"1", "2\"\t0\t0\t", "B\t0\t0\t0\t"},
                         {},
                         2,
                         kUnclosedMessage + "\"1 (строка 2)"}),
    TCaseName());

// ------------------------------------------------------------ faults in rows

TEST(ExchangeReaderTest, RowHoldingNulIsRefusedNamingItsLine) {
  const std::string nul(1, '\0');
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"A\t0\t0\t0\t", "B" + nul + "C\t0\t0\t0\t"}, "В строке 3 текста"},
      {{"A\t0\t0\t0\t", nul}, "В строке 3 текста"},
      {{"A\t0\t0\t0\t", "B\t0\t0\t0\t\"x", "y" + nul + "z\""}, "В строке 4 текста"},
  };
  for (const auto& [rows, named] : cases) {
    const std::vector<TTextLine> lines = SplitTextLines(ExchangeText(rows));
    TExchangeReader reader(lines);
    TExchangeRow row;
    ASSERT_TRUE(reader.Next(row));
    try {
      reader.Next(row);
      FAIL() << "read";
    } catch (const EExchangeError& error) {
      EXPECT_EQ(3, error.Line());
      EXPECT_EQ(named + " есть символ с кодом 0 (NUL): такой текст нельзя сохранить в справочнике.",
                std::string(error.what()));
    }
  }
}

// An unclosed quote early in a long text: the reader goes through the
// lines once, tells its progress handler while it does, and the message
// quotes a readable piece of the text.
TEST(ExchangeReaderTest, LongUnclosedRowIsReadInLinearTimeWithProgressAndAShortMessage) {
  constexpr int kLines = 200000;
  std::vector<std::string> rows = {"A\t0\t0\t1\t", "\t\"" + std::string(300, 'x')};
  for (int i = 0; i < kLines; ++i) rows.push_back("line " + std::to_string(i));
  const std::vector<TTextLine> lines = SplitTextLines(ExchangeText(rows));

  TExchangeReader reader(lines);
  int asked = 0;
  reader.OnLongRow = [&asked] {
    ++asked;
    return true;
  };
  TExchangeRow row;
  ASSERT_TRUE(reader.Next(row));
  const auto start = std::chrono::steady_clock::now();
  try {
    reader.Next(row);
    FAIL() << "read";
  } catch (const EExchangeError& error) {
    EXPECT_EQ(3, error.Line());
    EXPECT_EQ(kLines + 3, error.LastLine());
    EXPECT_EQ(kUnclosedMessage + "\"" + std::string(199, 'x') + "… (строка 3)", std::string(error.what()));
  }
  // Seconds at the most on a loaded machine; minutes when each line made the
  // reader look at the whole row again.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(kLines / TExchangeReader::kLinesPerProgress, asked);

  // The handler can stop it part-way; the row's first line is named.
  TExchangeReader stopped(lines);
  int calls = 0;
  stopped.OnLongRow = [&calls] { return ++calls < 3; };
  ASSERT_TRUE(stopped.Next(row));
  try {
    stopped.Next(row);
    FAIL() << "read";
  } catch (const EExchangeCancelled& cancelled) {
    EXPECT_EQ(3, cancelled.Line());
  }
  EXPECT_EQ(3, calls);
}

// ------------------------------------------------------------ counting rows

TEST(CountExchangeRowsTest, CountsWhatAnImportWouldRead) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"", 0},
      {"A\t0\t0\t0\t\r\n", 0},
      {kMarker + "\r\n", 0},
      {ExchangeText({"A\t0\t0\t1\t", "\tB\t0\t0\t0\t\"two\r\nlines\"", "\tC\t0\t0\t0\t"}), 3},
      {ExchangeText({"A\t0\t0\t1\t", "", "B\t0\t0\t0\t"}), 1},
      {ExchangeText({"A\t0\t0\t1\t", "B\t0\t0\t0\t\"open", "C\t0\t0\t0\t"}), 1},
  };
  for (const auto& [text, rows] : cases) EXPECT_EQ(rows, CountExchangeRows(SplitTextLines(text))) << text;

  std::vector<std::string> many;
  for (int i = 0; i < 200000; ++i) many.push_back("\tR" + std::to_string(i) + "\t0\t0\t0\t\"a\r\nb\"");
  many.front().erase(0, 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(200000, CountExchangeRows(SplitTextLines(ExchangeText(many))));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
