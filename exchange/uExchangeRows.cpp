#include "uExchangeRows.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "uQmCSV.h"

namespace {

constexpr char kQuote = '"';

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool HasOuterBlank(std::string_view text) {
  return !text.empty() && (IsBlankChar(text.front()) || IsBlankChar(text.back()));
}

std::string DoubledQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out += c;
    if (c == kQuote) out += kQuote;
  }
  return out;
}

// The text between quote chars, every quote char doubled. When it runs over
// several lines, a line between the first and the last that would look like
// a row of its own gets the continuation mark (the first line is the row's
// own, the last one holds the closing quote).
std::string ForceQuoted(std::string_view text) {
  std::vector<TTextLineView> lines;
  for (size_t pos = 0; pos < text.size();) lines.push_back(NextTextLine(text, pos));
  if (lines.empty() || !lines.back().Break.empty()) lines.push_back({});
  std::string out(1, kQuote);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string written = DoubledQuotes(lines[i].Text);
    const bool between = i > 0 && i + 1 < lines.size();
    if (between && LooksLikeExchangeRow(written)) out += kContinuationMark;
    out += written;
    out += lines[i].Break;
  }
  out += kQuote;
  return out;
}

std::string ExchangeField(std::string_view text, bool quoteWhenEmpty) {
  if ((quoteWhenEmpty && text.empty()) || HasLineBreak(text) || HasOuterBlank(text))
    return ForceQuoted(text);
  return QuoteCSVField(text, kExchangeDelimiter, kQuote);
}

int CountLeadingTabs(std::string_view line) {
  int count = 0;
  while (static_cast<size_t>(count) < line.size() && line[static_cast<size_t>(count)] == '\t') ++count;
  return count;
}

// Nothing but blanks and TABs. A NUL is no blank here: a line holding one
// is refused, never taken for the end of the rows.
bool IsBlankLine(std::string_view line) {
  return TrimBlanks(line).empty() && line.find('\0') == std::string_view::npos;
}

std::optional<int32_t> ParseExchangeInteger(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string LowerAscii(std::string_view text) {
  std::string lower;
  for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower;
}

bool IsKindText(std::string_view text) {
  const std::string lower = LowerAscii(text);
  return ParseExchangeInteger(text) || lower == "true" || lower == "false";
}

constexpr int kTitleField = 0;
constexpr int kDescriptionField = 4;

// The open field's index once a continuation line has closed it: -1, or
// the field the rest of that line leaves open in its turn. tail starts at
// the closing quote's end.
std::optional<int> FieldOpenAfterClosing(std::string_view tail, int openField) {
  const bool endsLine = TrimBlanks(tail).empty();
  if (openField == kDescriptionField) return endsLine ? std::optional<int>(-1) : std::nullopt;
  if (openField != kTitleField) return std::nullopt;  // the writer quotes no other field over lines
  if (endsLine) return -1;
  if (tail.front() != kExchangeDelimiter) return std::nullopt;
  return ReadCSVFields(TrimBlanksAtEnd(tail.substr(1)), kExchangeDelimiter, kQuote, kTitleField + 1).OpenField;
}

}  // namespace

std::string ExchangeTitleField(std::string_view title) { return ExchangeField(title, true); }

std::string ExchangeDescriptionField(std::string_view description) {
  return ExchangeField(description, false);
}

std::string FormatExchangeRow(int level, const TExchangeEntry& entry) {
  std::string row(static_cast<size_t>(level), '\t');
  row += ExchangeTitleField(entry.Title);
  row += '\t';
  row += std::to_string(entry.OrderPosition);
  row += '\t';
  row += std::to_string(entry.Flags);
  row += '\t';
  row += entry.IsFolder ? "1" : "0";
  row += '\t';
  row += ExchangeDescriptionField(entry.Description);
  return row;
}

bool LooksLikeExchangeRow(std::string_view line) {
  const TCSVLine read = ReadCSVLine(line, kExchangeDelimiter, kQuote);
  if (!read.Readable || read.OpenField >= 0 || read.Fields.size() < 4) return false;
  return ParseExchangeInteger(read.Fields[1]) && ParseExchangeInteger(read.Fields[2]) && IsKindText(read.Fields[3]);
}

int32_t ExchangeInteger(const std::vector<std::string>& fields, size_t index) {
  if (index >= fields.size()) return 0;
  return ParseExchangeInteger(fields[index]).value_or(0);
}

bool ExchangeBoolean(const std::vector<std::string>& fields, size_t index) {
  if (index >= fields.size()) return false;
  const std::string& text = fields[index];
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos)
    return digits.find_first_not_of('0') != std::string_view::npos;
  return LowerAscii(text) == "true";
}

// --- reading ---------------------------------------------------------------------------

TExchangeReader::TExchangeReader(const std::vector<TTextLine>& lines) : FLines(lines) {}

bool TExchangeReader::IsExchangeText() const {
  if (FLines.empty() || FLines[0].Text != kExchangeMarker) return false;
  return std::any_of(FLines.begin() + 1, FLines.end(), [](const TTextLine& line) { return !IsBlankLine(line.Text); });
}

bool TExchangeReader::AtEnd() const { return FNext >= FLines.size() || IsBlankLine(FLines[FNext].Text); }

int TExchangeReader::LinesAfterBlank() const {
  if (FBlankLine == 0) return 0;
  size_t last = FLines.size();
  while (last > static_cast<size_t>(FBlankLine) && IsBlankLine(FLines[last - 1].Text)) --last;
  return static_cast<int>(last) - FBlankLine;
}

void TExchangeReader::CheckForNul(size_t index) const {
  if (FLines[index].Text.find('\0') == std::string::npos) return;
  throw EExchangeError(static_cast<int>(FNext) + 1, static_cast<int>(index) + 1,
                       "В строке " + std::to_string(index + 1) +
                           " текста есть символ с кодом 0 (NUL): такой текст нельзя сохранить в справочнике.");
}

// Whether the line at index goes on with the row's open quoted field (see
// the header), and if so, the text it adds and the field left open after it.
bool TExchangeReader::ContinuesOpenField(size_t index, int& openField, std::string& content) const {
  std::string_view line = FLines[index].Text;
  if (line.starts_with(kContinuationMark)) {
    line.remove_prefix(kContinuationMark.size());
    if (FindOddQuoteRun(line, 0, kQuote) != std::string_view::npos) return false;
    content = line;
    return true;
  }
  const size_t closingEnd = FindOddQuoteRun(line, 0, kQuote);
  if (closingEnd == std::string_view::npos) {
    if (LooksLikeExchangeRow(line)) return false;
    content = line;
    return true;
  }
  const std::optional<int> stillOpen = FieldOpenAfterClosing(line.substr(closingEnd), openField);
  if (!stillOpen) return false;
  openField = *stillOpen;
  content = line;
  return true;
}

std::string TExchangeReader::JoinRow(size_t first, size_t& last) {
  std::string row = FLines[first].Text;
  FLineStarts.assign(1, 0);
  int openField = ReadCSVLine(row, kExchangeDelimiter, kQuote).OpenField;
  std::string content;
  for (last = first; openField >= 0 && last + 1 < FLines.size(); ++last) {
    if ((last + 1 - first) % kLinesPerProgress == 0 && OnLongRow && !OnLongRow())
      throw EExchangeCancelled(static_cast<int>(first) + 1);
    if (!ContinuesOpenField(last + 1, openField, content)) break;
    CheckForNul(last + 1);
    row += FLines[last].Break;
    FLineStarts.push_back(row.size());
    row += content;
  }
  return row;
}

// The codec's message with the number of the line where the unclosed field
// opens (position counts from the row's first character that is no blank).
void TExchangeReader::RaiseUnreadable(const std::string& row, size_t last, const ECSVError& error) const {
  const std::string_view trimmed = TrimBlanks(row);
  const size_t offset = static_cast<size_t>(trimmed.data() - row.data()) + error.Position();
  const size_t lineInRow =
      static_cast<size_t>(std::upper_bound(FLineStarts.begin(), FLineStarts.end(), offset) - FLineStarts.begin()) - 1;
  throw EExchangeError(static_cast<int>(FNext) + 1, static_cast<int>(last) + 1,
                       std::string(error.what()) + " (строка " + std::to_string(FNext + lineInRow + 1) + ")");
}

bool TExchangeReader::Next(TExchangeRow& row) {
  if (FNext >= FLines.size()) return false;
  CheckForNul(FNext);
  if (IsBlankLine(FLines[FNext].Text)) {
    FBlankLine = static_cast<int>(FNext) + 1;
    return false;
  }
  size_t last = FNext;
  const std::string text = JoinRow(FNext, last);

  std::vector<std::string> fields;
  TQmCSV reader;
  reader.OnField = [&fields](const std::string& field, int, int, bool first) {
    if (first) fields.clear();
    fields.push_back(field);
    return true;
  };
  try {
    reader.Parse({text}, kExchangeDelimiter);
  } catch (const ECSVError& error) {
    RaiseUnreadable(text, last, error);
  }

  row = TExchangeRow();
  row.Level = CountLeadingTabs(text);
  row.Line = static_cast<int>(FNext) + 1;
  row.LastLine = static_cast<int>(last) + 1;
  row.Entry.Title = fields.empty() ? std::string() : fields[0];
  row.Entry.OrderPosition = ExchangeInteger(fields, 1);
  row.Entry.Flags = ExchangeInteger(fields, 2);
  row.Entry.IsFolder = ExchangeBoolean(fields, 3);
  row.Entry.Description = fields.size() > 4 ? fields[4] : std::string();
  FNext = last + 1;
  return true;
}

int CountExchangeRows(const std::vector<TTextLine>& lines) {
  TExchangeReader reader(lines);
  if (!reader.IsExchangeText()) return 0;
  int rows = 0;
  TExchangeRow row;
  try {
    while (reader.Next(row)) ++rows;
  } catch (const EExchangeError&) {
    // The import stops at that row: the rows before it are the ones it reads.
  }
  return rows;
}
