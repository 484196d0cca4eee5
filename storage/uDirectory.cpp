#include "uDirectory.h"

#include <algorithm>
#include <stdexcept>

void TDirectory::Clear() { *this = TDirectory(); }

std::unique_ptr<TDirectory> TDirectory::NewFolder(int32_t id) {
  auto entry = std::make_unique<TDirectory>();
  entry->Id = id;
  entry->IsFolder = true;
  return entry;
}

TDirectory* TDirectoryList::Add(std::unique_ptr<TDirectory> entry) {
  FItems.push_back(std::move(entry));
  return FItems.back().get();
}

TDirectory* TDirectoryList::Insert(int index, std::unique_ptr<TDirectory> entry) {
  if (index < 0 || index > Count()) throw std::out_of_range("TDirectoryList::Insert");
  return FItems.insert(FItems.begin() + index, std::move(entry))->get();
}

void TDirectoryList::Move(int from, int to) {
  if (from < 0 || from >= Count() || to < 0 || to >= Count())
    throw std::out_of_range("TDirectoryList::Move");
  if (from == to) return;
  auto first = FItems.begin();
  if (from < to)
    std::rotate(first + from, first + from + 1, first + to + 1);
  else
    std::rotate(first + to, first + from, first + from + 1);
}

int TDirectoryList::IndexOf(const TDirectory* entry) const {
  for (int i = 0; i < Count(); ++i) {
    if (FItems[static_cast<size_t>(i)].get() == entry) return i;
  }
  return -1;
}

void TDirectoryList::Remove(TDirectory* entry) {
  int index = IndexOf(entry);
  if (index >= 0) Delete(index);
}

void TDirectoryList::Delete(int index) {
  if (index < 0 || index >= Count()) throw std::out_of_range("TDirectoryList::Delete");
  FItems.erase(FItems.begin() + index);
}

void TDirectoryList::Clear() { FItems.clear(); }

std::string TDirectoryList::ChainText(bool reversed) const {
  std::string text;
  for (const auto& entry : FItems) {
    if (reversed)
      text = "\\" + entry->Title + text;
    else
      text += "\\" + entry->Title;
  }
  return text;
}

void TDirectoryList::Renumber() {
  for (int i = 0; i < Count(); ++i) {
    TDirectory* entry = Items(i);
    if (entry->IsUpRow()) continue;
    int32_t position = i * 100;
    entry->Changed = entry->OrderPosition != position;
    if (entry->Changed) entry->OrderPosition = position;
  }
}
