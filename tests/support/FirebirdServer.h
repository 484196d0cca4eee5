#pragma once
// A private Firebird server for the tests: the Debian server program
// (/usr/sbin/firebird) started as a child process on a free port of
// 127.0.0.1, with a root folder of its own (FIREBIRD) holding its
// firebird.conf and a security3.fdb with the test users. Nothing of the
// machine's own server is used or touched.

#include <string>
#include <vector>

#include "TestSupport.h"

class TFirebirdServer {
 public:
  TFirebirdServer();   // prepares the root folder and starts the server
  ~TFirebirdServer();  // stops it
  TFirebirdServer(const TFirebirdServer&) = delete;
  TFirebirdServer& operator=(const TFirebirdServer&) = delete;

  void Start();  // waits until the port answers
  void Stop();   // waits until the process has ended
  bool Running() const { return FPid > 0; }

  int Port() const { return FPort; }
  std::string Host() const { return "127.0.0.1/" + std::to_string(FPort); }
  // "127.0.0.1/port:path".
  std::string Connection(const std::string& path) const { return Host() + ":" + path; }
  // A folder the server reads and writes books in.
  std::string BookFile(const std::string& name) const { return FRoot.File("books/" + name); }

  // A new book file through the server; returns its path on the server.
  std::string CreateBook(const std::string& name);

  static constexpr const char* kUser = "ALICE";
  static constexpr const char* kPassword = "alice-secret";
  static constexpr const char* kAdmin = "SYSDBA";
  static constexpr const char* kAdminPassword = "masterkey";

  // user_name, password and lc_ctype for a test user.
  static std::vector<std::string> Params(const std::string& user = kUser, const std::string& password = kPassword);

 private:
  void PrepareRoot();
  TTempDir FRoot;
  int FPort = 0;
  int FPid = -1;
};

// One server per test program, started on first use and stopped at exit.
TFirebirdServer& SharedServer();

// A TCP port of 127.0.0.1 that nothing listens on right now.
int FreeLocalPort();
