#pragma once
// A thin layer of our own over the Firebird client's OO API: a connection,
// transactions and statements with RAII release, named parameters, columns
// read by name, and one exception type for every database error.
// Texts cross this layer as UTF-8 and travel to the database as
// Windows-1251 (the connection's character set).

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace Firebird {
class IAttachment;
class ITransaction;
class IStatement;
class IResultSet;
class IMessageMetadata;
}  // namespace Firebird

// Every failure of the database layer: Firebird's formatted status text, or
// a text conversion that Windows-1251 cannot hold. A failure reported by
// Firebird carries its error codes (isc_..., outermost first) and the
// operating system's error number where Firebird names one (0 otherwise),
// so that callers can tell causes apart without reading the text.
class EDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  EDatabaseError(const std::string& message, std::vector<long> codes, int osError)
      : std::runtime_error(message), FCodes(std::move(codes)), FOsError(osError) {}

  const std::vector<long>& Codes() const { return FCodes; }
  bool HasCode(long code) const;
  int OsError() const { return FOsError; }

 private:
  std::vector<long> FCodes;
  int FOsError = 0;
};

// A text longer than the column or parameter it is bound to: it is refused
// before anything is sent, never stored shortened. Lengths are characters
// (one byte each in the connection's character set).
class ETextTooLong : public EDatabaseError {
 public:
  ETextTooLong(const std::string& parameter, size_t length, size_t limit);
  const std::string& Parameter() const { return FParameter; }  // upper case, as in ParamNames
  size_t Length() const { return FLength; }
  size_t Limit() const { return FLimit; }

 private:
  std::string FParameter;
  size_t FLength;
  size_t FLimit;
};

// Points the embedded engine's lock files at a folder of the user's own
// (FIREBIRD_LOCK), unless the environment already names one. Called before
// the first call into the client library; safe to call more than once.
void EnsureFirebirdLockFolder();

// File names cross the client as UTF-8 (isc_dpb_utf8_filename), and the
// embedded engine turns them into the process's character set before it
// opens the file: under the C locale (ASCII) a folder named in Cyrillic
// could never be opened. So, when the process's character set is not
// UTF-8, its LC_CTYPE becomes a UTF-8 one (the program keeps every text in
// UTF-8 anyway). Called before the first call into the client library.
void EnsureUtf8FileNames();

// The connection ("DB"). Parameters are "name=value" texts; the ones this
// program uses are user_name, password and lc_ctype. The connection is
// embedded only: a failed open never falls through to a network server.
class TFbDatabase {
 public:
  TFbDatabase();
  ~TFbDatabase();
  TFbDatabase(const TFbDatabase&) = delete;
  TFbDatabase& operator=(const TFbDatabase&) = delete;

  std::string DatabaseName;
  std::vector<std::string> Params;

  void Open();   // throws EDatabaseError
  void Close();  // never throws
  bool Connected() const { return FAttachment != nullptr; }

  // Creates a new database file with the same parameters and leaves it
  // connected; fails when the file exists.
  void CreateDatabase();

  Firebird::IAttachment* Attachment() const;  // throws when not connected

 private:
  std::vector<unsigned char> BuildDpb(bool forCreate) const;
  Firebird::IAttachment* FAttachment = nullptr;
};

// A transaction with a parameter list of Firebird option names
// ("read_committed", "rec_version", "nowait", "read", ...). Not started on
// creation; rolled back when destroyed while active.
class TFbTransaction {
 public:
  explicit TFbTransaction(TFbDatabase* database = nullptr);
  ~TFbTransaction();
  TFbTransaction(const TFbTransaction&) = delete;
  TFbTransaction& operator=(const TFbTransaction&) = delete;

  TFbDatabase* DefaultDatabase = nullptr;
  std::vector<std::string> Params;

  void StartTransaction();  // throws EDatabaseError
  void Commit();            // throws EDatabaseError
  void Rollback();          // throws EDatabaseError
  bool InTransaction() const { return FHandle != nullptr; }

  Firebird::ITransaction* Handle() const;  // throws when not active

 private:
  Firebird::ITransaction* FHandle = nullptr;
};

// A value of a parameter or a result column.
class TFbValue {
 public:
  using Storage = std::variant<std::monostate, int64_t, std::string>;

  bool IsNull() const { return std::holds_alternative<std::monostate>(FValue); }
  int64_t AsInt64() const;      // NULL reads as 0
  int32_t AsInteger() const;    // NULL reads as 0
  std::string AsString() const; // UTF-8; NULL reads as empty

  void SetInteger(int64_t value) { FValue = value; }
  void SetString(std::string utf8) { FValue = std::move(utf8); }
  void SetNull() { FValue = std::monostate{}; }

  const Storage& Raw() const { return FValue; }

 private:
  Storage FValue;
};

// The statement object: one statement text at a time, named parameters
// written as ":name", a result read row by row with columns found by name.
class TFbQuery {
 public:
  TFbQuery(TFbDatabase* database = nullptr, TFbTransaction* transaction = nullptr);
  ~TFbQuery();
  TFbQuery(const TFbQuery&) = delete;
  TFbQuery& operator=(const TFbQuery&) = delete;

  TFbDatabase* Database = nullptr;
  TFbTransaction* Transaction = nullptr;

  // Closes an open result and replaces the text; parameters are derived
  // anew from the text.
  void SetSQL(std::string text);
  const std::string& SQL() const { return FSQL; }

  // Names in the order they appear (upper case); a name used twice is one
  // parameter bound at every place.
  const std::vector<std::string>& ParamNames() const { return FParamNames; }
  TFbValue& ParamByName(std::string_view name);  // throws when unknown

  // Opens the result and fetches the first row (a statement with a result),
  // or executes it (a statement without one).
  void ExecQuery();
  // Executes without reading a result; a SELECT is opened and closed.
  void ExecNoResult();
  bool Open() const { return FResultSet != nullptr; }
  bool Eof() const { return FEof; }
  void Next();
  void Close();  // never throws

  const TFbValue& FieldByName(std::string_view name) const;  // throws when unknown
  std::vector<std::string> FieldNames() const;

 private:
  void Prepare();
  void FreeStatement();
  std::vector<unsigned char> BuildInput(Firebird::IMessageMetadata*& metadata);
  void FetchRow();

  std::string FSQL;
  std::string FTranslatedSQL;  // ":name" replaced by "?"
  std::vector<std::string> FParamNames;
  std::vector<size_t> FParamSlots;  // position -> index in FParamNames
  std::vector<TFbValue> FParamValues;

  Firebird::IStatement* FStatement = nullptr;
  Firebird::IAttachment* FPreparedOn = nullptr;
  Firebird::IMessageMetadata* FOutMeta = nullptr;
  Firebird::IResultSet* FResultSet = nullptr;
  Firebird::ITransaction* FResultTransaction = nullptr;
  std::vector<unsigned char> FOutBuffer;
  std::vector<std::string> FFieldNames;
  std::vector<TFbValue> FRow;
  bool FEof = true;
  bool FHasRow = false;
};

// Splits ":name" markers out of a statement text; quoted texts and comments
// are left alone. Exposed for tests.
struct TTranslatedSQL {
  std::string Text;                    // with "?" markers
  std::vector<std::string> Names;      // distinct names, upper case
  std::vector<size_t> Slots;           // marker position -> index in Names
};
TTranslatedSQL TranslateNamedParams(std::string_view sql);
