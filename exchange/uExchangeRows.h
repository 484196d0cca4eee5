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

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "uText.h"  // TTextLine, SplitTextLines: the text split into lines

inline constexpr const char* kExchangeMarker = "#ZORVANA-DIRECTORY-EXCHANGE#";
inline constexpr char kExchangeDelimiter = '\t';

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

// One row as read back.
struct TExchangeRow {
  int Level = 0;      // TABs at the start of its first line
  int Line = 0;       // 1-based number of its first line in the text
  TExchangeEntry Entry;
};

// Reads the rows that follow the marker line, one at a time.
class TExchangeReader {
 public:
  // lines: the whole text, marker line included.
  explicit TExchangeReader(const std::vector<TTextLine>& lines);

  // True when there are at least 2 lines and the first is the marker.
  bool IsExchangeText() const;

  // The next row; false when the lines ran out or a line holds nothing but
  // blanks and TABs. Raises ECSVError for a quoted field that never closes.
  bool Next(TExchangeRow& row);

  // The 1-based line the reader stands at (the row being or last read).
  int CurrentLine() const { return FCurrentLine; }

 private:
  std::string JoinOpenRow(size_t& index) const;
  const std::vector<TTextLine>& FLines;
  size_t FNext = 1;
  int FCurrentLine = 1;
};

// Field readers of a row: a decimal integer, 0 when absent or not a number;
// a boolean: a number is true when not 0, else "True"/"False" in any letter
// case, anything else false.
int32_t ExchangeInteger(const std::vector<std::string>& fields, size_t index);
bool ExchangeBoolean(const std::vector<std::string>& fields, size_t index);
