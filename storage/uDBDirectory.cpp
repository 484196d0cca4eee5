#include "uDBDirectory.h"

#include <string>

const char* const kFolderListingSQL =
    "SELECT d.idd FROM directory d WHERE d.id_parent = :id_parent ORDER BY d.kind desc, d.order_position";
const char* const kParentLookupSQL = "SELECT FIRST 1 * FROM directory d WHERE d.idd = :id";

namespace {

const char* const kReadSQL = "SELECT * FROM directory d WHERE d.idd = ";
const char* const kChildCountSQL = "SELECT COUNT(idd) as childs FROM directory WHERE id_parent = ";
const char* const kExistsSQL = "SELECT idd FROM directory WHERE idd=";
const char* const kUpdateSQL =
    " UPDATE directory                       SET id_parent = :id_parent,                "
    "order_position = :order_position,      title = :title,                        "
    "description = :description,            kind = :kind,                          "
    "flags = :flags                     WHERE (idd = :idd)                    ";
const char* const kInsertSQL =
    " INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
    "VALUES (:idd, :id_parent, :order_position, :title, :description, :kind, :flags)         ";
const char* const kChainSQL = "SELECT FIRST 1 * FROM directory d WHERE COALESCE(d.idd, 0) = ";
const char* const kOrderUpdateSQL = "UPDATE directory SET order_position = :order_position WHERE idd = :idd";

bool ChainHolds(const TDirectoryList& list, int32_t id) {
  for (const auto& entry : list) {
    if (entry->Id == id) return true;
  }
  return false;
}

void StartIfNeeded(TFbTransaction* transaction) {
  if (!transaction->InTransaction()) transaction->StartTransaction();
}

}  // namespace

// --- entry read -------------------------------------------------------------

bool TDBDirectoryReadCmd::Run(TDirectory* entry, TFbTransaction* transaction) {
  TDBDirectoryReadCmd command(transaction);
  command.FEntry = entry;
  return command.Execute();
}

bool TDBDirectoryReadCmd::Execute() {
  const std::string id = std::to_string(FEntry->Id);
  SetSQL(kReadSQL + id);
  try {
    if (Exec()) {
      FEntry->Title = FieldByName("TITLE").AsString();
      FEntry->IdParent = FieldByName("ID_PARENT").AsInteger();
      FEntry->OrderPosition = FieldByName("ORDER_POSITION").AsInteger();
      FEntry->Flags = FieldByName("FLAGS").AsInteger();
      FEntry->IsFolder = FieldByName("KIND").AsInteger() == 1;
      FEntry->Description = FieldByName("DESCRIPTION").AsString();
      Finish();
      SetSQL(kChildCountSQL + id);
      if (Exec()) FEntry->Childs = FieldByName("CHILDS").AsInteger();
    }
    return Finish();
  } catch (...) {
    return Fail();
  }
}

// --- entry save -------------------------------------------------------------

bool TDBDirectorySaveCmd::Run(TDirectory* entry, TFbTransaction* transaction) {
  TDBDirectorySaveCmd command(transaction);
  command.FEntry = entry;
  return command.Execute();
}

bool TDBDirectorySaveCmd::Execute() {
  // A failed id draw gives -1; storing it would let the next failed draw
  // overwrite this entry.
  if (FEntry->Id < 1) return false;
  try {
    bool exists = SQLHasRows(kExistsSQL + std::to_string(FEntry->Id));
    SetSQL(exists ? kUpdateSQL : kInsertSQL);
    ParamByName("IDD").SetInteger(FEntry->Id);
    ParamByName("ID_PARENT").SetInteger(FEntry->IdParent);
    ParamByName("ORDER_POSITION").SetInteger(FEntry->OrderPosition);
    ParamByName("TITLE").SetString(FEntry->Title);
    ParamByName("DESCRIPTION").SetString(FEntry->Description);
    ParamByName("KIND").SetInteger(FEntry->IsFolder ? 1 : 0);
    ParamByName("FLAGS").SetInteger(FEntry->Flags);
    Exec();
    return Finish();
  } catch (...) {
    return Fail();
  }
}

// --- chain ------------------------------------------------------------------

bool TDBDirectoryReadChainCmd::Run(TDirectoryList* list, int32_t id, TFbTransaction* transaction) {
  TDBDirectoryReadChainCmd command(transaction);
  command.FList = list;
  command.FId = id;
  return command.Execute();
}

bool TDBDirectoryReadChainCmd::Execute() {
  SetSQL(kChainSQL + std::to_string(FId));
  try {
    if (Exec()) {
      auto entry = std::make_unique<TDirectory>();
      entry->Id = FieldByName("IDD").AsInteger();
      if (!ChainHolds(*FList, entry->Id)) {
        TDBDirectoryReadCmd::Run(entry.get(), Transaction);
        TDirectory* added = FList->Add(std::move(entry));
        TDBDirectoryReadChainCmd::Run(FList, added->IdParent, nullptr);
      }
    }
    return Finish();
  } catch (...) {
    return Fail();
  }
}

// --- order update -------------------------------------------------------------

bool TDBDirectoriesOrderUpdateCmd::Run(TDirectoryList* list, TFbTransaction* transaction) {
  TDBDirectoriesOrderUpdateCmd command(transaction);
  command.FList = list;
  return command.Execute();
}

bool TDBDirectoriesOrderUpdateCmd::Execute() {
  SetSQL(kOrderUpdateSQL);
  try {
    std::vector<TDirectory*> stored;
    for (const auto& entry : *FList) {
      if (!entry->Changed) continue;
      ParamByName("IDD").SetInteger(entry->Id);
      ParamByName("ORDER_POSITION").SetInteger(entry->OrderPosition);
      Exec();
      stored.push_back(entry.get());
    }
    bool result = Finish();
    // Only now are the positions in the database; a rollback keeps the marks
    // so that the next update sends them again.
    for (TDirectory* entry : stored) entry->Changed = false;
    return result;
  } catch (...) {
    return Fail();
  }
}

// --- window statements ----------------------------------------------------------

std::vector<int32_t> ReadFolderListing(int32_t folderId, TFbTransaction* transaction) {
  StartIfNeeded(transaction);
  TFbQuery query(SharedDatabase(), transaction);
  query.SetSQL(kFolderListingSQL);
  query.ParamByName("ID_PARENT").SetInteger(folderId);
  std::vector<int32_t> ids;
  for (query.ExecQuery(); !query.Eof(); query.Next()) {
    ids.push_back(QueryFieldByName(query, "IDD").AsInteger());
  }
  return ids;
}

int32_t ReadParentId(int32_t id, TFbTransaction* transaction) {
  StartIfNeeded(transaction);
  TFbQuery query(SharedDatabase(), transaction);
  query.SetSQL(kParentLookupSQL);
  query.ParamByName("ID").SetInteger(id);
  query.ExecQuery();
  return query.Eof() ? 0 : QueryFieldByName(query, "ID_PARENT").AsInteger();
}
