#include "uDBDirectory.h"

#include <ibase.h>

#include <algorithm>
#include <optional>
#include <string>

#include "uDirectorySQL.h"
#include "uQmCSV.h"
#include "uText.h"

namespace {

bool ChainHolds(const TDirectoryList& list, int32_t id) {
  for (const auto& entry : list) {
    if (entry->Id == id) return true;
  }
  return false;
}

void StartIfNeeded(TFbTransaction* transaction) {
  if (!transaction->InTransaction()) transaction->StartTransaction();
}

}  // namespace

// --- entry read -------------------------------------------------------------

bool TDBDirectoryReadCmd::Run(TDirectory* entry, TFbTransaction* transaction) {
  TDBDirectoryReadCmd command(transaction);
  command.FEntry = entry;
  return command.Execute();
}

bool TDBDirectoryReadCmd::Execute() {
  const std::string id = std::to_string(FEntry->Id);
  SetSQL(kReadSQL + id);
  try {
    if (Exec()) {
      FEntry->Title = FieldByName("TITLE").AsString();
      FEntry->IdParent = FieldByName("ID_PARENT").AsInteger();
      FEntry->OrderPosition = FieldByName("ORDER_POSITION").AsInteger();
      FEntry->Flags = FieldByName("FLAGS").AsInteger();
      FEntry->IsFolder = FieldByName("KIND").AsInteger() == 1;
      FEntry->Description = FieldByName("DESCRIPTION").AsString();
      Finish();
      SetSQL(kChildCountSQL + id);
      if (Exec()) FEntry->Childs = FieldByName("CHILDS").AsInteger();
    }
    return Finish();
  } catch (...) {
    return Fail();
  }
}

// --- entry save -------------------------------------------------------------

namespace {

// The entry editor's names of the fields the texts are stored in.
std::string FieldTitle(const std::string& parameter) {
  if (parameter == "TITLE") return "Название";
  if (parameter == "DESCRIPTION") return "Описание";
  return parameter;
}

std::string TooLongReason(const ETextTooLong& error) {
  return "Текст поля «" + FieldTitle(error.Parameter()) + "» слишком длинный: " + GroupThousands(error.Length()) +
         " символов, а база данных вмещает в этом поле не больше " + GroupThousands(error.Limit()) + ".";
}

bool IsConflict(const EDatabaseError& error) {
  return error.HasCode(isc_lock_conflict) || error.HasCode(isc_update_conflict) || error.HasCode(isc_deadlock);
}

std::string SaveFailureReason(const EDatabaseError& error) {
  if (const auto* tooLong = dynamic_cast<const ETextTooLong*>(&error)) return TooLongReason(*tooLong);
  if (IsConflict(error))
    return "Эту запись прямо сейчас изменяет другой пользователь или другая программа. Попробуйте ещё раз "
           "чуть позже.";
  return std::string("База данных сообщила об ошибке:\r\n") + error.what();
}

}  // namespace

bool TDBDirectorySaveCmd::Run(TDirectory* entry, TFbTransaction* transaction, std::string* reason) {
  TDBDirectorySaveCmd command(transaction);
  command.FEntry = entry;
  const bool saved = command.Execute();
  if (reason) *reason = saved ? std::string() : command.FReason;
  return saved;
}

bool TDBDirectorySaveCmd::Refuse(std::string reason) {
  FReason = std::move(reason);
  return Fail();
}

bool TDBDirectorySaveCmd::Execute() {
  // A failed id draw gives -1; storing it would let the next failed draw
  // overwrite this entry.
  if (FEntry->Id < 1) return Refuse("У записи нет идентификатора: база данных не выдала его.");
  for (const std::string* text : {&FEntry->Title, &FEntry->Description}) {
    if (char32_t unsupported = FindNonWin1251Char(*text)) return Refuse(NonWin1251Message(unsupported));
  }
  try {
    bool exists = SQLHasRows(kExistsSQL + std::to_string(FEntry->Id));
    SetSQL(exists ? kUpdateSQL : kInsertSQL);
    ParamByName("IDD").SetInteger(FEntry->Id);
    ParamByName("ID_PARENT").SetInteger(FEntry->IdParent);
    ParamByName("ORDER_POSITION").SetInteger(FEntry->OrderPosition);
    ParamByName("TITLE").SetString(FEntry->Title);
    ParamByName("DESCRIPTION").SetString(FEntry->Description);
    ParamByName("KIND").SetInteger(FEntry->IsFolder ? 1 : 0);
    ParamByName("FLAGS").SetInteger(FEntry->Flags);
    Exec();
    return Finish();
  } catch (const EDatabaseError& error) {
    return Refuse(SaveFailureReason(error));
  } catch (const std::exception& error) {
    return Refuse(error.what());
  } catch (...) {
    return Refuse("Неизвестная ошибка.");
  }
}

// --- chain ------------------------------------------------------------------

bool TDBDirectoryReadChainCmd::Run(TDirectoryList* list, int32_t id, TFbTransaction* transaction) {
  TDBDirectoryReadChainCmd command(transaction);
  command.FList = list;
  command.FId = id;
  return command.Execute();
}

bool TDBDirectoryReadChainCmd::Execute() {
  SetSQL(kChainSQL + std::to_string(FId));
  try {
    if (Exec()) {
      auto entry = std::make_unique<TDirectory>();
      entry->Id = FieldByName("IDD").AsInteger();
      if (!ChainHolds(*FList, entry->Id)) {
        TDBDirectoryReadCmd::Run(entry.get(), Transaction);
        TDirectory* added = FList->Add(std::move(entry));
        TDBDirectoryReadChainCmd::Run(FList, added->IdParent, nullptr);
      }
    }
    return Finish();
  } catch (...) {
    return Fail();
  }
}

// --- order update -------------------------------------------------------------

bool TDBDirectoriesOrderUpdateCmd::Run(TDirectoryList* list, TFbTransaction* transaction) {
  TDBDirectoriesOrderUpdateCmd command(transaction);
  command.FList = list;
  return command.Execute();
}

bool TDBDirectoriesOrderUpdateCmd::Execute() {
  SetSQL(kOrderUpdateSQL);
  try {
    std::vector<TDirectory*> stored;
    for (const auto& entry : *FList) {
      if (!entry->Changed) continue;
      ParamByName("IDD").SetInteger(entry->Id);
      ParamByName("ORDER_POSITION").SetInteger(entry->OrderPosition);
      Exec();
      stored.push_back(entry.get());
    }
    bool result = Finish();
    // Only now are the positions in the database; a rollback keeps the marks
    // so that the next update sends them again.
    for (TDirectory* entry : stored) entry->Changed = false;
    return result;
  } catch (...) {
    return Fail();
  }
}

// --- section export -----------------------------------------------------------

bool TDBDirectoryExportCmd::Run(const TDirectory* entry, int level, std::vector<std::string>* lines,
                                TFbTransaction* transaction, bool* complete) {
  TWalk walk;
  walk.Lines = lines;
  const bool result = RunLevel(entry, level, &walk, transaction);
  if (complete) *complete = result && walk.Complete;
  return result;
}

bool TDBDirectoryExportCmd::RunLevel(const TDirectory* entry, int level, TWalk* walk, TFbTransaction* transaction) {
  TDBDirectoryExportCmd command(transaction);
  command.FEntry = entry;
  command.FLevel = level;
  command.FWalk = walk;
  walk->Path.push_back(entry->Id);
  const bool result = command.Execute();
  walk->Path.pop_back();
  if (!result) walk->Complete = false;
  return result;
}

bool TDBDirectoryExportCmd::Execute() {
  SetSQL(kChildrenSQL + std::to_string(FEntry->Id) + kChildrenOrderSQL);
  try {
    FWalk->Lines->push_back(FormatExchangeRow(
        FLevel, {FEntry->Title, FEntry->OrderPosition, FEntry->Flags, FEntry->IsFolder, FEntry->Description}));
    const std::vector<int32_t>& path = FWalk->Path;
    for (bool hasRow = Exec(); hasRow; hasRow = (Query->Next(), !Query->Eof())) {
      TDirectory child;
      child.Id = FieldByName("IDD").AsInteger();
      if (std::find(path.begin(), path.end(), child.Id) != path.end()) continue;
      if (!TDBDirectoryReadCmd::Run(&child, Transaction)) FWalk->Complete = false;
      RunLevel(&child, FLevel + 1, FWalk, nullptr);
    }
    return Finish();
  } catch (...) {
    return Fail();
  }
}

// --- section import -----------------------------------------------------------

namespace {

// Parent ids by level; grows with the depth of the text.
class TLevelTable {
 public:
  void Set(int level, int32_t id) {
    if (static_cast<size_t>(level) >= FSlots.size()) FSlots.resize(static_cast<size_t>(level) + 1);
    FSlots[static_cast<size_t>(level)] = id;
  }
  std::optional<int32_t> Get(int level) const {
    if (static_cast<size_t>(level) >= FSlots.size()) return std::nullopt;
    return FSlots[static_cast<size_t>(level)];
  }

 private:
  std::vector<std::optional<int32_t>> FSlots;
};

}  // namespace

bool TDBDirectoryImportCmd::Run(const std::vector<TTextLine>& lines, int32_t target, TFbTransaction* transaction,
                                TImportResult* result, TImportProgress progress) {
  TDBDirectoryImportCmd command(transaction);
  command.FLines = &lines;
  command.FTarget = target;
  command.FProgress = std::move(progress);
  bool ok = command.Execute();
  if (result) *result = command.FResult;
  return ok;
}

// Lines from the given 1-based line on, up to the last one with text.
int TDBDirectoryImportCmd::LinesWithTextFrom(int line) const {
  int last = static_cast<int>(FLines->size());
  while (last >= line && TrimBlanks((*FLines)[static_cast<size_t>(last - 1)].Text).empty()) --last;
  return std::max(0, last - line + 1);
}

// lastLine: the last line of the row that stopped it.
bool TDBDirectoryImportCmd::Stop(int line, int lastLine, std::string reason) {
  FResult.End = TImportEnd::Failed;
  FResult.StoppedAtLine = line;
  FResult.LinesNotRead = LinesWithTextFrom(lastLine + 1);
  FResult.Reason = std::move(reason);
  return false;
}

bool TDBDirectoryImportCmd::Cancel(TExchangeReader& reader, int line) {
  // Asked to stop after the last row: there was nothing left to leave out.
  if (reader.AtEnd()) {
    TExchangeRow none;
    reader.Next(none);  // notes the blank line, if there is one
    return EndOfRows(reader);
  }
  FResult.End = TImportEnd::Cancelled;
  FResult.StoppedAtLine = line;
  FResult.LinesNotRead = LinesWithTextFrom(line);
  FResult.Reason = "Импорт прерван. Не импортированы строки, начиная со строки " + std::to_string(line) + ".";
  return false;
}

// The rows have ended: at the text's end, or at a blank line that may have
// lines with text after it, which are not read.
bool TDBDirectoryImportCmd::EndOfRows(const TExchangeReader& reader) {
  if (reader.BlankLine() == 0 || reader.LinesAfterBlank() == 0) return true;
  FResult.End = TImportEnd::BlankLine;
  FResult.StoppedAtLine = reader.BlankLine();
  FResult.LinesNotRead = reader.LinesAfterBlank();
  FResult.Reason = "Строка " + std::to_string(reader.BlankLine()) +
                   " пустая, на ней импорт закончен. Строки после неё не прочитаны, их " +
                   std::to_string(reader.LinesAfterBlank()) + ".";
  return true;
}

std::unique_ptr<TDirectory> TDBDirectoryImportCmd::NewEntry(const TExchangeRow& row) {
  int32_t id = NextGeneratorValue("GEN_DIRECTORY_ID");
  if (id < 1) return nullptr;
  auto entry = std::make_unique<TDirectory>();
  entry->Id = id;
  entry->Title = row.Entry.Title;
  entry->OrderPosition = row.Entry.OrderPosition;
  entry->Flags = row.Entry.Flags;
  entry->IsFolder = row.Entry.IsFolder;
  entry->Description = row.Entry.Description;
  return entry;
}

bool TDBDirectoryImportCmd::Execute() {
  TExchangeReader reader(*FLines);
  if (!reader.IsExchangeText()) {
    FResult.End = TImportEnd::NoExchangeText;
    return true;
  }
  reader.OnLongRow = [this] { return !FProgress || FProgress(FResult.Created); };
  try {
    return Import(reader);
  } catch (const EExchangeError& error) {
    return Stop(error.Line(), error.LastLine(), error.what());
  } catch (const EExchangeCancelled& cancelled) {
    return Cancel(reader, cancelled.Line());
  } catch (const std::exception& error) {
    return Stop(reader.NextLine(), reader.NextLine(), error.what());
  } catch (...) {
    return Stop(reader.NextLine(), reader.NextLine(), "Неизвестная ошибка.");
  }
}

bool TDBDirectoryImportCmd::Import(TExchangeReader& reader) {
  TExchangeRow row;
  if (!reader.Next(row)) return EndOfRows(reader);
  TLevelTable parents;
  parents.Set(row.Level, FTarget);
  for (;;) {
    std::optional<int32_t> parent = parents.Get(row.Level);
    if (!parent)
      return Stop(row.Line, row.LastLine, "Для строки не найдена родительская папка: уровень вложенности " +
                                              std::to_string(row.Level) + " меньше уровня первой строки.");
    std::unique_ptr<TDirectory> entry = NewEntry(row);
    if (!entry) return Stop(row.Line, row.LastLine, "База данных не выдала новый идентификатор записи.");
    entry->IdParent = *parent;
    std::string reason;
    if (!TDBDirectorySaveCmd::Run(entry.get(), nullptr, &reason)) return Stop(row.Line, row.LastLine, reason);
    ++FResult.Created;
    if (FProgress && !FProgress(FResult.Created)) return Cancel(reader, reader.NextLine());

    TExchangeRow next;
    if (!reader.Next(next)) return EndOfRows(reader);
    if (next.Level > row.Level + 1)
      return Stop(next.Line, next.LastLine,
                  "Уровень вложенности строки больше уровня предыдущей строки более чем на 1.");
    if (next.Level > row.Level) parents.Set(next.Level, entry->Id);
    row = std::move(next);
  }
}

// --- window statements ----------------------------------------------------------

std::vector<int32_t> ReadFolderListing(int32_t folderId, TFbTransaction* transaction) {
  StartIfNeeded(transaction);
  TFbQuery query(transaction->DefaultDatabase, transaction);
  query.SetSQL(kFolderListingSQL);
  query.ParamByName("ID_PARENT").SetInteger(folderId);
  std::vector<int32_t> ids;
  for (query.ExecQuery(); !query.Eof(); query.Next()) {
    ids.push_back(QueryFieldByName(query, "IDD").AsInteger());
  }
  return ids;
}

int32_t ReadParentId(int32_t id, TFbTransaction* transaction) {
  StartIfNeeded(transaction);
  TFbQuery query(transaction->DefaultDatabase, transaction);
  query.SetSQL(kParentLookupSQL);
  query.ParamByName("ID").SetInteger(id);
  query.ExecQuery();
  return query.Eof() ? 0 : QueryFieldByName(query, "ID_PARENT").AsInteger();
}
