#include "uIniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "uText.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\r\v\f";
// Used for added lines when the file has no line break to copy.
constexpr std::string_view kDefaultLineEnding = "\n";

// ---- Files ---------------------------------------------------------------

class TFileDescriptor {
 public:
  explicit TFileDescriptor(int fd) : FFd(fd) {}
  ~TFileDescriptor() {
    if (FFd >= 0) ::close(FFd);
  }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;

  int Get() const { return FFd; }
  bool IsRegularFile() const {
    struct stat info {};
    return FFd >= 0 && ::fstat(FFd, &info) == 0 && S_ISREG(info.st_mode);
  }

 private:
  int FFd;
};

bool IsExistingRegularFile(const std::string& name) {
  struct stat info {};
  return ::stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// O_NONBLOCK keeps a FIFO put in the file's place from hanging the program.
std::optional<std::string> ReadWholeFile(const std::string& name) {
  TFileDescriptor file(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.IsRegularFile()) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  for (;;) {
    ssize_t count = ::read(file.Get(), buffer, sizeof buffer);
    if (count == 0) return bytes;
    if (count < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    bytes.append(buffer, static_cast<size_t>(count));
  }
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(count));
  }
  return true;
}

// Opened without O_CREAT: a file that is gone stays gone.
bool RewriteExistingFile(const std::string& name, std::string_view bytes) {
  TFileDescriptor file(::open(name.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.IsRegularFile()) return false;
  if (::ftruncate(file.Get(), 0) != 0) return false;
  return WriteAll(file.Get(), bytes);
}

// ---- Lines ---------------------------------------------------------------

std::string_view Trim(std::string_view text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

// As Windows does: one pair of matching quotes around the whole value goes.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string FoldName(std::string_view name) { return Utf8ToLower(Trim(name)); }

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

struct TRawLine {
  std::string_view Content;
  std::string_view Ending;  // "\r\n", "\n" or empty at the very end
};

std::vector<TRawLine> SplitLines(std::string_view body) {
  std::vector<TRawLine> lines;
  while (!body.empty()) {
    size_t newline = body.find('\n');
    size_t length = newline == std::string_view::npos ? body.size() : newline + 1;
    size_t contentLength = newline == std::string_view::npos ? body.size() : newline;
    if (contentLength > 0 && newline != std::string_view::npos && body[contentLength - 1] == '\r') {
      --contentLength;
    }
    lines.push_back(
        {body.substr(0, contentLength), body.substr(contentLength, length - contentLength)});
    body.remove_prefix(length);
  }
  return lines;
}

std::string SectionHeader(std::string_view section) {
  std::string header;
  header.reserve(section.size() + 2);
  header += '[';
  header += section;
  header += ']';
  return header;
}

std::optional<std::string_view> SectionName(std::string_view text) {
  std::string_view trimmed = Trim(text);
  if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
  size_t close = trimmed.rfind(']');
  if (close == std::string_view::npos || close == 0) return std::nullopt;
  return Trim(trimmed.substr(1, close - 1));
}

struct TKeyLine {
  std::string_view Key;
  size_t ValueStart;  // offset of the value in the line, after the blanks
};

std::optional<TKeyLine> ParseKeyLine(std::string_view text) {
  std::string_view trimmed = Trim(text);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  size_t valueStart = text.find_first_not_of(kBlanks, equals + 1);
  // An empty value is replaced right after "=", not after trailing blanks.
  if (valueStart == std::string_view::npos) valueStart = equals + 1;
  return TKeyLine{Trim(text.substr(0, equals)), valueStart};
}

std::string_view ValueOf(std::string_view text, const TKeyLine& line) {
  return Unquote(Trim(text.substr(line.ValueStart)));
}

// ---- Numbers -------------------------------------------------------------

// Eight hex digits at most; like Windows, 0x80000000 and up are the negative
// numbers with that bit pattern.
std::optional<int> ParseHex(std::string_view digits) {
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  if (value > UINT32_MAX) return std::nullopt;
  return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

std::optional<int> ParseDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  // from_chars would take a second sign; the digits must stand alone.
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<int> ParseInteger(std::string_view text) {
  if (text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return ParseHex(text.substr(2));
  }
  return ParseDecimal(text);
}

}  // namespace

// ---- TIniFile ------------------------------------------------------------

TIniFile::TIniFile(std::string fileName) : FFileName(std::move(fileName)) {
  try {
    if (std::optional<std::string> bytes = ReadWholeFile(FFileName)) {
      Parse(*bytes);
      FLoaded = true;
    }
  } catch (const std::exception&) {
    // An unreadable file reads as empty.
    FLines.clear();
    FLoaded = false;
  }
}

void TIniFile::Parse(const std::string& bytes) {
  std::string_view body = bytes;
  FEncoding = IsValidUtf8(body) ? TIniEncoding::Utf8 : TIniEncoding::Win1251;
  if (FEncoding == TIniEncoding::Utf8 && body.starts_with(kByteOrderMark)) {
    FHasByteOrderMark = true;
    body.remove_prefix(kByteOrderMark.size());
  }
  for (const TRawLine& raw : SplitLines(body)) {
    std::string text = FEncoding == TIniEncoding::Utf8 ? std::string(raw.Content)
                                                       : Win1251ToUtf8(raw.Content);
    FLines.push_back({std::move(text), std::string(raw.Content), std::string(raw.Ending)});
  }
}

std::string TIniFile::Encode(std::string_view utf8) const {
  if (FEncoding == TIniEncoding::Win1251) return Utf8ToWin1251(utf8);
  return std::string(utf8);
}

std::string TIniFile::NewLineEnding() const {
  for (const TLine& line : FLines) {
    if (!line.Ending.empty()) return line.Ending;
  }
  return std::string(kDefaultLineEnding);
}

std::optional<size_t> TIniFile::FindSection(std::string_view section) const {
  const std::string wanted = FoldName(section);
  for (size_t i = 0; i < FLines.size(); ++i) {
    std::optional<std::string_view> name = SectionName(FLines[i].Text);
    if (name && FoldName(*name) == wanted) return i;
  }
  return std::nullopt;
}

size_t TIniFile::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < FLines.size() && !SectionName(FLines[i].Text)) ++i;
  return i;
}

std::optional<size_t> TIniFile::FindKey(std::string_view section, std::string_view key) const {
  std::optional<size_t> header = FindSection(section);
  if (!header) return std::nullopt;
  const std::string wanted = FoldName(key);
  for (size_t i = *header + 1; i < SectionEnd(*header); ++i) {
    std::optional<TKeyLine> line = ParseKeyLine(FLines[i].Text);
    if (line && FoldName(line->Key) == wanted) return i;
  }
  return std::nullopt;
}

size_t TIniFile::AfterLastNonBlank(size_t header) const {
  size_t after = header + 1;
  for (size_t i = header + 1; i < SectionEnd(header); ++i) {
    if (!Trim(FLines[i].Text).empty()) after = i + 1;
  }
  return after;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 const std::string& defaultValue) const {
  std::optional<size_t> index = FindKey(section, key);
  if (!index) return defaultValue;
  const std::string& text = FLines[*index].Text;
  return std::string(ValueOf(text, *ParseKeyLine(text)));
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
  std::optional<int> value = ParseInteger(ReadString(section, key, {}));
  return value.value_or(defaultValue);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  for (std::string_view text : {section, key, value}) {
    if (HasLineBreak(text) || !IsValidUtf8(text)) return false;
  }
  const std::string keyLine = std::string(key) + "=" + std::string(value);
  try {
    if (std::optional<size_t> index = FindKey(section, key)) {
      ReplaceValue(*index, value);
    } else if (std::optional<size_t> header = FindSection(section)) {
      InsertLines(AfterLastNonBlank(*header), {keyLine});
    } else {
      InsertLines(FLines.size(), {SectionHeader(section), keyLine});
    }
  } catch (const TEncodingError&) {
    return false;
  }
  return true;
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

void TIniFile::ReplaceValue(size_t index, std::string_view value) {
  TLine& line = FLines[index];
  const TKeyLine keyLine = *ParseKeyLine(line.Text);
  // The same value leaves the line's bytes alone, blanks and quotes included.
  if (ValueOf(line.Text, keyLine) == value) return;
  std::string text = line.Text.substr(0, keyLine.ValueStart);
  text += value;
  std::string raw = Encode(text);
  line.Text = std::move(text);
  line.Raw = std::move(raw);
  FModified = true;
}

void TIniFile::InsertLines(size_t index, const std::vector<std::string>& texts) {
  const std::string ending = NewLineEnding();
  std::vector<TLine> added;
  for (const std::string& text : texts) added.push_back({text, Encode(text), ending});
  // A last line without a break gets one, or the new line would join it.
  if (index > 0 && FLines[index - 1].Ending.empty()) FLines[index - 1].Ending = ending;
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(index), added.begin(), added.end());
  FModified = true;
}

bool TIniFile::UpdateExistingFile() {
  if (!FLoaded) return false;
  if (!FModified) return IsExistingRegularFile(FFileName);
  std::string bytes(FHasByteOrderMark ? kByteOrderMark : std::string_view());
  for (const TLine& line : FLines) {
    bytes += line.Raw;
    bytes += line.Ending;
  }
  if (!RewriteExistingFile(FFileName, bytes)) return false;
  FModified = false;
  return true;
}
