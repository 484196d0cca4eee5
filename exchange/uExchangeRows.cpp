#include "uExchangeRows.h"

#include <charconv>

#include "uQmCSV.h"

namespace {

constexpr char kQuote = '"';

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool HasOuterBlank(std::string_view text) {
  return !text.empty() && (IsBlankChar(text.front()) || IsBlankChar(text.back()));
}

std::string ForceQuoted(std::string_view text) {
  std::string out(1, kQuote);
  for (char c : text) {
    out += c;
    if (c == kQuote) out += kQuote;
  }
  out += kQuote;
  return out;
}

std::string ExchangeField(std::string_view text, bool quoteWhenEmpty) {
  if ((quoteWhenEmpty && text.empty()) || HasLineBreak(text) || HasOuterBlank(text))
    return ForceQuoted(text);
  return QuoteCSVField(text, kExchangeDelimiter, kQuote);
}

// Length of the run of quote chars that ends text at its end (stops at from).
size_t TrailingQuotes(std::string_view text, size_t from) {
  size_t count = 0;
  while (text.size() > from + count && text[text.size() - 1 - count] == kQuote) ++count;
  return count;
}

// True when the row's last field is a quoted field whose closing quote has
// not come yet: the row goes on on the next line. Walks the fields the way
// the codec's reader does.
bool EndsInOpenQuotedField(std::string_view row) {
  std::string_view rest = TrimBlanks(row);
  while (!rest.empty()) {
    if (rest.front() == kExchangeDelimiter) {
      rest.remove_prefix(1);
    } else if (rest.front() != kQuote) {
      size_t end = rest.find(kExchangeDelimiter);
      if (end == std::string_view::npos) return false;
      rest.remove_prefix(end + 1);
    } else {
      // A closing quote ends an odd run of quote chars and is followed by
      // the delimiter.
      size_t pos = 1;
      bool closed = false;
      while (pos < rest.size()) {
        if (rest[pos] != kQuote) {
          ++pos;
          continue;
        }
        size_t run = 0;
        while (pos + run < rest.size() && rest[pos + run] == kQuote) ++run;
        size_t after = pos + run;
        if (run % 2 == 1 && after < rest.size() && rest[after] == kExchangeDelimiter) {
          rest.remove_prefix(after + 1);
          closed = true;
          break;
        }
        pos = after;
      }
      if (!closed) return TrailingQuotes(rest, 1) % 2 == 0;
    }
  }
  return false;
}

int CountLeadingTabs(std::string_view line) {
  int count = 0;
  while (static_cast<size_t>(count) < line.size() && line[static_cast<size_t>(count)] == '\t') ++count;
  return count;
}

bool IsBlankLine(std::string_view line) { return TrimBlanks(line).empty(); }

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

int32_t ExchangeInteger(const std::vector<std::string>& fields, size_t index) {
  if (index >= fields.size()) return 0;
  std::string_view text = fields[index];
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return 0;
  return value;
}

bool ExchangeBoolean(const std::vector<std::string>& fields, size_t index) {
  if (index >= fields.size()) return false;
  const std::string& text = fields[index];
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos)
    return digits.find_first_not_of('0') != std::string_view::npos;
  std::string lower;
  for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower == "true";
}

TExchangeReader::TExchangeReader(const std::vector<TTextLine>& lines) : FLines(lines) {}

bool TExchangeReader::IsExchangeText() const {
  return FLines.size() >= 2 && FLines[0].Text == kExchangeMarker;
}

std::string TExchangeReader::JoinOpenRow(size_t& index) const {
  std::string row = FLines[index].Text;
  while (index + 1 < FLines.size() && EndsInOpenQuotedField(row)) {
    row += FLines[index].Break;
    ++index;
    row += FLines[index].Text;
  }
  return row;
}

bool TExchangeReader::Next(TExchangeRow& row) {
  if (FNext >= FLines.size()) return false;
  FCurrentLine = static_cast<int>(FNext) + 1;
  if (IsBlankLine(FLines[FNext].Text)) return false;
  size_t last = FNext;
  std::string text = JoinOpenRow(last);
  FNext = last + 1;

  std::vector<std::string> fields;
  TQmCSV reader;
  reader.OnField = [&fields](const std::string& field, int, int, bool first) {
    if (first) fields.clear();
    fields.push_back(field);
    return true;
  };
  reader.Parse({text}, kExchangeDelimiter);

  row = TExchangeRow();
  row.Level = CountLeadingTabs(text);
  row.Line = FCurrentLine;
  row.Entry.Title = fields.empty() ? std::string() : fields[0];
  row.Entry.OrderPosition = ExchangeInteger(fields, 1);
  row.Entry.Flags = ExchangeInteger(fields, 2);
  row.Entry.IsFolder = ExchangeBoolean(fields, 3);
  row.Entry.Description = fields.size() > 4 ? fields[4] : std::string();
  return true;
}
