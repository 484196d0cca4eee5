#pragma once
// No lost update: an entry edited in one copy of the program is stored
// only when its row still holds what the editor was opened on; otherwise
// the user is shown what someone else stored meanwhile.

#include <string>

#include "uDB.h"
#include "uDirectory.h"

enum class TGuardedSave {
  Saved,            // stored (an update, or an insert of a new entry)
  ChangedMeanwhile, // the row differs from the original: nothing stored
  BeingChanged,     // another transaction holds the row: try again
  Failed,           // any other database error: nothing stored
};

struct TGuardedSaveResult {
  TGuardedSave Outcome = TGuardedSave::Failed;
  TDirectory Stored;   // the row as stored now, when ChangedMeanwhile
  std::string Detail;  // the library's text, when Failed
};

// Stores edited under its Id when the row, locked inside the write
// transaction, still equals original in title, description, kind, flags,
// parent and position; an Id without a row is inserted as the plain save
// would. Posts "directory_changed" with the change.
class TDBDirectoryGuardedSaveCmd : public TDBWriteCmd {
 public:
  static TGuardedSaveResult Run(const TDirectory& original, const TDirectory& edited);

 protected:
  using TDBWriteCmd::TDBWriteCmd;
  bool Execute() override;

 private:
  bool Store(bool exists);
  const TDirectory* FOriginal = nullptr;
  const TDirectory* FEdited = nullptr;
  TGuardedSaveResult FResult;
};

// The stored fields that the guarded save compares.
bool SameStoredFields(const TDirectory& a, const TDirectory& b);

// "Changed by someone else" with the stored version's title and
// description, for the message box.
std::string ChangedMeanwhileMessage(const TDirectory& stored);
