// Books made by other software: a directory table with further columns of
// every kind, and columns of other sizes than the program's own schema.
// Every read, the chain, the listings, the export and the import work on
// them as on the program's own books.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BookTest.h"
#include "uDB.h"
#include "uDBDirectory.h"
#include "uDirectory.h"
#include "uExchangeRows.h"
#include "uText.h"

namespace {

const std::vector<std::string> kWideSchema = {
    "CREATE TABLE directory ("
    " idd INTEGER NOT NULL PRIMARY KEY,"
    " created TIMESTAMP DEFAULT '2024-02-29 13:45:10',"
    " id_parent INTEGER,"
    " order_position INTEGER,"
    " title VARCHAR(4000) CHARACTER SET WIN1251,"
    " price NUMERIC(9,2) DEFAULT 12.34,"
    " description BLOB SUB_TYPE TEXT CHARACTER SET WIN1251,"
    " kind SMALLINT,"
    " flags INTEGER,"
    " day_of DATE DEFAULT '2024-02-29',"
    " time_of TIME DEFAULT '13:45:10',"
    " weight DOUBLE PRECISION DEFAULT 1.5,"
    " approved BOOLEAN DEFAULT TRUE,"
    " total NUMERIC(18,4) DEFAULT 123456789.1234,"
    " ratio FLOAT DEFAULT 0.25,"
    " code CHAR(3) DEFAULT 'ABC')",
    "CREATE SEQUENCE GEN_DIRECTORY_ID",
};

class WideBookTest : public TBookTest {
 protected:
  WideBookTest() : TBookTest(kWideSchema) {}

  int Add(int parent, int position, const std::string& title, bool folder, const std::string& description = "") {
    TDirectory entry;
    entry.Id = NextGeneratorValue("GEN_DIRECTORY_ID");
    entry.IdParent = parent;
    entry.OrderPosition = position;
    entry.Title = title;
    entry.IsFolder = folder;
    entry.Description = description;
    EXPECT_TRUE(TDBDirectorySaveCmd::Run(&entry));
    return entry.Id;
  }

  TDirectory Read(int id) {
    TDirectory entry;
    entry.Id = id;
    EXPECT_TRUE(TDBDirectoryReadCmd::Run(&entry));
    return entry;
  }
};

TEST_F(WideBookTest, FurtherColumnsReadAsTextAndLeaveEveryCommandWorking) {
  const int a = Add(0, 100, "A", true, "папка\r\nA");
  const int b = Add(a, 100, "B", false, "запись");
  const int c = Add(a, 200, "C", true);
  const int d = Add(c, 100, "D", false);

  // The further columns hold values (their defaults) and read as text.
  {
    TFbTransaction transaction(&dmDB.DB);
    transaction.Params = ReadTransactionParams();
    transaction.StartTransaction();
    TFbQuery query(&dmDB.DB, &transaction);
    query.SetSQL("SELECT * FROM directory d WHERE d.idd = " + std::to_string(d));
    query.ExecQuery();
    ASSERT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldByName("PRICE").AsString(), "12.34");
    EXPECT_EQ(query.FieldByName("TOTAL").AsString(), "123456789.1234");
    EXPECT_EQ(query.FieldByName("DAY_OF").AsString(), "2024-02-29");
    EXPECT_EQ(query.FieldByName("TIME_OF").AsString().rfind("13:45:10", 0), 0u) << query.FieldByName("TIME_OF").AsString();
    EXPECT_EQ(query.FieldByName("CREATED").AsString(), "29-FEB-2024 13:45:10.0000");
    EXPECT_EQ(query.FieldByName("APPROVED").AsString(), "TRUE");
    EXPECT_FALSE(query.FieldByName("WEIGHT").AsString().empty());
    EXPECT_FALSE(query.FieldByName("RATIO").AsString().empty());
    EXPECT_EQ(query.FieldByName("CODE").AsString(), "ABC");
  }

  const TDirectory readA = Read(a);
  EXPECT_EQ(readA.Title, "A");
  EXPECT_EQ(readA.Description, "папка\r\nA");
  EXPECT_TRUE(readA.IsFolder);
  EXPECT_EQ(readA.OrderPosition, 100);
  EXPECT_EQ(readA.Childs, 2);

  TDirectoryList chain;
  EXPECT_TRUE(TDBDirectoryReadChainCmd::Run(&chain, c));
  EXPECT_EQ(chain.ChainText(true), "\\A\\C");

  EXPECT_EQ(ReadFolderListing(a, &dmDB.trDirectoryRead), (std::vector<int32_t>{c, b}));
  EXPECT_EQ(ReadParentId(d, &dmDB.trDirectoryRead), c);

  std::vector<std::string> rows;
  EXPECT_TRUE(TDBDirectoryExportCmd::Run(&readA, 0, &rows, nullptr));
  EXPECT_EQ(rows, (std::vector<std::string>{"A\t100\t0\t1\t\"папка\r\nA\"", "\tB\t100\t0\t0\tзапись",
                                            "\tC\t200\t0\t1\t", "\t\tD\t100\t0\t0\t"}));

  const int target = Add(0, 900, "Цель", true);
  std::string text = std::string(kExchangeMarker) + "\r\n";
  for (const std::string& row : rows) text += row + "\r\n";
  TImportResult result;
  EXPECT_TRUE(TDBDirectoryImportCmd::Run(SplitTextLines(text), target, nullptr, &result)) << result.Reason;
  EXPECT_EQ(result.Created, 4);
  const std::vector<int32_t> copies = ReadFolderListing(target, &dmDB.trDirectoryRead);
  ASSERT_EQ(copies.size(), 1u);
  const TDirectory copy = Read(copies[0]);
  EXPECT_EQ(copy.Title, "A");
  EXPECT_EQ(copy.Description, "папка\r\nA");
  EXPECT_EQ(copy.Childs, 2);
}

// The title column of another size or character set: its own declared
// length is the limit, read from the statement, and a title is stored whole
// up to it and refused past it.
struct TTitleColumnCase {
  const char* Column;
  size_t Limit;
};

class TitleColumnTest : public TBookTest, public ::testing::WithParamInterface<TTitleColumnCase> {
 protected:
  TitleColumnTest()
      : TBookTest({std::string("CREATE TABLE directory (idd INTEGER NOT NULL PRIMARY KEY, id_parent INTEGER,"
                               " order_position INTEGER, title ") +
                       GetParam().Column +
                       ", description BLOB SUB_TYPE TEXT CHARACTER SET WIN1251, kind SMALLINT, flags INTEGER)",
                   "CREATE SEQUENCE GEN_DIRECTORY_ID"}) {}
};

TEST_P(TitleColumnTest, TitleIsStoredWholeUpToTheColumnsLengthAndRefusedPastIt) {
  const size_t limit = GetParam().Limit;
  TDirectory entry;
  entry.Id = NextGeneratorValue("GEN_DIRECTORY_ID");
  entry.Title = std::string(limit, 'W');
  std::string reason;
  ASSERT_TRUE(TDBDirectorySaveCmd::Run(&entry, nullptr, &reason)) << reason;
  TDirectory read;
  read.Id = entry.Id;
  ASSERT_TRUE(TDBDirectoryReadCmd::Run(&read));
  EXPECT_EQ(read.Title, entry.Title);

  for (size_t length : {limit + 1, size_t(65540)}) {
    TDirectory longer = entry;
    longer.Title.clear();
    for (size_t i = 0; i < length; ++i) longer.Title += "Ж";
    EXPECT_FALSE(TDBDirectorySaveCmd::Run(&longer, nullptr, &reason));
    EXPECT_EQ(reason, "Текст поля «Название» слишком длинный: " + GroupThousands(length) +
                          " символов, а база данных вмещает в этом поле не больше " + GroupThousands(limit) + ".");
  }
  ASSERT_TRUE(TDBDirectoryReadCmd::Run(&read));
  EXPECT_EQ(read.Title, entry.Title);
}

INSTANTIATE_TEST_SUITE_P(Columns, TitleColumnTest,
                         ::testing::Values(TTitleColumnCase{"VARCHAR(100) CHARACTER SET WIN1251", 100},
                                           TTitleColumnCase{"VARCHAR(100) CHARACTER SET UTF8", 100},
                                           TTitleColumnCase{"CHAR(10) CHARACTER SET WIN1251", 10},
                                           TTitleColumnCase{"VARCHAR(32765) CHARACTER SET WIN1251", 32765}),
                         [](const ::testing::TestParamInfo<TTitleColumnCase>& info) {
                           return std::to_string(info.index);
                         });

}  // namespace
