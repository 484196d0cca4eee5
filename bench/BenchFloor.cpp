#include "BenchFloor.h"

#include <ibase.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "uDB.h"
#include "uDirectorySQL.h"
#include "uFbClient.h"

using namespace Firebird;

namespace bench {

namespace {

// The statement texts our storage layer sends, taken from it, with "?" for
// its named parameters (the floor binds by position).
std::string Positional(const char* sql) { return TranslateNamedParams(sql).Text; }

const std::string kFloorEntrySQL = kReadSQL;
const std::string kFloorChildCountSQL = kChildCountSQL;
const std::string kFloorChainSQL = kChainSQL;
const std::string kFloorListingSQL = Positional(kFolderListingSQL);
const std::string kFloorOrderUpdateSQL = Positional(kOrderUpdateSQL);
const std::string kFloorChildrenSQL = kChildrenSQL;
const std::string kFloorChildrenOrderSQL = kChildrenOrderSQL;
const std::string kFloorNextIdSQL = GeneratorValueSQL("GEN_DIRECTORY_ID");
const std::string kFloorExistsSQL = kExistsSQL;
const std::string kFloorInsertSQL = Positional(kInsertSQL);

}  // namespace

namespace {

constexpr const char* kEmbeddedOnly = "Providers=Engine12";
constexpr unsigned kBlobSegment = 16384;

std::string UpperAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Reads an integer column of any integer type; NULL reads as 0.
int64_t IntegerAt(IMessageMetadata* meta, CheckStatusWrapper* status, const unsigned char* row,
                  unsigned column) {
  short nullFlag = 0;
  std::memcpy(&nullFlag, row + meta->getNullOffset(status, column), sizeof nullFlag);
  if (nullFlag) return 0;
  const unsigned char* data = row + meta->getOffset(status, column);
  switch (meta->getType(status, column) & ~1u) {
    case SQL_SHORT: {
      int16_t v;
      std::memcpy(&v, data, sizeof v);
      return v;
    }
    case SQL_LONG: {
      int32_t v;
      std::memcpy(&v, data, sizeof v);
      return v;
    }
    case SQL_INT64: {
      int64_t v;
      std::memcpy(&v, data, sizeof v);
      return v;
    }
    default:
      throw EFloorError("column " + std::to_string(column) + " is not an integer");
  }
}

}  // namespace

std::vector<unsigned char> FloorTpb(bool readOnly) {
  std::vector<unsigned char> tpb = {isc_tpb_version3, isc_tpb_read_committed, isc_tpb_rec_version,
                                    isc_tpb_nowait};
  if (readOnly) tpb.push_back(isc_tpb_read);
  return tpb;
}

// --- connection ---------------------------------------------------------------

TFloorConnection::TFloorConnection(const std::string& path, const std::vector<std::string>& params)
    : FMaster(fb_get_master_interface()),
      FStatus(FMaster->getStatus()),
      FReadTpb(FloorTpb(true)),
      FWriteTpb(FloorTpb(false)),
      FBlobBuffer(kBlobSegment) {
  IXpbBuilder* dpb = FMaster->getUtilInterface()->getXpbBuilder(&FStatus, IXpbBuilder::DPB, nullptr, 0);
  Check("getXpbBuilder");
  try {
    for (const std::string& param : params) {
      size_t eq = param.find('=');
      std::string name = UpperAscii(param.substr(0, eq));
      std::string value = eq == std::string::npos ? std::string() : param.substr(eq + 1);
      unsigned char tag = 0;
      if (name == "USER_NAME") tag = isc_dpb_user_name;
      else if (name == "PASSWORD") tag = isc_dpb_password;
      else if (name == "LC_CTYPE") tag = isc_dpb_lc_ctype;
      else throw EFloorError("unknown connection parameter " + param);
      dpb->insertString(&FStatus, tag, value.c_str());
      Check("insertString");
    }
    dpb->insertString(&FStatus, isc_dpb_config, kEmbeddedOnly);
    Check("insertString");
    IProvider* provider = FMaster->getDispatcher();
    FAttachment = provider->attachDatabase(&FStatus, path.c_str(), dpb->getBufferLength(&FStatus),
                                           dpb->getBuffer(&FStatus));
    provider->release();
    Check("attachDatabase");
  } catch (...) {
    dpb->dispose();
    FStatus.dispose();
    throw;
  }
  dpb->dispose();
}

TFloorConnection::~TFloorConnection() {
  if (FAttachment) {
    FAttachment->detach(&FStatus);
    if (FStatus.getState() & IStatus::STATE_ERRORS) FAttachment->release();
  }
  FStatus.dispose();
}

void TFloorConnection::Check(const char* what) {
  if (!(FStatus.getState() & IStatus::STATE_ERRORS)) return;
  char text[2048];
  FMaster->getUtilInterface()->formatStatus(text, sizeof text, &FStatus);
  throw EFloorError(std::string(what) + ": " + text);
}

ITransaction* TFloorConnection::StartTransaction(const std::vector<unsigned char>& tpb) {
  ITransaction* transaction =
      FAttachment->startTransaction(&FStatus, static_cast<unsigned>(tpb.size()), tpb.data());
  Check("startTransaction");
  return transaction;
}

void TFloorConnection::Commit(ITransaction* transaction) {
  transaction->commit(&FStatus);
  Check("commit");
}

void TFloorConnection::Rollback(ITransaction* transaction) {
  if (!transaction) return;
  transaction->rollback(&FStatus);
  if (FStatus.getState() & IStatus::STATE_ERRORS) transaction->release();
}

IStatement* TFloorConnection::Prepare(ITransaction* transaction, const std::string& sql) {
  IStatement* statement = FAttachment->prepare(&FStatus, transaction, 0, sql.c_str(), SQL_DIALECT_V6,
                                               IStatement::PREPARE_PREFETCH_METADATA);
  Check("prepare");
  return statement;
}

void TFloorConnection::Free(IStatement* statement) {
  if (!statement) return;
  statement->free(&FStatus);
  if (FStatus.getState() & IStatus::STATE_ERRORS) statement->release();
}

std::string TFloorConnection::ReadBlob(ITransaction* transaction, const ISC_QUAD& blobId) {
  ISC_QUAD id = blobId;
  IBlob* blob = FAttachment->openBlob(&FStatus, transaction, &id, 0, nullptr);
  Check("openBlob");
  std::string data;
  for (;;) {
    unsigned length = 0;
    int result = blob->getSegment(&FStatus, kBlobSegment,
                                  reinterpret_cast<char*>(FBlobBuffer.data()), &length);
    if (FStatus.getState() & IStatus::STATE_ERRORS) {
      blob->release();
      Check("getSegment");
    }
    if (result == IStatus::RESULT_NO_DATA) break;
    data.append(reinterpret_cast<const char*>(FBlobBuffer.data()), length);
  }
  blob->close(&FStatus);
  Check("closeBlob");
  return data;
}

// Every column of a directory row, by name, each as its type stores it.
void TFloorConnection::ReadEntryColumns(ITransaction* transaction, IMessageMetadata* meta,
                                        const unsigned char* row, TFloorEntry& entry) {
  unsigned count = meta->getCount(&FStatus);
  for (unsigned i = 0; i < count; ++i) {
    const char* name = meta->getField(&FStatus, i);
    unsigned type = meta->getType(&FStatus, i) & ~1u;
    if (type == SQL_VARYING || type == SQL_TEXT || type == SQL_BLOB) {
      short nullFlag = 0;
      std::memcpy(&nullFlag, row + meta->getNullOffset(&FStatus, i), sizeof nullFlag);
      const unsigned char* data = row + meta->getOffset(&FStatus, i);
      std::string text;
      if (nullFlag) {
      } else if (type == SQL_VARYING) {
        unsigned short used = 0;
        std::memcpy(&used, data, sizeof used);
        text.assign(reinterpret_cast<const char*>(data) + sizeof used, used);
      } else if (type == SQL_TEXT) {
        text.assign(reinterpret_cast<const char*>(data), meta->getLength(&FStatus, i));
      } else {
        ISC_QUAD id;
        std::memcpy(&id, data, sizeof id);
        text = ReadBlob(transaction, id);
      }
      if (std::strcmp(name, "TITLE") == 0) entry.Title = std::move(text);
      else if (std::strcmp(name, "DESCRIPTION") == 0) entry.Description = std::move(text);
    } else {
      int32_t value = static_cast<int32_t>(IntegerAt(meta, &FStatus, row, i));
      if (std::strcmp(name, "IDD") == 0) entry.Id = value;
      else if (std::strcmp(name, "ID_PARENT") == 0) entry.IdParent = value;
      else if (std::strcmp(name, "ORDER_POSITION") == 0) entry.OrderPosition = value;
      else if (std::strcmp(name, "KIND") == 0) entry.Kind = value;
      else if (std::strcmp(name, "FLAGS") == 0) entry.Flags = value;
    }
  }
  Check("reading a row");
}

bool TFloorConnection::ReadEntry(ITransaction* transaction, int32_t id, TFloorEntry& entry) {
  const std::string idText = std::to_string(id);
  bool found = false;
  {
    IStatement* statement = Prepare(transaction, kFloorEntrySQL + idText);
    IMessageMetadata* meta = statement->getOutputMetadata(&FStatus);
    Check("getOutputMetadata");
    std::vector<unsigned char> row(meta->getMessageLength(&FStatus));
    IResultSet* cursor = statement->openCursor(&FStatus, transaction, nullptr, nullptr, meta, 0);
    Check("openCursor");
    found = cursor->fetchNext(&FStatus, row.data()) == IStatus::RESULT_OK;
    Check("fetchNext");
    if (found) {
      entry.Id = id;
      ReadEntryColumns(transaction, meta, row.data(), entry);
    }
    cursor->close(&FStatus);
    Check("close");
    meta->release();
    Free(statement);
  }
  if (!found) return false;

  IStatement* statement = Prepare(transaction, kFloorChildCountSQL + idText);
  IMessageMetadata* meta = statement->getOutputMetadata(&FStatus);
  Check("getOutputMetadata");
  std::vector<unsigned char> row(meta->getMessageLength(&FStatus));
  IResultSet* cursor = statement->openCursor(&FStatus, transaction, nullptr, nullptr, meta, 0);
  Check("openCursor");
  if (cursor->fetchNext(&FStatus, row.data()) == IStatus::RESULT_OK)
    entry.Childs = static_cast<int32_t>(IntegerAt(meta, &FStatus, row.data(), 0));
  Check("fetchNext");
  cursor->close(&FStatus);
  Check("close");
  meta->release();
  Free(statement);
  return true;
}

std::vector<int32_t> TFloorConnection::FolderListing(ITransaction* transaction, int32_t folderId) {
  IStatement* statement = Prepare(transaction, kFloorListingSQL);
  IMessageMetadata* inMeta = statement->getInputMetadata(&FStatus);
  IMessageMetadata* outMeta = statement->getOutputMetadata(&FStatus);
  Check("getMetadata");
  std::vector<unsigned char> input(inMeta->getMessageLength(&FStatus));
  std::memcpy(input.data() + inMeta->getOffset(&FStatus, 0), &folderId, sizeof folderId);
  short notNull = 0;
  std::memcpy(input.data() + inMeta->getNullOffset(&FStatus, 0), &notNull, sizeof notNull);
  std::vector<unsigned char> row(outMeta->getMessageLength(&FStatus));
  Check("getMessageLength");
  IResultSet* cursor =
      statement->openCursor(&FStatus, transaction, inMeta, input.data(), outMeta, 0);
  Check("openCursor");
  std::vector<int32_t> ids;
  while (cursor->fetchNext(&FStatus, row.data()) == IStatus::RESULT_OK)
    ids.push_back(static_cast<int32_t>(IntegerAt(outMeta, &FStatus, row.data(), 0)));
  Check("fetchNext");
  cursor->close(&FStatus);
  Check("close");
  inMeta->release();
  outMeta->release();
  Free(statement);
  return ids;
}

void TFloorConnection::LoadFolder(ITransaction* transaction, int32_t folderId,
                                  std::vector<TFloorEntry>& entries) {
  for (int32_t id : FolderListing(transaction, folderId)) {
    TFloorEntry entry;
    ReadEntry(transaction, id, entry);
    entries.push_back(std::move(entry));
  }
}

void TFloorConnection::ChainLevel(int32_t id, std::vector<TFloorEntry>& chain) {
  ITransaction* transaction = StartTransaction(FReadTpb);
  IStatement* statement = nullptr;
  IMessageMetadata* meta = nullptr;
  IResultSet* cursor = nullptr;
  try {
    statement = Prepare(transaction, kFloorChainSQL + std::to_string(id));
    meta = statement->getOutputMetadata(&FStatus);
    Check("getOutputMetadata");
    std::vector<unsigned char> row(meta->getMessageLength(&FStatus));
    cursor = statement->openCursor(&FStatus, transaction, nullptr, nullptr, meta, 0);
    Check("openCursor");
    bool found = cursor->fetchNext(&FStatus, row.data()) == IStatus::RESULT_OK;
    Check("fetchNext");
    if (found) {
      TFloorEntry entry;
      // Only the id is wanted from this row; the entry read fetches the rest.
      unsigned count = meta->getCount(&FStatus);
      for (unsigned i = 0; i < count; ++i) {
        if (std::strcmp(meta->getField(&FStatus, i), "IDD") == 0)
          entry.Id = static_cast<int32_t>(IntegerAt(meta, &FStatus, row.data(), i));
      }
      Check("reading IDD");
      bool seen = std::any_of(chain.begin(), chain.end(),
                              [&](const TFloorEntry& e) { return e.Id == entry.Id; });
      if (!seen) {
        ReadEntry(transaction, entry.Id, entry);
        chain.push_back(entry);
        ChainLevel(entry.IdParent, chain);  // its own transaction, beside this one
      }
    }
    cursor->close(&FStatus);
    cursor = nullptr;
    Check("close");
    meta->release();
    meta = nullptr;
    Free(statement);
    statement = nullptr;
    Commit(transaction);
  } catch (...) {
    if (cursor) cursor->release();
    if (meta) meta->release();
    Free(statement);
    Rollback(transaction);
    throw;
  }
}

void TFloorConnection::ReadChain(int32_t id, std::vector<TFloorEntry>& chain) { ChainLevel(id, chain); }

void TFloorConnection::UpdateOrder(const std::vector<TIdPosition>& positions) {
  ITransaction* transaction = StartTransaction(FWriteTpb);
  IStatement* statement = nullptr;
  IMessageMetadata* meta = nullptr;
  try {
    statement = Prepare(transaction, kFloorOrderUpdateSQL);
    meta = statement->getInputMetadata(&FStatus);
    Check("getInputMetadata");
    std::vector<unsigned char> input(meta->getMessageLength(&FStatus));
    unsigned positionOffset = meta->getOffset(&FStatus, 0);
    unsigned idOffset = meta->getOffset(&FStatus, 1);
    short notNull = 0;
    std::memcpy(input.data() + meta->getNullOffset(&FStatus, 0), &notNull, sizeof notNull);
    std::memcpy(input.data() + meta->getNullOffset(&FStatus, 1), &notNull, sizeof notNull);
    Check("input message");
    for (const auto& [id, position] : positions) {
      std::memcpy(input.data() + positionOffset, &position, sizeof position);
      std::memcpy(input.data() + idOffset, &id, sizeof id);
      statement->execute(&FStatus, transaction, meta, input.data(), nullptr, nullptr);
      Check("execute");
    }
    meta->release();
    meta = nullptr;
    Free(statement);
    statement = nullptr;
    Commit(transaction);
  } catch (...) {
    if (meta) meta->release();
    Free(statement);
    Rollback(transaction);
    throw;
  }
}

std::vector<TIdPosition> TFloorConnection::ChildPositions(int32_t folderId) {
  ITransaction* transaction = StartTransaction(FReadTpb);
  std::vector<TIdPosition> result;
  try {
    IStatement* statement = Prepare(
        transaction, "SELECT idd, order_position FROM directory WHERE id_parent = " +
                         std::to_string(folderId) + " ORDER BY idd");
    IMessageMetadata* meta = statement->getOutputMetadata(&FStatus);
    Check("getOutputMetadata");
    std::vector<unsigned char> row(meta->getMessageLength(&FStatus));
    IResultSet* cursor = statement->openCursor(&FStatus, transaction, nullptr, nullptr, meta, 0);
    Check("openCursor");
    while (cursor->fetchNext(&FStatus, row.data()) == IStatus::RESULT_OK) {
      result.emplace_back(static_cast<int32_t>(IntegerAt(meta, &FStatus, row.data(), 0)),
                          static_cast<int32_t>(IntegerAt(meta, &FStatus, row.data(), 1)));
    }
    Check("fetchNext");
    cursor->close(&FStatus);
    Check("close");
    meta->release();
    Free(statement);
    Commit(transaction);
  } catch (...) {
    Rollback(transaction);
    throw;
  }
  return result;
}

// --- section export and import ------------------------------------------------

void TFloorConnection::ExportSection(const TFloorEntry& entry, int level, const TFloorRowSink& row) {
  row(level, entry);
  ITransaction* transaction = StartTransaction(FReadTpb);
  IStatement* statement = nullptr;
  IMessageMetadata* meta = nullptr;
  IResultSet* cursor = nullptr;
  try {
    statement = Prepare(transaction, kFloorChildrenSQL + std::to_string(entry.Id) + kFloorChildrenOrderSQL);
    meta = statement->getOutputMetadata(&FStatus);
    Check("getOutputMetadata");
    std::vector<unsigned char> buffer(meta->getMessageLength(&FStatus));
    cursor = statement->openCursor(&FStatus, transaction, nullptr, nullptr, meta, 0);
    Check("openCursor");
    while (cursor->fetchNext(&FStatus, buffer.data()) == IStatus::RESULT_OK) {
      TFloorEntry child;
      child.Id = static_cast<int32_t>(IntegerAt(meta, &FStatus, buffer.data(), 0));
      ReadEntry(transaction, child.Id, child);
      ExportSection(child, level + 1, row);  // its own transaction, beside this one
    }
    Check("fetchNext");
    cursor->close(&FStatus);
    cursor = nullptr;
    Check("close");
    meta->release();
    meta = nullptr;
    Free(statement);
    statement = nullptr;
    Commit(transaction);
  } catch (...) {
    if (cursor) cursor->release();
    if (meta) meta->release();
    Free(statement);
    Rollback(transaction);
    throw;
  }
}

bool TFloorConnection::FetchFirst(ITransaction* transaction, const std::string& sql, int64_t* value) {
  IStatement* statement = Prepare(transaction, sql);
  IMessageMetadata* meta = nullptr;
  IResultSet* cursor = nullptr;
  try {
    meta = statement->getOutputMetadata(&FStatus);
    Check("getOutputMetadata");
    std::vector<unsigned char> buffer(meta->getMessageLength(&FStatus));
    cursor = statement->openCursor(&FStatus, transaction, nullptr, nullptr, meta, 0);
    Check("openCursor");
    bool found = cursor->fetchNext(&FStatus, buffer.data()) == IStatus::RESULT_OK;
    Check("fetchNext");
    if (found && value) *value = IntegerAt(meta, &FStatus, buffer.data(), 0);
    cursor->close(&FStatus);
    cursor = nullptr;
    Check("close");
    meta->release();
    meta = nullptr;
    Free(statement);
    return found;
  } catch (...) {
    if (cursor) cursor->release();
    if (meta) meta->release();
    Free(statement);
    throw;
  }
}

int32_t TFloorConnection::NextId() {
  ITransaction* transaction = StartTransaction(FReadTpb);
  try {
    int64_t value = 0;
    if (!FetchFirst(transaction, kFloorNextIdSQL, &value)) throw EFloorError("the id draw gave no row");
    Commit(transaction);
    return static_cast<int32_t>(value);
  } catch (...) {
    Rollback(transaction);
    throw;
  }
}

bool TFloorConnection::EntryExists(int32_t id) {
  ITransaction* transaction = StartTransaction(FReadTpb);
  try {
    bool found = FetchFirst(transaction, kFloorExistsSQL + std::to_string(id), nullptr);
    Commit(transaction);
    return found;
  } catch (...) {
    Rollback(transaction);
    throw;
  }
}

void TFloorConnection::ExecuteInsert(ITransaction* transaction, IStatement* statement, IMessageMetadata* meta,
                                     std::vector<unsigned char>& input, const TFloorEntry& entry) {
  constexpr unsigned kColumns = 7;
  if (meta->getCount(&FStatus) != kColumns) throw EFloorError("the insert does not take 7 parameters");
  const int64_t numbers[kColumns] = {entry.Id, entry.IdParent, entry.OrderPosition, 0, 0, entry.Kind, entry.Flags};
  const std::string* texts[kColumns] = {nullptr, nullptr, nullptr, &entry.Title, &entry.Description, nullptr, nullptr};
  for (unsigned i = 0; i < kColumns; ++i) {
    unsigned type = meta->getType(&FStatus, i) & ~1u;
    unsigned char* data = input.data() + meta->getOffset(&FStatus, i);
    short notNull = 0;
    std::memcpy(input.data() + meta->getNullOffset(&FStatus, i), &notNull, sizeof notNull);
    Check("input message");
    switch (type) {
      case SQL_SHORT: {
        auto v = static_cast<int16_t>(numbers[i]);
        std::memcpy(data, &v, sizeof v);
        break;
      }
      case SQL_LONG: {
        auto v = static_cast<int32_t>(numbers[i]);
        std::memcpy(data, &v, sizeof v);
        break;
      }
      case SQL_INT64:
        std::memcpy(data, &numbers[i], sizeof numbers[i]);
        break;
      case SQL_VARYING: {
        if (!texts[i]) throw EFloorError("a text parameter where a number was meant");
        unsigned room = meta->getLength(&FStatus, i);
        Check("getLength");
        if (texts[i]->size() > room) throw EFloorError("a text longer than its column");
        auto used = static_cast<unsigned short>(texts[i]->size());
        std::memcpy(data, &used, sizeof used);
        std::memcpy(data + sizeof used, texts[i]->data(), texts[i]->size());
        break;
      }
      case SQL_BLOB: {
        if (!texts[i]) throw EFloorError("a blob parameter where a number was meant");
        ISC_QUAD id{};
        IBlob* blob = FAttachment->createBlob(&FStatus, transaction, &id, 0, nullptr);
        Check("createBlob");
        const std::string& text = *texts[i];
        for (size_t pos = 0; pos < text.size(); pos += kBlobSegment) {
          auto length = static_cast<unsigned>(std::min<size_t>(kBlobSegment, text.size() - pos));
          blob->putSegment(&FStatus, length, text.data() + pos);
          if (FStatus.getState() & IStatus::STATE_ERRORS) {
            blob->release();
            Check("putSegment");
          }
        }
        blob->close(&FStatus);
        Check("closeBlob");
        std::memcpy(data, &id, sizeof id);
        break;
      }
      default:
        throw EFloorError("parameter " + std::to_string(i) + " has a type the insert does not expect");
    }
  }
  statement->execute(&FStatus, transaction, meta, input.data(), nullptr, nullptr);
  Check("execute");
}

void TFloorConnection::InsertEntry(const TFloorEntry& entry) {
  ITransaction* transaction = StartTransaction(FWriteTpb);
  IStatement* statement = nullptr;
  IMessageMetadata* meta = nullptr;
  try {
    statement = Prepare(transaction, kFloorInsertSQL);
    meta = statement->getInputMetadata(&FStatus);
    Check("getInputMetadata");
    std::vector<unsigned char> input(meta->getMessageLength(&FStatus));
    Check("getMessageLength");
    ExecuteInsert(transaction, statement, meta, input, entry);
    meta->release();
    meta = nullptr;
    Free(statement);
    statement = nullptr;
    Commit(transaction);
  } catch (...) {
    if (meta) meta->release();
    Free(statement);
    Rollback(transaction);
    throw;
  }
}

void TFloorConnection::InsertEntries(const std::vector<TFloorEntry>& entries) {
  ITransaction* transaction = StartTransaction(FWriteTpb);
  IStatement* statement = nullptr;
  IMessageMetadata* meta = nullptr;
  try {
    statement = Prepare(transaction, kFloorInsertSQL);
    meta = statement->getInputMetadata(&FStatus);
    Check("getInputMetadata");
    std::vector<unsigned char> input(meta->getMessageLength(&FStatus));
    Check("getMessageLength");
    for (const TFloorEntry& entry : entries) ExecuteInsert(transaction, statement, meta, input, entry);
    meta->release();
    meta = nullptr;
    Free(statement);
    statement = nullptr;
    Commit(transaction);
  } catch (...) {
    if (meta) meta->release();
    Free(statement);
    Rollback(transaction);
    throw;
  }
}

void TFloorConnection::ExecuteStatement(const std::string& sql) {
  ITransaction* transaction = StartTransaction(FWriteTpb);
  try {
    FAttachment->execute(&FStatus, transaction, 0, sql.c_str(), SQL_DIALECT_V6, nullptr, nullptr, nullptr,
                         nullptr);
    Check("execute");
    Commit(transaction);
  } catch (...) {
    Rollback(transaction);
    throw;
  }
}

// --- timing -------------------------------------------------------------------

namespace {
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void KeepBest(TTiming& best, const TTiming& sample, bool first) {
  if (first || sample.Wall < best.Wall) best.Wall = sample.Wall;
  if (first || sample.Cpu < best.Cpu) best.Cpu = sample.Cpu;
}
}  // namespace

void TStopwatch::Restart() {
  FStart = std::chrono::steady_clock::now();
  FCpuStart = ThreadCpuSeconds();
}

double TStopwatch::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
}

TTiming TStopwatch::Elapsed() const { return {Seconds(), ThreadCpuSeconds() - FCpuStart}; }

TTiming BestOf(int runs, const std::function<TTiming()>& run) {
  TTiming best;
  for (int i = 0; i < runs; ++i) KeepBest(best, run(), i == 0);
  return best;
}

std::pair<TTiming, TTiming> BestOfAlternating(int runs, const std::function<TTiming()>& a,
                                              const std::function<TTiming()>& b) {
  TTiming bestA, bestB;
  for (int i = 0; i < runs; ++i) {
    TTiming sampleA, sampleB;
    if (i % 2 == 0) {
      sampleA = a();
      sampleB = b();
    } else {
      sampleB = b();
      sampleA = a();
    }
    KeepBest(bestA, sampleA, i == 0);
    KeepBest(bestB, sampleB, i == 0);
  }
  return {bestA, bestB};
}

// --- report -------------------------------------------------------------------

void PrintBenchTable(const std::vector<TBenchRow>& rows) {
  size_t workWidth = 4;
  for (const TBenchRow& row : rows) workWidth = std::max(workWidth, row.Work.size());
  const int w = static_cast<int>(workWidth);
  std::printf("%-*s  %9s  %9s  %10s  %9s  %s\n", w, "work", "ours (s)", "floor (s)", "ours/floor",
              "cpu ratio", "goals");
  std::printf("%s\n", std::string(workWidth + 2 + 9 + 2 + 9 + 2 + 10 + 2 + 9 + 2 + 46, '-').c_str());
  for (const TBenchRow& row : rows) {
    const bool hasFloor = row.Floor.Wall > 0;
    double ratio = hasFloor ? row.Ours.Wall / row.Floor.Wall : 0;
    double cpuRatio = row.Floor.Cpu > 0 ? row.Ours.Cpu / row.Floor.Cpu : 0;
    char text[160];
    std::string goals;
    if (row.MaxRatio > 0 && hasFloor) {
      std::snprintf(text, sizeof text, "goal: ratio <= %.2f (%s)", row.MaxRatio,
                    ratio <= row.MaxRatio ? "met" : "NOT met");
      goals = text;
    }
    if (row.MaxSeconds > 0) {
      // Goals below a tenth of a second read better in milliseconds.
      if (row.MaxSeconds < 0.1)
        std::snprintf(text, sizeof text, "goal: < %.0f ms (%s)", row.MaxSeconds * 1000,
                      row.Ours.Wall < row.MaxSeconds ? "met" : "NOT met");
      else
        std::snprintf(text, sizeof text, "goal: < %.1f s (%s)", row.MaxSeconds,
                      row.Ours.Wall < row.MaxSeconds ? "met" : "NOT met");
      goals += (goals.empty() ? "" : "; ") + std::string(text);
    }
    if (hasFloor) {
      std::printf("%-*s  %9.4f  %9.4f  %10.3f  %9.3f  %s\n", w, row.Work.c_str(), row.Ours.Wall,
                  row.Floor.Wall, ratio, cpuRatio, goals.c_str());
    } else {
      std::printf("%-*s  %9.4f  %9s  %10s  %9s  %s\n", w, row.Work.c_str(), row.Ours.Wall, "-", "-", "-",
                  goals.c_str());
    }
  }
  std::printf("(best of the runs each; ratios below 1.25 meet the goal; cpu ratio: the same\n"
              " ratio of the calling thread's processor time, steadier on a loaded machine)\n");
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  if (!(file >> one >> five >> fifteen)) return "unknown";
  return one + " " + five + " " + fifteen;
}

TTempFolder::TTempFolder(const std::string& prefix) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + prefix + "-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  FPath = pattern;
}

TTempFolder::~TTempFolder() {
  std::error_code ignored;
  if (!Keep) std::filesystem::remove_all(FPath, ignored);
}

double Median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  size_t middle = samples.size() / 2;
  return samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

}  // namespace bench
