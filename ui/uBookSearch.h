#pragma once
// Search over the whole book: every entry reachable from the root, matched
// by words typed in any order against its title and description, with the
// case folded and "ё" taken for "е". The book is read once into memory and
// kept until it changes; a keystroke then only scans texts already folded.

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "uDirectory.h"

class TFbTransaction;

// The text as the search compares it: each character case-folded on its
// own (so positions stay those of the original) and "ё" read as "е".
QString FoldForSearch(const QString& text);

// The words of a query, folded; blanks separate them.
QStringList SearchWords(const QString& query);

// Where the words of a query stand in a text: pairs of start and length,
// in the text's positions, ordered and not overlapping.
std::vector<std::pair<int, int>> FindWordSpans(const QString& text, const QStringList& words);

// One entry of the book as the search shows and matches it. The texts it
// is matched against are kept folded, one byte per character in the book's
// own character set (every stored text fits it), title and description
// side by side; the description itself is not kept.
struct TSearchEntry {
  int32_t Id = 0;
  int32_t IdParent = 0;
  bool IsFolder = false;
  int Folder = 0;         // index of the path in TBookIndex::Paths
  std::string Title;      // UTF-8, as stored
  std::string Folded;     // folded title, then folded description
  uint32_t TitleSize = 0; // bytes of Folded that are the title
};

// One result: an entry and whether all words were found in its title.
struct TSearchHit {
  int Entry = 0;  // index in TBookIndex::Entries
  bool InTitle = false;
};

class TBookIndex {
 public:
  // Reads every row of the book in the given transaction (started when
  // needed). Rows not reachable from the root (no parent, a missing parent,
  // a cycle) are left out. Errors are raised to the caller.
  // cancel, when given, is looked at between rows: set, the load stops with
  // the index left empty.
  void Load(TFbTransaction* transaction, const std::atomic<bool>* cancel = nullptr);
  bool Loaded() const { return FLoaded; }
  void Clear();
  // Takes a saved change of an entry's texts or kind into the index. False
  // when the change moves other entries (a folder renamed or turned into a
  // record, or the other way): the index must then be read anew.
  bool Update(const TDirectory& entry);

  // Entries in the order results are shown in: by path, then as each
  // folder lists them (folders first, each by position).
  const std::vector<TSearchEntry>& Entries() const { return FEntries; }
  // The paths entries live at, "\A\B"; "\" for the top level.
  const QString& PathOf(const TSearchEntry& entry) const { return FPaths[static_cast<size_t>(entry.Folder)]; }

  // The entries matching every word, those matching in the title first.
  // An empty query finds nothing.
  std::vector<TSearchHit> Find(const QString& query) const;
  // The same, looking only at the entries of an earlier result (valid when
  // the query's words narrow the earlier query's words, see Narrows).
  std::vector<TSearchHit> Find(const QString& query, const std::vector<TSearchHit>& within) const;
  // True when every entry matching query also matches earlier.
  static bool Narrows(const QString& query, const QString& earlier);

 private:
  void Match(const std::vector<std::string>& words, int entry, std::vector<TSearchHit>& inTitle,
             std::vector<TSearchHit>& inDescription) const;

  std::vector<TSearchEntry> FEntries;
  std::vector<QString> FPaths;
  bool FLoaded = false;
};

// The statement that reads the book for the search.
extern const char* const kSearchBookSQL;
