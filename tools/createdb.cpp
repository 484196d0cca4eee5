// zorvana-directory-createdb [--sample] BOOK
// Creates a new reference book database, optionally with sample entries.
// BOOK takes the forms of the "Database" setting: a file path (embedded), or
// host:path, host/port:path, [v6]:path on a Firebird server, where the book
// is made as the user ISC_USER with the password ISC_PASSWORD.

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "uBookLocation.h"

#include "uFbClient.h"
#include "uSampleBook.h"
#include "uSchema.h"
#include "udmDB.h"

namespace {

int Usage() {
  std::cerr << "Использование: zorvana-directory-createdb [--sample] ФАЙЛ|СЕРВЕР:ПУТЬ\n"
               "Создает новую базу данных справочника; --sample заполняет ее примером.\n"
               "На сервере (сервер:путь, сервер/порт:путь, [IPv6]:путь) база создается от имени\n"
               "пользователя ISC_USER с паролем ISC_PASSWORD из окружения.\n";
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

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::vector<std::string> ServerParams() {
  return {"user_name=" + Environment("ISC_USER"), "password=" + Environment("ISC_PASSWORD"), "lc_ctype=WIN1251"};
}

void FillSample(const TBookLocation& book) {
  TFbDatabase database;
  database.DatabaseName = book.ConnectionString();
  database.ThroughServer = book.OnServer;
  database.Params = book.OnServer ? ServerParams() : DirectoryConnectionParams();
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
  const TBookLocation book = ParseBookLocation(path, std::filesystem::current_path().string() + "/");
  if (!book.Error.empty()) {
    std::cerr << "Неверное указание базы данных " << path << ": " << book.Error << "\n";
    return 2;
  }
  if (book.OnServer && (Environment("ISC_USER").empty() || Environment("ISC_PASSWORD").empty())) {
    std::cerr << "Для базы данных на сервере задайте пользователя и пароль в ISC_USER и ISC_PASSWORD.\n";
    return 2;
  }
  struct stat info {};
  if (!book.OnServer && stat(book.Book.c_str(), &info) == 0) {
    std::cerr << "Файл уже существует, он не будет перезаписан: " << path << "\n";
    return 1;
  }
  try {
    if (book.OnServer) {
      CreateDirectoryDatabaseOnServer(book.ConnectionString(), ServerParams());
    } else {
      CreateDirectoryDatabase(book.Book);
    }
    if (sample) FillSample(book);
  } catch (const std::exception& e) {
    if (!book.OnServer) std::remove(book.Book.c_str());  // a half-made book is no book
    std::cerr << "Не удалось создать базу данных " << path << ":\n" << e.what() << "\n";
    return 1;
  }
  std::cout << "Создана база данных: " << path << (sample ? " (с примером справочника)" : "") << "\n";
  return 0;
}
