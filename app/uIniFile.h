#pragma once
// A small Windows-style INI file of our own: the settings file and Global.ini.
// The whole file is held in memory as one text, so that a rewrite changes
// only the lines whose values were written and keeps every other byte
// (comments, blank lines, line breaks, a UTF-8 byte order mark) as it was.
// Every lookup and every change walks the text at most once, so a file of
// any size costs time in proportion to its size.
//
// Section and key names match without regard to case. Values are trimmed of
// blanks and of one pair of matching surrounding quotes. The program sees
// UTF-8; a file that is not valid UTF-8 is taken as Windows-1251 (files made
// on Windows) and is written back in Windows-1251.
//
// Nothing here throws on a missing, unreadable or malformed file: reads then
// yield their defaults and writes report false. A file larger than
// kMaxIniFileSize is not read at all (and so never rewritten): these files
// hold a handful of keys, and one of many megabytes is not ours to load.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TIniEncoding { Utf8, Win1251 };

inline constexpr unsigned long long kMaxIniFileSize = 4 * 1024 * 1024;

class TIniFile {
 public:
  // Reads the file at once; a missing or unreadable file reads as empty.
  explicit TIniFile(std::string fileName);

  const std::string& FileName() const { return FFileName; }
  // Whether the file could be read; only then can it be updated.
  bool IsLoaded() const { return FLoaded; }
  // A file larger than kMaxIniFileSize was found and left unread; its size.
  bool IsTooLarge() const { return FTooLarge; }
  unsigned long long FileSize() const { return FFileSize; }
  TIniEncoding Encoding() const { return FEncoding; }

  std::string ReadString(std::string_view section, std::string_view key,
                         const std::string& defaultValue) const;
  // Decimal with an optional sign, or hexadecimal after "0x"/"0X"; anything
  // else, or a number outside 32 bits, yields the default.
  int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
  // Read as an integer; non-zero is true.
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

  // Change the text in memory only; UpdateExistingFile stores it. A missing
  // key is added after the last non-blank line of its section, a missing
  // section at the end. They return false, and change nothing, when the text
  // cannot be held in the file's encoding or holds a line break.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, int value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);

  // Rewrites the file with the changes. Never creates a file: false when the
  // file was not read at construction, is gone now or cannot be written.
  // Without changes the file is left untouched and the result is true.
  bool UpdateExistingFile();

 private:
  // A line of FText: [Start, End) is its text, Next the start of the next.
  struct TSpan {
    size_t Start;
    size_t End;
    size_t Next;
  };

  void Parse(std::string bytes);
  std::string Encode(std::string_view utf8) const;
  std::string NewLineEnding() const;

  std::optional<TSpan> FindSection(std::string_view section) const;
  std::optional<TSpan> FindKey(std::string_view section, std::string_view key) const;
  size_t AfterLastNonBlank(const TSpan& header) const;

  // Both throw TEncodingError, before changing anything, for text that the
  // file's encoding cannot hold.
  void ReplaceValue(const TSpan& line, std::string_view value);
  void InsertLines(size_t offset, const std::vector<std::string>& texts);

  std::string FFileName;
  bool FLoaded = false;
  bool FTooLarge = false;
  unsigned long long FFileSize = 0;
  bool FModified = false;
  TIniEncoding FEncoding = TIniEncoding::Utf8;
  bool FHasByteOrderMark = false;
  std::string FText;  // the file as UTF-8, without the byte order mark
};
