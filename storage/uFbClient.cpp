#include "uFbClient.h"

#include <firebird/Interface.h>
#include <ibase.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <map>

#include "uText.h"

using namespace Firebird;

namespace {

// The connection's character set as Firebird numbers it.
constexpr unsigned kCharSetWin1251 = 52;
// Keeps the attachment inside this process: without it a failed local open
// falls through to the network providers.
constexpr const char* kEmbeddedOnly = "Providers=Engine12";

IMaster* Master() {
  static IMaster* master = [] {
    EnsureFirebirdLockFolder();
    EnsureUtf8FileNames();
    return fb_get_master_interface();
  }();
  return master;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Only the remote provider: a book on a server never opens embedded.
constexpr const char* kServerOnly = "Providers=Remote";
// The error codes and the operating system's error number of a status
// vector: pairs of an argument kind and its value(s), up to isc_arg_end.
void ReadErrorVector(const intptr_t* vector, std::vector<long>& codes, int& osError) {
  while (vector && *vector != isc_arg_end) {
    const intptr_t kind = vector[0];
    if (kind == isc_arg_gds) codes.push_back(static_cast<long>(vector[1]));
    if (kind == isc_arg_unix && osError == 0) osError = static_cast<int>(vector[1]);
    vector += kind == isc_arg_cstring ? 3 : 2;
  }
}

// A status of our own for each call; errors become EDatabaseError.
class TStatus {
 public:
  TStatus() : FWrapper(Master()->getStatus()) {}
  ~TStatus() { FWrapper.dispose(); }
  TStatus(const TStatus&) = delete;
  TStatus& operator=(const TStatus&) = delete;

  CheckStatusWrapper* operator&() { return &FWrapper; }
  bool Failed() const { return (FWrapper.getState() & IStatus::STATE_ERRORS) != 0; }
  void Check() {
    if (!Failed()) return;
    std::vector<long> codes;
    int osError = 0;
    ReadErrorVector(FWrapper.getErrors(), codes, osError);
    throw EDatabaseError(Text(), std::move(codes), osError);
  }
  std::string Text() {
    char buffer[2048];
    Master()->getUtilInterface()->formatStatus(buffer, sizeof buffer, &FWrapper);
    std::string text(buffer);
    return IsValidUtf8(text) ? text : Win1251ToUtf8(text);
  }
  void Reset() { FWrapper.init(); }

 private:
  CheckStatusWrapper FWrapper;
};

// Releases a reference-counted interface at scope end.
template <typename T>
struct TReleaser {
  void operator()(T* object) const {
    if (object) object->release();
  }
};
template <typename T>
using TRef = std::unique_ptr<T, TReleaser<T>>;

std::string ToDatabaseText(const std::string& utf8) {
  try {
    return Utf8ToWin1251(utf8);
  } catch (const TEncodingError& e) {
    throw EDatabaseError(e.what());
  }
}

// Parameter names of connections and transactions, mapped to their tags.
const std::map<std::string, unsigned char>& DpbTags() {
  static const std::map<std::string, unsigned char> tags = {
      {"USER_NAME", isc_dpb_user_name},
      {"PASSWORD", isc_dpb_password},
      {"LC_CTYPE", isc_dpb_lc_ctype},
      {"SQL_ROLE_NAME", isc_dpb_sql_role_name},
  };
  return tags;
}

const std::map<std::string, unsigned char>& TpbTags() {
  static const std::map<std::string, unsigned char> tags = {
      {"CONSISTENCY", isc_tpb_consistency},   {"CONCURRENCY", isc_tpb_concurrency},
      {"READ_COMMITTED", isc_tpb_read_committed}, {"REC_VERSION", isc_tpb_rec_version},
      {"NO_REC_VERSION", isc_tpb_no_rec_version}, {"WAIT", isc_tpb_wait},
      {"NOWAIT", isc_tpb_nowait},             {"READ", isc_tpb_read},
      {"WRITE", isc_tpb_write},
  };
  return tags;
}

// Builds a parameter block from "name=value" or bare-name entries.
class TXpb {
 public:
  explicit TXpb(unsigned kind) {
    TStatus status;
    FBuilder.reset(Master()->getUtilInterface()->getXpbBuilder(&status, kind, nullptr, 0));
    status.Check();
  }
  void AddString(unsigned char tag, const std::string& value) {
    TStatus status;
    FBuilder->insertString(&status, tag, value.c_str());
    status.Check();
  }
  void AddInt(unsigned char tag, int value) {
    TStatus status;
    FBuilder->insertInt(&status, tag, value);
    status.Check();
  }
  void AddTag(unsigned char tag) {
    TStatus status;
    FBuilder->insertTag(&status, tag);
    status.Check();
  }
  std::vector<unsigned char> Bytes() {
    TStatus status;
    const unsigned char* data = FBuilder->getBuffer(&status);
    unsigned length = FBuilder->getBufferLength(&status);
    status.Check();
    return {data, data + length};
  }

 private:
  struct TDisposer {
    void operator()(IXpbBuilder* b) const {
      if (b) b->dispose();
    }
  };
  std::unique_ptr<IXpbBuilder, TDisposer> FBuilder;
};

void SplitParam(const std::string& param, std::string& name, std::string& value) {
  size_t eq = param.find('=');
  name = UpperAscii(param.substr(0, eq));
  value = eq == std::string::npos ? std::string() : param.substr(eq + 1);
}

bool IsIntegerType(unsigned type) {
  return type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64;
}

std::string ReadBlob(IAttachment* attachment, ITransaction* transaction, ISC_QUAD id) {
  TStatus status;
  TRef<IBlob> blob(attachment->openBlob(&status, transaction, &id, 0, nullptr));
  status.Check();
  std::string data;
  char buffer[16384];
  for (;;) {
    unsigned length = 0;
    int result = blob->getSegment(&status, sizeof buffer, buffer, &length);
    status.Check();
    if (result == IStatus::RESULT_NO_DATA) break;
    data.append(buffer, length);
  }
  blob->close(&status);
  if (!status.Failed()) blob.release();  // close released it
  status.Check();
  return data;
}

ISC_QUAD WriteBlob(IAttachment* attachment, ITransaction* transaction, const std::string& data) {
  TStatus status;
  ISC_QUAD id{};
  TRef<IBlob> blob(attachment->createBlob(&status, transaction, &id, 0, nullptr));
  status.Check();
  constexpr size_t kSegment = 32768;
  for (size_t pos = 0; pos < data.size(); pos += kSegment) {
    size_t length = std::min(kSegment, data.size() - pos);
    blob->putSegment(&status, static_cast<unsigned>(length), data.data() + pos);
    status.Check();
  }
  blob->close(&status);
  if (!status.Failed()) blob.release();
  status.Check();
  return id;
}

// The longest text Firebird takes as a value of a parameter that is no
// blob: the largest VARCHAR.
constexpr size_t kMaxVaryingLength = 32765;

// A text bound to a parameter that is no blob must fit the declared length
// (a CHAR or VARCHAR column: read from the statement, not assumed), or the
// largest VARCHAR for any other type. Throws ETextTooLong otherwise.
void CheckTextFits(IMessageMetadata* declared, unsigned index, const std::string& text, const std::string& name) {
  TStatus status;
  const unsigned type = declared->getType(&status, index) & ~1u;
  const unsigned length = declared->getLength(&status, index);
  status.Check();
  const size_t limit = type == SQL_VARYING || type == SQL_TEXT ? length : kMaxVaryingLength;
  if (text.size() > limit) throw ETextTooLong(name, text.size(), limit);
}

// Room for the text of any value the engine turns into text here: dates,
// times and time stamps (with a time zone name), scaled and floating point
// numbers, booleans.
constexpr unsigned kValueTextLength = 128;

bool IsReadableAsIs(unsigned type, int scale) {
  return (IsIntegerType(type) && scale == 0) || type == SQL_VARYING || type == SQL_TEXT || type == SQL_BLOB ||
         type == SQL_ARRAY;
}

// The output metadata to fetch with: columns of a type this layer does not
// read itself (a date, a time, a scaled or floating point number, a boolean,
// all of which other software may add to a table) are asked for as text,
// which the engine converts them to. Arrays stay as they are and read as NULL.
IMessageMetadata* ReadableOutput(IMessageMetadata* described) {
  TStatus status;
  const unsigned count = described->getCount(&status);
  status.Check();
  std::vector<unsigned> asText;
  for (unsigned i = 0; i < count; ++i) {
    const unsigned type = described->getType(&status, i) & ~1u;
    const int scale = described->getScale(&status, i);
    status.Check();
    if (!IsReadableAsIs(type, scale)) asText.push_back(i);
  }
  if (asText.empty()) {  // the common case: the metadata as described
    described->addRef();
    return described;
  }
  TRef<IMetadataBuilder> builder(described->getBuilder(&status));
  status.Check();
  for (unsigned i : asText) {
    builder->setType(&status, i, SQL_VARYING);
    builder->setLength(&status, i, kValueTextLength);
    builder->setScale(&status, i, 0);
    builder->setCharSet(&status, i, kCharSetWin1251);
    status.Check();
  }
  IMessageMetadata* readable = builder->getMetadata(&status);
  status.Check();
  return readable;
}

bool OwnedByMeAndPrivate(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0) return false;
  return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & 077) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------

ETextTooLong::ETextTooLong(const std::string& parameter, size_t length, size_t limit)
    : EDatabaseError("Текст параметра " + parameter + " длиной " + std::to_string(length) +
                     " символов не помещается в поле длиной " + std::to_string(limit) + " символов"),
      FParameter(parameter),
      FLength(length),
      FLimit(limit) {}

bool EDatabaseError::HasCode(long code) const {
  return std::find(FCodes.begin(), FCodes.end(), code) != FCodes.end();
}

void EnsureFirebirdLockFolder() {
  static bool done = false;
  if (done) return;
  done = true;
  if (const char* current = std::getenv("FIREBIRD_LOCK"); current && *current) return;
  // One folder per user, so two copies of the program run by the same user
  // meet in the same lock files, and a folder made by root elsewhere never
  // stands in the way.
  std::string folder = "/tmp/firebird-" + std::to_string(getuid());
  mkdir(folder.c_str(), 0700);
  if (!OwnedByMeAndPrivate(folder)) {
    std::string pattern = folder + "-XXXXXX";
    if (char* made = mkdtemp(pattern.data())) folder = made;
  }
  setenv("FIREBIRD_LOCK", folder.c_str(), 0);
}

void EnsureUtf8FileNames() {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset && std::strcmp(codeset, "UTF-8") == 0) return;
  for (const char* locale : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
    if (std::setlocale(LC_CTYPE, locale)) return;
  }
}

// ---------------------------------------------------------------------------

TFbDatabase::TFbDatabase() = default;

TFbDatabase::~TFbDatabase() { Close(); }

std::vector<unsigned char> TFbDatabase::BuildDpb(bool forCreate) const {
  TXpb dpb(IXpbBuilder::DPB);
  for (const std::string& param : Params) {
    std::string name, value;
    SplitParam(param, name, value);
    auto tag = DpbTags().find(name);
    if (tag == DpbTags().end()) throw EDatabaseError("Unknown connection parameter: " + param);
    dpb.AddString(tag->second, value);
  }
  dpb.AddString(isc_dpb_config, ThroughServer ? kServerOnly : kEmbeddedOnly);
  if (ThroughServer && ConnectTimeoutSeconds > 0) dpb.AddInt(isc_dpb_connect_timeout, ConnectTimeoutSeconds);
  // The file name is UTF-8, as every text of this program; without saying
  // so the client converts it from the process's character set, and under
  // the C locale a name with Cyrillic letters cannot be converted at all.
  dpb.AddTag(isc_dpb_utf8_filename);
  if (forCreate) {
    dpb.AddString(isc_dpb_set_db_charset, "WIN1251");
    dpb.AddInt(isc_dpb_sql_dialect, 3);
  }
  return dpb.Bytes();
}

void TFbDatabase::Open() {
  if (FAttachment) return;
  std::vector<unsigned char> dpb = BuildDpb(false);
  TStatus status;
  TRef<IProvider> provider(Master()->getDispatcher());
  FAttachment = provider->attachDatabase(&status, DatabaseName.c_str(),
                                         static_cast<unsigned>(dpb.size()), dpb.data());
  if (status.Failed()) {
    FAttachment = nullptr;
    status.Check();
  }
}

void TFbDatabase::CreateDatabase() {
  if (FAttachment) throw EDatabaseError("The connection is already open");
  struct stat info {};
  if (stat(DatabaseName.c_str(), &info) == 0)
    throw EDatabaseError("File already exists: " + DatabaseName);
  std::vector<unsigned char> dpb = BuildDpb(true);
  TStatus status;
  TRef<IProvider> provider(Master()->getDispatcher());
  FAttachment = provider->createDatabase(&status, DatabaseName.c_str(),
                                         static_cast<unsigned>(dpb.size()), dpb.data());
  if (status.Failed()) {
    FAttachment = nullptr;
    status.Check();
  }
}

void TFbDatabase::Close() {
  if (!FAttachment) return;
  TStatus status;
  FAttachment->detach(&status);
  if (status.Failed()) FAttachment->release();
  FAttachment = nullptr;
}

IAttachment* TFbDatabase::Attachment() const {
  if (!FAttachment) throw EDatabaseError("Database not connected");
  return FAttachment;
}

// ---------------------------------------------------------------------------

TFbTransaction::TFbTransaction(TFbDatabase* database) : DefaultDatabase(database) {}

TFbTransaction::~TFbTransaction() {
  if (!FHandle) return;
  TStatus status;
  FHandle->rollback(&status);
  if (status.Failed()) FHandle->release();
  FHandle = nullptr;
}

void TFbTransaction::StartTransaction() {
  if (FHandle) throw EDatabaseError("Transaction is already active");
  if (!DefaultDatabase) throw EDatabaseError("Transaction has no database");
  TXpb tpb(IXpbBuilder::TPB);
  for (const std::string& param : Params) {
    auto tag = TpbTags().find(UpperAscii(param));
    if (tag == TpbTags().end()) throw EDatabaseError("Unknown transaction parameter: " + param);
    tpb.AddTag(tag->second);
  }
  std::vector<unsigned char> bytes = tpb.Bytes();
  TStatus status;
  ITransaction* handle = DefaultDatabase->Attachment()->startTransaction(
      &status, static_cast<unsigned>(bytes.size()), bytes.data());
  status.Check();
  FHandle = handle;
}

void TFbTransaction::Commit() {
  if (!FHandle) throw EDatabaseError("Transaction is not active");
  TStatus status;
  FHandle->commit(&status);
  status.Check();  // a failed commit leaves the transaction active
  FHandle = nullptr;
}

void TFbTransaction::Rollback() {
  if (!FHandle) throw EDatabaseError("Transaction is not active");
  TStatus status;
  FHandle->rollback(&status);
  if (status.Failed()) {
    // The engine has given up the transaction either way; do not keep it.
    std::string text = status.Text();
    FHandle->release();
    FHandle = nullptr;
    throw EDatabaseError(text);
  }
  FHandle = nullptr;
}

ITransaction* TFbTransaction::Handle() const {
  if (!FHandle) throw EDatabaseError("Transaction is not active");
  return FHandle;
}

// ---------------------------------------------------------------------------

int64_t TFbValue::AsInt64() const {
  if (const auto* number = std::get_if<int64_t>(&FValue)) return *number;
  if (const auto* text = std::get_if<std::string>(&FValue)) {
    try {
      size_t used = 0;
      int64_t value = std::stoll(*text, &used);
      if (used == text->size()) return value;
    } catch (const std::exception&) {
    }
    throw EDatabaseError("\"" + *text + "\" is not a valid integer value");
  }
  return 0;
}

int32_t TFbValue::AsInteger() const { return static_cast<int32_t>(AsInt64()); }

std::string TFbValue::AsString() const {
  if (const auto* text = std::get_if<std::string>(&FValue)) return *text;
  if (const auto* number = std::get_if<int64_t>(&FValue)) return std::to_string(*number);
  return {};
}

// ---------------------------------------------------------------------------

TTranslatedSQL TranslateNamedParams(std::string_view sql) {
  TTranslatedSQL result;
  auto isNameChar = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$';
  };
  size_t i = 0;
  while (i < sql.size()) {
    char c = sql[i];
    if (c == '\'' || c == '"') {  // copy a quoted text or name unchanged
      size_t end = sql.find(c, i + 1);
      while (end != std::string_view::npos && end + 1 < sql.size() && sql[end + 1] == c)
        end = sql.find(c, end + 2);
      end = end == std::string_view::npos ? sql.size() : end + 1;
      result.Text.append(sql.substr(i, end - i));
      i = end;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      size_t end = sql.find('\n', i);
      end = end == std::string_view::npos ? sql.size() : end;
      result.Text.append(sql.substr(i, end - i));
      i = end;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      size_t end = sql.find("*/", i + 2);
      end = end == std::string_view::npos ? sql.size() : end + 2;
      result.Text.append(sql.substr(i, end - i));
      i = end;
    } else if (c == ':' && i + 1 < sql.size() && isNameChar(sql[i + 1])) {
      size_t end = i + 1;
      while (end < sql.size() && isNameChar(sql[end])) ++end;
      std::string name = UpperAscii(sql.substr(i + 1, end - i - 1));
      auto found = std::find(result.Names.begin(), result.Names.end(), name);
      result.Slots.push_back(static_cast<size_t>(found - result.Names.begin()));
      if (found == result.Names.end()) result.Names.push_back(name);
      result.Text += '?';
      i = end;
    } else {
      result.Text += c;
      ++i;
    }
  }
  return result;
}

TFbQuery::TFbQuery(TFbDatabase* database, TFbTransaction* transaction)
    : Database(database), Transaction(transaction) {}

TFbQuery::~TFbQuery() {
  Close();
  FreeStatement();
}

void TFbQuery::SetSQL(std::string text) {
  Close();
  FreeStatement();
  FSQL = std::move(text);
  TTranslatedSQL translated = TranslateNamedParams(FSQL);
  FTranslatedSQL = std::move(translated.Text);
  FParamNames = std::move(translated.Names);
  FParamSlots = std::move(translated.Slots);
  FParamValues.assign(FParamNames.size(), TFbValue());
}

TFbValue& TFbQuery::ParamByName(std::string_view name) {
  std::string wanted = UpperAscii(name);
  for (size_t i = 0; i < FParamNames.size(); ++i) {
    if (FParamNames[i] == wanted) return FParamValues[i];
  }
  throw EDatabaseError("Parameter \"" + std::string(name) + "\" not found");
}

void TFbQuery::FreeStatement() {
  if (FOutMeta) {
    FOutMeta->release();
    FOutMeta = nullptr;
  }
  if (FStatement) {
    TStatus status;
    FStatement->free(&status);
    if (status.Failed()) FStatement->release();
    FStatement = nullptr;
  }
  FPreparedOn = nullptr;
}

void TFbQuery::Prepare() {
  if (!Database) throw EDatabaseError("Statement has no database");
  if (!Transaction) throw EDatabaseError("Statement has no transaction");
  IAttachment* attachment = Database->Attachment();
  ITransaction* transaction = Transaction->Handle();
  if (FStatement && FPreparedOn == attachment) return;
  FreeStatement();
  TStatus status;
  // The statement text travels in the connection's character set too.
  const std::string text = ToDatabaseText(FTranslatedSQL);
  IStatement* statement = attachment->prepare(&status, transaction, 0, text.c_str(), SQL_DIALECT_V6,
                                              IStatement::PREPARE_PREFETCH_METADATA);
  status.Check();
  FStatement = statement;
  FPreparedOn = attachment;
  TRef<IMessageMetadata> described(FStatement->getOutputMetadata(&status));
  status.Check();
  FOutMeta = ReadableOutput(described.get());
  unsigned count = FOutMeta->getCount(&status);
  FFieldNames.clear();
  for (unsigned i = 0; i < count; ++i) {
    FFieldNames.push_back(UpperAscii(FOutMeta->getAlias(&status, i)));
  }
  FOutBuffer.assign(FOutMeta->getMessageLength(&status), 0);
  status.Check();
}

std::vector<unsigned char> TFbQuery::BuildInput(IMessageMetadata*& metadata) {
  metadata = nullptr;
  // "?" is the only parameter marker the engine knows: a text without one
  // has no parameters, and asking the engine for its input metadata would
  // cost a call into it for every statement prepared.
  if (FTranslatedSQL.find('?') == std::string::npos) return {};
  TStatus status;
  TRef<IMessageMetadata> declared(FStatement->getInputMetadata(&status));
  status.Check();
  unsigned count = declared->getCount(&status);
  status.Check();
  if (count == 0) return {};
  if (count != FParamSlots.size()) throw EDatabaseError("Parameter count mismatch");

  // Describe every value as we hold it and let the engine convert it to the
  // declared type; text bound to a blob goes as a blob of its own.
  TRef<IMetadataBuilder> builder(declared->getBuilder(&status));
  status.Check();
  std::vector<std::string> texts(count);
  for (unsigned i = 0; i < count; ++i) {
    const TFbValue& value = FParamValues[FParamSlots[i]];
    unsigned declaredType = declared->getType(&status, i) & ~1u;
    if (value.IsNull()) continue;
    if (std::holds_alternative<int64_t>(value.Raw()) && declaredType != SQL_BLOB) {
      builder->setType(&status, i, SQL_INT64);
      builder->setLength(&status, i, sizeof(int64_t));
      builder->setScale(&status, i, 0);
    } else {
      texts[i] = ToDatabaseText(value.AsString());
      if (declaredType != SQL_BLOB) {
        CheckTextFits(declared.get(), i, texts[i], FParamNames[FParamSlots[i]]);
        builder->setType(&status, i, SQL_VARYING);
        builder->setLength(&status, i, static_cast<unsigned>(std::max<size_t>(texts[i].size(), 1)));
        builder->setCharSet(&status, i, kCharSetWin1251);
      }
    }
    status.Check();
  }
  TRef<IMessageMetadata> actual(builder->getMetadata(&status));
  status.Check();
  std::vector<unsigned char> buffer(actual->getMessageLength(&status), 0);
  status.Check();
  for (unsigned i = 0; i < count; ++i) {
    const TFbValue& value = FParamValues[FParamSlots[i]];
    unsigned type = actual->getType(&status, i) & ~1u;
    unsigned char* data = buffer.data() + actual->getOffset(&status, i);
    auto* nullFlag = reinterpret_cast<short*>(buffer.data() + actual->getNullOffset(&status, i));
    status.Check();
    *nullFlag = value.IsNull() ? -1 : 0;
    if (value.IsNull()) continue;
    if (type == SQL_INT64) {
      int64_t number = value.AsInt64();
      std::memcpy(data, &number, sizeof number);
    } else if (type == SQL_VARYING) {
      auto length = static_cast<unsigned short>(texts[i].size());
      std::memcpy(data, &length, sizeof length);
      std::memcpy(data + sizeof length, texts[i].data(), texts[i].size());
    } else if (type == SQL_BLOB) {
      ISC_QUAD id = WriteBlob(Database->Attachment(), Transaction->Handle(), texts[i]);
      std::memcpy(data, &id, sizeof id);
    }
  }
  metadata = actual.release();
  return buffer;
}

void TFbQuery::ExecQuery() {
  Close();
  Prepare();
  IMessageMetadata* inMeta = nullptr;
  std::vector<unsigned char> input = BuildInput(inMeta);
  TRef<IMessageMetadata> inMetaOwner(inMeta);
  TStatus status;
  unsigned flags = FStatement->getFlags(&status);
  status.Check();
  ITransaction* transaction = Transaction->Handle();
  if (flags & IStatement::FLAG_HAS_CURSOR) {
    IResultSet* cursor = FStatement->openCursor(&status, transaction, inMeta,
                                                input.empty() ? nullptr : input.data(),
                                                FOutMeta, 0);
    status.Check();
    FResultSet = cursor;
    FResultTransaction = transaction;
    FEof = false;
    Next();
  } else {
    bool hasOutput = !FFieldNames.empty();
    FStatement->execute(&status, transaction, inMeta, input.empty() ? nullptr : input.data(),
                        hasOutput ? FOutMeta : nullptr, hasOutput ? FOutBuffer.data() : nullptr);
    status.Check();
    FEof = true;
    FHasRow = hasOutput;
    if (hasOutput) FetchRow();
  }
}

void TFbQuery::ExecNoResult() {
  ExecQuery();
  Close();
}

void TFbQuery::Next() {
  if (!FResultSet) throw EDatabaseError("The result is not open");
  TStatus status;
  int result = FResultSet->fetchNext(&status, FOutBuffer.data());
  status.Check();
  if (result == IStatus::RESULT_OK) {
    FetchRow();
    FHasRow = true;
  } else {
    FEof = true;
    FHasRow = false;
    FRow.clear();
  }
}

void TFbQuery::FetchRow() {
  TStatus status;
  unsigned count = static_cast<unsigned>(FFieldNames.size());
  FRow.assign(count, TFbValue());
  for (unsigned i = 0; i < count; ++i) {
    const unsigned char* data = FOutBuffer.data() + FOutMeta->getOffset(&status, i);
    short nullFlag = 0;
    std::memcpy(&nullFlag, FOutBuffer.data() + FOutMeta->getNullOffset(&status, i), sizeof nullFlag);
    unsigned type = FOutMeta->getType(&status, i) & ~1u;
    unsigned length = FOutMeta->getLength(&status, i);
    int scale = FOutMeta->getScale(&status, i);
    status.Check();
    if (nullFlag) continue;
    TFbValue& value = FRow[i];
    if (IsIntegerType(type) && scale == 0) {
      int64_t number = 0;
      if (type == SQL_SHORT) {
        int16_t v; std::memcpy(&v, data, sizeof v); number = v;
      } else if (type == SQL_LONG) {
        int32_t v; std::memcpy(&v, data, sizeof v); number = v;
      } else {
        std::memcpy(&number, data, sizeof number);
      }
      value.SetInteger(number);
    } else if (type == SQL_VARYING) {
      unsigned short used = 0;
      std::memcpy(&used, data, sizeof used);
      value.SetString(Win1251ToUtf8(std::string_view(reinterpret_cast<const char*>(data) + 2, used)));
    } else if (type == SQL_TEXT) {
      value.SetString(Win1251ToUtf8(std::string_view(reinterpret_cast<const char*>(data), length)));
    } else if (type == SQL_BLOB) {
      ISC_QUAD id;
      std::memcpy(&id, data, sizeof id);
      value.SetString(Win1251ToUtf8(ReadBlob(Database->Attachment(), FResultTransaction
                                                                     ? FResultTransaction
                                                                     : Transaction->Handle(), id)));
    }
    // Any other type (an array) reads as NULL: ReadableOutput asked for
    // every other one as text.
  }
}

void TFbQuery::Close() {
  if (FResultSet) {
    TStatus status;
    FResultSet->close(&status);
    if (status.Failed()) FResultSet->release();
    FResultSet = nullptr;
  }
  FResultTransaction = nullptr;
  FEof = true;
  FHasRow = false;
  FRow.clear();
}

const TFbValue& TFbQuery::FieldByName(std::string_view name) const {
  std::string wanted = UpperAscii(name);
  for (size_t i = 0; i < FFieldNames.size(); ++i) {
    if (FFieldNames[i] == wanted) {
      if (!FHasRow) throw EDatabaseError("No current row");
      return FRow[i];
    }
  }
  throw EDatabaseError("Field \"" + std::string(name) + "\" not found");
}

std::vector<std::string> TFbQuery::FieldNames() const { return FFieldNames; }
