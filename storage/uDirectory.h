#pragma once
// The in-memory reference book: one entry, and an ordered list that owns
// its entries.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The title that marks the up row, the first row of a sub-folder's listing.
inline constexpr const char* kUpRowTitle = "...";

class TDirectory {
 public:
  bool IsFolder = false;
  bool Changed = false;  // order position changed by Renumber, not yet stored
  int32_t Childs = 0;    // entries naming this one as parent, counted when read
  std::string Description;
  int32_t Flags = 0;
  int32_t Id = 0;  // 0 stands for the root folder, which has no row
  int32_t IdParent = 0;
  int32_t OrderPosition = 0;
  std::string Title;

  void Clear();
  bool IsUpRow() const { return Title == kUpRowTitle; }

  // A new, cleared folder entry with the given id; the caller owns it.
  static std::unique_ptr<TDirectory> NewFolder(int32_t id);
};

class TDirectoryList {
 public:
  TDirectoryList() = default;
  TDirectoryList(const TDirectoryList&) = delete;
  TDirectoryList& operator=(const TDirectoryList&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  TDirectory* Items(int index) const { return FItems.at(static_cast<size_t>(index)).get(); }
  TDirectory* Add(std::unique_ptr<TDirectory> entry);
  TDirectory* Insert(int index, std::unique_ptr<TDirectory> entry);
  void Move(int from, int to);
  int IndexOf(const TDirectory* entry) const;  // -1 when not in the list
  void Remove(TDirectory* entry);              // frees it
  void Delete(int index);                      // frees it
  void Clear();                                // frees every entry

  // "\" before every title, first to last; last to first when reversed.
  std::string ChainText(bool reversed) const;
  // Order positions in steps of 100 by index, skipping the up row; marks
  // with Changed each entry whose position it altered.
  void Renumber();

  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

 private:
  std::vector<std::unique_ptr<TDirectory>> FItems;
};
