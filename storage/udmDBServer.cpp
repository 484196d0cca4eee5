// The data module's side for a book shared on a Firebird server.
#include "udmDB.h"

namespace {
// A server may be slow to tell a lost attachment; closing it must not raise.
void DropTransaction(TFbTransaction& transaction) {
  if (!transaction.InTransaction()) return;
  try {
    transaction.Rollback();
  } catch (...) {
  }
}
}  // namespace

const std::vector<std::string>& ServerReadTransactionParams() {
  static const std::vector<std::string> params = {"read_committed", "rec_version", "nowait", "read"};
  return params;
}

TDbFailure TdmDB::OpenServerBook(const TBookLocation& book, const std::string& user, const std::string& password,
                                 std::string* detail) {
  DB.Close();
  DB.ThroughServer = true;
  DB.ConnectTimeoutSeconds = kServerConnectTimeoutSeconds;
  DB.DatabaseName = book.ConnectionString();
  DB.Params = {"user_name=" + user, "password=" + password, "lc_ctype=WIN1251"};
  trDirectoryRead.Params = ServerReadTransactionParams();
  try {
    DB.Open();
  } catch (const EDatabaseError& error) {
    if (detail) *detail = error.what();
    return ClassifyDatabaseFailure(error, TDbStage::Connect);
  }
  return TDbFailure::None;
}

TDbFailure TdmDB::Reconnect(std::string* detail) {
  FRestartRead = FRestartRead || trDirectoryRead.InTransaction();
  FListener.reset();
  DropTransaction(trDirectoryRead);
  DropTransaction(trDirectoryWrite);
  DB.Close();
  try {
    DB.Open();
    if (FRestartRead) trDirectoryRead.StartTransaction();
    FRestartRead = false;
    if (FOnChanged) FListener = std::make_unique<TBookEventListener>(DB, kDirectoryChangedEvent, FOnChanged);
  } catch (const EDatabaseError& error) {
    if (detail) *detail = error.what();
    return ClassifyDatabaseFailure(error, TDbStage::Connect);
  }
  return TDbFailure::None;
}

void TdmDB::ListenForChanges(std::function<void()> onChanged) {
  FListener.reset();
  FOnChanged = std::move(onChanged);
  if (FOnChanged && DB.Connected())
    FListener = std::make_unique<TBookEventListener>(DB, kDirectoryChangedEvent, FOnChanged);
}

void TdmDB::StopListening() {
  FListener.reset();
  FOnChanged = nullptr;
}
