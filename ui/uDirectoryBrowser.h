#pragma once
// The folder browser: what the main window shows of the book and every
// operation on it, without a widget. It owns the listing of the folder
// shown, the chain above it and the folder itself; the window presents
// them. Listeners follow the listing through the notifications below, the
// list control among them, so nothing keeps a second copy in step by hand.
// Failures come back with a reason in words the user can read.

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uBookSearch.h"
#include "uDBDirectory.h"
#include "uDirectory.h"
#include "uExchangeRows.h"

class TdmDB;

// What an operation on the book did: done, or what failed and why.
struct TBookResult {
  bool Ok = true;
  std::string Reason;  // plain Russian; empty when Ok

  static TBookResult Done() { return {}; }
  static TBookResult Failed(std::string reason) { return {false, std::move(reason)}; }
  explicit operator bool() const { return Ok; }
};

// A new entry with a freshly drawn id, not yet stored; Ok is false when no
// id could be drawn.
struct TNewEntry {
  TBookResult Result;
  TDirectory Entry;
};

// What saving an entry did: whether the entry is in the book, and why not,
// or why its place in the folder is not.
struct TSaveResult {
  bool Stored = false;
  std::string Reason;
  // Someone else changed the entry since the editor opened (a book on a
  // server): nothing was stored, Current holds what is stored now.
  bool ChangedMeanwhile = false;
  // Another program holds the entry right now: try again.
  bool BeingChanged = false;
  TDirectory Current;
  bool Ok() const { return Stored && Reason.empty(); }
};

// A section written as exchange text; Text is empty when the export failed.
struct TExportedSection {
  TBookResult Result;
  std::string Text;  // marker line and rows, each line ending in CR LF
};

class TDirectoryBrowser : public QObject {
  Q_OBJECT

 public:
  explicit TDirectoryBrowser(TdmDB& dm, QObject* parent = nullptr);
  ~TDirectoryBrowser() override;

  int32_t CurrentId() const { return FCurrentId; }
  const TDirectory& CurrentFolder() const { return *FCurrentFolder; }
  const TDirectoryList& Entries() const { return FEntries; }
  const TDirectoryList& Chain() const { return FChain; }
  // The first listed entry with that id; -1 when none.
  int IndexOfId(int32_t id) const;

  // --- loading ---
  // Empties the listing; listeners drop their rows before the entries go.
  void ClearList();
  // Fills the listing of folder id (up row first below the root), re-reads
  // the folder itself and makes it the folder shown. Returns id. A failed
  // listing query raises EDatabaseError; the listing then holds what was
  // read so far, and listeners have seen it.
  int32_t LoadDirectory(int32_t id);
  // The parent folder of entry id; 0 when no entry has that id.
  int32_t ReadIdParent(int32_t id);
  // Empties the chain and reads it anew for folder id (none at the root). A
  // level that cannot be read ends the chain there.
  void ReadChain(int32_t folderId);
  // ClearList and LoadDirectory in one.
  void Reload(int32_t folderId);
  // Reads the entry with entry.Id anew from the book.
  bool ReadEntry(TDirectory& entry);
  // Reads the folder shown anew after a change written elsewhere; the
  // listing is replaced, and listeners told, only when it differs from what
  // the book now holds. True when it was replaced.
  bool RefreshListing();
  // A change written by another program: the search reads the book anew.
  void NoteChangedElsewhere();
  // After a lost connection: connects again to the book; Done when the
  // server is back, otherwise the reason in plain words.
  TBookResult Reconnect();
  // Loads the parent of the folder shown; returns the id of the folder left.
  int32_t LeaveFolder();

  // --- commands ---
  // A new record or folder in the folder shown, its id drawn now.
  TNewEntry NewEntry(bool folder);
  // Stores an entry. A created entry is then inserted into the listing after
  // insertAfter (at the front when none), the listing renumbered and the
  // changed positions stored. Once stored, the caller reloads.
  // On a server an edit is stored only when the entry still holds original,
  // what the editor was opened on.
  TSaveResult SaveEntry(const TDirectory& entry, bool created, const TDirectory* insertAfter,
                        const TDirectory* original = nullptr);
  // Moves the listed entry at index one place up (direction -1) or down (1)
  // past its neighbour of the same kind and stores the new positions.
  // Nothing happens, and the result is Done, when the move is not allowed.
  TBookResult MoveEntry(int index, int direction);
  // The exchange text of an entry and everything below it.
  TExportedSection ExportSection(const TDirectory& entry);
  // Imports an exchange text into the folder shown.
  bool Import(const std::vector<TTextLine>& lines, TImportResult* result, TImportProgress progress);

  // --- search over the whole book ---
  // The book as the search sees it, read when first asked for after a
  // change. A failed read raises EDatabaseError.
  // Results keep the index they were found in, whatever changes after.
  std::shared_ptr<const TBookIndex> SearchIndex();
  // Starts reading the book for the search in the background, on a
  // connection of its own, so that the first search finds it read. A change
  // written meanwhile makes the search read the book itself.
  void PreloadSearchIndex();

 signals:
  void ListingAboutToReset();
  void ListingReset();
  void EntryAboutToMove(int from, int to);
  void EntryMoved(int from, int to);
  // Something was written to the book (an entry, positions, an import).
  void BookChanged();

 private:
  TBookResult StoreOrder(const char* what);
  void ReadListing(int32_t id, TDirectoryList& into);
  bool StoreEdit(const TDirectory& entry, const TDirectory* original, TSaveResult& result);
  void NoteBookChanged();
  void TakePreload();
  struct TPreload;

  TdmDB& FdmDB;
  int32_t FCurrentId = 0;
  std::unique_ptr<TDirectory> FCurrentFolder;
  TDirectoryList FEntries;
  TDirectoryList FChain;
  std::shared_ptr<TBookIndex> FSearchIndex;  // none until read
  int FBookGeneration = 0;  // counts the changes written through the browser
  std::unique_ptr<TPreload> FPreload;
};
