#pragma once
// A small Windows-style INI file of our own: the settings file and Global.ini.
// The whole file is held in memory as its lines, so that a rewrite changes
// only the lines whose values were written and keeps every other byte
// (comments, blank lines, line breaks, a UTF-8 byte order mark) as it was.
//
// Section and key names match without regard to case. Values are trimmed of
// blanks and of one pair of matching surrounding quotes. The program sees
// UTF-8; a file that is not valid UTF-8 is taken as Windows-1251 (files made
// on Windows) and is written back in Windows-1251.
//
// Nothing here throws on a missing, unreadable or malformed file: reads then
// yield their defaults and writes report false.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TIniEncoding { Utf8, Win1251 };

class TIniFile {
 public:
  // Reads the file at once; a missing or unreadable file reads as empty.
  explicit TIniFile(std::string fileName);

  const std::string& FileName() const { return FFileName; }
  // Whether the file could be read; only then can it be updated.
  bool IsLoaded() const { return FLoaded; }
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
  struct TLine {
    std::string Text;    // UTF-8, without the line break
    std::string Raw;     // the bytes in the file's encoding
    std::string Ending;  // "\r\n", "\n" or "" for a last line without one
  };

  void Parse(const std::string& bytes);
  std::string Encode(std::string_view utf8) const;
  std::string NewLineEnding() const;

  std::optional<size_t> FindSection(std::string_view section) const;
  size_t SectionEnd(size_t header) const;
  std::optional<size_t> FindKey(std::string_view section, std::string_view key) const;
  size_t AfterLastNonBlank(size_t header) const;

  // Both throw TEncodingError, before changing anything, for text that the
  // file's encoding cannot hold.
  void ReplaceValue(size_t index, std::string_view value);
  void InsertLines(size_t index, const std::vector<std::string>& texts);

  std::string FFileName;
  bool FLoaded = false;
  bool FModified = false;
  TIniEncoding FEncoding = TIniEncoding::Utf8;
  bool FHasByteOrderMark = false;
  std::vector<TLine> FLines;
};
