#include "uBookSearch.h"

#include <algorithm>
#include <unordered_map>

#include <QRegularExpression>

#include "uFbClient.h"

const char* const kSearchBookSQL =
    "SELECT d.idd, d.id_parent, d.order_position, d.kind, d.flags, d.title, d.description FROM directory d";

namespace {

constexpr char16_t kSmallYo = u'ё';
constexpr char16_t kSmallYe = u'е';

// One row of the book as read, before the tree is known.
struct TBookRow {
  TDirectory Entry;
  bool HasParent = false;
};

std::vector<TBookRow> ReadBook(TFbTransaction* transaction) {
  if (!transaction->InTransaction()) transaction->StartTransaction();
  TFbQuery query(transaction->DefaultDatabase, transaction);
  query.SetSQL(kSearchBookSQL);
  std::vector<TBookRow> rows;
  for (query.ExecQuery(); !query.Eof(); query.Next()) {
    TBookRow row;
    row.Entry.Id = query.FieldByName("IDD").AsInteger();
    row.HasParent = !query.FieldByName("ID_PARENT").IsNull();
    row.Entry.IdParent = query.FieldByName("ID_PARENT").AsInteger();
    row.Entry.OrderPosition = query.FieldByName("ORDER_POSITION").AsInteger();
    row.Entry.IsFolder = query.FieldByName("KIND").AsInteger() == 1;
    row.Entry.Flags = query.FieldByName("FLAGS").AsInteger();
    row.Entry.Title = query.FieldByName("TITLE").AsString();
    row.Entry.Description = query.FieldByName("DESCRIPTION").AsString();
    rows.push_back(std::move(row));
  }
  return rows;
}

// A folder's children as the folder lists them: folders first, each group
// by position, equal ones in the order the book gave them.
void SortAsListed(std::vector<int>& children, const std::vector<TBookRow>& rows) {
  std::stable_sort(children.begin(), children.end(), [&rows](int a, int b) {
    const TDirectory& left = rows[static_cast<size_t>(a)].Entry;
    const TDirectory& right = rows[static_cast<size_t>(b)].Entry;
    if (left.IsFolder != right.IsFolder) return left.IsFolder;
    return left.OrderPosition < right.OrderPosition;
  });
}

// The entries a folder shows, one group per folder, each group with the
// path the entries live at.
struct TFolderGroup {
  QString Path;
  QString FoldedPath;
  std::vector<int> Rows;
};

std::vector<TFolderGroup> GroupsFromTheRoot(const std::vector<TBookRow>& rows) {
  std::unordered_map<int32_t, std::vector<int>> children;
  for (size_t index = 0; index < rows.size(); ++index) {
    if (rows[index].HasParent) children[rows[index].Entry.IdParent].push_back(static_cast<int>(index));
  }
  std::vector<TFolderGroup> groups;
  // Only folders are entered, so only their children can be shown; each
  // folder is walked once whatever the links say.
  std::vector<std::pair<int32_t, QString>> pending = {{0, QStringLiteral("\\")}};
  std::unordered_map<int32_t, bool> walked;
  while (!pending.empty()) {
    auto [folderId, path] = std::move(pending.back());
    pending.pop_back();
    if (walked[folderId]) continue;
    walked[folderId] = true;
    auto found = children.find(folderId);
    if (found == children.end()) continue;
    TFolderGroup group{path, FoldForSearch(path), found->second};
    SortAsListed(group.Rows, rows);
    const QString prefix = folderId == 0 ? QString() : path;
    for (int row : group.Rows) {
      const TDirectory& entry = rows[static_cast<size_t>(row)].Entry;
      if (entry.IsFolder) pending.emplace_back(entry.Id, prefix + '\\' + QString::fromStdString(entry.Title));
    }
    groups.push_back(std::move(group));
  }
  std::stable_sort(groups.begin(), groups.end(),
                   [](const TFolderGroup& a, const TFolderGroup& b) { return a.FoldedPath < b.FoldedPath; });
  return groups;
}

}  // namespace

QString FoldForSearch(const QString& text) {
  QString folded(text.size(), Qt::Uninitialized);
  QChar* out = folded.data();
  for (qsizetype index = 0; index < text.size(); ++index) {
    const QChar c = text[index].toCaseFolded();
    out[index] = c.unicode() == kSmallYo ? QChar(kSmallYe) : c;
  }
  return folded;
}

QStringList SearchWords(const QString& query) {
  QStringList words;
  for (const QString& word : query.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
    words << FoldForSearch(word);
  return words;
}

std::vector<std::pair<int, int>> FindWordSpans(const QString& text, const QStringList& words) {
  const QString folded = FoldForSearch(text);
  std::vector<std::pair<int, int>> spans;
  for (const QString& word : words) {
    for (qsizetype at = folded.indexOf(word); at >= 0 && !word.isEmpty(); at = folded.indexOf(word, at + 1))
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
  FLoaded = false;
}

void TBookIndex::Load(TFbTransaction* transaction) {
  Clear();
  std::vector<TBookRow> rows = ReadBook(transaction);
  for (const TFolderGroup& group : GroupsFromTheRoot(rows)) {
    for (int row : group.Rows) {
      TSearchEntry item;
      item.Entry = std::move(rows[static_cast<size_t>(row)].Entry);
      item.Title = QString::fromStdString(item.Entry.Title);
      item.Path = group.Path;
      item.FoldedTitle = FoldForSearch(item.Title);
      item.FoldedDescription = FoldForSearch(QString::fromStdString(item.Entry.Description));
      FEntries.push_back(std::move(item));
    }
  }
  FLoaded = true;
}

void TBookIndex::Match(const QStringList& words, int entry, std::vector<TSearchHit>& inTitle,
                       std::vector<TSearchHit>& inDescription) const {
  const TSearchEntry& item = FEntries[static_cast<size_t>(entry)];
  bool titleOnly = true;
  for (const QString& word : words) {
    if (item.FoldedTitle.contains(word)) continue;
    if (!item.FoldedDescription.contains(word)) return;
    titleOnly = false;
  }
  (titleOnly ? inTitle : inDescription).push_back({entry, titleOnly});
}

std::vector<TSearchHit> TBookIndex::Find(const QString& query) const {
  const QStringList words = SearchWords(query);
  std::vector<TSearchHit> inTitle, inDescription;
  if (words.isEmpty()) return inTitle;
  for (int entry = 0; entry < static_cast<int>(FEntries.size()); ++entry) Match(words, entry, inTitle, inDescription);
  inTitle.insert(inTitle.end(), inDescription.begin(), inDescription.end());
  return inTitle;
}

std::vector<TSearchHit> TBookIndex::Find(const QString& query, const std::vector<TSearchHit>& within) const {
  const QStringList words = SearchWords(query);
  std::vector<TSearchHit> inTitle, inDescription;
  if (words.isEmpty()) return inTitle;
  // The earlier result is in shown order within each of its two groups;
  // taking the entries in index order keeps the order by path.
  std::vector<int> candidates;
  candidates.reserve(within.size());
  for (const TSearchHit& hit : within) candidates.push_back(hit.Entry);
  std::sort(candidates.begin(), candidates.end());
  for (int entry : candidates) Match(words, entry, inTitle, inDescription);
  inTitle.insert(inTitle.end(), inDescription.begin(), inDescription.end());
  return inTitle;
}

bool TBookIndex::Narrows(const QString& query, const QString& earlier) {
  const QStringList earlierWords = SearchWords(earlier);
  const QStringList words = SearchWords(query);
  if (earlierWords.isEmpty() || words.isEmpty()) return false;
  for (const QString& before : earlierWords) {
    const bool kept = std::any_of(words.begin(), words.end(), [&](const QString& word) { return word.contains(before); });
    if (!kept) return false;
  }
  return true;
}
