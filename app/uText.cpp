#include "uText.h"

#include <array>
#include <cstdio>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Code points of the bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
// 0x98 has no character in the code page; it maps to U+0098 both ways so
// that such a byte read from a database survives being written back.
constexpr std::array<char16_t, 64> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

char32_t ByteToCodePoint(unsigned char byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return 0x0410 + (byte - 0xC0);
  return kHighHalf[byte - 0x80];
}

// Returns -1 when the code point has no byte.
int CodePointToByte(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(0xC0 + (cp - 0x0410));
  for (size_t i = 0; i < kHighHalf.size(); ++i) {
    if (kHighHalf[i] == cp) return static_cast<int>(0x80 + i);
  }
  return -1;
}

char32_t LowerCodePoint(char32_t cp) {
  if (cp >= U'A' && cp <= U'Z') return cp + 0x20;
  if (cp >= 0x0410 && cp <= 0x042F) return cp + 0x20;
  if (cp >= 0x0400 && cp <= 0x040F) return cp + 0x50;
  if (cp == 0x0490) return 0x0491;
  return cp;
}

char32_t UpperCodePoint(char32_t cp) {
  if (cp >= U'a' && cp <= U'z') return cp - 0x20;
  if (cp >= 0x0430 && cp <= 0x044F) return cp - 0x20;
  if (cp >= 0x0450 && cp <= 0x045F) return cp - 0x50;
  if (cp == 0x0491) return 0x0490;
  return cp;
}

template <typename Map>
std::string MapCodePoints(std::string_view utf8, Map map) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    size_t start = pos;
    char32_t cp = DecodeUtf8(utf8, pos);
    if (cp == kReplacement) {
      out.append(utf8.substr(start, pos - start));  // keep bytes we cannot read
    } else {
      AppendUtf8(out, map(cp));
    }
  }
  return out;
}

}  // namespace

char32_t DecodeUtf8(std::string_view text, size_t& pos) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int extra = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1; cp = lead & 0x1F; minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2; cp = lead & 0x0F; minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3; cp = lead & 0x07; minimum = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + extra >= text.size()) {
    ++pos;
    return kReplacement;
  }
  for (int i = 1; i <= extra; ++i) {
    unsigned char next = byte(pos + i);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += extra + 1;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsValidUtf8(std::string_view text) {
  for (size_t pos = 0; pos < text.size();) {
    if (static_cast<unsigned char>(text[pos]) < 0x80) {  // the common case, without decoding
      ++pos;
      continue;
    }
    size_t start = pos;
    if (DecodeUtf8(text, pos) == kReplacement) {
      // A literal U+FFFD is valid; an invalid sequence is not.
      if (text.substr(start, 3) != "\xEF\xBF\xBD") return false;
    }
  }
  return true;
}

std::string NonWin1251Message(char32_t cp) {
  char code[16];
  std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(cp));
  std::string text = "Символ ";
  if (cp != kReplacement && cp >= 0x20) {
    text.append("«");
    AppendUtf8(text, cp);
    text.append("» ");
  }
  text.append("(").append(code).append(
      ") нельзя сохранить в справочнике: кодировка Windows-1251 не содержит этого символа.");
  return text;
}

char32_t FindNonWin1251Char(std::string_view utf8) {
  for (size_t pos = 0; pos < utf8.size();) {
    size_t start = pos;
    char32_t cp = DecodeUtf8(utf8, pos);
    if (cp == kReplacement && utf8.substr(start, 3) != "\xEF\xBF\xBD") return kReplacement;
    if (CodePointToByte(cp) < 0) return cp;
  }
  return 0;
}

std::string Utf8ToWin1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    char32_t cp = DecodeUtf8(utf8, pos);
    int byte = CodePointToByte(cp);
    if (byte < 0) throw TEncodingError(cp, NonWin1251Message(cp));
    out += static_cast<char>(byte);
  }
  return out;
}

std::string Win1251ToUtf8(std::string_view win1251) {
  std::string out;
  out.reserve(win1251.size() * 2);
  for (char c : win1251) AppendUtf8(out, ByteToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToLower(std::string_view utf8) { return MapCodePoints(utf8, LowerCodePoint); }
std::string Utf8ToUpper(std::string_view utf8) { return MapCodePoints(utf8, UpperCodePoint); }

TTextLineView NextTextLine(std::string_view text, size_t& pos) {
  const size_t start = pos;
  size_t end = start;
  while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
  size_t breakLength = 0;
  if (end < text.size()) breakLength = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
  pos = end + breakLength;
  return {text.substr(start, end - start), text.substr(end, breakLength)};
}

std::vector<TTextLine> SplitTextLines(std::string_view text) {
  std::vector<TTextLine> lines;
  for (size_t pos = 0; pos < text.size();) {
    const TTextLineView line = NextTextLine(text, pos);
    lines.push_back({std::string(line.Text), std::string(line.Break)});
  }
  return lines;
}

std::string_view TrimBlanksAtEnd(std::string_view text) {
  while (!text.empty() && IsBlankChar(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view TrimBlanks(std::string_view text) {
  text = TrimBlanksAtEnd(text);
  while (!text.empty() && IsBlankChar(text.front())) text.remove_prefix(1);
  return text;
}

std::string ShortenForMessage(std::string_view utf8, size_t maxChars) {
  size_t pos = 0;
  for (size_t count = 0; pos < utf8.size() && count < maxChars; ++count) DecodeUtf8(utf8, pos);
  if (pos >= utf8.size()) return std::string(utf8);
  return std::string(utf8.substr(0, pos)) + "…";
}

std::string GroupThousands(unsigned long long value) {
  const std::string digits = std::to_string(value);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ' ';
    grouped += digits[i];
  }
  return grouped;
}
