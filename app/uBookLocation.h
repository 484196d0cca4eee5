#pragma once
// Where the reference book is: the key "Database" of the settings file.
// Absent or empty: DB/DB.fdb beside the program, opened by the embedded
// engine. A Firebird connection string with a server part ("host:path",
// "host/port:path", "host:alias", "[::1]:path", "[::1]/3051:path"): that
// book on that server. A plain path (absolute, or relative to the program's
// folder): that file, embedded. A single letter before ':' names a host,
// never a drive; a text starting with '/' or '.' is always a path.

#include <string>
#include <string_view>

struct TBookLocation {
  bool OnServer = false;
  std::string Host;  // without the brackets of an IPv6 address
  std::string Port;  // empty: the server's default port
  // On a server: the path or alias the server is asked for. Embedded: the
  // absolute file path.
  std::string Book;
  // Empty when the setting could be read; otherwise why not.
  std::string Error;

  // What the client library is given to attach.
  std::string ConnectionString() const;
  // The server as the user wrote it, for messages: "host" or "host/port".
  std::string ServerName() const;
};

// The longest "Database" value taken; longer ones are refused by name.
constexpr size_t kMaxBookLocationLength = 1024;

// Pure: reads a "Database" value. appPath ends with "/".
TBookLocation ParseBookLocation(std::string_view setting, const std::string& appPath);
