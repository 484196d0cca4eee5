#include "uSchema.h"

#include "uFbClient.h"
#include "udmDB.h"

const std::vector<std::string>& DirectorySchemaStatements() {
  static const std::vector<std::string> statements = {
      "CREATE TABLE directory ("
      " idd INTEGER NOT NULL,"
      " id_parent INTEGER,"
      " order_position INTEGER,"
      " title VARCHAR(4000) CHARACTER SET WIN1251,"
      " description BLOB SUB_TYPE TEXT CHARACTER SET WIN1251,"
      " kind SMALLINT,"
      " flags INTEGER,"
      " CONSTRAINT pk_directory PRIMARY KEY (idd))",
      // The folder listing filters on the parent and sorts by kind and position.
      "CREATE INDEX ix_directory_parent ON directory (id_parent, kind, order_position)",
      // The export and chain statements compare COALESCE(...) expressions;
      // these indexes let them find rows without reading the whole table.
      "CREATE INDEX ix_directory_parent0 ON directory COMPUTED BY (COALESCE(id_parent, 0))",
      "CREATE INDEX ix_directory_idd0 ON directory COMPUTED BY (COALESCE(idd, 0))",
      "CREATE SEQUENCE GEN_DIRECTORY_ID",
  };
  return statements;
}

namespace {
void CreateSchema(TFbDatabase& database, const std::vector<std::string>& statements) {
  for (const std::string& ddl : statements) {
    // DDL must be committed before the next statement can use its objects.
    TFbTransaction transaction(&database);
    transaction.Params = {"concurrency", "wait", "write"};
    transaction.StartTransaction();
    TFbQuery query(&database, &transaction);
    query.SetSQL(ddl);
    query.ExecNoResult();
    transaction.Commit();
  }
}
}  // namespace

void CreateDirectoryDatabase(const std::string& path) { CreateDatabaseWithSchema(path, DirectorySchemaStatements()); }

void CreateDatabaseWithSchema(const std::string& path, const std::vector<std::string>& statements) {
  TFbDatabase database;
  database.DatabaseName = path;
  database.Params = DirectoryConnectionParams();
  database.CreateDatabase();
  CreateSchema(database, statements);
}

void CreateDirectoryDatabaseOnServer(const std::string& connection, const std::vector<std::string>& params) {
  TFbDatabase database;
  database.DatabaseName = connection;
  database.Params = params;
  database.ThroughServer = true;
  database.CreateDatabase();
  CreateSchema(database, DirectorySchemaStatements());
}
