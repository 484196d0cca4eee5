#include "uDB.h"

#include <cstdint>

#include "uBookEvents.h"

namespace {
TFbDatabase* gSharedDatabase = nullptr;

// A rollback in a failure path must not raise a second error.
void RollbackQuietly(TFbTransaction& transaction) {
  if (!transaction.InTransaction()) return;
  try {
    transaction.Rollback();
  } catch (...) {
  }
}
}  // namespace

void AssignDatabase(TFbDatabase* database) { gSharedDatabase = database; }
TFbDatabase* SharedDatabase() { return gSharedDatabase; }

const std::vector<std::string>& ReadTransactionParams() {
  static const std::vector<std::string> params = {"read_committed", "rec_version", "nowait", "read"};
  return params;
}

const std::vector<std::string>& WriteTransactionParams() {
  static const std::vector<std::string> params = {"read_committed", "rec_version", "nowait"};
  return params;
}

TDBCmd::TDBCmd(TFbTransaction* transaction) : Transaction(transaction), OwnsTransaction(!transaction) {
  if (OwnsTransaction) {
    FOwnedTransaction = std::make_unique<TFbTransaction>(gSharedDatabase);
    Transaction = FOwnedTransaction.get();
  }
  Query = std::make_unique<TFbQuery>(gSharedDatabase, Transaction);
}

TDBCmd::~TDBCmd() {
  Query.reset();  // the statement goes before its transaction
}

bool TDBCmd::Finish() {
  if (OwnsTransaction && Transaction->InTransaction()) {
    Query->Close();
    BeforeCommit();
    Transaction->Commit();
  }
  return true;
}

bool TDBCmd::Fail() {
  if (OwnsTransaction) {
    Query->Close();
    RollbackQuietly(*Transaction);
  }
  return false;
}

bool TDBCmd::IsSelect() const { return Query->SQL().find("SELECT") != std::string::npos; }

void TDBCmd::SetSQL(const std::string& text) { Query->SetSQL(text); }

bool TDBCmd::Exec() {
  if (!Transaction->InTransaction()) Transaction->StartTransaction();
  if (IsSelect()) {
    Query->ExecQuery();
    return !Query->Eof();
  }
  Query->ExecNoResult();
  return true;
}

const TFbValue& TDBCmd::FieldByName(std::string_view name) const { return Query->FieldByName(name); }

TFbValue& TDBCmd::ParamByName(std::string_view name) { return Query->ParamByName(name); }

TDBReadCmd::TDBReadCmd(TFbTransaction* transaction) : TDBCmd(transaction) {
  if (OwnsTransaction) SetupTransaction();
}

void TDBReadCmd::SetupTransaction() { Transaction->Params = ReadTransactionParams(); }

TDBWriteCmd::TDBWriteCmd(TFbTransaction* transaction) : TDBCmd(transaction) {
  if (OwnsTransaction) SetupTransaction();
}

void TDBWriteCmd::SetupTransaction() { Transaction->Params = WriteTransactionParams(); }

void TDBWriteCmd::BeforeCommit() { PostDirectoryChanged(*Transaction); }

bool SQLHasRows(const std::string& sql, TFbTransaction* transaction) {
  std::unique_ptr<TFbTransaction> own;
  if (!transaction) {
    own = std::make_unique<TFbTransaction>(gSharedDatabase);
    own->Params = ReadTransactionParams();
    transaction = own.get();
  }
  TFbQuery query(gSharedDatabase, transaction);
  try {
    query.SetSQL(sql);
    if (own) own->StartTransaction();
    query.ExecQuery();
    bool hasRows = !query.Eof();
    query.Close();
    if (own) own->Commit();
    return hasRows;
  } catch (...) {
    query.Close();
    if (own) RollbackQuietly(*own);
    return false;
  }
}

std::string GeneratorValueSQL(const std::string& generatorName) {
  return "SELECT GEN_ID(" + generatorName + ", 1) AS id FROM rdb$database";
}

int NextGeneratorValue(const std::string& generatorName) {
  TFbTransaction transaction(gSharedDatabase);
  transaction.Params = ReadTransactionParams();
  TFbQuery query(gSharedDatabase, &transaction);
  try {
    query.SetSQL(GeneratorValueSQL(generatorName));
    transaction.StartTransaction();
    query.ExecQuery();
    int64_t value = query.FieldByName("ID").AsInt64();
    query.Close();
    transaction.Commit();
    // Ids run from 1 to 2^31 - 1: a value outside must not wrap onto an id
    // in use, nor stand for the root (0) or a failed draw (-1).
    return value < 1 || value > INT32_MAX ? -1 : static_cast<int>(value);
  } catch (...) {
    query.Close();
    RollbackQuietly(transaction);
    return -1;
  }
}

const TFbValue& QueryFieldByName(const TFbQuery& query, std::string_view name) {
  return query.FieldByName(name);
}
