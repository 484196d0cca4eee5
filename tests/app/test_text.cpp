#include "uText.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>

namespace {

class TIconv {
 public:
  TIconv(const char* to, const char* from) : FHandle(iconv_open(to, from)) {}
  ~TIconv() {
    if (IsOpen()) iconv_close(FHandle);
  }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;

  bool IsOpen() const { return FHandle != reinterpret_cast<iconv_t>(-1); }

  std::optional<std::string> Convert(std::string input) const {
    char out[16];
    char* in = input.data();
    size_t inLeft = input.size();
    char* outPos = out;
    size_t outLeft = sizeof out;
    if (iconv(FHandle, &in, &inLeft, &outPos, &outLeft) == static_cast<size_t>(-1)) {
      return std::nullopt;
    }
    return std::string(out, outPos);
  }

 private:
  iconv_t FHandle;
};

TEST(Win1251, EveryByteMatchesTheSystemCodePage) {
  TIconv toUtf8("UTF-8", "CP1251");
  ASSERT_TRUE(toUtf8.IsOpen());
  for (int byte = 0; byte < 256; ++byte) {
    if (byte == 0x98) continue;  // no character; checked below
    const std::string single(1, static_cast<char>(byte));
    std::optional<std::string> expected = toUtf8.Convert(single);
    ASSERT_TRUE(expected.has_value()) << "byte " << byte;
    EXPECT_EQ(Win1251ToUtf8(single), *expected) << "byte " << byte;
  }
}

TEST(Win1251, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  const std::string utf8 = Win1251ToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(utf8));
  EXPECT_EQ(FindNonWin1251Char(utf8), 0u);
  EXPECT_EQ(Utf8ToWin1251(utf8), all);
  EXPECT_EQ(Win1251ToUtf8("\x98"), "\xC2\x98");
}

TEST(Win1251, UnencodableCharacterIsNamed) {
  struct {
    const char* Text;
    char32_t CodePoint;
  } cases[] = {
      {"abc Ω", U'Ω'},
      {"日本", U'日'},
      {"ok \xFF", 0xFFFD},  // invalid UTF-8
      {"😀", 0x1F600},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindNonWin1251Char(c.Text), c.CodePoint) << c.Text;
    try {
      Utf8ToWin1251(c.Text);
      ADD_FAILURE() << "no error for " << c.Text;
    } catch (const TEncodingError& error) {
      EXPECT_EQ(error.CodePoint(), c.CodePoint) << c.Text;
    }
  }
}

TEST(Utf8, ValidityOfSequences) {
  struct {
    const char* Text;
    bool Valid;
  } cases[] = {
      {"", true},
      {"plain", true},
      {"Справочник", true},
      {"\xEF\xBF\xBD", true},  // U+FFFD itself
      {"\xF0\x9F\x98\x80", true},
      {"\xD1\xEF\xF0", false},  // Windows-1251 text
      {"\xC0\xAF", false},      // overlong
      {"\xED\xA0\x80", false},  // surrogate
      {"\xF4\x90\x80\x80", false},  // beyond U+10FFFF
      {"\xD0", false},          // cut short at the end
      {"\xE2\x82", false},
      {"\x80", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.Text), c.Valid) << c.Text;
}

TEST(Utf8, CaseMappingOfLatinAndCyrillic) {
  struct {
    const char* Upper;
    const char* Lower;
  } cases[] = {
      {"ZORVANA-1", "zorvana-1"},
      {"АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ", "абвгдежзийклмнопрстуфхцчшщъыьэюя"},
      {"ЁЂЃЄЅІЇЈЉЊЋЌЍЎЏҐ", "ёђѓєѕіїјљњћќѝўџґ"},
      {"Ω №", "Ω №"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToLower(c.Upper), c.Lower);
    EXPECT_EQ(Utf8ToUpper(c.Lower), c.Upper);
  }
  EXPECT_EQ(Utf8ToLower("A\xFF" "B"), "a\xFF" "b");  // unreadable bytes are kept
}

}  // namespace
