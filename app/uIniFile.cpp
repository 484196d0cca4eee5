#include "uIniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "uText.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
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

struct TFileContent {
  bool Read = false;
  unsigned long long Size = 0;
  std::string Bytes;
};

// A regular file of at most maxSize bytes, read whole; a larger one is only
// measured. O_NONBLOCK keeps a FIFO put in the file's place from hanging the
// program.
TFileContent ReadWholeFile(const std::string& name, unsigned long long maxSize) {
  TFileContent content;
  TFileDescriptor file(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info {};
  if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return content;
  content.Size = static_cast<unsigned long long>(info.st_size);
  if (content.Size > maxSize) return content;
  std::string& bytes = content.Bytes;
  bytes.reserve(static_cast<size_t>(content.Size));
  std::vector<char> buffer(1 << 20);
  for (;;) {
    ssize_t count = ::read(file.Get(), buffer.data(), buffer.size());
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return content;
    if (count == 0) break;
    bytes.append(buffer.data(), static_cast<size_t>(count));
    // A file that grows past the limit while it is read counts as too large.
    content.Size = std::max<unsigned long long>(content.Size, bytes.size());
    if (content.Size > maxSize) return content;
  }
  content.Read = true;
  return content;
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

// As Windows does: one pair of matching quotes around the whole value goes.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string FoldName(std::string_view name) { return Utf8ToLower(TrimBlanks(name)); }

// Whether a name in the file is the wanted one (given folded). Lower-casing
// keeps the byte length of every letter it changes (Latin and Cyrillic), so
// names of another length are passed over without folding them.
bool IsName(std::string_view name, const std::string& folded) {
  name = TrimBlanks(name);
  return name.size() == folded.size() && Utf8ToLower(name) == folded;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
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
  std::string_view trimmed = TrimBlanks(text);
  if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
  size_t close = trimmed.rfind(']');
  if (close == std::string_view::npos || close == 0) return std::nullopt;
  return TrimBlanks(trimmed.substr(1, close - 1));
}

struct TKeyLine {
  std::string_view Key;
  size_t ValueStart;  // offset of the value in the line, after the blanks
};

std::optional<TKeyLine> ParseKeyLine(std::string_view text) {
  std::string_view trimmed = TrimBlanks(text);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  size_t equals = text.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  size_t valueStart = equals + 1;
  while (valueStart < text.size() && IsBlankChar(text[valueStart])) ++valueStart;
  // An empty value is replaced right after "=", not after trailing blanks.
  if (valueStart == text.size()) valueStart = equals + 1;
  return TKeyLine{TrimBlanks(text.substr(0, equals)), valueStart};
}

std::string_view ValueOf(std::string_view text, const TKeyLine& line) {
  return Unquote(TrimBlanks(text.substr(line.ValueStart)));
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
    TFileContent content = ReadWholeFile(FFileName, kMaxIniFileSize);
    FFileSize = content.Size;
    FTooLarge = content.Size > kMaxIniFileSize;
    if (content.Read) {
      Parse(std::move(content.Bytes));
      FLoaded = true;
    }
  } catch (const std::exception&) {
    // An unreadable file reads as empty.
    FText.clear();
    FLoaded = false;
  }
}

void TIniFile::Parse(std::string bytes) {
  FEncoding = IsValidUtf8(bytes) ? TIniEncoding::Utf8 : TIniEncoding::Win1251;
  if (FEncoding == TIniEncoding::Win1251) {
    // Every byte has a character of its own, so writing the text back in
    // Windows-1251 gives the same bytes.
    FText = Win1251ToUtf8(bytes);
    return;
  }
  FHasByteOrderMark = std::string_view(bytes).starts_with(kByteOrderMark);
  if (FHasByteOrderMark) bytes.erase(0, kByteOrderMark.size());
  FText = std::move(bytes);
}

std::string TIniFile::Encode(std::string_view utf8) const {
  if (FEncoding == TIniEncoding::Win1251) return Utf8ToWin1251(utf8);
  return std::string(utf8);
}

std::string TIniFile::NewLineEnding() const {
  for (size_t pos = 0; pos < FText.size();) {
    const TTextLineView line = NextTextLine(FText, pos);
    if (!line.Break.empty()) return std::string(line.Break);
  }
  return std::string(kDefaultLineEnding);
}

std::optional<TIniFile::TSpan> TIniFile::FindSection(std::string_view section) const {
  const std::string wanted = FoldName(section);
  for (size_t pos = 0; pos < FText.size();) {
    const size_t start = pos;
    const TTextLineView line = NextTextLine(FText, pos);
    std::optional<std::string_view> name = SectionName(line.Text);
    if (name && IsName(*name, wanted)) return TSpan{start, start + line.Text.size(), pos};
  }
  return std::nullopt;
}

std::optional<TIniFile::TSpan> TIniFile::FindKey(std::string_view section, std::string_view key) const {
  std::optional<TSpan> header = FindSection(section);
  if (!header) return std::nullopt;
  const std::string wanted = FoldName(key);
  for (size_t pos = header->Next; pos < FText.size();) {
    const size_t start = pos;
    const TTextLineView line = NextTextLine(FText, pos);
    if (SectionName(line.Text)) break;
    std::optional<TKeyLine> keyLine = ParseKeyLine(line.Text);
    if (keyLine && IsName(keyLine->Key, wanted)) return TSpan{start, start + line.Text.size(), pos};
  }
  return std::nullopt;
}

size_t TIniFile::AfterLastNonBlank(const TSpan& header) const {
  size_t after = header.Next;
  for (size_t pos = header.Next; pos < FText.size();) {
    const TTextLineView line = NextTextLine(FText, pos);
    if (SectionName(line.Text)) break;
    if (!TrimBlanks(line.Text).empty()) after = pos;
  }
  return after;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 const std::string& defaultValue) const {
  std::optional<TSpan> line = FindKey(section, key);
  if (!line) return defaultValue;
  const std::string_view text = std::string_view(FText).substr(line->Start, line->End - line->Start);
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
    if (std::optional<TSpan> line = FindKey(section, key)) {
      ReplaceValue(*line, value);
    } else if (std::optional<TSpan> header = FindSection(section)) {
      InsertLines(AfterLastNonBlank(*header), {keyLine});
    } else {
      InsertLines(FText.size(), {SectionHeader(section), keyLine});
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

void TIniFile::ReplaceValue(const TSpan& line, std::string_view value) {
  const std::string_view text = std::string_view(FText).substr(line.Start, line.End - line.Start);
  const TKeyLine keyLine = *ParseKeyLine(text);
  // The same value leaves the line's bytes alone, blanks and quotes included.
  if (ValueOf(text, keyLine) == value) return;
  Encode(value);  // refuses what the file cannot hold
  FText.replace(line.Start + keyLine.ValueStart, line.End - line.Start - keyLine.ValueStart, value);
  FModified = true;
}

void TIniFile::InsertLines(size_t offset, const std::vector<std::string>& texts) {
  const std::string ending = NewLineEnding();
  std::string added;
  // A last line without a break gets one, or the new line would join it.
  const bool joinsLastLine = offset > 0 && offset == FText.size() && FText.back() != '\n' && FText.back() != '\r';
  if (joinsLastLine) added += ending;
  for (const std::string& text : texts) added += text + ending;
  Encode(added);  // refuses what the file cannot hold
  FText.insert(offset, added);
  FModified = true;
}

bool TIniFile::UpdateExistingFile() {
  if (!FLoaded) return false;
  if (!FModified) return IsExistingRegularFile(FFileName);
  std::string bytes(FHasByteOrderMark ? kByteOrderMark : std::string_view());
  bytes += Encode(FText);
  if (!RewriteExistingFile(FFileName, bytes)) return false;
  FModified = false;
  return true;
}
