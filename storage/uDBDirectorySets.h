#pragma once
// Set-based reads for a book on a server: a folder's listing with child
// counts, a chain and a section's export each cost a few statements,
// however many entries they hold. Each gives exactly what the per-entry
// reads give (the folder listing statement plus TDBDirectoryReadCmd per
// id, TDBDirectoryReadChainCmd, TDBDirectoryExportCmd). Errors are raised
// to the caller (EDatabaseError).

#include <cstdint>
#include <string>
#include <vector>

#include "uDB.h"
#include "uDirectory.h"

// Appends the children of a folder (0: the root) with Childs counted,
// folders first, each group by position, as the folder listing orders
// them. Runs in the given transaction, started when needed (the window's
// shared read transaction).
void ReadFolderEntries(int32_t folderId, TDirectoryList* list, TFbTransaction* transaction);

// Appends the chain of id (the entry, its parent, ... the top-level folder)
// with Childs counted; stops at a missing parent or at an entry already in
// the list. A transaction of its own when none is given.
void ReadChainEntries(TDirectoryList* list, int32_t id, TFbTransaction* transaction = nullptr);

// Appends the exchange rows of entry and everything below it, the entry at
// level, children by position, depth first; the entry itself is never
// walked again when a parent link leads back to it.
void ExportSectionRows(const TDirectory& entry, int level, std::vector<std::string>* lines,
                       TFbTransaction* transaction = nullptr);

// Levels read by one recursive statement; deeper trees take one more
// statement per this many levels.
constexpr int kLevelsPerStatement = 500;
// Descriptions up to this many characters travel inline with their row.
constexpr int kInlineDescription = 1000;
