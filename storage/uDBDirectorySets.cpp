#include "uDBDirectorySets.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "uExchangeRows.h"

namespace {

// The entry's columns. A description is a blob, and every blob costs round
// trips of its own over a network: short ones travel inline as text, only
// longer ones as blobs.
const std::string kEntryColumns =
    "d.idd, d.id_parent, d.order_position, d.title, d.kind, d.flags,"
    " CASE WHEN CHAR_LENGTH(d.description) <= " + std::to_string(kInlineDescription) +
    " THEN CAST(d.description AS VARCHAR(" + std::to_string(kInlineDescription) + ")) END AS zorvana_short,"
    " CASE WHEN CHAR_LENGTH(d.description) > " + std::to_string(kInlineDescription) +
    " THEN d.description END AS zorvana_long";

const char* const kChildCount =
    "(SELECT COUNT(c.idd) FROM directory c WHERE c.id_parent = d.idd) AS zorvana_childs";

// Equal positions: the engine's sort of the per-entry statements hands
// them out by id, so the set statements name that order outright.
const std::string kFolderEntriesSQL = "SELECT " + kEntryColumns + ", " + kChildCount +
    " FROM directory d WHERE d.id_parent = :id_parent ORDER BY d.kind desc, d.order_position, d.idd";

// Parent links followed upwards as the chain command does: COALESCE on
// both sides, so a NULL parent leads to id 0.
const std::string kChainEntriesSQL =
    "WITH RECURSIVE chain AS ("
    " SELECT d.idd, d.id_parent, 1 AS lvl FROM directory d WHERE COALESCE(d.idd, 0) = :id"
    " UNION ALL"
    " SELECT p.idd, p.id_parent, ch.lvl + 1 FROM chain ch"
    " JOIN directory p ON COALESCE(p.idd, 0) = COALESCE(ch.id_parent, 0)"
    " WHERE ch.lvl < " + std::to_string(kLevelsPerStatement) +
    ") SELECT " + kEntryColumns + ", ch.lvl AS zorvana_level, " + kChildCount +
    " FROM chain ch JOIN directory d ON d.idd = ch.idd ORDER BY ch.lvl";

// The rows below a folder, as the export's child statement finds them
// (COALESCE on the parent); the section's own entry never comes back.
const std::string kSectionRowsSQL =
    "WITH RECURSIVE section AS ("
    " SELECT d.idd, 1 AS lvl FROM directory d WHERE COALESCE(d.id_parent, 0) = :start AND d.idd <> :top"
    " UNION ALL"
    " SELECT d.idd, s.lvl + 1 FROM section s JOIN directory d ON COALESCE(d.id_parent, 0) = s.idd"
    " WHERE s.lvl < " + std::to_string(kLevelsPerStatement) + " AND d.idd <> :top"
    ") SELECT " + kEntryColumns + ", s.lvl AS zorvana_level FROM section s JOIN directory d ON d.idd = s.idd";

void StartIfNeeded(TFbTransaction& transaction) {
  if (!transaction.InTransaction()) transaction.StartTransaction();
}

// Runs work in the caller's transaction, or in a read transaction of its
// own that is committed after it.
template <typename Work>
void InReadTransaction(TFbTransaction* given, Work&& work) {
  std::optional<TFbTransaction> own;
  if (!given) {
    own.emplace(SharedDatabase());
    own->Params = ReadTransactionParams();
    given = &*own;
  }
  StartIfNeeded(*given);
  work(*given);
  if (own) own->Commit();
}

std::unique_ptr<TDirectory> EntryOfRow(const TFbQuery& query) {
  auto entry = std::make_unique<TDirectory>();
  entry->Id = query.FieldByName("IDD").AsInteger();
  entry->Title = query.FieldByName("TITLE").AsString();
  entry->IdParent = query.FieldByName("ID_PARENT").AsInteger();
  entry->OrderPosition = query.FieldByName("ORDER_POSITION").AsInteger();
  entry->Flags = query.FieldByName("FLAGS").AsInteger();
  entry->IsFolder = query.FieldByName("KIND").AsInteger() == 1;
  const TFbValue& shortText = query.FieldByName("ZORVANA_SHORT");
  entry->Description = shortText.IsNull() ? query.FieldByName("ZORVANA_LONG").AsString() : shortText.AsString();
  return entry;
}

bool ListHolds(const TDirectoryList& list, int32_t id) {
  return std::any_of(list.begin(), list.end(), [id](const auto& entry) { return entry->Id == id; });
}

struct TSectionRow {
  std::unique_ptr<TDirectory> Entry;
};

using TChildren = std::unordered_map<int32_t, std::vector<TSectionRow>>;

// Reads every row below start into children (by parent id); returns the
// ids at the deepest level read, whose children are still to be read.
std::vector<int32_t> ReadSectionPart(TFbQuery& query, int32_t start, int32_t top, TChildren& children) {
  query.ParamByName("START").SetInteger(start);
  query.ParamByName("TOP").SetInteger(top);
  std::vector<int32_t> deepest;
  for (query.ExecQuery(); !query.Eof(); query.Next()) {
    TSectionRow row{EntryOfRow(query)};
    if (query.FieldByName("ZORVANA_LEVEL").AsInteger() == kLevelsPerStatement) deepest.push_back(row.Entry->Id);
    int32_t parent = query.FieldByName("ID_PARENT").AsInteger();
    children[parent].push_back(std::move(row));
  }
  return deepest;
}

void AppendRow(const TDirectory& entry, int level, std::vector<std::string>* lines) {
  lines->push_back(FormatExchangeRow(
      level, {entry.Title, entry.OrderPosition, entry.Flags, entry.IsFolder, entry.Description}));
}

}  // namespace

void ReadFolderEntries(int32_t folderId, TDirectoryList* list, TFbTransaction* transaction) {
  StartIfNeeded(*transaction);
  TFbQuery query(transaction->DefaultDatabase, transaction);
  query.SetSQL(kFolderEntriesSQL);
  query.ParamByName("ID_PARENT").SetInteger(folderId);
  for (query.ExecQuery(); !query.Eof(); query.Next()) {
    std::unique_ptr<TDirectory> entry = EntryOfRow(query);
    entry->Childs = query.FieldByName("ZORVANA_CHILDS").AsInteger();
    list->Add(std::move(entry));
  }
}

void ReadChainEntries(TDirectoryList* list, int32_t id, TFbTransaction* transaction) {
  InReadTransaction(transaction, [&](TFbTransaction& active) {
    TFbQuery query(active.DefaultDatabase, &active);
    query.SetSQL(kChainEntriesSQL);
    for (std::optional<int32_t> next = id; next;) {
      query.ParamByName("ID").SetInteger(*next);
      next.reset();
      int levels = 0;
      for (query.ExecQuery(); !query.Eof(); query.Next()) {
        std::unique_ptr<TDirectory> entry = EntryOfRow(query);
        if (ListHolds(*list, entry->Id)) return;  // a cycle in the parent links
        entry->Childs = query.FieldByName("ZORVANA_CHILDS").AsInteger();
        ++levels;
        next = entry->IdParent;
        list->Add(std::move(entry));
      }
      if (levels < kLevelsPerStatement) return;  // the walk reached a missing parent
    }
  });
}

void ExportSectionRows(const TDirectory& entry, int level, std::vector<std::string>* lines,
                       TFbTransaction* transaction) {
  AppendRow(entry, level, lines);
  TChildren children;
  InReadTransaction(transaction, [&](TFbTransaction& active) {
    TFbQuery query(active.DefaultDatabase, &active);
    query.SetSQL(kSectionRowsSQL);
    std::vector<int32_t> pending = ReadSectionPart(query, entry.Id, entry.Id, children);
    while (!pending.empty()) {
      std::vector<int32_t> deeper;
      for (int32_t start : pending) {
        std::vector<int32_t> more = ReadSectionPart(query, start, entry.Id, children);
        deeper.insert(deeper.end(), more.begin(), more.end());
      }
      pending = std::move(deeper);
    }
  });
  for (auto& [parent, rows] : children) {
    std::sort(rows.begin(), rows.end(), [](const TSectionRow& a, const TSectionRow& b) {
      return std::pair(a.Entry->OrderPosition, a.Entry->Id) < std::pair(b.Entry->OrderPosition, b.Entry->Id);
    });
  }
  // Depth first without recursion: a stack of (rows of a folder, next index).
  struct TFrame {
    const std::vector<TSectionRow>* Rows;
    size_t Next;
  };
  std::vector<TFrame> stack;
  auto push = [&](int32_t id) {
    auto found = children.find(id);
    if (found != children.end()) stack.push_back({&found->second, 0});
  };
  push(entry.Id);
  while (!stack.empty()) {
    TFrame& frame = stack.back();
    if (frame.Next == frame.Rows->size()) {
      stack.pop_back();
      continue;
    }
    const TDirectory& child = *(*frame.Rows)[frame.Next++].Entry;
    AppendRow(child, level + static_cast<int>(stack.size()), lines);
    push(child.Id);
  }
}
