#pragma once
// Text helpers shared by every layer: the program keeps text as UTF-8 and
// meets single-byte Windows-1251 only at the database connection and in old
// INI files.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

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

// ---- Lines and blanks --------------------------------------------------------
// Every text this program splits into lines (clipboard texts, INI files, CSV
// data) is split the same way: CR LF, CR and LF each end a line.

// One line of a text without its break, and the break that ended it ("\r\n",
// "\n", "\r", or empty for a last line without one). Views into the text.
struct TTextLineView {
  std::string_view Text;
  std::string_view Break;
};

// The line that starts at pos; pos moves to the start of the next line.
// Call only while pos < text.size().
TTextLineView NextTextLine(std::string_view text, size_t& pos);

// The same as owned strings.
struct TTextLine {
  std::string Text;
  std::string Break;
};

// Every line of a text; a break at the very end adds no empty line.
std::vector<TTextLine> SplitTextLines(std::string_view text);

// Characters of code 32 and below count as blanks (blank, TAB, CR, LF and
// the other control characters); UTF-8 bytes (0x80 and up) never do.
inline bool IsBlankChar(char c) { return static_cast<unsigned char>(c) <= 0x20; }
// The text without blanks at either end, or at its end only.
std::string_view TrimBlanks(std::string_view text);
std::string_view TrimBlanksAtEnd(std::string_view text);

// A text quoted inside a message, cut to a readable length: at most
// maxChars characters, then "…" when something was cut.
std::string ShortenForMessage(std::string_view utf8, size_t maxChars = 200);

// "1 234 567": a number with its thousands set apart by blanks, as numbers
// are written in Russian texts.
std::string GroupThousands(unsigned long long value);
