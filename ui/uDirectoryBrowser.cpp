#include "uDirectoryBrowser.h"

#include <malloc.h>

#include <atomic>
#include <thread>

#include "uDB.h"
#include "uDBDirectorySets.h"
#include "uDBGuardedSave.h"
#include "uDbFailure.h"
#include "uText.h"
#include "udmDB.h"

namespace {

const char* const kNoIdReason = "Не удалось получить новый идентификатор записи из базы данных.";
const char* const kNotSavedReason =
    "Запись не сохранена: база данных не приняла изменения.\r\n"
    "Возможно, запись сейчас изменяется в другой программе.";

// Listeners drop their rows first and take the new listing at the end,
// also when loading stops on an error half-way.
class TListingReset {
 public:
  explicit TListingReset(TDirectoryBrowser& browser) : FBrowser(browser) { emit FBrowser.ListingAboutToReset(); }
  ~TListingReset() { emit FBrowser.ListingReset(); }
  TListingReset(const TListingReset&) = delete;
  TListingReset& operator=(const TListingReset&) = delete;

 private:
  TDirectoryBrowser& FBrowser;
};

// A text the book's character set cannot hold, named for the user.
std::string UnsupportedTextReason(const TDirectory& entry) {
  char32_t unsupported = FindNonWin1251Char(entry.Title);
  if (!unsupported) unsupported = FindNonWin1251Char(entry.Description);
  return unsupported ? NonWin1251Message(unsupported) + "\r\nЗапись не сохранена." : std::string();
}

}  // namespace

// The search's book read on a thread of its own, over a connection of its
// own: the connection and transactions of the window are not shared.
struct TDirectoryBrowser::TPreload {
  int Generation = 0;
  std::atomic<bool> Cancel{false};
  TBookIndex Index;
  std::thread Thread;

  TPreload(const TFbDatabase& book, int generation) : Generation(generation) {
    Thread = std::thread([this, name = book.DatabaseName, params = book.Params] { Run(name, params); });
  }
  ~TPreload() {
    Cancel = true;
    if (Thread.joinable()) Thread.join();
  }
  TPreload(const TPreload&) = delete;
  TPreload& operator=(const TPreload&) = delete;

  void Run(const std::string& name, const std::vector<std::string>& params) {
    try {
      TFbDatabase book;
      book.DatabaseName = name;
      book.Params = params;
      book.Open();
      TFbTransaction read(&book);
      read.Params = ReadTransactionParams();
      Index.Load(&read, &Cancel);
      read.Commit();
    } catch (...) {
      // The search reads the book itself then, and tells what failed.
      Index.Clear();
    }
  }
};

TDirectoryBrowser::TDirectoryBrowser(TdmDB& dm, QObject* parent)
    : QObject(parent), FdmDB(dm), FCurrentFolder(std::make_unique<TDirectory>()) {}

TDirectoryBrowser::~TDirectoryBrowser() = default;

int TDirectoryBrowser::IndexOfId(int32_t id) const {
  for (int index = 0; index < FEntries.Count(); ++index) {
    if (FEntries.Items(index)->Id == id) return index;
  }
  return -1;
}

// --- loading ------------------------------------------------------------------

void TDirectoryBrowser::ClearList() {
  TListingReset reset(*this);
  FEntries.Clear();
}

int32_t TDirectoryBrowser::LoadDirectory(int32_t id) {
  TFbTransaction* read = &FdmDB.trDirectoryRead;
  {
    TListingReset reset(*this);
    FEntries.Clear();
    FCurrentId = id;
    ReadListing(id, FEntries);
  }
  FCurrentFolder->Clear();
  if (id != 0) {
    FCurrentFolder->Id = id;
    TDBDirectoryReadCmd::Run(FCurrentFolder.get(), read);
  }
  return id;
}

// The up row below the root, then the folder's entries: on a server in one
// statement, otherwise entry by entry as the listing has always been read.
void TDirectoryBrowser::ReadListing(int32_t id, TDirectoryList& into) {
  TFbTransaction* read = &FdmDB.trDirectoryRead;
  if (id > 0) {
    auto upRow = TDirectory::NewFolder(id);
    upRow->Title = kUpRowTitle;
    into.Add(std::move(upRow));
  }
  if (FdmDB.OnServer()) return ReadFolderEntries(id, &into, read);
  for (int32_t childId : ReadFolderListing(id, read)) {
    auto entry = std::make_unique<TDirectory>();
    entry->Id = childId;
    TDBDirectoryReadCmd::Run(entry.get(), read);
    into.Add(std::move(entry));
  }
}

bool TDirectoryBrowser::RefreshListing() {
  TDirectoryList fresh;
  ReadListing(FCurrentId, fresh);
  auto same = [](const TDirectory& a, const TDirectory& b) {
    return a.Id == b.Id && a.IdParent == b.IdParent && a.Title == b.Title && a.Description == b.Description &&
           a.IsFolder == b.IsFolder && a.Flags == b.Flags && a.OrderPosition == b.OrderPosition &&
           a.Childs == b.Childs;
  };
  bool changed = fresh.Count() != FEntries.Count();
  for (int index = 0; !changed && index < fresh.Count(); ++index)
    changed = !same(*fresh.Items(index), *FEntries.Items(index));
  if (FCurrentId != 0) {
    TDirectory folder;
    folder.Id = FCurrentId;
    TDBDirectoryReadCmd::Run(&folder, &FdmDB.trDirectoryRead);
    changed = changed || folder.Title != FCurrentFolder->Title;
    *FCurrentFolder = folder;
  }
  if (!changed) return false;
  TListingReset reset(*this);
  FEntries.Clear();
  for (int index = 0; index < fresh.Count(); ++index)
    FEntries.Add(std::make_unique<TDirectory>(*fresh.Items(index)));
  return true;
}

void TDirectoryBrowser::NoteChangedElsewhere() {
  ++FBookGeneration;
  FSearchIndex.reset();
  FPreload.reset();
}

TBookResult TDirectoryBrowser::Reconnect() {
  std::string detail;
  const TDbFailure failure = FdmDB.Reconnect(&detail);
  if (failure == TDbFailure::None) return TBookResult::Done();
  const TBookLocation book = ParseBookLocation(FdmDB.DB.DatabaseName, std::string());
  return TBookResult::Failed(ServerFailureMessage(failure, book, detail));
}

int32_t TDirectoryBrowser::ReadIdParent(int32_t id) { return ReadParentId(id, &FdmDB.trDirectoryRead); }

void TDirectoryBrowser::ReadChain(int32_t folderId) {
  FChain.Clear();
  if (folderId == 0) return;
  if (!FdmDB.OnServer()) {
    TDBDirectoryReadChainCmd::Run(&FChain, folderId, nullptr);
    return;
  }
  try {
    ReadChainEntries(&FChain, folderId);
  } catch (const EDatabaseError&) {
    // As the per-level reads do: the chain read so far is shown.
  }
}

bool TDirectoryBrowser::ReadEntry(TDirectory& entry) {
  return TDBDirectoryReadCmd::Run(&entry, &FdmDB.trDirectoryRead);
}

void TDirectoryBrowser::Reload(int32_t folderId) { LoadDirectory(folderId); }

int32_t TDirectoryBrowser::LeaveFolder() {
  const int32_t left = FCurrentId;
  ClearList();
  LoadDirectory(ReadIdParent(left));
  return left;
}

// --- create, edit, move ----------------------------------------------------------

TNewEntry TDirectoryBrowser::NewEntry(bool folder) {
  TNewEntry fresh;
  const int id = NextGeneratorValue("GEN_DIRECTORY_ID");
  if (id < 1) {
    fresh.Result = TBookResult::Failed(kNoIdReason);
    return fresh;
  }
  fresh.Entry.Id = id;
  fresh.Entry.IdParent = FCurrentId;
  fresh.Entry.IsFolder = folder;
  return fresh;
}

// An edit on a server goes through the guarded save, so that a change
// someone else stored meanwhile is never overwritten unseen.
bool TDirectoryBrowser::StoreEdit(const TDirectory& entry, const TDirectory* original, TSaveResult& result) {
  if (!FdmDB.OnServer() || !original) {
    TDirectory stored = entry;
    std::string why;
    if (TDBDirectorySaveCmd::Run(&stored, nullptr, &why)) return true;
    result.Reason = why.empty() ? std::string(kNotSavedReason) : "Запись не сохранена: " + why;
    return false;
  }
  const TGuardedSaveResult guarded = TDBDirectoryGuardedSaveCmd::Run(*original, entry);
  switch (guarded.Outcome) {
    case TGuardedSave::Saved: return true;
    case TGuardedSave::ChangedMeanwhile:
      result.ChangedMeanwhile = true;
      result.Current = guarded.Stored;
      result.Reason = ChangedMeanwhileMessage(guarded.Stored);
      return false;
    case TGuardedSave::BeingChanged:
      result.BeingChanged = true;
      result.Reason = kLockConflictMessage;
      return false;
    case TGuardedSave::Failed: break;
  }
  result.Reason = kNotSavedReason;
  return false;
}

TSaveResult TDirectoryBrowser::SaveEntry(const TDirectory& entry, bool created, const TDirectory* insertAfter,
                                         const TDirectory* original) {
  TSaveResult result;
  result.Reason = UnsupportedTextReason(entry);
  if (!result.Reason.empty()) return result;
  if (!StoreEdit(entry, created ? nullptr : original, result)) return result;
  result.Stored = true;
  if (!created && FSearchIndex && FSearchIndex->Update(entry)) {
    ++FBookGeneration;  // an edit of texts: the index took it as it is
    emit BookChanged();
    return result;
  }
  NoteBookChanged();
  if (!created) return result;
  FEntries.Insert(FEntries.IndexOf(insertAfter) + 1, std::make_unique<TDirectory>(entry));
  FEntries.Renumber();
  result.Reason = StoreOrder("Запись сохранена, но ее место в папке не сохранено").Reason;
  return result;
}

TBookResult TDirectoryBrowser::MoveEntry(int index, int direction) {
  if (direction != -1 && direction != 1) return TBookResult::Done();
  if (index < 0 || index >= FEntries.Count()) return TBookResult::Done();
  const int target = index + direction;
  if (target < 0 || target >= FEntries.Count()) return TBookResult::Done();
  const TDirectory* entry = FEntries.Items(index);
  const TDirectory* neighbour = FEntries.Items(target);
  // Folders and records never pass each other, and the up row stays first.
  if (entry->IsUpRow() || neighbour->IsUpRow() || entry->IsFolder != neighbour->IsFolder)
    return TBookResult::Done();
  emit EntryAboutToMove(index, target);
  FEntries.Move(index, target);
  emit EntryMoved(index, target);
  FEntries.Renumber();
  const TBookResult stored = StoreOrder("Новый порядок записей не сохранен");
  NoteBookChanged();
  return stored;
}

TBookResult TDirectoryBrowser::StoreOrder(const char* what) {
  if (TDBDirectoriesOrderUpdateCmd::Run(&FEntries)) return TBookResult::Done();
  return TBookResult::Failed(std::string(what) + ": база данных не приняла изменения.");
}

// --- exchange ----------------------------------------------------------------------

TExportedSection TDirectoryBrowser::ExportSection(const TDirectory& entry) {
  std::vector<std::string> lines;
  bool complete = true;
  bool ok = true;
  if (FdmDB.OnServer()) {
    try {
      ExportSectionRows(entry, 0, &lines);
    } catch (const EDatabaseError&) {
      ok = false;
    }
  } else {
    ok = TDBDirectoryExportCmd::Run(&entry, 0, &lines, nullptr, &complete);
  }
  if (!ok || !complete)
    return {TBookResult::Failed("база данных не выдала все записи раздела."), {}};
  std::string text = std::string(kExchangeMarker) + "\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  return {TBookResult::Done(), std::move(text)};
}

bool TDirectoryBrowser::Import(const std::vector<TTextLine>& lines, TImportResult* result,
                               TImportProgress progress) {
  TImportResult own;
  if (!result) result = &own;
  const bool imported = TDBDirectoryImportCmd::Run(lines, FCurrentId, nullptr, result, std::move(progress));
  if (result->Created > 0) NoteBookChanged();
  return imported;
}

// --- search ----------------------------------------------------------------------

std::shared_ptr<const TBookIndex> TDirectoryBrowser::SearchIndex() {
  if (!FSearchIndex) TakePreload();
  if (!FSearchIndex) {
    auto index = std::make_shared<TBookIndex>();
    index->Load(&FdmDB.trDirectoryRead);
    FSearchIndex = std::move(index);
  }
  return FSearchIndex;
}

void TDirectoryBrowser::PreloadSearchIndex() {
  if (FSearchIndex || FPreload || !FdmDB.DB.Connected()) return;
  FPreload = std::make_unique<TPreload>(FdmDB.DB, FBookGeneration);
}

// Waits for a background read still running and takes its index when no
// change was written since it started.
void TDirectoryBrowser::TakePreload() {
  if (!FPreload) return;
  FPreload->Thread.join();
  if (FPreload->Generation == FBookGeneration && FPreload->Index.Loaded())
    FSearchIndex = std::make_shared<TBookIndex>(std::move(FPreload->Index));
  FPreload.reset();
  malloc_trim(0);  // the rows read on the other thread are gone; give their memory back
}

void TDirectoryBrowser::NoteBookChanged() {
  ++FBookGeneration;
  FSearchIndex.reset();
  emit BookChanged();
}
