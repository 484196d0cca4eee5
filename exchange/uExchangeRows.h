#pragma once
// The rows of the section exchange text: a marker line, then one row per
// entry, indented by TABs to its level, fields separated by TABs and quoted
// by the CSV codec's rules.
//
// Beyond the codec, a field is quoted also when it holds a line break, is
// empty (only the title: an unquoted empty title would read as one more
// level) or has characters of code 32 or below at either end (the reader
// trims them); a quoted field may then run over several lines, and the
// reader joins them with the line breaks they had. A field that needs none
// of this is written exactly as the codec writes it, so single-line rows
// stay what peers already exchange.
//
// Which lines continue a quoted field. Every quote char inside a written
// field is doubled, so the lines a field runs over hold only doubled quote
// chars until the one that closes it, which is followed by a TAB (the rest
// of the row, after a title) or ends the line (after a description). The
// reader joins the next line to a row whose last field is still open only
// when that line is such a line:
//  - a line without a single (odd) quote char that does not look like a row
//    of its own (see LooksLikeExchangeRow), or
//  - a line that starts with the continuation mark (kContinuationMark): the
//    writer puts it in front of a line of a field's text that would look
//    like a row (and only there); the reader drops it, or
//  - a line whose first odd run of quote chars closes the field: followed by
//    a TAB when the open field is the title, by nothing but blanks when it
//    is the description.
// Any other line is a row of its own, and the row before it ends
// unfinished, which stops the import at that row. So a title such as
// "\"Рога и копыта\" ООО" never swallows the rows after it.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "uText.h"  // TTextLine, SplitTextLines: the text split into lines

class ECSVError;

inline constexpr const char* kExchangeMarker = "#ZORVANA-DIRECTORY-EXCHANGE#";
inline constexpr char kExchangeDelimiter = '\t';
// In front of a line of a quoted field's text that would look like a row:
// a lone quote char and ">", which no written field text holds.
inline constexpr std::string_view kContinuationMark = "\">";

struct TExchangeEntry {
  std::string Title;
  int32_t OrderPosition = 0;
  int32_t Flags = 0;
  bool IsFolder = false;
  std::string Description;
};

// A field in its written form.
std::string ExchangeTitleField(std::string_view title);
std::string ExchangeDescriptionField(std::string_view description);

// The whole row of an entry at a level (TABs, title, position, flags, kind,
// description), without a line break.
std::string FormatExchangeRow(int level, const TExchangeEntry& entry);

// Whether a line, read alone, is plainly a row: it reads without error and
// without an open quoted field, and gives at least four fields, the second
// and third decimal integers and the fourth a kind (a decimal integer,
// "True" or "False" in any letter case).
bool LooksLikeExchangeRow(std::string_view line);

// One row as read back.
struct TExchangeRow {
  int Level = 0;     // TABs at the start of its first line
  int Line = 0;      // 1-based number of its first line in the text
  int LastLine = 0;  // and of its last line (more when a field runs over lines)
  TExchangeEntry Entry;
};

// A row that cannot be read, and the line the import stops at: Line() is
// the row's first line, LastLine() the last line read for it; what() names
// the line the fault is on.
class EExchangeError : public std::runtime_error {
 public:
  EExchangeError(int line, int lastLine, const std::string& reason)
      : std::runtime_error(reason), FLine(line), FLastLine(lastLine) {}
  int Line() const { return FLine; }
  int LastLine() const { return FLastLine; }

 private:
  int FLine;
  int FLastLine;
};

// Raised when the reader's progress handler asked to stop in the middle of
// a row; Line() is that row's first line.
class EExchangeCancelled : public std::runtime_error {
 public:
  explicit EExchangeCancelled(int line) : std::runtime_error("cancelled"), FLine(line) {}
  int Line() const { return FLine; }

 private:
  int FLine;
};

// Reads the rows that follow the marker line, one at a time. Every line is
// looked at once, so a text of any length reads in time in proportion to
// its length.
class TExchangeReader {
 public:
  // lines: the whole text, marker line included.
  explicit TExchangeReader(const std::vector<TTextLine>& lines);

  // True when the first line is the marker and a line that is not blank
  // follows it.
  bool IsExchangeText() const;

  // The next row; false when the rows have ended: the lines ran out, or a
  // line holds nothing but blanks and TABs. Raises EExchangeError for a row
  // that cannot be read (a quoted field that never closes, a NUL character)
  // and EExchangeCancelled when OnLongRow asked to stop.
  bool Next(TExchangeRow& row);

  // The 1-based number of the first line not read yet.
  int NextLine() const { return static_cast<int>(FNext) + 1; }
  // Whether the next line ends the rows (the lines ran out or it is blank).
  bool AtEnd() const;
  // Once Next has returned false on a blank line: its number, and how many
  // lines after it were not read (up to the last line that is not blank).
  // 0 and 0 when the lines ran out.
  int BlankLine() const { return FBlankLine; }
  int LinesAfterBlank() const;

  // Consulted every kLinesPerProgress lines that one row runs over, so that
  // a long row can be abandoned; false stops the reader.
  std::function<bool()> OnLongRow;
  static constexpr int kLinesPerProgress = 1000;

 private:
  bool ContinuesOpenField(size_t index, int& openField, std::string& content) const;
  std::string JoinRow(size_t first, size_t& last);
  void CheckForNul(size_t index) const;
  [[noreturn]] void RaiseUnreadable(const std::string& row, size_t last, const ECSVError& error) const;

  const std::vector<TTextLine>& FLines;
  size_t FNext = 1;
  int FBlankLine = 0;
  std::vector<size_t> FLineStarts;  // where each line of the row being read starts in it
};

// The number of rows an import of the text would read (0 for a text that
// is no exchange text), up to where it would stop; for showing progress.
// Linear in the text's length.
int CountExchangeRows(const std::vector<TTextLine>& lines);

// Field readers of a row: a decimal integer, 0 when absent or not a number;
// a boolean: a number is true when not 0, else "True"/"False" in any letter
// case, anything else false.
int32_t ExchangeInteger(const std::vector<std::string>& fields, size_t index);
bool ExchangeBoolean(const std::vector<std::string>& fields, size_t index);
