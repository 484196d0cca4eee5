#pragma once
// What went wrong with a database call, told from Firebird's error codes,
// and the message that names the server, the book and what to check.

#include <cstdint>
#include <string>
#include <vector>

#include "uBookLocation.h"
#include "uFbClient.h"

enum class TDbFailure {
  None,
  ServerUnreachable,  // no server answers at that host and port
  WrongLogin,         // user name or password refused
  NoSuchBook,         // the server has no such file or alias
  NotABook,           // the file is no database this server reads
  VersionRefused,     // server or protocol version, wire encryption
  CharsetRefused,     // the connection's character set WIN1251
  ConnectionLost,     // an open attachment lost its server
  LockConflict,       // the row is being changed by someone else
  Other,
};

// Whether the error came while attaching or on an open attachment: a
// network error means an unreachable server in the first case and a lost
// connection in the second.
enum class TDbStage { Connect, Work };

TDbFailure ClassifyDatabaseFailure(const std::vector<intptr_t>& codes, TDbStage stage);
TDbFailure ClassifyDatabaseFailure(const EDatabaseError& error, TDbStage stage);

// True when an error of an open attachment means its connection is gone
// and TdmDB::Reconnect is the way on.
bool IsLostConnection(const EDatabaseError& error);

// The message box text for a failure with a book on a server; detail is
// the library's own text, shown only for failures without a cause of their
// own.
std::string ServerFailureMessage(TDbFailure failure, const TBookLocation& book, const std::string& detail);

// "Being changed by someone else, try again."
extern const char* const kLockConflictMessage;
