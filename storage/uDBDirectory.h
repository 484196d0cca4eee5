#pragma once
// The commands that move entries between the directory table and memory.
// Each is used only through its class-level Run: the command lives inside
// it, runs on the transaction given (none: on one of its own) and returns
// Execute's result.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "uDB.h"
#include "uDirectory.h"
#include "uDirectorySQL.h"
#include "uExchangeRows.h"

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
// exists, an insert otherwise. An Id below 1 is never stored: false. A text
// is never stored shortened: one longer than its column is refused.
// reason, when given, receives on failure why, in plain Russian, for the
// user: a text too long for its column (the field, its length and the
// limit), the entry being changed by someone else right now, a character
// Windows-1251 cannot hold, or the database's own message.
class TDBDirectorySaveCmd : public TDBWriteCmd {
 public:
  static bool Run(TDirectory* entry, TFbTransaction* transaction = nullptr, std::string* reason = nullptr);

 protected:
  using TDBWriteCmd::TDBWriteCmd;
  bool Execute() override;

 private:
  bool Refuse(std::string reason);
  TDirectory* FEntry = nullptr;
  std::string FReason;
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

// Appends the exchange rows of an entry and of everything below it, the
// entry at the given level, children by position, depth first. Each level
// reads in a transaction of its own. An entry that is its own ancestor (a
// cycle in the parent links) is not walked again. A level that fails ends
// there while the levels above go on; complete (when given) tells whether
// every level and every entry was read.
class TDBDirectoryExportCmd : public TDBReadCmd {
 public:
  static bool Run(const TDirectory* entry, int level, std::vector<std::string>* lines,
                  TFbTransaction* transaction = nullptr, bool* complete = nullptr);

 protected:
  using TDBReadCmd::TDBReadCmd;
  bool Execute() override;

 private:
  struct TWalk {
    std::vector<std::string>* Lines = nullptr;
    std::vector<int32_t> Path;  // ids from the exported entry down to this one
    bool Complete = true;
  };
  static bool RunLevel(const TDirectory* entry, int level, TWalk* walk, TFbTransaction* transaction);
  const TDirectory* FEntry = nullptr;
  int FLevel = 0;
  TWalk* FWalk = nullptr;
};

// How an import ended.
enum class TImportEnd {
  Completed,       // every row of the text was read
  NoExchangeText,  // no marker line, or nothing but blank lines after it: nothing read
  BlankLine,       // a blank line ended the rows, and lines with text follow it
  Cancelled,       // the progress handler asked to stop
  Failed,          // a row could not be read or stored
};

// What an import did: how many entries it created and, when it did not
// read every row, where it stopped and why.
struct TImportResult {
  TImportEnd End = TImportEnd::Completed;
  int Created = 0;
  // The line it stopped at: the row that failed (Failed), the first line
  // not imported (Cancelled), the blank line (BlankLine); 0 otherwise.
  int StoppedAtLine = 0;
  // Lines after the stop that were not read, up to the last line with text
  // (BlankLine: those after the blank line; Cancelled: from StoppedAtLine on;
  // Failed: those after the failed row).
  int LinesNotRead = 0;
  // Why, in plain Russian for the user; empty when Completed or
  // NoExchangeText.
  std::string Reason;
};

// Called after every stored entry with the number stored so far, and every
// TExchangeReader::kLinesPerProgress lines while one row runs over many
// lines; returning false stops the import (what was stored stays).
using TImportProgress = std::function<bool(int created)>;

// Creates one new entry per row of an exchange text below the target
// folder; every id is drawn and every row saved in transactions of their
// own, so what was saved before a stop stays saved. True when the text was
// read to its end or to a blank line, or was no exchange text at all (see
// TImportResult::End); false when it was cancelled or a row failed.
class TDBDirectoryImportCmd : public TDBWriteCmd {
 public:
  static bool Run(const std::vector<TTextLine>& lines, int32_t target,
                  TFbTransaction* transaction = nullptr, TImportResult* result = nullptr,
                  TImportProgress progress = nullptr);

 protected:
  using TDBWriteCmd::TDBWriteCmd;
  bool Execute() override;

 private:
  bool Import(TExchangeReader& reader);
  bool EndOfRows(const TExchangeReader& reader);
  bool Cancel(TExchangeReader& reader, int line);
  bool Stop(int line, int lastLine, std::string reason);
  int LinesWithTextFrom(int line) const;
  std::unique_ptr<TDirectory> NewEntry(const TExchangeRow& row);

  const std::vector<TTextLine>* FLines = nullptr;
  int32_t FTarget = 0;
  TImportResult FResult;
  TImportProgress FProgress;
};

// The statements the main window runs on its own statement object
// (kFolderListingSQL, kParentLookupSQL) are in uDirectorySQL.h.

// The ids of a folder's children, folders first, each group by position;
// runs the folder listing in the given transaction (started when needed).
// Errors are raised to the caller.
std::vector<int32_t> ReadFolderListing(int32_t folderId, TFbTransaction* transaction);

// The parent folder id of an entry; 0 when no row has that id.
int32_t ReadParentId(int32_t id, TFbTransaction* transaction);
