#include "uIniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "test_tempdir.h"

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  static constexpr const char* kName = "settings.ini";

  std::string Path() const { return FDir.File(kName); }
  TIniFile Load(const std::string& bytes) const {
    FDir.Write(kName, bytes);
    return TIniFile(Path());
  }
  std::string Stored() const { return FDir.Read(kName); }

  TTempDir FDir;
};

// ---- Reading -------------------------------------------------------------

struct TIntegerCase {
  const char* Value;
  int Expected;
};

class IniIntegerTest : public IniFileTest, public ::testing::WithParamInterface<TIntegerCase> {};

constexpr int kDefault = 77;

TEST_P(IniIntegerTest, ReadsNumberOrDefault) {
  const TIntegerCase& c = GetParam();
  TIniFile ini = Load(std::string("[Main]\r\nValue=") + c.Value + "\r\n");
  EXPECT_EQ(ini.ReadInteger("Main", "Value", kDefault), c.Expected) << "value [" << c.Value << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniIntegerTest,
    ::testing::Values(TIntegerCase{"16", 16}, TIntegerCase{"0x10", 16}, TIntegerCase{"0X1f", 31},
                      TIntegerCase{"0x7FFFFFFF", 2147483647}, TIntegerCase{"0xFFFFFFFF", -1},
                      TIntegerCase{"0x100000000", kDefault}, TIntegerCase{"0x", kDefault},
                      TIntegerCase{"0xg1", kDefault}, TIntegerCase{"0x-1", kDefault},
                      TIntegerCase{"-0x10", kDefault}, TIntegerCase{"0", 0},
                      TIntegerCase{"-5", -5}, TIntegerCase{"+7", 7}, TIntegerCase{"007", 7},
                      TIntegerCase{" 12 ", 12}, TIntegerCase{"\"42\"", 42},
                      TIntegerCase{"2147483647", 2147483647},
                      TIntegerCase{"-2147483648", -2147483647 - 1},
                      TIntegerCase{"2147483648", kDefault}, TIntegerCase{"-2147483649", kDefault},
                      TIntegerCase{"99999999999999999999", kDefault}, TIntegerCase{"abc", kDefault},
                      TIntegerCase{"", kDefault}, TIntegerCase{"12abc", kDefault},
                      TIntegerCase{"1.5", kDefault}, TIntegerCase{"1 2", kDefault},
                      TIntegerCase{"--5", kDefault}, TIntegerCase{"+-5", kDefault},
                      TIntegerCase{"-", kDefault}));

struct TBoolCase {
  const char* Value;
  bool Default;
  bool Expected;
};

class IniBoolTest : public IniFileTest, public ::testing::WithParamInterface<TBoolCase> {};

TEST_P(IniBoolTest, NonZeroIsTrue) {
  const TBoolCase& c = GetParam();
  TIniFile ini = Load(std::string("[Main]\nFlag=") + c.Value + "\n");
  EXPECT_EQ(ini.ReadBool("Main", "Flag", c.Default), c.Expected) << "value [" << c.Value << "]";
}

INSTANTIATE_TEST_SUITE_P(Values, IniBoolTest,
                         ::testing::Values(TBoolCase{"1", false, true}, TBoolCase{"2", false, true},
                                           TBoolCase{"-1", false, true}, TBoolCase{"0", true, false},
                                           TBoolCase{"0x0", true, false},
                                           TBoolCase{"0x10", false, true},
                                           TBoolCase{"abc", true, true},
                                           TBoolCase{"abc", false, false},
                                           TBoolCase{"true", false, false},
                                           TBoolCase{"", true, true}));

struct TStringCase {
  const char* Line;
  const char* Expected;
};

class IniStringTest : public IniFileTest, public ::testing::WithParamInterface<TStringCase> {};

TEST_P(IniStringTest, TrimsBlanksAndOnePairOfQuotes) {
  const TStringCase& c = GetParam();
  TIniFile ini = Load(std::string("[Main]\n") + c.Line + "\n");
  EXPECT_EQ(ini.ReadString("Main", "Key", "default"), c.Expected) << "line [" << c.Line << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniStringTest,
    ::testing::Values(TStringCase{"Key=plain", "plain"},
                      TStringCase{"  Key  =  two words \t", "two words"},
                      TStringCase{"Key=\"quoted\"", "quoted"}, TStringCase{"Key='single'", "single"},
                      TStringCase{"Key=\" padded \"", " padded "},
                      TStringCase{"Key=\"\"quoted twice\"\"", "\"quoted twice\""},
                      TStringCase{"Key=\"mixed'", "\"mixed'"}, TStringCase{"Key=\"", "\""},
                      TStringCase{"Key=\"\"", ""}, TStringCase{"Key=", ""},
                      TStringCase{"Key=a=b", "a=b"}, TStringCase{"Key=a;b", "a;b"}));

TEST_F(IniFileTest, SectionAndKeyNamesIgnoreCaseLatinAndCyrillic) {
  TIniFile ini = Load(
      "[mAiN]\nfOnTsIzE=5\n"
      "[ Other ]\n  Spaced Key = 6\n"
      "[Раздел]\nКлюч=7\n");
  struct {
    const char* Section;
    const char* Key;
    int Expected;
  } cases[] = {
      {"Main", "FontSize", 5},  {"MAIN", "fontsize", 5},    {"main", "FONTSIZE", 5},
      {"other", "spaced key", 6}, {"раздел", "КЛЮЧ", 7},    {"РАЗДЕЛ", "ключ", 7},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini.ReadInteger(c.Section, c.Key, -1), c.Expected) << c.Section << "/" << c.Key;
  }
}

TEST_F(IniFileTest, KeyIsLookedUpOnlyInItsOwnSection) {
  TIniFile ini = Load(
      "Orphan=1\n"
      "[Main]\n"
      ";Commented=2\n"
      "Present=3\n"
      "Present=4\n"
      "NoEquals\n"
      "[Other]\n"
      "OtherKey=5\n");
  struct {
    const char* Section;
    const char* Key;
    const char* Expected;
  } cases[] = {
      {"Main", "Present", "3"},      // the first of two wins
      {"Main", "OtherKey", "none"},  // belongs to the next section
      {"Main", "Orphan", "none"},    // stands before any section
      {"Main", ";Commented", "none"}, {"Main", "Commented", "none"},
      {"Main", "NoEquals", "none"},  {"Missing", "Present", "none"},
      {"Other", "OtherKey", "5"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini.ReadString(c.Section, c.Key, "none"), c.Expected) << c.Section << "/" << c.Key;
  }
}

TEST_F(IniFileTest, MissingOrUnreadableFileReadsDefaultsAndIsNeverCreated) {
  std::filesystem::create_directory(FDir.File("folder.ini"));
  for (const std::string name : {"absent.ini", "folder.ini"}) {
    TIniFile ini(FDir.File(name));
    EXPECT_FALSE(ini.IsLoaded()) << name;
    EXPECT_EQ(ini.ReadString("Main", "Title", "x"), "x");
    EXPECT_EQ(ini.ReadInteger("Main", "FontSize", 10), 10);
    EXPECT_TRUE(ini.ReadBool("Main", "IsFirstStart", true));
    EXPECT_TRUE(ini.WriteInteger("Main", "FontSize", 12));  // held in memory only
    EXPECT_FALSE(ini.UpdateExistingFile()) << name;
  }
  EXPECT_FALSE(FDir.Exists("absent.ini"));
  EXPECT_TRUE(std::filesystem::is_directory(FDir.File("folder.ini")));
}

// ---- Writing -------------------------------------------------------------

struct TWriteCase {
  const char* Name;
  const char* Before;
  const char* Section;
  const char* Key;
  const char* Value;
  const char* After;
};

class IniWriteTest : public IniFileTest, public ::testing::WithParamInterface<TWriteCase> {};

TEST_P(IniWriteTest, ChangesOnlyTheWrittenLine) {
  const TWriteCase& c = GetParam();
  TIniFile ini = Load(c.Before);
  ASSERT_TRUE(ini.WriteString(c.Section, c.Key, c.Value));
  ASSERT_TRUE(ini.UpdateExistingFile());
  EXPECT_EQ(Stored(), c.After);
  EXPECT_EQ(TIniFile(Path()).ReadString(c.Section, c.Key, "none"), c.Value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWriteTest,
    ::testing::Values(
        TWriteCase{"ReplaceKeepsCommentsBlanksOtherSectionsAndCrLf",
                   "; settings\r\n\r\n[Other]\r\nFontSize=1\r\n\r\n[Main]\r\n; size\r\nFontSize=10\r\n"
                   "IsFirstStart=1\r\n\r\n[Last]\r\nX=y",
                   "Main", "FontSize", "14",
                   "; settings\r\n\r\n[Other]\r\nFontSize=1\r\n\r\n[Main]\r\n; size\r\nFontSize=14\r\n"
                   "IsFirstStart=1\r\n\r\n[Last]\r\nX=y"},
        TWriteCase{"ReplaceKeepsLf", "[Main]\nA=1\nB=2\n", "Main", "A", "3", "[Main]\nA=3\nB=2\n"},
        TWriteCase{"ReplaceKeepsByteOrderMark", "\xEF\xBB\xBF[Main]\r\nA=1\r\n", "Main", "A", "2",
                   "\xEF\xBB\xBF[Main]\r\nA=2\r\n"},
        TWriteCase{"ReplaceKeepsKeySpellingAndBlanks", "[MAIN]\n  fontsize = \"10\"  \n", "Main",
                   "FontSize", "16", "[MAIN]\n  fontsize = 16\n"},
        TWriteCase{"ReplaceEmptyValue", "[Main]\nA=   \n", "Main", "A", "1", "[Main]\nA=1\n"},
        TWriteCase{"SameValueLeavesLineAlone", "[Main]\nA = '1' \n", "Main", "A", "1",
                   "[Main]\nA = '1' \n"},
        TWriteCase{"AddAfterLastNonBlankLineOfSection",
                   "[Main]\r\nA=1\r\n; note\r\n\r\n\r\n[Other]\r\nB=2\r\n", "main", "C", "3",
                   "[Main]\r\nA=1\r\n; note\r\nC=3\r\n\r\n\r\n[Other]\r\nB=2\r\n"},
        TWriteCase{"AddToSectionHoldingOnlyItsHeader", "[Main]\r\n\r\n[Other]\r\n", "Main", "A",
                   "1", "[Main]\r\nA=1\r\n\r\n[Other]\r\n"},
        TWriteCase{"AddAfterLastLineWithoutBreak", "[Main]\r\nA=1", "Main", "B", "2",
                   "[Main]\r\nA=1\r\nB=2\r\n"},
        TWriteCase{"AddSectionAtEnd", "[Other]\nB=2\n\n", "Main", "A", "1",
                   "[Other]\nB=2\n\n[Main]\nA=1\n"},
        TWriteCase{"AddSectionToEmptyFile", "", "Main", "A", "1", "[Main]\nA=1\n"},
        TWriteCase{"AddSectionKeepsByteOrderMark", "\xEF\xBB\xBF", "Main", "A", "1",
                   "\xEF\xBB\xBF[Main]\nA=1\n"}),
    [](const ::testing::TestParamInfo<TWriteCase>& info) { return std::string(info.param.Name); });

TEST_F(IniFileTest, TypedWritesUseDecimalAndOneOrZero) {
  TIniFile ini = Load("[Main]\n");
  EXPECT_TRUE(ini.WriteInteger("Main", "Size", -12));
  EXPECT_TRUE(ini.WriteBool("Main", "On", true));
  EXPECT_TRUE(ini.WriteBool("Main", "Off", false));
  ASSERT_TRUE(ini.UpdateExistingFile());
  EXPECT_EQ(Stored(), "[Main]\nSize=-12\nOn=1\nOff=0\n");
}

TEST_F(IniFileTest, NothingWrittenWithoutChanges) {
  TIniFile ini = Load("[Main]\nA=1\n");
  EXPECT_TRUE(ini.WriteString("Main", "a", "1"));  // the value it already has
  FDir.Write(kName, "changed by someone else\n");
  EXPECT_TRUE(ini.UpdateExistingFile());
  EXPECT_EQ(Stored(), "changed by someone else\n");
}

TEST_F(IniFileTest, FileRemovedAfterReadingIsNotRecreated) {
  TIniFile ini = Load("[Main]\nA=1\n");
  std::filesystem::remove(Path());
  EXPECT_TRUE(ini.WriteString("Main", "A", "2"));
  EXPECT_FALSE(ini.UpdateExistingFile());
  EXPECT_FALSE(FDir.Exists(kName));
}

TEST_F(IniFileTest, TextWithLineBreakIsRefused) {
  TIniFile ini = Load("[Main]\nA=1\n");
  EXPECT_FALSE(ini.WriteString("Main", "A", "x\ny"));
  EXPECT_FALSE(ini.WriteString("Main", "B\r", "1"));
  EXPECT_FALSE(ini.WriteString("Ma\nin", "A", "1"));
  EXPECT_FALSE(ini.WriteString("Main", "A", "\xFF"));  // not UTF-8
  EXPECT_TRUE(ini.UpdateExistingFile());
  EXPECT_EQ(Stored(), "[Main]\nA=1\n");
}

// ---- Encoding ------------------------------------------------------------

// "Справочник" and "Новый" in Windows-1251.
const std::string kSpravochnik1251 = "\xD1\xEF\xF0\xE0\xE2\xEE\xF7\xED\xE8\xEA";
const std::string kNovy1251 = "\xCD\xEE\xE2\xFB\xE9";

TEST_F(IniFileTest, Windows1251FileReadsAsUtf8AndIsWrittenBackInWindows1251) {
  const std::string comment = "; " + kSpravochnik1251 + "\r\n";
  TIniFile ini = Load(comment + "[Main]\r\nTitle=" + kSpravochnik1251 + "\r\nType=X\r\n");
  EXPECT_EQ(ini.Encoding(), TIniEncoding::Win1251);
  EXPECT_EQ(ini.ReadString("Main", "Title", ""), "Справочник");

  ASSERT_TRUE(ini.WriteString("Main", "Type", "Новый"));
  ASSERT_TRUE(ini.WriteString("Main", "Ключ", "Да"));
  ASSERT_TRUE(ini.UpdateExistingFile());
  EXPECT_EQ(Stored(), comment + "[Main]\r\nTitle=" + kSpravochnik1251 + "\r\nType=" + kNovy1251 +
                          "\r\n\xCA\xEB\xFE\xF7=\xC4\xE0\r\n");
}

TEST_F(IniFileTest, Windows1251FileSkipsValueItCannotHold) {
  const std::string before = "[Main]\r\nTitle=" + kSpravochnik1251 + "\r\n";
  TIniFile ini = Load(before);
  EXPECT_FALSE(ini.WriteString("Main", "Title", "Ωmega"));
  EXPECT_FALSE(ini.WriteString("Main", "Added", "日本"));
  EXPECT_FALSE(ini.WriteString("Ω", "Added", "1"));
  EXPECT_TRUE(ini.WriteString("Main", "Sign", "№ €"));  // both exist in Windows-1251
  ASSERT_TRUE(ini.UpdateExistingFile());
  EXPECT_EQ(Stored(), before + "Sign=\xB9 \x88\r\n");
}

TEST_F(IniFileTest, Utf8FileStaysUtf8) {
  const std::string before = "[Main]\nTitle=Справочник\n";
  TIniFile ini = Load(before);
  EXPECT_EQ(ini.Encoding(), TIniEncoding::Utf8);
  EXPECT_EQ(ini.ReadString("main", "title", ""), "Справочник");
  ASSERT_TRUE(ini.WriteString("Main", "Type", "Новый Ω"));
  ASSERT_TRUE(ini.UpdateExistingFile());
  EXPECT_EQ(Stored(), before + "Type=Новый Ω\n");
}

}  // namespace
