#include "uBookSearch.h"

#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "uFbClient.h"
#include "uText.h"

// Short descriptions come inline with their row; only long ones are read
// as text objects of their own, which costs a call to the engine each.
const char* const kSearchBookSQL =
    "SELECT d.idd, d.id_parent, d.order_position, d.kind, d.title,"
    " CASE WHEN OCTET_LENGTH(d.description) <= 2000"
    " THEN CAST(d.description AS VARCHAR(2000) CHARACTER SET WIN1251) END AS short_description,"
    " CASE WHEN OCTET_LENGTH(d.description) > 2000 THEN d.description END AS long_description"
    " FROM directory d";

namespace {

constexpr char16_t kSmallYo = u'ё';
constexpr char16_t kSmallYe = u'е';

QChar FoldChar(QChar c) {
  const QChar folded = c.toCaseFolded();
  return folded.unicode() == kSmallYo ? QChar(kSmallYe) : folded;
}

// Folding of the book's character set, byte by byte.
class TByteFold {
 public:
  TByteFold() {
    for (int byte = 0; byte < 256; ++byte) {
      const std::string one(1, static_cast<char>(byte));
      const QString text = QString::fromStdString(Win1251ToUtf8(one));
      FTable[static_cast<size_t>(byte)] = static_cast<char>(byte);
      if (text.size() != 1) continue;
      const std::string folded = QString(FoldChar(text[0])).toStdString();
      if (FindNonWin1251Char(folded) == 0) FTable[static_cast<size_t>(byte)] = Utf8ToWin1251(folded)[0];
    }
  }
  // A UTF-8 text folded into the book's character set; none when it holds
  // a character the book cannot hold.
  std::optional<std::string> Fold(const std::string& utf8) const {
    if (FindNonWin1251Char(utf8) != 0) return std::nullopt;
    std::string bytes = Utf8ToWin1251(utf8);
    for (char& byte : bytes) byte = FTable[static_cast<unsigned char>(byte)];
    return bytes;
  }

 private:
  std::array<char, 256> FTable{};
};

const TByteFold& ByteFold() {
  static const TByteFold fold;
  return fold;
}

// One row of the book as read, before the tree is known.
struct TBookRow {
  int32_t Id = 0;
  int32_t IdParent = 0;
  bool HasParent = false;
  int32_t OrderPosition = 0;
  bool IsFolder = false;
  std::string Title;
  std::string Description;
};

std::vector<TBookRow> ReadBook(TFbTransaction* transaction, const std::atomic<bool>* cancel) {
  if (!transaction->InTransaction()) transaction->StartTransaction();
  TFbQuery query(transaction->DefaultDatabase, transaction);
  query.SetSQL(kSearchBookSQL);
  std::vector<TBookRow> rows;
  for (query.ExecQuery(); !query.Eof(); query.Next()) {
    if (cancel && cancel->load(std::memory_order_relaxed)) return {};
    TBookRow row;
    row.Id = query.FieldByName("IDD").AsInteger();
    row.HasParent = !query.FieldByName("ID_PARENT").IsNull();
    row.IdParent = query.FieldByName("ID_PARENT").AsInteger();
    row.OrderPosition = query.FieldByName("ORDER_POSITION").AsInteger();
    row.IsFolder = query.FieldByName("KIND").AsInteger() == 1;
    row.Title = query.FieldByName("TITLE").AsString();
    const TFbValue& shortDescription = query.FieldByName("SHORT_DESCRIPTION");
    row.Description = shortDescription.IsNull() ? query.FieldByName("LONG_DESCRIPTION").AsString()
                                                : shortDescription.AsString();
    rows.push_back(std::move(row));
  }
  return rows;
}

// A folder's children as the folder lists them: folders first, each group
// by position, equal ones in the order the book gave them.
void SortAsListed(std::vector<int>& children, const std::vector<TBookRow>& rows) {
  std::stable_sort(children.begin(), children.end(), [&rows](int a, int b) {
    const TBookRow& left = rows[static_cast<size_t>(a)];
    const TBookRow& right = rows[static_cast<size_t>(b)];
    if (left.IsFolder != right.IsFolder) return left.IsFolder;
    return left.OrderPosition < right.OrderPosition;
  });
}

// The entries one folder shows, and the path they live at.
struct TFolderGroup {
  QString Path;
  QString FoldedPath;
  std::vector<int> Rows;
};

std::vector<TFolderGroup> GroupsFromTheRoot(const std::vector<TBookRow>& rows) {
  std::unordered_map<int32_t, std::vector<int>> children;
  for (size_t index = 0; index < rows.size(); ++index) {
    if (rows[index].HasParent) children[rows[index].IdParent].push_back(static_cast<int>(index));
  }
  std::vector<TFolderGroup> groups;
  // Only folders are entered, so only their children can be shown; each
  // folder is walked once whatever the links say.
  std::vector<std::pair<int32_t, QString>> pending = {{0, QStringLiteral("\\")}};
  std::unordered_set<int32_t> walked;
  while (!pending.empty()) {
    auto [folderId, path] = std::move(pending.back());
    pending.pop_back();
    if (!walked.insert(folderId).second) continue;
    auto found = children.find(folderId);
    if (found == children.end()) continue;
    TFolderGroup group{path, FoldForSearch(path), std::move(found->second)};
    SortAsListed(group.Rows, rows);
    const QString prefix = folderId == 0 ? QString() : path;
    for (int row : group.Rows) {
      const TBookRow& entry = rows[static_cast<size_t>(row)];
      if (entry.IsFolder) pending.emplace_back(entry.Id, prefix + '\\' + QString::fromStdString(entry.Title));
    }
    groups.push_back(std::move(group));
  }
  std::stable_sort(groups.begin(), groups.end(),
                   [](const TFolderGroup& a, const TFolderGroup& b) { return a.FoldedPath < b.FoldedPath; });
  return groups;
}

// The query's words folded into the book's character set; none when one of
// them holds a character no entry can hold.
std::optional<std::vector<std::string>> FoldedWords(const QString& query) {
  std::vector<std::string> words;
  for (const QString& word : SearchWords(query)) {
    std::optional<std::string> folded = ByteFold().Fold(word.toStdString());
    if (!folded) return std::nullopt;
    words.push_back(std::move(*folded));
  }
  return words;
}

bool Holds(const char* text, size_t size, const std::string& word) {
  return memmem(text, size, word.data(), word.size()) != nullptr;
}

void SetTexts(TSearchEntry& entry, std::string title, const std::string& description) {
  // Texts read through the book's connection always fit its character set.
  const TByteFold& fold = ByteFold();
  entry.Folded = fold.Fold(title).value_or(std::string());
  entry.TitleSize = static_cast<uint32_t>(entry.Folded.size());
  entry.Folded += fold.Fold(description).value_or(std::string());
  entry.Folded.shrink_to_fit();
  entry.Title = std::move(title);
}

}  // namespace

QString FoldForSearch(const QString& text) {
  QString folded(text.size(), Qt::Uninitialized);
  QChar* out = folded.data();
  for (qsizetype index = 0; index < text.size(); ++index) out[index] = FoldChar(text[index]);
  return folded;
}

QStringList SearchWords(const QString& query) {
  static const QRegularExpression blanks(QStringLiteral("\\s+"));
  QStringList words;
  for (const QString& word : query.split(blanks, Qt::SkipEmptyParts)) words << FoldForSearch(word);
  return words;
}

std::vector<std::pair<int, int>> FindWordSpans(const QString& text, const QStringList& words) {
  const QString folded = FoldForSearch(text);
  std::vector<std::pair<int, int>> spans;
  for (const QString& word : words) {
    if (word.isEmpty()) continue;
    for (qsizetype at = folded.indexOf(word); at >= 0; at = folded.indexOf(word, at + 1))
      spans.emplace_back(static_cast<int>(at), static_cast<int>(word.size()));
  }
  std::sort(spans.begin(), spans.end());
  std::vector<std::pair<int, int>> merged;
  for (const auto& [start, length] : spans) {
    if (!merged.empty() && start <= merged.back().first + merged.back().second) {
      merged.back().second = std::max(merged.back().second, start + length - merged.back().first);
    } else {
      merged.emplace_back(start, length);
    }
  }
  return merged;
}

void TBookIndex::Clear() {
  FEntries.clear();
  FEntries.shrink_to_fit();
  FPaths.clear();
  FLoaded = false;
}

void TBookIndex::Load(TFbTransaction* transaction, const std::atomic<bool>* cancel) {
  Clear();
  std::vector<TBookRow> rows = ReadBook(transaction, cancel);
  if (cancel && cancel->load()) return;
  for (TFolderGroup& group : GroupsFromTheRoot(rows)) {
    const int folder = static_cast<int>(FPaths.size());
    FPaths.push_back(std::move(group.Path));
    for (int index : group.Rows) {
      TBookRow& row = rows[static_cast<size_t>(index)];
      TSearchEntry entry;
      entry.Id = row.Id;
      entry.IdParent = row.IdParent;
      entry.IsFolder = row.IsFolder;
      entry.Folder = folder;
      SetTexts(entry, std::move(row.Title), row.Description);
      std::string().swap(row.Description);
      FEntries.push_back(std::move(entry));
    }
  }
  FLoaded = true;
}

bool TBookIndex::Update(const TDirectory& entry) {
  auto found = std::find_if(FEntries.begin(), FEntries.end(), [&](const TSearchEntry& e) { return e.Id == entry.Id; });
  if (found == FEntries.end()) return !entry.IsFolder;  // not shown anywhere, and no folder of others
  if (found->IsFolder != entry.IsFolder || found->IdParent != entry.IdParent) return false;
  if (found->IsFolder && found->Title != entry.Title) return false;  // paths below it change
  SetTexts(*found, entry.Title, entry.Description);
  return true;
}

void TBookIndex::Match(const std::vector<std::string>& words, int entry, std::vector<TSearchHit>& inTitle,
                       std::vector<TSearchHit>& inDescription) const {
  const TSearchEntry& item = FEntries[static_cast<size_t>(entry)];
  const char* title = item.Folded.data();
  const char* description = title + item.TitleSize;
  const size_t descriptionSize = item.Folded.size() - item.TitleSize;
  bool titleOnly = true;
  for (const std::string& word : words) {
    if (Holds(title, item.TitleSize, word)) continue;
    if (!Holds(description, descriptionSize, word)) return;
    titleOnly = false;
  }
  (titleOnly ? inTitle : inDescription).push_back({entry, titleOnly});
}

std::vector<TSearchHit> TBookIndex::Find(const QString& query) const {
  std::vector<TSearchHit> inTitle, inDescription;
  const std::optional<std::vector<std::string>> words = FoldedWords(query);
  if (!words || words->empty()) return inTitle;
  for (int entry = 0; entry < static_cast<int>(FEntries.size()); ++entry) Match(*words, entry, inTitle, inDescription);
  inTitle.insert(inTitle.end(), inDescription.begin(), inDescription.end());
  return inTitle;
}

std::vector<TSearchHit> TBookIndex::Find(const QString& query, const std::vector<TSearchHit>& within) const {
  std::vector<TSearchHit> inTitle, inDescription;
  const std::optional<std::vector<std::string>> words = FoldedWords(query);
  if (!words || words->empty()) return inTitle;
  // The earlier result is in index order within each of its two groups;
  // merged, they are in index order, which is the order by path.
  const auto titleEnd = std::partition_point(within.begin(), within.end(), [](const TSearchHit& hit) { return hit.InTitle; });
  std::vector<TSearchHit> candidates(within.size());
  std::merge(within.begin(), titleEnd, titleEnd, within.end(), candidates.begin(),
             [](const TSearchHit& a, const TSearchHit& b) { return a.Entry < b.Entry; });
  for (const TSearchHit& candidate : candidates) Match(*words, candidate.Entry, inTitle, inDescription);
  inTitle.insert(inTitle.end(), inDescription.begin(), inDescription.end());
  return inTitle;
}

bool TBookIndex::Narrows(const QString& query, const QString& earlier) {
  const QStringList earlierWords = SearchWords(earlier);
  const QStringList words = SearchWords(query);
  if (earlierWords.isEmpty() || words.isEmpty()) return false;
  for (const QString& before : earlierWords) {
    if (std::none_of(words.begin(), words.end(), [&](const QString& word) { return word.contains(before); }))
      return false;
  }
  return true;
}
