#include "uBookLocation.h"

#include <algorithm>
#include <cctype>

namespace {

std::string_view Trimmed(std::string_view text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

TBookLocation Refused(std::string reason) {
  TBookLocation location;
  location.Error = std::move(reason);
  return location;
}

TBookLocation EmbeddedFile(std::string_view path, const std::string& appPath) {
  TBookLocation location;
  location.Book = path.starts_with('/') ? std::string(path) : appPath + std::string(path);
  return location;
}

bool IsHostChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
}

// A port number, or a service name as Firebird accepts it ("gds_db").
bool IsPort(std::string_view port) {
  return !port.empty() && port.size() <= 32 && std::all_of(port.begin(), port.end(), IsHostChar);
}

// "host", "host/port" or "[v6]", "[v6]/port" before the colon that starts
// the book's path; the colon's position is given.
TBookLocation OnServer(std::string_view text, size_t colon) {
  std::string_view server = text.substr(0, colon);
  std::string_view book = text.substr(colon + 1);
  TBookLocation location;
  location.OnServer = true;
  if (server.starts_with('[')) {
    size_t close = server.find(']');
    if (close == std::string_view::npos) return Refused("не закрыта скобка ']' адреса сервера");
    location.Host = std::string(server.substr(1, close - 1));
    server.remove_prefix(close + 1);
    if (location.Host.empty()) return Refused("пустой адрес сервера в скобках []");
    if (!server.empty() && !server.starts_with('/')) return Refused("после ']' ожидается '/порт' или ':'");
  } else {
    size_t slash = server.find('/');
    location.Host = std::string(server.substr(0, slash));
    server = slash == std::string_view::npos ? std::string_view() : server.substr(slash);
    if (location.Host.empty()) return Refused("не указан сервер перед ':'");
    if (!std::all_of(location.Host.begin(), location.Host.end(), IsHostChar))
      return Refused("недопустимый символ в имени сервера \"" + location.Host + "\"");
  }
  if (!server.empty()) {
    location.Port = std::string(server.substr(1));
    if (!IsPort(location.Port)) return Refused("недопустимый порт сервера \"" + location.Port + "\"");
  }
  location.Book = std::string(Trimmed(book));
  if (location.Book.empty()) return Refused("после ':' не указан путь или псевдоним базы данных на сервере");
  return location;
}

// The colon that ends the server part, or npos for a plain path.
size_t ServerColon(std::string_view text) {
  if (text.starts_with('/') || text.starts_with('.')) return std::string_view::npos;
  size_t from = 0;
  if (text.starts_with('[')) {
    size_t close = text.find(']');
    if (close != std::string_view::npos) from = close;
  }
  return text.find(':', from);
}

}  // namespace

std::string TBookLocation::ServerName() const {
  std::string host = Host.find(':') != std::string::npos ? "[" + Host + "]" : Host;
  return Port.empty() ? host : host + "/" + Port;
}

std::string TBookLocation::ConnectionString() const {
  return OnServer ? ServerName() + ":" + Book : Book;
}

TBookLocation ParseBookLocation(std::string_view setting, const std::string& appPath) {
  std::string_view text = Trimmed(setting);
  if (text.size() > kMaxBookLocationLength)
    return Refused("значение длиннее " + std::to_string(kMaxBookLocationLength) + " символов");
  if (text.empty()) return EmbeddedFile("DB/DB.fdb", appPath);
  size_t colon = ServerColon(text);
  if (colon == std::string_view::npos) {
    if (text.starts_with('[')) return Refused("после адреса сервера в скобках нет ':' и пути базы данных");
    return EmbeddedFile(text, appPath);
  }
  return OnServer(text, colon);
}
