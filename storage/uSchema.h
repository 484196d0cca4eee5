#pragma once
// The reference book's schema, in one place for the database creator and
// the tests. The program itself never creates a database.

#include <string>
#include <vector>

// The DDL statements of a new book, in the order they run.
const std::vector<std::string>& DirectorySchemaStatements();

// Creates a new database file holding the schema; throws EDatabaseError,
// also when a file already exists at path.
void CreateDirectoryDatabase(const std::string& path);

// The same through a server: connection is "host[/port]:path", params hold
// the user, password and lc_ctype. The server refuses an existing file.
void CreateDirectoryDatabaseOnServer(const std::string& connection, const std::vector<std::string>& params);
// The same with a schema of the caller's (the books of other software).
void CreateDatabaseWithSchema(const std::string& path, const std::vector<std::string>& statements);
