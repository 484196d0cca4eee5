#pragma once
// The small CSV codec of the section exchange text: one text made into one
// written field, a line reader that hands every field to a handler, and a
// helper that reads the fields of one text line into a list.
//
// The codec works on bytes. Delimiter, quote char, CR and LF are single ASCII
// bytes, and the trimming at the ends of a line drops bytes 0x00..0x20 only,
// so UTF-8 characters (all of whose bytes are >= 0x80) are never cut.
// A quoted field never continues on the next line: every line is read alone.

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Raised when a quoted field reaches the end of its line without a closing
// quote char. what() is the user-facing text alone; where it was raised is
// kept apart for crash reports.
// what() quotes the rest of the line cut to 200 characters ("…" after them).
class ECSVError : public std::runtime_error {
 public:
  ECSVError(const std::string& message, unsigned line, size_t position);
  // "Unit/uQmCSV, line N".
  const std::string& SourceLocation() const { return FSourceLocation; }
  // Where the unclosed quoted field opens: its offset in the line as read,
  // blanks at the line's start not counted.
  size_t Position() const { return FPosition; }

 private:
  std::string FSourceLocation;
  size_t FPosition;
};

// The written form of one field: the text unchanged, or, when it holds the
// quote char, the delimiter or a CR, the text between quote chars with every
// quote char doubled. A LF alone and blanks at the ends are written as they
// are.
std::string QuoteCSVField(std::string_view text, char delimiter, char quoteChar);

// Called for every field read; fieldIndex counts within the row from 0,
// rowIndex is the line's index in the input (skipped lines counted too).
// Returning false drops the rest of the row.
using TCSVFieldHandler =
    std::function<bool(const std::string& field, int fieldIndex, int rowIndex, bool firstField)>;

class TQmCSV {
 public:
  char QuoteChar = '"';
  // Lines made only of delimiters and blanks give no fields at all.
  bool SkipBlankLines = true;
  TCSVFieldHandler OnField;

  // Reads every line, handing each field to OnField. Always returns true;
  // an unclosed quoted field raises ECSVError, after the fields before it on
  // that line were handed out.
  bool Parse(const std::vector<std::string>& lines, char delimiter) const;

 private:
  void ParseRow(std::string_view row, char delimiter, int rowIndex) const;
  bool IsSkipped(std::string_view line, char delimiter) const;
};

// ---- The quoted-field scanner every reader of this codec shares ---------

// The next run of quote chars of odd length in text, from pos on: the index
// just past it, or npos when there is none. Runs of even length are the
// doubled quote chars of a quoted field's text; an odd run holds the quote
// char that closes the field (its last one), or is malformed.
size_t FindOddQuoteRun(std::string_view text, size_t pos, char quoteChar);

// One line read the way TQmCSV reads it (trimmed, fields taken from the
// front), without raising.
struct TCSVLine {
  std::vector<std::string> Fields;  // up to an unreadable last field
  bool Readable = true;             // false: TQmCSV raises ECSVError on this line
  // The index of the last field when it is a quoted field whose closing
  // quote has not come: only doubled quote chars follow its opening one.
  // A multi-line reader may continue it on the next line; -1 otherwise.
  int OpenField = -1;
};
TCSVLine ReadCSVLine(std::string_view line, char delimiter, char quoteChar);

// The same for fields that follow a delimiter inside a row: nothing is
// trimmed from the front, and field indexes start at firstIndex.
TCSVLine ReadCSVFields(std::string_view rest, char delimiter, char quoteChar, int firstIndex);

class TQmCSVUtils {
 public:
  // Splits data at CR LF, CR or LF and leaves in fields the fields of the
  // last line that was not skipped; when every line is skipped, fields keep
  // what they held. The quote char is the double quote.
  void ParseLine(const std::string& data, std::vector<std::string>& fields, char delimiter);

  // The reader's handler while ParseLine runs: a row's first field clears
  // the list, every field is appended.
  bool AddField(const std::string& field, int fieldIndex, int rowIndex, bool firstField);

 private:
  std::vector<std::string>* FFields = nullptr;
};

// The program's one instance. It is a function-local static, so it exists
// whenever code (or a test) asks for it and is freed when the program ends;
// it holds no resource and no state between calls of ParseLine.
TQmCSVUtils& CSVUtils();
