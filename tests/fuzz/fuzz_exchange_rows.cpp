// libFuzzer target for the exchange rows. Each input is used twice:
//  - as a clipboard text (as it is, and with the marker line put in front):
//    split into lines and read row by row under the import's placing rules,
//    without a database. Every row read must write out and read back the
//    same; no row may hold a line of the input that was a row of its own;
//    a row that cannot be read stops the reading with a short message; the
//    row count agrees with what was read;
//  - as the source of a few entries in a valid tree order, their texts
//    built from pieces that make lines look like rows, quote chars, marks
//    and line breaks: written as the export writes them, joined, split and
//    read back, they must come out unchanged, at their levels and lines,
//    and place without a stop.
// A broken property aborts, so libFuzzer keeps the input.

#include <fuzzer/FuzzedDataProvider.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "uExchangeRows.h"
#include "uQmCSV.h"
#include "uText.h"

namespace {

const std::string kUnclosedMessage = "Некорректное завершение CSV-строки: ";
const std::string kNulMessageStart = "В строке ";
// The prefix, 200 quoted characters and "…", then " (строка N)".
constexpr size_t kLongestMessageChars = 36 + 200 + 1 + 20;

void Check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n", property);
  std::abort();
}

bool SameEntry(const TExchangeEntry& a, const TExchangeEntry& b) {
  return a.Title == b.Title && a.OrderPosition == b.OrderPosition && a.Flags == b.Flags &&
         a.IsFolder == b.IsFolder && a.Description == b.Description;
}

size_t CharCount(std::string_view utf8) {
  size_t count = 0;
  for (size_t pos = 0; pos < utf8.size(); ++count) DecodeUtf8(utf8, pos);
  return count;
}

// --- the oracle for "a row of its own", written apart from the reader -----------

bool IsInteger(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

bool IsKind(const std::string& text) {
  std::string lower;
  for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return IsInteger(text) || lower == "true" || lower == "false";
}

// Whether the line could close a quoted field opened on a line before it:
// its first run of quote chars of odd length is followed by a TAB or by
// nothing but blanks. The export's own last line of a field is such a line.
bool CanCloseAField(std::string_view line) {
  size_t pos = 0;
  while ((pos = line.find('"', pos)) != std::string_view::npos) {
    size_t end = pos;
    while (end < line.size() && line[end] == '"') ++end;
    if ((end - pos) % 2 == 1) return end == line.size() || line[end] == '\t' || TrimBlanks(line.substr(end)).empty();
    pos = end;
  }
  return false;
}

// A line that a peer reading line by line takes for a row: the codec reads
// it alone without error, into at least four fields, the second and third
// integers and the fourth a kind.
bool IsRowOfItsOwn(const std::string& line) {
  if (CanCloseAField(line)) return false;
  std::vector<std::string> fields;
  try {
    CSVUtils().ParseLine(line, fields, kExchangeDelimiter);
  } catch (const ECSVError&) {
    return false;
  }
  return fields.size() >= 4 && IsInteger(fields[1]) && IsInteger(fields[2]) && IsKind(fields[3]);
}

// --- reading any text ---------------------------------------------------------------

void CheckSplit(std::string_view text, const std::vector<TTextLine>& lines) {
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    const TTextLine& line = lines[i];
    Check(line.Text.find_first_of("\r\n") == std::string::npos, "a split line holds no break");
    const bool last = i + 1 == lines.size();
    Check(line.Break == "\r\n" || line.Break == "\r" || line.Break == "\n" || (last && line.Break.empty()),
          "only the last line may end without a break");
    joined += line.Text;
    joined += line.Break;
  }
  Check(joined == text, "the lines with their breaks give the text back");
}

std::string JoinRows(const std::vector<std::string>& rows, const std::string& lineBreak) {
  std::string text = std::string(kExchangeMarker) + lineBreak;
  for (const std::string& row : rows) text += row + lineBreak;
  return text;
}

// A row read from any text, written again and read again, is the same row.
void CheckRewrite(const TExchangeRow& row) {
  const std::string text = JoinRows({FormatExchangeRow(row.Level, row.Entry)}, "\r\n");
  const std::vector<TTextLine> lines = SplitTextLines(text);
  TExchangeReader reader(lines);
  TExchangeRow again;
  Check(reader.Next(again), "a rewritten row is read");
  Check(again.Level == row.Level, "a rewritten row keeps its level");
  Check(SameEntry(again.Entry, row.Entry), "a rewritten row keeps its fields");
  Check(!reader.Next(again), "a rewritten row is one row");
}

// No entry holds a line of the input that was a row of its own: every line
// a row runs over after its first could not have been read as a row.
void CheckHoldsNoRowOfItsOwn(const std::vector<TTextLine>& lines, const TExchangeRow& row) {
  Check(row.LastLine >= row.Line && row.LastLine <= static_cast<int>(lines.size()), "a row's last line is in the text");
  for (int line = row.Line + 1; line <= row.LastLine; ++line) {
    Check(!IsRowOfItsOwn(lines[static_cast<size_t>(line - 1)].Text), "no row holds a line that is a row of its own");
  }
}

void CheckStopMessage(const EExchangeError& error, int lastLine, int lineCount) {
  const std::string message = error.what();
  Check(message.compare(0, kUnclosedMessage.size(), kUnclosedMessage) == 0 ||
            message.compare(0, kNulMessageStart.size(), kNulMessageStart) == 0,
        "a stop names the codec's error or a NUL");
  Check(CharCount(message) <= kLongestMessageChars, "a stop's message stays short");
  Check(message.find("строк") != std::string::npos, "a stop's message names its line");
  Check(error.Line() > lastLine && error.LastLine() >= error.Line() && error.LastLine() <= lineCount,
        "a stop names the row being read");
}

struct TPlacing {
  int Read = 0;           // rows the reader gave
  int Created = 0;        // rows placed
  bool Completed = true;  // false: stopped on a row it could not read or place
  bool PlacingStopped = false;  // stopped by a placing rule, not by the reader
};

// The import's rules without a database: the first row goes to the target,
// a row one level deeper than the row before goes under it, any other row
// under the parent last recorded for its level; a row more than one level
// deeper, or on a level with no parent, stops the import.
TPlacing PlaceRows(const std::vector<TTextLine>& lines, bool checkRows) {
  TPlacing placing;
  TExchangeReader reader(lines);
  if (!reader.IsExchangeText()) return placing;
  std::vector<std::optional<int>> parents;
  auto setParent = [&parents](int level, int id) {
    if (static_cast<size_t>(level) >= parents.size()) parents.resize(static_cast<size_t>(level) + 1);
    parents[static_cast<size_t>(level)] = id;
  };
  auto parentOf = [&parents](int level) -> std::optional<int> {
    if (static_cast<size_t>(level) >= parents.size()) return std::nullopt;
    return parents[static_cast<size_t>(level)];
  };

  int lastLine = 1;
  try {
    TExchangeRow row;
    if (!reader.Next(row)) return placing;
    setParent(row.Level, 0);
    for (int id = 1;; ++id) {
      ++placing.Read;
      Check(row.Line > lastLine && row.Line <= static_cast<int>(lines.size()), "rows move forward in the text");
      Check(row.Level >= 0, "levels are not negative");
      lastLine = row.LastLine;
      if (checkRows) {
        CheckRewrite(row);
        CheckHoldsNoRowOfItsOwn(lines, row);
      }
      if (!parentOf(row.Level)) {
        placing.Completed = false;
        placing.PlacingStopped = true;
        return placing;
      }
      ++placing.Created;
      TExchangeRow next;
      if (!reader.Next(next)) return placing;
      if (next.Level > row.Level + 1) {
        ++placing.Read;
        placing.Completed = false;
        placing.PlacingStopped = true;
        return placing;
      }
      if (next.Level > row.Level) setParent(next.Level, id);
      row = std::move(next);
    }
  } catch (const EExchangeError& error) {
    CheckStopMessage(error, lastLine, static_cast<int>(lines.size()));
    placing.Completed = false;
    return placing;
  }
}

void FuzzAsText(std::string_view text) {
  const std::vector<TTextLine> lines = SplitTextLines(text);
  CheckSplit(text, lines);
  PlaceRows(lines, true);

  const std::string marked = std::string(kExchangeMarker) + "\r\n" + std::string(text);
  const std::vector<TTextLine> markedLines = SplitTextLines(marked);
  const TPlacing placing = PlaceRows(markedLines, true);
  const int counted = CountExchangeRows(markedLines);
  Check(placing.PlacingStopped ? counted >= placing.Read : counted == placing.Read,
        "the row count is what the reader gives");
}

// --- writing entries and reading them back ----------------------------------------

// A text made of pieces that exercise the writer: line breaks, quote chars,
// TABs, numbers and kinds (lines that look like rows), the continuation
// mark, the marker line, and plain bytes.
std::string PieceText(FuzzedDataProvider& provider, size_t maxPieces) {
  static const char* const kPieces[] = {"\r\n", "\n", "\r", "\t", "\"", "\"\"", "\">", ">", " ", "0", "1", "-7",
                                        "+3", "True", "false", "А", "\tB\t1\t0\t0\t", "x\t2\t3\t1",
                                        "#ZORVANA-DIRECTORY-EXCHANGE#"};
  constexpr size_t kCount = sizeof kPieces / sizeof kPieces[0];
  std::string text;
  const size_t pieces = provider.ConsumeIntegralInRange<size_t>(0, maxPieces);
  for (size_t i = 0; i < pieces && provider.remaining_bytes() > 0; ++i) {
    const size_t choice = provider.ConsumeIntegralInRange<size_t>(0, kCount);
    text += choice < kCount ? std::string(kPieces[choice]) : provider.ConsumeRandomLengthString(8);
  }
  return text;
}

std::string EntryText(FuzzedDataProvider& provider, size_t maxLength) {
  return provider.ConsumeBool() ? provider.ConsumeRandomLengthString(maxLength) : PieceText(provider, maxLength / 4);
}

void FuzzWrittenEntries(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  static const char* const kBreaks[] = {"\r\n", "\n", "\r"};
  const std::string lineBreak = kBreaks[provider.ConsumeIntegralInRange<int>(0, 2)];

  std::vector<TExchangeRow> written;
  std::vector<std::string> rows;
  int firstLevel = 0;
  while (provider.remaining_bytes() > 0 && written.size() < 32) {
    TExchangeRow row;
    if (written.empty()) {
      firstLevel = provider.ConsumeIntegralInRange<int>(0, 3);
      row.Level = firstLevel;
    } else {
      row.Level = provider.ConsumeIntegralInRange<int>(firstLevel, written.back().Level + 1);
    }
    row.Entry.Title = EntryText(provider, 64);
    row.Entry.OrderPosition = provider.ConsumeIntegral<int32_t>();
    row.Entry.Flags = provider.ConsumeIntegral<int32_t>();
    row.Entry.IsFolder = provider.ConsumeBool();
    row.Entry.Description = EntryText(provider, 256);
    // A NUL is refused on import; the window never exports one.
    if (row.Entry.Title.find('\0') != std::string::npos || row.Entry.Description.find('\0') != std::string::npos)
      continue;
    rows.push_back(FormatExchangeRow(row.Level, row.Entry));
    written.push_back(row);

    // Peers read single-line rows with the plain codec.
    if (rows.back().find_first_of("\r\n") == std::string::npos) {
      std::vector<std::string> fields;
      CSVUtils().ParseLine(rows.back(), fields, kExchangeDelimiter);
      std::vector<std::string> expected = {row.Entry.Title, std::to_string(row.Entry.OrderPosition),
                                           std::to_string(row.Entry.Flags), row.Entry.IsFolder ? "1" : "0"};
      if (!row.Entry.Description.empty()) expected.push_back(row.Entry.Description);
      Check(fields == expected, "a single-line row reads the same with the plain codec");
    }
  }

  const std::string text = JoinRows(rows, lineBreak);
  const std::vector<TTextLine> lines = SplitTextLines(text);
  TExchangeReader reader(lines);
  Check(reader.IsExchangeText() || written.empty(), "the written text is an exchange text");
  int line = 2;
  for (size_t i = 0; i < written.size(); ++i) {
    TExchangeRow read;
    Check(reader.Next(read), "every written row is read");
    Check(read.Level == written[i].Level, "a written row keeps its level");
    Check(read.Line == line, "a written row starts on its line");
    line += static_cast<int>(SplitTextLines(rows[i]).size());
    Check(read.LastLine == line - 1, "a written row ends on its last line");
    Check(SameEntry(read.Entry, written[i].Entry), "a written row keeps its fields");
    CheckHoldsNoRowOfItsOwn(lines, read);
  }
  TExchangeRow extra;
  Check(!reader.Next(extra), "no row after the written ones");

  const TPlacing placing = PlaceRows(lines, false);
  Check(placing.Completed && placing.Created == static_cast<int>(written.size()),
        "written rows place without a stop");
  Check(CountExchangeRows(lines) == static_cast<int>(written.size()), "the row count of a written text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzAsText(std::string_view(reinterpret_cast<const char*>(data), size));
  FuzzWrittenEntries(data, size);
  return 0;
}
