#pragma once
// The commands that move entries between the directory table and memory.
// Each is used only through its class-level Run: the command lives inside
// it, runs on the transaction given (none: on one of its own) and returns
// Execute's result.

#include <cstdint>
#include <vector>

#include "uDB.h"
#include "uDirectory.h"

// Fills an entry whose Id is set from its row and counts its children.
// True also when no row has that id (the entry is left as it was).
class TDBDirectoryReadCmd : public TDBReadCmd {
 public:
  static bool Run(TDirectory* entry, TFbTransaction* transaction = nullptr);

 protected:
  using TDBReadCmd::TDBReadCmd;
  bool Execute() override;

 private:
  TDirectory* FEntry = nullptr;
};

// Stores every field of an entry under its Id: an update when the row
// exists, an insert otherwise. An Id below 1 is never stored: false.
class TDBDirectorySaveCmd : public TDBWriteCmd {
 public:
  static bool Run(TDirectory* entry, TFbTransaction* transaction = nullptr);

 protected:
  using TDBWriteCmd::TDBWriteCmd;
  bool Execute() override;

 private:
  TDirectory* FEntry = nullptr;
};

// Appends the folder with the given id, then its parent, and so on up to
// the top level. Each level reads in a transaction of its own. A parent
// link that leads back into the chain ends the walk.
class TDBDirectoryReadChainCmd : public TDBReadCmd {
 public:
  static bool Run(TDirectoryList* list, int32_t id, TFbTransaction* transaction = nullptr);

 protected:
  using TDBReadCmd::TDBReadCmd;
  bool Execute() override;

 private:
  TDirectoryList* FList = nullptr;
  int32_t FId = 0;
};

// Stores the order position of every entry marked Changed; the mark is
// cleared once the transaction that stored it has committed.
class TDBDirectoriesOrderUpdateCmd : public TDBWriteCmd {
 public:
  static bool Run(TDirectoryList* list, TFbTransaction* transaction = nullptr);

 protected:
  using TDBWriteCmd::TDBWriteCmd;
  bool Execute() override;

 private:
  TDirectoryList* FList = nullptr;
};

// The statements the main window runs on its own statement object.
extern const char* const kFolderListingSQL;  // parameter ID_PARENT
extern const char* const kParentLookupSQL;   // parameter ID

// The ids of a folder's children, folders first, each group by position;
// runs the folder listing in the given transaction (started when needed).
// Errors are raised to the caller.
std::vector<int32_t> ReadFolderListing(int32_t folderId, TFbTransaction* transaction);

// The parent folder id of an entry; 0 when no row has that id.
int32_t ReadParentId(int32_t id, TFbTransaction* transaction);
