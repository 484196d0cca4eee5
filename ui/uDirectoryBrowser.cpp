#include "uDirectoryBrowser.h"

#include <malloc.h>

#include <atomic>
#include <thread>

#include "uDB.h"
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
    if (id > 0) {
      auto upRow = TDirectory::NewFolder(id);
      upRow->Title = kUpRowTitle;
      FEntries.Add(std::move(upRow));
    }
    FCurrentId = id;
    for (int32_t childId : ReadFolderListing(id, read)) {
      auto entry = std::make_unique<TDirectory>();
      entry->Id = childId;
      TDBDirectoryReadCmd::Run(entry.get(), read);
      FEntries.Add(std::move(entry));
    }
  }
  FCurrentFolder->Clear();
  if (id != 0) {
    FCurrentFolder->Id = id;
    TDBDirectoryReadCmd::Run(FCurrentFolder.get(), read);
  }
  return id;
}

int32_t TDirectoryBrowser::ReadIdParent(int32_t id) { return ReadParentId(id, &FdmDB.trDirectoryRead); }

void TDirectoryBrowser::ReadChain(int32_t folderId) {
  FChain.Clear();
  if (folderId != 0) TDBDirectoryReadChainCmd::Run(&FChain, folderId, nullptr);
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

TSaveResult TDirectoryBrowser::SaveEntry(const TDirectory& entry, bool created, const TDirectory* insertAfter) {
  if (std::string reason = UnsupportedTextReason(entry); !reason.empty()) return {false, reason};
  TDirectory stored = entry;
  if (!TDBDirectorySaveCmd::Run(&stored)) return {false, kNotSavedReason};
  if (!created && FSearchIndex.Loaded() && FSearchIndex.Update(entry)) {
    ++FBookGeneration;  // an edit of texts: the index took it as it is
    emit BookChanged();
    return {true, {}};
  }
  NoteBookChanged();
  if (!created) return {true, {}};
  FEntries.Insert(FEntries.IndexOf(insertAfter) + 1, std::make_unique<TDirectory>(entry));
  FEntries.Renumber();
  return {true, StoreOrder("Запись сохранена, но ее место в папке не сохранено").Reason};
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
  const bool ok = TDBDirectoryExportCmd::Run(&entry, 0, &lines, nullptr, &complete);
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

const TBookIndex& TDirectoryBrowser::SearchIndex() {
  if (!FSearchIndex.Loaded()) TakePreload();
  if (!FSearchIndex.Loaded()) FSearchIndex.Load(&FdmDB.trDirectoryRead);
  return FSearchIndex;
}

void TDirectoryBrowser::PreloadSearchIndex() {
  if (FSearchIndex.Loaded() || FPreload || !FdmDB.DB.Connected()) return;
  FPreload = std::make_unique<TPreload>(FdmDB.DB, FBookGeneration);
}

// Waits for a background read still running and takes its index when no
// change was written since it started.
void TDirectoryBrowser::TakePreload() {
  if (!FPreload) return;
  FPreload->Thread.join();
  if (FPreload->Generation == FBookGeneration && FPreload->Index.Loaded()) FSearchIndex = std::move(FPreload->Index);
  FPreload.reset();
  malloc_trim(0);  // the rows read on the other thread are gone; give their memory back
}

void TDirectoryBrowser::NoteBookChanged() {
  ++FBookGeneration;
  FSearchIndex.Clear();
  emit BookChanged();
}
