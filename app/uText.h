#pragma once
// Text helpers shared by every layer: the program keeps text as UTF-8 and
// meets single-byte Windows-1251 only at the database connection and in old
// INI files.

#include <stdexcept>
#include <string>
#include <string_view>

// Raised when a text holds a character that Windows-1251 has no code for.
class TEncodingError : public std::runtime_error {
 public:
  TEncodingError(char32_t codePoint, const std::string& message)
      : std::runtime_error(message), FCodePoint(codePoint) {}
  char32_t CodePoint() const { return FCodePoint; }

 private:
  char32_t FCodePoint;
};

// UTF-8 -> Windows-1251; throws TEncodingError naming the first character
// that cannot be held. Invalid UTF-8 is reported the same way (as U+FFFD).
std::string Utf8ToWin1251(std::string_view utf8);
// Windows-1251 -> UTF-8; every byte has a meaning, so this never fails.
std::string Win1251ToUtf8(std::string_view win1251);
// The first character of a UTF-8 text that Windows-1251 cannot hold, or 0.
char32_t FindNonWin1251Char(std::string_view utf8);
// The user-facing message for such a character.
std::string NonWin1251Message(char32_t codePoint);

bool IsValidUtf8(std::string_view text);

// Case mapping for Latin and Cyrillic letters, the scripts this program's
// texts are written in; other characters are kept as they are.
std::string Utf8ToLower(std::string_view utf8);
std::string Utf8ToUpper(std::string_view utf8);

// Decoding and encoding of single code points; DecodeUtf8 advances pos and
// returns U+FFFD for an invalid sequence.
char32_t DecodeUtf8(std::string_view text, size_t& pos);
void AppendUtf8(std::string& out, char32_t codePoint);
