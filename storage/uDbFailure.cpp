#include "uDbFailure.h"

#include <ibase.h>

#include <algorithm>
#include <initializer_list>

const char* const kLockConflictMessage =
    "Эту запись сейчас изменяет кто-то другой.\r\nПовторите попытку через несколько секунд.";

namespace {

bool HasAny(const std::vector<intptr_t>& codes, std::initializer_list<intptr_t> wanted) {
  return std::any_of(codes.begin(), codes.end(), [&](intptr_t code) {
    return std::find(wanted.begin(), wanted.end(), code) != wanted.end();
  });
}

bool IsNetworkFailure(const std::vector<intptr_t>& codes) {
  return HasAny(codes, {isc_network_error, isc_net_connect_err, isc_net_lookup_err, isc_net_read_err,
                        isc_net_write_err, isc_net_init_error, isc_conn_lost, isc_lost_db_connection});
}

// The attachment itself is gone: the server shut it down, or the handle
// was already dropped after a lost connection.
bool IsAttachmentGone(const std::vector<intptr_t>& codes) {
  return HasAny(codes, {isc_att_shutdown, isc_shutdown, isc_bad_db_handle});
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

TDbFailure ClassifyDatabaseFailure(const std::vector<intptr_t>& codes, TDbStage stage) {
  if (codes.empty()) return TDbFailure::Other;
  if (IsNetworkFailure(codes))
    return stage == TDbStage::Connect ? TDbFailure::ServerUnreachable : TDbFailure::ConnectionLost;
  if (stage == TDbStage::Work && IsAttachmentGone(codes)) return TDbFailure::ConnectionLost;
  if (HasAny(codes, {isc_login})) return TDbFailure::WrongLogin;
  if (HasAny(codes, {isc_charset_not_found, isc_charset_not_installed, isc_invalid_attachment_charset}))
    return TDbFailure::CharsetRefused;
  if (HasAny(codes, {isc_bad_protocol, isc_connect_reject, isc_wirecrypt_incompatible, isc_miss_wirecrypt,
                     isc_wirecrypt_key, isc_wirecrypt_plugin}))
    return TDbFailure::VersionRefused;
  if (HasAny(codes, {isc_bad_db_format, isc_wrong_ods, isc_badodsver})) return TDbFailure::NotABook;
  if (HasAny(codes, {isc_io_error, isc_io_open_err, isc_unavailable})) return TDbFailure::NoSuchBook;
  if (HasAny(codes, {isc_lock_conflict, isc_deadlock, isc_update_conflict, isc_lock_timeout}))
    return TDbFailure::LockConflict;
  return TDbFailure::Other;
}

TDbFailure ClassifyDatabaseFailure(const EDatabaseError& error, TDbStage stage) {
  return ClassifyDatabaseFailure(error.Codes(), stage);
}

bool IsLostConnection(const EDatabaseError& error) {
  return ClassifyDatabaseFailure(error, TDbStage::Work) == TDbFailure::ConnectionLost;
}

std::string ServerFailureMessage(TDbFailure failure, const TBookLocation& book, const std::string& detail) {
  const std::string server = Quoted(book.ServerName());
  const std::string name = Quoted(book.Book);
  switch (failure) {
    case TDbFailure::ServerUnreachable:
      return "Не удается соединиться с сервером Firebird " + server + " (справочник " + name + ").\r\n"
             "Проверьте, что сервер запущен, имя сервера и порт в настройке Database указаны верно "
             "и сеть до сервера доступна.";
    case TDbFailure::WrongLogin:
      return "Сервер " + server + " не принял имя пользователя или пароль для справочника " + name + ".\r\n"
             "Проверьте имя пользователя (настройка DatabaseUser) и пароль.";
    case TDbFailure::NoSuchBook:
      return "На сервере " + server + " нет справочника " + name + ".\r\n"
             "Проверьте путь или псевдоним базы данных в настройке Database и что файл доступен серверу.";
    case TDbFailure::NotABook:
      return "Справочник " + name + " на сервере " + server +
             " не является базой данных, которую может открыть этот сервер.\r\n"
             "Проверьте путь в настройке Database и версию сервера Firebird.";
    case TDbFailure::VersionRefused:
      return "Сервер " + server + " отказал в соединении со справочником " + name +
             ": версия сервера или протокола несовместима с программой.\r\n"
             "Проверьте, что на сервере работает Firebird 3 или новее и его настройки шифрования соединения.";
    case TDbFailure::CharsetRefused:
      return "Сервер " + server + " не принял кодировку соединения WIN1251 для справочника " + name + ".\r\n"
             "Проверьте, что на сервере установлены кодировки Firebird.";
    case TDbFailure::ConnectionLost:
      return "Соединение с сервером " + server + " потеряно (справочник " + name + ").\r\n"
             "Проверьте, что сервер запущен и сеть доступна: соединение будет восстановлено при следующем действии.";
    case TDbFailure::LockConflict:
      return kLockConflictMessage;
    case TDbFailure::None:
    case TDbFailure::Other:
      break;
  }
  return "Не удается открыть справочник " + name + " на сервере " + server + ".\r\n" + detail;
}
