#pragma once
// The data module of the database: the program's one connection to the
// reference book and its two transactions.

#include <string>
#include <vector>

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
};

// Why the book could not be opened, in one line of plain Russian for the
// user: the file cannot be read or written by this user, is no database,
// is damaged, or was made by another version of Firebird. Empty when the
// file is held by another process (the message names a second copy of the
// program already) or when the cause is not one of these.
std::string DatabaseOpenFailureCause(const std::string& file, const EDatabaseError& error);

extern const char* const kMissingDatabaseMessage;
extern const char* const kCannotOpenDatabaseMessage;
extern const char* const kAnotherCopyHint;
