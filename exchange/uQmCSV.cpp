#include "uQmCSV.h"

#include <algorithm>
#include <utility>

#include "uText.h"

namespace {

constexpr std::string_view kUnclosedFieldMessage = "Некорректное завершение CSV-строки: ";
constexpr char kCR = '\r';

bool NeedsQuoting(std::string_view text, char delimiter, char quoteChar) {
  return std::any_of(text.begin(), text.end(),
                     [&](char c) { return c == quoteChar || c == delimiter || c == kCR; });
}

std::string DoubleQuotes(std::string_view text, char quoteChar) {
  std::string result;
  result.reserve(text.size() + 2);
  for (char c : text) {
    result += c;
    if (c == quoteChar) result += c;
  }
  return result;
}

// Every pair of quote chars becomes one; a lone quote char stays as it is.
std::string UndoubleQuotes(std::string_view text, char quoteChar) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    result += text[i];
    const bool pairStarts = text[i] == quoteChar && i + 1 < text.size() && text[i + 1] == quoteChar;
    if (pairStarts) ++i;
  }
  return result;
}

// The closing quote of the quoted field that opens at quoted[0]: the last
// quote char of an odd run directly followed by the delimiter. Odd runs that
// are not followed by it are taken as text. Returns npos when there is none.
size_t FindClosingQuote(std::string_view quoted, char delimiter, char quoteChar) {
  for (size_t runEnd = FindOddQuoteRun(quoted, 1, quoteChar); runEnd != std::string_view::npos;
       runEnd = FindOddQuoteRun(quoted, runEnd, quoteChar)) {
    if (runEnd < quoted.size() && quoted[runEnd] == delimiter) return runEnd - 1;
  }
  return std::string_view::npos;
}

// One field taken from the front of the rest of a line, and how many bytes of
// the rest it used up (its delimiter included).
struct TTakenField {
  std::string Text;
  size_t Consumed;
  bool Readable = true;  // false: a quoted field without a closing quote that does not end with one
  bool Open = false;     // a quoted field with only doubled quote chars after its opening one
};

TTakenField TakeUnquoted(std::string_view rest, char delimiter) {
  const size_t end = rest.find(delimiter);
  if (end == std::string_view::npos) return {std::string(rest), rest.size()};
  return {std::string(rest.substr(0, end)), end + 1};
}

// A quoted field without a closing quote ends the line; it is still read
// when the line ends with a quote char.
TTakenField TakeLastQuoted(std::string_view rest, char quoteChar) {
  const bool open = FindOddQuoteRun(rest, 1, quoteChar) == std::string_view::npos;
  if (rest.back() != quoteChar) return {std::string(), rest.size(), false, open};
  const size_t innerLength = rest.size() > 1 ? rest.size() - 2 : 0;
  return {UndoubleQuotes(rest.substr(1, innerLength), quoteChar), rest.size(), true, open};
}

TTakenField TakeQuoted(std::string_view rest, char delimiter, char quoteChar) {
  const size_t closing = FindClosingQuote(rest, delimiter, quoteChar);
  if (closing == std::string_view::npos) return TakeLastQuoted(rest, quoteChar);
  return {UndoubleQuotes(rest.substr(1, closing - 1), quoteChar), closing + 2};
}

// rest is never empty here.
TTakenField TakeField(std::string_view rest, char delimiter, char quoteChar) {
  if (rest.front() == delimiter) return {std::string(), 1};
  if (rest.front() != quoteChar) return TakeUnquoted(rest, delimiter);
  return TakeQuoted(rest, delimiter, quoteChar);
}

// The unclosed field's text in the message stays readable however long the
// line is.
constexpr size_t kQuotedInMessage = 200;

// line is where it was raised, for the crash report; position is where the
// field opens in the row.
[[noreturn]] void RaiseUnclosedField(std::string_view rest, unsigned line, size_t position) {
  throw ECSVError(std::string(kUnclosedFieldMessage) + ShortenForMessage(rest, kQuotedInMessage), line, position);
}

// The texts of the lines of data.
std::vector<std::string> SplitLines(std::string_view data) {
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < data.size();) lines.emplace_back(NextTextLine(data, pos).Text);
  return lines;
}

// Points the handler's target at a list for one ParseLine and puts the old
// target back afterwards, also when the reader raises.
class TFieldsBinding {
 public:
  TFieldsBinding(std::vector<std::string>*& slot, std::vector<std::string>& fields)
      : FSlot(slot), FPrevious(std::exchange(slot, &fields)) {}
  ~TFieldsBinding() { FSlot = FPrevious; }
  TFieldsBinding(const TFieldsBinding&) = delete;
  TFieldsBinding& operator=(const TFieldsBinding&) = delete;

 private:
  std::vector<std::string>*& FSlot;
  std::vector<std::string>* FPrevious;
};

}  // namespace

ECSVError::ECSVError(const std::string& message, unsigned line, size_t position)
    : std::runtime_error(message),
      FSourceLocation("Unit/uQmCSV, line " + std::to_string(line)),
      FPosition(position) {}

size_t FindOddQuoteRun(std::string_view text, size_t pos, char quoteChar) {
  for (size_t runStart = text.find(quoteChar, pos); runStart != std::string_view::npos;
       runStart = text.find(quoteChar, runStart)) {
    size_t runEnd = runStart;
    while (runEnd < text.size() && text[runEnd] == quoteChar) ++runEnd;
    if ((runEnd - runStart) % 2 == 1) return runEnd;
    runStart = runEnd;
  }
  return std::string_view::npos;
}

TCSVLine ReadCSVFields(std::string_view rest, char delimiter, char quoteChar, int firstIndex) {
  TCSVLine line;
  for (int index = firstIndex; !rest.empty(); ++index) {
    TTakenField taken = TakeField(rest, delimiter, quoteChar);
    rest.remove_prefix(taken.Consumed);
    if (taken.Open) line.OpenField = index;
    if (!taken.Readable) {
      line.Readable = false;
      break;
    }
    line.Fields.push_back(std::move(taken.Text));
  }
  return line;
}

TCSVLine ReadCSVLine(std::string_view line, char delimiter, char quoteChar) {
  return ReadCSVFields(TrimBlanks(line), delimiter, quoteChar, 0);
}

std::string QuoteCSVField(std::string_view text, char delimiter, char quoteChar) {
  std::string copied = DoubleQuotes(text, quoteChar);
  if (!NeedsQuoting(text, delimiter, quoteChar)) return copied;
  return quoteChar + copied + quoteChar;
}

bool TQmCSV::Parse(const std::vector<std::string>& lines, char delimiter) const {
  for (size_t rowIndex = 0; rowIndex < lines.size(); ++rowIndex) {
    const std::string& line = lines[rowIndex];
    if (IsSkipped(line, delimiter)) continue;
    ParseRow(TrimBlanks(line), delimiter, static_cast<int>(rowIndex));
  }
  return true;
}

bool TQmCSV::IsSkipped(std::string_view line, char delimiter) const {
  if (TrimBlanks(line).empty()) return true;
  if (!SkipBlankLines) return false;
  return std::all_of(line.begin(), line.end(),
                     [&](char c) { return c == delimiter || IsBlankChar(c); });
}

void TQmCSV::ParseRow(std::string_view row, char delimiter, int rowIndex) const {
  const size_t rowLength = row.size();
  for (int fieldIndex = 0; !row.empty(); ++fieldIndex) {
    const TTakenField taken = TakeField(row, delimiter, QuoteChar);
    if (!taken.Readable) RaiseUnclosedField(row, __LINE__, rowLength - row.size());
    row.remove_prefix(taken.Consumed);
    if (OnField && !OnField(taken.Text, fieldIndex, rowIndex, fieldIndex == 0)) return;
  }
}

void TQmCSVUtils::ParseLine(const std::string& data, std::vector<std::string>& fields,
                            char delimiter) {
  TQmCSV reader;
  reader.QuoteChar = '"';
  reader.OnField = [this](const std::string& field, int fieldIndex, int rowIndex, bool firstField) {
    return AddField(field, fieldIndex, rowIndex, firstField);
  };
  const TFieldsBinding binding(FFields, fields);
  reader.Parse(SplitLines(data), delimiter);
}

bool TQmCSVUtils::AddField(const std::string& field, int /*fieldIndex*/, int /*rowIndex*/,
                           bool firstField) {
  if (FFields == nullptr) return true;  // called outside ParseLine: nowhere to put it
  if (firstField) FFields->clear();
  FFields->push_back(field);
  return true;
}

TQmCSVUtils& CSVUtils() {
  static TQmCSVUtils instance;
  return instance;
}
