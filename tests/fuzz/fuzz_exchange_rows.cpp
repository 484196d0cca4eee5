// libFuzzer target for the exchange rows. Each input is used twice:
//  - as a clipboard text (as it is, and with the marker line put in front):
//    split into lines and read row by row under the import's placing rules,
//    without a database; every row read must write out and read back the
//    same;
//  - as the source of a few entries in a valid tree order: written as the
//    export writes them, joined, split and read back, they must come out
//    unchanged, at their levels and lines, and place without a stop.
// A broken property aborts, so libFuzzer keeps the input.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "uExchangeRows.h"
#include "uQmCSV.h"

namespace {

const std::string kUnclosedMessage = "Некорректное завершение CSV-строки: ";

void Check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n", property);
  std::abort();
}

bool SameEntry(const TExchangeEntry& a, const TExchangeEntry& b) {
  return a.Title == b.Title && a.OrderPosition == b.OrderPosition && a.Flags == b.Flags &&
         a.IsFolder == b.IsFolder && a.Description == b.Description;
}

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

struct TPlacing {
  int Created = 0;
  bool Completed = true;  // false: stopped on a row it could not read or place
};

// The import's rules without a database: the first row goes to the target,
// a row one level deeper than the row before goes under it, any other row
// under the parent last recorded for its level; a row more than one level
// deeper, or on a level with no parent, stops the import.
TPlacing PlaceRows(const std::vector<TTextLine>& lines, bool checkRewrite) {
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
      Check(row.Line > lastLine && row.Line <= static_cast<int>(lines.size()), "rows move forward in the text");
      Check(row.Level >= 0, "levels are not negative");
      lastLine = row.Line;
      if (checkRewrite) CheckRewrite(row);
      if (!parentOf(row.Level)) {
        placing.Completed = false;
        return placing;
      }
      ++placing.Created;
      TExchangeRow next;
      if (!reader.Next(next)) return placing;
      if (next.Level > row.Level + 1) {
        placing.Completed = false;
        return placing;
      }
      if (next.Level > row.Level) setParent(next.Level, id);
      row = std::move(next);
    }
  } catch (const ECSVError& error) {
    const std::string message = error.what();
    Check(message.compare(0, kUnclosedMessage.size(), kUnclosedMessage) == 0, "the codec's error message");
    Check(reader.CurrentLine() > lastLine, "the error names the row being read");
    placing.Completed = false;
    return placing;
  }
}

void FuzzAsText(std::string_view text) {
  const std::vector<TTextLine> lines = SplitTextLines(text);
  CheckSplit(text, lines);
  PlaceRows(lines, true);

  const std::string marked = std::string(kExchangeMarker) + "\r\n" + std::string(text);
  PlaceRows(SplitTextLines(marked), true);
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
    row.Entry.Title = provider.ConsumeRandomLengthString(64);
    row.Entry.OrderPosition = provider.ConsumeIntegral<int32_t>();
    row.Entry.Flags = provider.ConsumeIntegral<int32_t>();
    row.Entry.IsFolder = provider.ConsumeBool();
    row.Entry.Description = provider.ConsumeRandomLengthString(256);
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
    Check(SameEntry(read.Entry, written[i].Entry), "a written row keeps its fields");
    line += static_cast<int>(SplitTextLines(rows[i]).size());
  }
  TExchangeRow extra;
  Check(!reader.Next(extra), "no row after the written ones");

  const TPlacing placing = PlaceRows(lines, false);
  Check(placing.Completed && placing.Created == static_cast<int>(written.size()),
        "written rows place without a stop");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzAsText(std::string_view(reinterpret_cast<const char*>(data), size));
  FuzzWrittenEntries(data, size);
  return 0;
}
