#pragma once
// The data module of the database: the program's one connection to the
// reference book and its two transactions.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "uBookEvents.h"
#include "uBookLocation.h"
#include "uDbFailure.h"
#include "uFbClient.h"

// "user_name=...", "password=...", "lc_ctype=WIN1251".
std::vector<std::string> DirectoryConnectionParams();

class TdmDB {
 public:
  TdmDB();
  TdmDB(const TdmDB&) = delete;
  TdmDB& operator=(const TdmDB&) = delete;

  // Destroyed in reverse: the transactions end before the connection closes.
  TFbDatabase DB;
  TFbTransaction trDirectoryRead;
  TFbTransaction trDirectoryWrite;

  // Opens DBFile; on failure tells the user why and returns false.
  bool OpenDatabase();

  // --- a book on a Firebird server (udmDBServer.cpp) ---

  // Attaches to the book on its server as user with password, through the
  // Remote provider with a connect timeout; the shared read transaction
  // becomes read-only. Shows nothing: the result names the cause (None on
  // success) and detail holds the library's text.
  TDbFailure OpenServerBook(const TBookLocation& book, const std::string& user, const std::string& password,
                            std::string* detail = nullptr);
  bool OnServer() const { return DB.ThroughServer; }

  // After an error that IsLostConnection tells: drops the attachment (and
  // the shared read transaction, started again when it was running), opens
  // it again with the same parameters and queues the change listener again.
  // Waits no longer than the connect timeout; None when connected again.
  TDbFailure Reconnect(std::string* detail = nullptr);

  // Calls onChanged on a client-library thread whenever any attachment
  // (this one included) commits a change of the book; kept across
  // Reconnect, ended by StopListening or destruction.
  void ListenForChanges(std::function<void()> onChanged);
  void StopListening();

 private:
  std::function<void()> FOnChanged;
  bool FRestartRead = false;  // the shared read transaction ran when the connection was lost
  // Declared last: cancelled before the connection closes.
  std::unique_ptr<TBookEventListener> FListener;
};

// Seconds a server attach waits for the server.
constexpr int kServerConnectTimeoutSeconds = 5;

// "read_committed", "rec_version", "nowait", "read": a shared read
// transaction that stays open all day without holding back garbage
// collection on a server.
const std::vector<std::string>& ServerReadTransactionParams();
// Why the book could not be opened, in one line of plain Russian for the
// user: the file cannot be read or written by this user, is no database,
// is damaged, or was made by another version of Firebird. Empty when the
// file is held by another process (the message names a second copy of the
// program already) or when the cause is not one of these.
std::string DatabaseOpenFailureCause(const std::string& file, const EDatabaseError& error);

extern const char* const kMissingDatabaseMessage;
extern const char* const kCannotOpenDatabaseMessage;
extern const char* const kAnotherCopyHint;
