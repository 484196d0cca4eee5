#pragma once
// The fixture of the storage tests: a fresh book opened through the data
// module and made the shared database of every command.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "uDB.h"
#include "udmDB.h"

// Another copy of the program in the middle of a change: a row held by an
// uncommitted update of another attachment until the lock goes.
class TRowLock {
 public:
  TRowLock(const std::string& path, int id) {
    FDB.DatabaseName = path;
    FDB.Params = DirectoryConnectionParams();
    FDB.Open();
    FTransaction.Params = WriteTransactionParams();
    FTransaction.StartTransaction();
    TFbQuery query(&FDB, &FTransaction);
    query.SetSQL("UPDATE directory SET flags = flags WHERE idd = " + std::to_string(id));
    query.ExecNoResult();
  }
  ~TRowLock() {
    if (FTransaction.InTransaction()) FTransaction.Rollback();
  }
  TRowLock(const TRowLock&) = delete;
  TRowLock& operator=(const TRowLock&) = delete;

 private:
  TFbDatabase FDB;
  TFbTransaction FTransaction{&FDB};
};

class TBookTest : public ::testing::Test {
 protected:
  TBookTest() = default;
  // A book made by other software: its own schema.
  explicit TBookTest(const std::vector<std::string>& schema) : Book(schema) {}

  void SetUp() override {
    dmDB.DB.DatabaseName = Book.Path();
    dmDB.DB.Open();
    AssignDatabase(&dmDB.DB);
  }
  void TearDown() override { AssignDatabase(nullptr); }

  // One statement committed on its own, as another writer would.
  void Sql(const std::string& text) {
    TFbTransaction transaction(&dmDB.DB);
    transaction.Params = WriteTransactionParams();
    transaction.StartTransaction();
    {
      TFbQuery query(&dmDB.DB, &transaction);
      query.SetSQL(text);
      query.ExecNoResult();
    }
    transaction.Commit();
  }

  // Rows in the table, read in a transaction of its own.
  int RowCount() {
    TFbTransaction transaction(&dmDB.DB);
    transaction.Params = ReadTransactionParams();
    transaction.StartTransaction();
    TFbQuery query(&dmDB.DB, &transaction);
    query.SetSQL("SELECT COUNT(*) AS n FROM directory");
    query.ExecQuery();
    return query.FieldByName("N").AsInteger();
  }

  TTempDatabase Book;
  TdmDB dmDB;
};
