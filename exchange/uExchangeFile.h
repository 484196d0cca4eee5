#pragma once
// The exchange text as a file: what "export to a file" writes and "import
// from a file" reads. Files are written as UTF-8 with CR LF line breaks, so
// that copies of the book on Windows read them as well; a file is read as
// UTF-8 when it is valid UTF-8 and as Windows-1251 otherwise (files saved by
// Windows editors), the same rule the INI files follow.
//
// Nothing here throws: every failure comes back as a Russian reason that
// names the file and, where it helps, what to do.

#include <cstdint>
#include <string>
#include <string_view>

// The largest file read or written; a larger one is refused with a message
// that names this limit.
inline constexpr std::uintmax_t kExchangeFileLimit = 50u * 1024u * 1024u;
inline constexpr const char* kExchangeFileLimitText = "50 МБ";

struct TExchangeFileResult {
  bool Ok = false;
  std::string Text;   // the text read, UTF-8 (reading only)
  std::string Error;  // the reason, when not Ok
};

// The text with every line break (CR LF, CR or LF) made CR LF and a CR LF
// after its last line.
std::string ToCrLfLines(std::string_view text);

// Writes text (UTF-8) with CR LF line breaks. The file is written beside
// the target under a temporary name and then put in its place, so a failed
// write leaves a file that was there before as it was.
TExchangeFileResult WriteExchangeFile(const std::string& path, std::string_view text);

// Reads a whole file as text: a UTF-8 byte order mark is dropped, line
// breaks are kept as they are. A missing, unreadable, empty, too large or
// binary file gives its reason.
TExchangeFileResult ReadExchangeFile(const std::string& path);
