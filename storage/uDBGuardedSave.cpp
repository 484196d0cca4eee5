#include "uDBGuardedSave.h"

#include "uDbFailure.h"

namespace {

// WITH LOCK takes the row for this transaction the moment it is fetched;
// with "nowait" a row held by another transaction fails at once.
const char* const kLockedReadSQL = "SELECT * FROM directory d WHERE d.idd = :idd WITH LOCK";
const char* const kGuardedUpdateSQL =
    "UPDATE directory SET id_parent = :id_parent, order_position = :order_position, title = :title, "
    "description = :description, kind = :kind, flags = :flags WHERE idd = :idd";
const char* const kGuardedInsertSQL =
    "INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
    "VALUES (:idd, :id_parent, :order_position, :title, :description, :kind, :flags)";

}  // namespace

bool SameStoredFields(const TDirectory& a, const TDirectory& b) {
  return a.Title == b.Title && a.Description == b.Description && a.IsFolder == b.IsFolder &&
         a.Flags == b.Flags && a.IdParent == b.IdParent && a.OrderPosition == b.OrderPosition;
}

std::string ChangedMeanwhileMessage(const TDirectory& stored) {
  return "Запись \"" + stored.Title + "\" изменил кто-то другой, пока она была открыта.\r\n"
         "Ваши изменения не сохранены. Сейчас в справочнике:\r\n" + stored.Title +
         (stored.Description.empty() ? std::string() : "\r\n" + stored.Description);
}

TGuardedSaveResult TDBDirectoryGuardedSaveCmd::Run(const TDirectory& original, const TDirectory& edited) {
  TDBDirectoryGuardedSaveCmd command(nullptr);
  command.FOriginal = &original;
  command.FEdited = &edited;
  command.Execute();
  return command.FResult;
}

bool TDBDirectoryGuardedSaveCmd::Execute() {
  if (FEdited->Id < 1) return false;
  try {
    SetSQL(kLockedReadSQL);
    ParamByName("IDD").SetInteger(FEdited->Id);
    const bool exists = Exec();
    if (exists) {
      TDirectory& stored = FResult.Stored;
      stored.Id = FEdited->Id;
      stored.Title = FieldByName("TITLE").AsString();
      stored.IdParent = FieldByName("ID_PARENT").AsInteger();
      stored.OrderPosition = FieldByName("ORDER_POSITION").AsInteger();
      stored.Flags = FieldByName("FLAGS").AsInteger();
      stored.IsFolder = FieldByName("KIND").AsInteger() == 1;
      stored.Description = FieldByName("DESCRIPTION").AsString();
      if (!SameStoredFields(stored, *FOriginal)) {
        FResult.Outcome = TGuardedSave::ChangedMeanwhile;
        return Fail();
      }
    }
    return Store(exists);
  } catch (const EDatabaseError& error) {
    FResult.Detail = error.what();
    FResult.Outcome = ClassifyDatabaseFailure(error, TDbStage::Work) == TDbFailure::LockConflict
                          ? TGuardedSave::BeingChanged
                          : TGuardedSave::Failed;
    return Fail();
  } catch (...) {
    FResult.Outcome = TGuardedSave::Failed;
    return Fail();
  }
}

bool TDBDirectoryGuardedSaveCmd::Store(bool exists) {
  SetSQL(exists ? kGuardedUpdateSQL : kGuardedInsertSQL);
  ParamByName("IDD").SetInteger(FEdited->Id);
  ParamByName("ID_PARENT").SetInteger(FEdited->IdParent);
  ParamByName("ORDER_POSITION").SetInteger(FEdited->OrderPosition);
  ParamByName("TITLE").SetString(FEdited->Title);
  ParamByName("DESCRIPTION").SetString(FEdited->Description);
  ParamByName("KIND").SetInteger(FEdited->IsFolder ? 1 : 0);
  ParamByName("FLAGS").SetInteger(FEdited->Flags);
  Exec();
  Finish();
  FResult.Outcome = TGuardedSave::Saved;
  return true;
}
