// The "Database" setting: where the book is.

#include <gtest/gtest.h>

#include "uBookLocation.h"

namespace {

TEST(BookLocationTest, FormsOfTheSetting) {
  const std::string app = "/opt/zorvana/";
  struct TCase {
    const char* Setting;
    bool OnServer;
    const char* Host;
    const char* Port;
    const char* Book;
    const char* Connection;
  } cases[] = {
      {"", false, "", "", "/opt/zorvana/DB/DB.fdb", "/opt/zorvana/DB/DB.fdb"},
      {"   ", false, "", "", "/opt/zorvana/DB/DB.fdb", "/opt/zorvana/DB/DB.fdb"},
      {"/srv/books/team.fdb", false, "", "", "/srv/books/team.fdb", "/srv/books/team.fdb"},
      {"books/team.fdb", false, "", "", "/opt/zorvana/books/team.fdb", "/opt/zorvana/books/team.fdb"},
      {"./team.fdb", false, "", "", "/opt/zorvana/./team.fdb", "/opt/zorvana/./team.fdb"},
      {"../shared/team.fdb", false, "", "", "/opt/zorvana/../shared/team.fdb", "/opt/zorvana/../shared/team.fdb"},
      {"/srv/odd:name.fdb", false, "", "", "/srv/odd:name.fdb", "/srv/odd:name.fdb"},
      {"server:/srv/books/team.fdb", true, "server", "", "/srv/books/team.fdb", "server:/srv/books/team.fdb"},
      {" db.example.org:team ", true, "db.example.org", "", "team", "db.example.org:team"},
      {"server/3051:/srv/team.fdb", true, "server", "3051", "/srv/team.fdb", "server/3051:/srv/team.fdb"},
      {"server/gds_db:team", true, "server", "gds_db", "team", "server/gds_db:team"},
      {"C:\\Books\\DB.fdb", true, "C", "", "\\Books\\DB.fdb", "C:\\Books\\DB.fdb"},
      {"[::1]:/srv/team.fdb", true, "::1", "", "/srv/team.fdb", "[::1]:/srv/team.fdb"},
      {"[::1]/3051:/srv/team.fdb", true, "::1", "3051", "/srv/team.fdb", "[::1]/3051:/srv/team.fdb"},
      {"[fe80::2]:team", true, "fe80::2", "", "team", "[fe80::2]:team"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Setting);
    TBookLocation book = ParseBookLocation(c.Setting, app);
    EXPECT_EQ(book.Error, "");
    EXPECT_EQ(book.OnServer, c.OnServer);
    EXPECT_EQ(book.Host, c.Host);
    EXPECT_EQ(book.Port, c.Port);
    EXPECT_EQ(book.Book, c.Book);
    EXPECT_EQ(book.ConnectionString(), c.Connection);
  }
}

TEST(BookLocationTest, UnreadableSettingsAreRefusedWithTheirReason) {
  struct TCase {
    std::string Setting;
    const char* ReasonPart;
  } cases[] = {
      {"server:", "не указан путь"},
      {"server:   ", "не указан путь"},
      {":/srv/team.fdb", "не указан сервер"},
      {"/3051:/srv/team.fdb", ""},  // a path: starts with '/'
      {"ser ver:/x.fdb", "недопустимый символ"},
      {"server/:team", "недопустимый порт"},
      {"server/30 51:team", "недопустимый порт"},
      {"[::1:/srv/team.fdb", "не закрыта скобка"},
      {"[]:team", "пустой адрес"},
      {"[::1]x:team", "после ']'"},
      {"[::1]", "нет ':'"},
      {std::string(kMaxBookLocationLength + 1, 'a'), "длиннее 1024"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Setting.substr(0, 40));
    TBookLocation book = ParseBookLocation(c.Setting, "/opt/zorvana/");
    if (*c.ReasonPart == 0) {
      EXPECT_EQ(book.Error, "");
      continue;
    }
    EXPECT_NE(book.Error.find(c.ReasonPart), std::string::npos) << book.Error;
  }
}

}  // namespace
