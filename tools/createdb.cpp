// zorvana-directory-createdb [--sample] PATH
// Creates a new reference book database file, optionally with sample entries.

#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "uFbClient.h"
#include "uSampleBook.h"
#include "uSchema.h"
#include "udmDB.h"

namespace {

int Usage() {
  std::cerr << "Использование: zorvana-directory-createdb [--sample] ФАЙЛ\n"
               "Создает новый файл базы данных справочника; --sample заполняет его примером.\n";
  return 2;
}

int DrawId(TFbQuery& query) {
  query.SetSQL("SELECT GEN_ID(GEN_DIRECTORY_ID, 1) AS id FROM rdb$database");
  query.ExecQuery();
  int id = query.FieldByName("ID").AsInteger();
  query.Close();
  return id;
}

void InsertEntries(TFbQuery& query, const std::vector<TSampleEntry>& entries, int parent) {
  int position = parent == 0 ? 0 : 100;
  for (const TSampleEntry& entry : entries) {
    int id = DrawId(query);
    query.SetSQL(
        "INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
        "VALUES (:idd, :id_parent, :order_position, :title, :description, :kind, 0)");
    query.ParamByName("IDD").SetInteger(id);
    query.ParamByName("ID_PARENT").SetInteger(parent);
    query.ParamByName("ORDER_POSITION").SetInteger(position);
    query.ParamByName("TITLE").SetString(entry.Title);
    query.ParamByName("DESCRIPTION").SetString(entry.Description);
    query.ParamByName("KIND").SetInteger(entry.IsFolder ? 1 : 0);
    query.ExecNoResult();
    InsertEntries(query, entry.Childs, id);
    position += 100;
  }
}

void FillSample(const std::string& path) {
  TFbDatabase database;
  database.DatabaseName = path;
  database.Params = DirectoryConnectionParams();
  database.Open();
  TFbTransaction transaction(&database);
  transaction.Params = {"read_committed", "rec_version", "nowait"};
  transaction.StartTransaction();
  TFbQuery query(&database, &transaction);
  InsertEntries(query, SampleBook(), 0);
  transaction.Commit();
}

}  // namespace

int main(int argc, char** argv) {
  bool sample = false;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--sample") {
      sample = true;
    } else if (arg.starts_with("-") || !path.empty()) {
      return Usage();
    } else {
      path = arg;
    }
  }
  if (path.empty()) return Usage();
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    std::cerr << "Файл уже существует, он не будет перезаписан: " << path << "\n";
    return 1;
  }
  try {
    CreateDirectoryDatabase(path);
    if (sample) FillSample(path);
  } catch (const std::exception& e) {
    std::remove(path.c_str());  // a half-made book is no book
    std::cerr << "Не удалось создать базу данных " << path << ":\n" << e.what() << "\n";
    return 1;
  }
  std::cout << "Создана база данных: " << path << (sample ? " (с примером справочника)" : "") << "\n";
  return 0;
}
