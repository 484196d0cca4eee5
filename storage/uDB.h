#pragma once
// The command framework: every statement the program sends goes through a
// command object, one of the two helpers below, or a window's own statement.
//
// A command either owns a short transaction of its own kind (read-only for
// reads, read-write for writes) that it commits when it succeeds and rolls
// back when it fails, or runs inside a transaction handed to it and leaves
// that transaction's outcome to its caller. A database error never leaves
// Execute: the caller sees only false.

#include <memory>
#include <string>

#include "uFbClient.h"

// Makes the connection the shared database of every command and helper.
void AssignDatabase(TFbDatabase* database);
TFbDatabase* SharedDatabase();

class TDBCmd {
 public:
  virtual ~TDBCmd();
  TDBCmd(const TDBCmd&) = delete;
  TDBCmd& operator=(const TDBCmd&) = delete;

 protected:
  // transaction: none to own a new one, set up by the class's
  // SetupTransaction (the intermediate classes call it once constructed).
  explicit TDBCmd(TFbTransaction* transaction);

  virtual void SetupTransaction() = 0;
  virtual bool Execute() = 0;
  // Runs inside an owned transaction just before Finish commits it.
  virtual void BeforeCommit() {}

  bool Finish();  // commits an owned active transaction; always true
  bool Fail();    // rolls back an owned transaction; always false
  bool IsSelect() const;
  void SetSQL(const std::string& text);
  bool Exec();  // true: a statement without result ran, or a result has a row
  const TFbValue& FieldByName(std::string_view name) const;
  TFbValue& ParamByName(std::string_view name);

  TFbTransaction* Transaction = nullptr;
  bool OwnsTransaction = false;
  std::unique_ptr<TFbQuery> Query;

 private:
  std::unique_ptr<TFbTransaction> FOwnedTransaction;
};

class TDBReadCmd : public TDBCmd {
 protected:
  explicit TDBReadCmd(TFbTransaction* transaction);
  void SetupTransaction() override;
};

class TDBWriteCmd : public TDBCmd {
 protected:
  explicit TDBWriteCmd(TFbTransaction* transaction);
  void SetupTransaction() override;
  // Every write posts "directory_changed" in its own transaction, so other
  // copies of the program see the change the moment it commits.
  void BeforeCommit() override;
};

// Transaction parameters of the two command kinds.
const std::vector<std::string>& ReadTransactionParams();
const std::vector<std::string>& WriteTransactionParams();

// Does the statement return at least one row? False on any error as well.
bool SQLHasRows(const std::string& sql, TFbTransaction* transaction = nullptr);

// The statement that draws the next value of a generator.
std::string GeneratorValueSQL(const std::string& generatorName);

// The next value of a generator; -1 on any error and for a value outside
// 1..2^31 - 1, the range of ids.
int NextGeneratorValue(const std::string& generatorName);

// A column of a window's own statement object.
const TFbValue& QueryFieldByName(const TFbQuery& query, std::string_view name);
