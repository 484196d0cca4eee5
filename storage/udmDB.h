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

extern const char* const kMissingDatabaseMessage;
extern const char* const kCannotOpenDatabaseMessage;
extern const char* const kAnotherCopyHint;
