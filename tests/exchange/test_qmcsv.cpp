// The CSV codec of the exchange text: written fields, the line reader, the
// one-line helper, and the rows the section export writes.

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "uQmCSV.h"

namespace {

using TFields = std::vector<std::string>;

const std::string kUnclosedMessage = "Некорректное завершение CSV-строки: ";

// The fields a reader hands out for the given lines, in order.
TFields ReadFields(const std::vector<std::string>& lines, char delimiter,
                   bool skipBlankLines = true) {
  TFields fields;
  TQmCSV reader;
  reader.SkipBlankLines = skipBlankLines;
  reader.OnField = [&fields](const std::string& field, int, int, bool) {
    fields.push_back(field);
    return true;
  };
  EXPECT_TRUE(reader.Parse(lines, delimiter));
  return fields;
}

TFields ReadLine(const std::string& line, char delimiter) { return ReadFields({line}, delimiter); }

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

// ---------------------------------------------------------------- writing

struct TWriteCase {
  const char* Name;
  std::string Text;
  char Delimiter;
  char Quote;
  std::string Written;
};

void PrintTo(const TWriteCase& c, std::ostream* os) { *os << c.Name; }

class QuoteCSVFieldTest : public ::testing::TestWithParam<TWriteCase> {};

TEST_P(QuoteCSVFieldTest, WritesField) {
  const TWriteCase& c = GetParam();
  EXPECT_EQ(QuoteCSVField(c.Text, c.Delimiter, c.Quote), c.Written);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuoteCSVFieldTest,
    ::testing::Values(TWriteCase{"empty", "", ';', '"', ""},
                      TWriteCase{"plain", "abc", ';', '"', "abc"},
                      TWriteCase{"cyrillic", "Привет, мир", ';', '"', "Привет, мир"},
                      TWriteCase{"blanks at ends stay unquoted", "  a b  ", ';', '"', "  a b  "},
                      TWriteCase{"LF alone stays unquoted", "a\nb", ';', '"', "a\nb"},
                      TWriteCase{"CR is quoted", "a\rb", ';', '"', "\"a\rb\""},
                      TWriteCase{"CR LF is quoted", "a\r\nb", '\t', '"', "\"a\r\nb\""},
                      TWriteCase{"delimiter is quoted", "a;b", ';', '"', "\"a;b\""},
                      TWriteCase{"TAB delimiter is quoted", "a\tb", '\t', '"', "\"a\tb\""},
                      TWriteCase{"other delimiter's char is plain", "a;b", '\t', '"', "a;b"},
                      TWriteCase{"TAB is plain with semicolon", "a\tb", ';', '"', "a\tb"},
                      TWriteCase{"quote char doubled", "a\"b", ';', '"', "\"a\"\"b\""},
                      TWriteCase{"one quote char", "\"", ';', '"', "\"\"\"\""},
                      TWriteCase{"two quote chars", "\"\"", ';', '"', "\"\"\"\"\"\""},
                      TWriteCase{"own quote char", "it's", ';', '\'', "'it''s'"},
                      TWriteCase{"double quote plain with other quote char", "say \"hi\"", ';',
                                 '\'', "say \"hi\""}),
    TCaseName());

// ---------------------------------------------------------------- reading one line

struct TReadCase {
  const char* Name;
  std::string Line;
  char Delimiter;
  TFields Fields;
};

void PrintTo(const TReadCase& c, std::ostream* os) { *os << c.Name; }

class ReadLineTest : public ::testing::TestWithParam<TReadCase> {};

TEST_P(ReadLineTest, GivesFields) {
  const TReadCase& c = GetParam();
  EXPECT_EQ(ReadLine(c.Line, c.Delimiter), c.Fields);
}

INSTANTIATE_TEST_SUITE_P(
    Delimiters, ReadLineTest,
    ::testing::Values(
        TReadCase{"three fields", "a;b;c", ';', {"a", "b", "c"}},
        TReadCase{"empty field between", "a;;c", ';', {"a", "", "c"}},
        TReadCase{"leading delimiter", ";a", ';', {"", "a"}},
        TReadCase{"two leading delimiters", ";;a", ';', {"", "", "a"}},
        TReadCase{"one trailing delimiter gives no field", "a;", ';', {"a"}},
        TReadCase{"two trailing delimiters give one", "a;;", ';', {"a", ""}},
        TReadCase{"TAB ends trimmed, inner empty kept", "\t\ta\t\tb\t\t", '\t', {"a", "", "b"}},
        TReadCase{"blanks trimmed at line ends only", "  a ; b  ", ';', {"a ", " b"}},
        TReadCase{"control bytes trimmed",
                  "\x01"
                  "a;b\x1f",
                  ';',
                  {"a", "b"}},
        TReadCase{"cyrillic bytes never trimmed", "Да;нет", ';', {"Да", "нет"}},
        TReadCase{"quote inside unquoted field is text", "a\"b;c\"", ';', {"a\"b", "c\""}}),
    TCaseName());

INSTANTIATE_TEST_SUITE_P(
    Quoted, ReadLineTest,
    ::testing::Values(
        TReadCase{"holds the delimiter", "\"a;b\";c", ';', {"a;b", "c"}},
        TReadCase{"holds a TAB", "x\t\"a\tb\"\tc", '\t', {"x", "a\tb", "c"}},
        TReadCase{"empty first", "\"\";b", ';', {"", "b"}},
        TReadCase{"empty middle", "a;\"\";b", ';', {"a", "", "b"}},
        TReadCase{"empty last", "a;\"\"", ';', {"a", ""}},
        TReadCase{"lone opening quote last", "a;\"", ';', {"a", ""}},
        TReadCase{"blank before quote makes it unquoted", "a; \"b\";c", ';', {"a", " \"b\"", "c"}},
        TReadCase{"quote not before delimiter stays", "\"a\"b\";c", ';', {"a\"b", "c"}},
        TReadCase{"even run before delimiter is text", "\"a\"\";b\";c", ';', {"a\";b", "c"}},
        TReadCase{"last field closed by final quote", "x;\"a;b\"", ';', {"x", "a;b"}},
        TReadCase{"last field keeps lone inner quote", "x;\"a\"b\"", ';', {"x", "a\"b"}}),
    TCaseName());

// ---------------------------------------------------------------- round trip

// A text written by QuoteCSVField reads back unchanged at the first, middle
// and last place of a row (texts that lose blanks at the line ends, or an
// empty last field, are the documented exceptions and not listed).
class RoundTripTest : public ::testing::TestWithParam<std::tuple<std::string, int, char>> {};

TEST_P(RoundTripTest, ReadsBackUnchanged) {
  const auto& [text, position, delimiter] = GetParam();
  TFields row = {"left", "middle", "right"};
  row[position] = text;
  std::string line;
  for (size_t i = 0; i < row.size(); ++i) {
    if (i > 0) line += delimiter;
    line += QuoteCSVField(row[i], delimiter, '"');
  }
  EXPECT_EQ(ReadLine(line, delimiter), row) << "line: " << line;
}

INSTANTIATE_TEST_SUITE_P(Texts, RoundTripTest,
                         ::testing::Combine(::testing::Values("\"", "\"\"", "\"\"\"", "\"a", "a\"",
                                                              "a\"b", "a\"\"b", "a;b", "a\tb",
                                                              "\";", ";\"", "a\rb", "a\nb",
                                                              "Ёлка \"ель\""),
                                            ::testing::Values(0, 1, 2),
                                            ::testing::Values(';', '\t')));

// ---------------------------------------------------------------- blank lines

struct TBlankCase {
  const char* Name;
  std::string Line;
  TFields FieldsWhenKept;  // with SkipBlankLines off
};

void PrintTo(const TBlankCase& c, std::ostream* os) { *os << c.Name; }

class BlankLineTest : public ::testing::TestWithParam<TBlankCase> {};

TEST_P(BlankLineTest, SkippedWhenAsked) {
  EXPECT_TRUE(ReadFields({GetParam().Line}, ';', true).empty());
}

TEST_P(BlankLineTest, ReadWhenNotSkipped) {
  EXPECT_EQ(ReadFields({GetParam().Line}, ';', false), GetParam().FieldsWhenKept);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BlankLineTest,
    ::testing::Values(TBlankCase{"empty", "", {}}, TBlankCase{"blanks", " \t ", {}},
                      TBlankCase{"line break", "\r\n", {}}, TBlankCase{"one delimiter", ";", {""}},
                      TBlankCase{"delimiters", ";;;", {"", "", ""}},
                      TBlankCase{"delimiters and blanks", " ; ;\t", {"", " "}}),
    TCaseName());

// ---------------------------------------------------------------- the handler

struct TFieldCall {
  std::string Field;
  int FieldIndex;
  int RowIndex;
  bool First;
  bool operator==(const TFieldCall&) const = default;
};

void PrintTo(const TFieldCall& c, std::ostream* os) {
  *os << "{\"" << c.Field << "\", field " << c.FieldIndex << ", row " << c.RowIndex
      << (c.First ? ", first}" : "}");
}

// A reader whose handler records every call and may stop a row at a field.
class CSVHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Reader.OnField = [this](const std::string& field, int fieldIndex, int rowIndex, bool first) {
      Calls.push_back({field, fieldIndex, rowIndex, first});
      return fieldIndex != StopAtField;
    };
  }

  TQmCSV Reader;
  std::vector<TFieldCall> Calls;
  int StopAtField = -1;
};

TEST_F(CSVHandlerTest, PassesFieldAndRowIndicesCountingSkippedLines) {
  Reader.Parse({"a;b;c", "", ";;", "d;e"}, ';');
  const std::vector<TFieldCall> expected = {{"a", 0, 0, true},
                                            {"b", 1, 0, false},
                                            {"c", 2, 0, false},
                                            {"d", 0, 3, true},
                                            {"e", 1, 3, false}};
  EXPECT_EQ(Calls, expected);
}

TEST_F(CSVHandlerTest, FalseDropsRestOfRowOnly) {
  StopAtField = 1;
  Reader.Parse({"a;b;c", "d;e;f"}, ';');
  const std::vector<TFieldCall> expected = {
      {"a", 0, 0, true}, {"b", 1, 0, false}, {"d", 0, 1, true}, {"e", 1, 1, false}};
  EXPECT_EQ(Calls, expected);
}

// Fields are read one by one, so a dropped rest is never looked at.
TEST_F(CSVHandlerTest, FalseBeforeUnclosedQuoteAvoidsError) {
  StopAtField = 0;
  EXPECT_NO_THROW(Reader.Parse({"a;\"b"}, ';'));
  EXPECT_EQ(Calls.size(), 1u);
}

TEST_F(CSVHandlerTest, ErrorStopsReadingAndKeepsEarlierFields) {
  EXPECT_THROW(Reader.Parse({"a", "b;\"c", "d"}, ';'), ECSVError);
  const std::vector<TFieldCall> expected = {{"a", 0, 0, true}, {"b", 0, 1, true}};
  EXPECT_EQ(Calls, expected);
}

TEST(CSVReaderTest, ReadsWithoutHandler) {
  TQmCSV reader;
  EXPECT_TRUE(reader.Parse({"a;b", ";;"}, ';'));
  EXPECT_THROW(reader.Parse({"\"a"}, ';'), ECSVError);
}

// ---------------------------------------------------------------- the error

struct TErrorCase {
  const char* Name;
  std::string Line;
  char Delimiter;
  std::string Rest;  // what the message quotes, from the opening quote on
  TFields Before;    // fields handed out before the error
};

void PrintTo(const TErrorCase& c, std::ostream* os) { *os << c.Name; }

class UnclosedQuoteTest : public ::testing::TestWithParam<TErrorCase> {};

TEST_P(UnclosedQuoteTest, RaisesWithRestOfLine) {
  const TErrorCase& c = GetParam();
  TFields handedOut;
  TQmCSV reader;
  reader.OnField = [&handedOut](const std::string& field, int, int, bool) {
    handedOut.push_back(field);
    return true;
  };
  try {
    reader.Parse({c.Line}, c.Delimiter);
    FAIL() << "no error raised";
  } catch (const ECSVError& error) {
    EXPECT_EQ(std::string(error.what()), kUnclosedMessage + c.Rest);
    EXPECT_EQ(error.SourceLocation().rfind("Unit/uQmCSV, line ", 0), 0u) << error.SourceLocation();
  }
  EXPECT_EQ(handedOut, c.Before);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UnclosedQuoteTest,
    ::testing::Values(
        TErrorCase{"whole line", "\"abc", ';', "\"abc", {}},
        TErrorCase{"after two fields", "a;b;\"c;d", ';', "\"c;d", {"a", "b"}},
        TErrorCase{"trailing blanks trimmed first", "a;\"b   ", ';', "\"b", {"a"}},
        TErrorCase{"blank between quote and delimiter", "\"a\" ;b", ';', "\"a\" ;b", {}},
        TErrorCase{"even run before delimiter", "x;\"a\"\";b", ';', "\"a\"\";b", {"x"}},
        TErrorCase{"TAB line", "\t\"Заголовок\t100", '\t', "\"Заголовок\t100", {}}),
    TCaseName());

// However long the line, the message quotes a readable piece of it: 200
// characters (not bytes), then "…"; and it tells where the field opens.
TEST(CSVErrorTest, LongUnclosedFieldIsQuotedShortAndPlaced) {
  std::string cyrillic;
  for (int i = 0; i < 300; ++i) cyrillic += "ж";
  const std::string line = "a;b;\"" + cyrillic;
  try {
    ReadLine("   " + line, ';');
    FAIL() << "no error raised";
  } catch (const ECSVError& error) {
    EXPECT_EQ(std::string(error.what()), kUnclosedMessage + "\"" + cyrillic.substr(0, 199 * 2) + "…");
    EXPECT_EQ(error.Position(), 4u);  // counted after the trimmed blanks
  }
  try {
    ReadLine("\"" + std::string(199, 'x'), ';');
    FAIL() << "no error raised";
  } catch (const ECSVError& error) {
    EXPECT_EQ(std::string(error.what()), kUnclosedMessage + "\"" + std::string(199, 'x'));  // nothing cut
    EXPECT_EQ(error.Position(), 0u);
  }
}

// The reading without raising that the exchange rows build on: the same
// fields, whether the codec would raise, and which last field is a quoted
// field still open at the line's end.
struct TScanCase {
  const char* Name;
  std::string Line;
  TFields Fields;
  bool Readable;
  int OpenField;
};

void PrintTo(const TScanCase& c, std::ostream* os) { *os << c.Name; }

class ReadCSVLineTest : public ::testing::TestWithParam<TScanCase> {};

TEST_P(ReadCSVLineTest, ReadsLikeTheReaderWithoutRaising) {
  const TScanCase& c = GetParam();
  const TCSVLine read = ReadCSVLine(c.Line, ';', '"');
  EXPECT_EQ(read.Fields, c.Fields);
  EXPECT_EQ(read.Readable, c.Readable);
  EXPECT_EQ(read.OpenField, c.OpenField);
  if (c.Readable) {
    EXPECT_EQ(ReadLine(c.Line, ';'), c.Fields);
  } else {
    EXPECT_THROW(ReadLine(c.Line, ';'), ECSVError);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadCSVLineTest,
    ::testing::Values(TScanCase{"plain", " a;b ", {"a", "b"}, true, -1},
                      TScanCase{"open at the end", "a;\"b", {"a"}, false, 1},
                      TScanCase{"open ending in doubled quotes", "a;\"b\"\"", {"a", "b\""}, true, 1},
                      TScanCase{"lone quote char", "\"", {""}, true, 0},
                      TScanCase{"stray quote char", "a;\"b\"c", {"a"}, false, -1},
                      TScanCase{"stray then closing at the end", "a;\"b\"c\"", {"a", "b\"c"}, true, -1},
                      TScanCase{"closed before the delimiter", "\"a;b\";c", {"a;b", "c"}, true, -1}),
    TCaseName());

TEST(ReadCSVFieldsTest, TrimsNothingFromTheFrontAndCountsFromTheGivenIndex) {
  const TCSVLine read = ReadCSVFields(";x;\"y", ';', '"', 1);
  EXPECT_EQ(read.Fields, (TFields{"", "x"}));
  EXPECT_FALSE(read.Readable);
  EXPECT_EQ(read.OpenField, 3);
}

TEST(FindOddQuoteRunTest, PassesOverDoubledQuoteChars) {
  EXPECT_EQ(FindOddQuoteRun("ab", 0, '"'), std::string_view::npos);
  EXPECT_EQ(FindOddQuoteRun("a\"\"b\"\"", 0, '"'), std::string_view::npos);
  EXPECT_EQ(FindOddQuoteRun("a\"\"b\"c", 0, '"'), 5u);
  EXPECT_EQ(FindOddQuoteRun("\"\"\"x", 0, '"'), 3u);
  EXPECT_EQ(FindOddQuoteRun("\"\"\"x", 1, '"'), std::string_view::npos);
}

TEST(CSVErrorTest, IsAStandardException) { EXPECT_THROW(ReadLine("\"a", ';'), std::runtime_error); }

// ---------------------------------------------------------------- ParseLine

struct TParseLineCase {
  const char* Name;
  std::string Data;
  TFields Before;
  TFields After;
};

void PrintTo(const TParseLineCase& c, std::ostream* os) { *os << c.Name; }

class ParseLineTest : public ::testing::TestWithParam<TParseLineCase> {};

TEST_P(ParseLineTest, LeavesFieldsOfLastReadLine) {
  const TParseLineCase& c = GetParam();
  TFields fields = c.Before;
  CSVUtils().ParseLine(c.Data, fields, '\t');
  EXPECT_EQ(fields, c.After);
}

INSTANTIATE_TEST_SUITE_P(
    Data, ParseLineTest,
    ::testing::Values(
        TParseLineCase{"one line replaces old fields", "a", {"x", "y", "z"}, {"a"}},
        TParseLineCase{"indentation is no field", "\t\t\"T\tx\"\t100", {}, {"T\tx", "100"}},
        TParseLineCase{"semicolon is text", "a;b", {}, {"a;b"}},
        TParseLineCase{"quote char is the double quote", "\"a\"\"b\"\t'c'", {}, {"a\"b", "'c'"}},
        TParseLineCase{"second of two CR LF lines", "a\tb\r\nc\td", {}, {"c", "d"}},
        TParseLineCase{"CR ends a line", "a\tb\rc", {}, {"c"}},
        TParseLineCase{"LF ends a line", "a\tb\nc\td", {}, {"c", "d"}},
        TParseLineCase{"break at the end", "a\tb\r\n", {}, {"a", "b"}},
        TParseLineCase{"skipped last line", "a\tb\n\t \t\n", {}, {"a", "b"}},
        TParseLineCase{"all skipped keeps old fields", "\t\r\n  ", {"old"}, {"old"}},
        TParseLineCase{"empty data keeps old fields", "", {"old"}, {"old"}}),
    TCaseName());

struct TParseLineErrorCase {
  const char* Name;
  std::string Data;
  TFields After;
};

void PrintTo(const TParseLineErrorCase& c, std::ostream* os) { *os << c.Name; }

class ParseLineErrorTest : public ::testing::TestWithParam<TParseLineErrorCase> {};

TEST_P(ParseLineErrorTest, KeepsFieldsHandedOutBeforeError) {
  const TParseLineErrorCase& c = GetParam();
  TFields fields = {"old"};
  EXPECT_THROW(CSVUtils().ParseLine(c.Data, fields, '\t'), ECSVError);
  EXPECT_EQ(fields, c.After);
  // The helper no longer points at the list once ParseLine has left.
  CSVUtils().AddField("stray", 0, 0, true);
  EXPECT_EQ(fields, c.After);
}

INSTANTIATE_TEST_SUITE_P(
    Data, ParseLineErrorTest,
    ::testing::Values(TParseLineErrorCase{"first field", "\"a\tb", {"old"}},
                      TParseLineErrorCase{"after a field", "a\t\"b", {"a"}},
                      TParseLineErrorCase{"first field of second line", "a\tb\r\n\"c", {"a", "b"}},
                      TParseLineErrorCase{"second field of second line", "a\tb\r\nc\t\"d", {"c"}}),
    TCaseName());

// ---------------------------------------------------------------- exchange rows

// A row as the section export writes it: indentation, quoted title, numbers,
// quoted description, all TAB-delimited.
std::string ExchangeRow(int level, const std::string& title, const std::string& description) {
  return std::string(level, '\t') + QuoteCSVField(title, '\t', '"') + "\t-100\t7\t1\t" +
         QuoteCSVField(description, '\t', '"');
}

TEST(ExchangeRowTest, ReadsBackTitleNumbersAndDescription) {
  TFields fields;
  CSVUtils().ParseLine(ExchangeRow(2, "Заголовок\t\"в кавычках\"", "Описание"), fields, '\t');
  EXPECT_EQ(fields, (TFields{"Заголовок\t\"в кавычках\"", "-100", "7", "1", "Описание"}));
}

TEST(ExchangeRowTest, EmptyDescriptionIsNoField) {
  TFields fields;
  CSVUtils().ParseLine(ExchangeRow(0, "Папка", ""), fields, '\t');
  EXPECT_EQ(fields, (TFields{"Папка", "-100", "7", "1"}));
}

// A description with a line break spreads its row over two lines; the first
// line is read alone and fails unless it happens to end with a quote char.
TEST(ExchangeRowTest, DescriptionWithLineBreakReadLineByLine) {
  const std::string plainBreak = ExchangeRow(1, "T", "строка 1\r\nстрока 2");
  const std::string firstLine = plainBreak.substr(0, plainBreak.find('\r'));
  TFields fields;
  EXPECT_THROW(CSVUtils().ParseLine(firstLine, fields, '\t'), ECSVError);
  EXPECT_EQ(fields, (TFields{"T", "-100", "7", "1"}));

  const std::string quotedBreak = ExchangeRow(1, "T", "он сказал \"да\"\r\nещё");
  CSVUtils().ParseLine(quotedBreak.substr(0, quotedBreak.find('\r')), fields, '\t');
  EXPECT_EQ(fields, (TFields{"T", "-100", "7", "1", "он сказал \"да\""}));
}

}  // namespace
