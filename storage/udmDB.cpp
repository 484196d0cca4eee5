#include "udmDB.h"

#include <ibase.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "uDB.h"
#include "uGlobals.h"
#include "uMessages.h"

const char* const kMissingDatabaseMessage = "Отсутствет файл базы данных!\r\n";
const char* const kCannotOpenDatabaseMessage = "Не удается открыть файл базы данных!\r\n";
const char* const kAnotherCopyHint = "Проверьте, возможно уже запущена другая копия этой программы.";

std::vector<std::string> DirectoryConnectionParams() {
  return {"user_name=sysdba", "password=vintobrel", "lc_ctype=WIN1251"};
}

namespace {
bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}

std::string UserName() {
  const passwd* user = getpwuid(geteuid());
  return user && user->pw_name ? user->pw_name : std::to_string(geteuid());
}

bool IsPermissionError(int osError) { return osError == EACCES || osError == EPERM; }

// "found 11.0, support 12.2" of Firebird's text, as "11.0" and "12.2".
std::string OnDiskVersions(const std::string& text) {
  const size_t found = text.find("found ");
  const size_t support = text.find(", support ");
  if (found == std::string::npos || support == std::string::npos || support < found) return {};
  const std::string fileVersion = text.substr(found + 6, support - found - 6);
  const std::string ownVersion = text.substr(support + 10, text.find_first_of(" \r\n", support + 10) - support - 10);
  return " (формат файла " + fileVersion + ", а программа читает формат " + ownVersion + ")";
}

// Inside a handler: "\r\n" and the cause of the error being handled, or
// nothing when there is no cause to add.
std::string CauseLineOfCurrentError(const std::string& file) {
  try {
    throw;
  } catch (const EDatabaseError& error) {
    const std::string cause = DatabaseOpenFailureCause(file, error);
    return cause.empty() ? cause : "\r\n" + cause;
  } catch (...) {
    return {};
  }
}
}  // namespace

std::string DatabaseOpenFailureCause(const std::string& file, const EDatabaseError& error) {
  if (error.HasCode(isc_already_opened)) return {};
  if ((error.HasCode(isc_io_open_err) && IsPermissionError(error.OsError())) || access(file.c_str(), R_OK) != 0)
    return "У пользователя " + UserName() + " нет права читать этот файл.";
  if (error.HasCode(isc_no_priv) || access(file.c_str(), W_OK) != 0)
    return "У пользователя " + UserName() + " нет права изменять этот файл.";
  if (error.HasCode(isc_wrong_ods))
    return "Файл создан другой, несовместимой версией Firebird" + OnDiskVersions(error.what()) + ".";
  if (error.HasCode(isc_db_corrupt) || error.HasCode(isc_badpagtyp) || error.HasCode(isc_page_type_err) ||
      error.HasCode(isc_decrypt_error))
    return "Файл базы данных повреждён.";
  struct stat info {};
  if (stat(file.c_str(), &info) == 0 && info.st_size == 0) return "Файл пуст: это не база данных.";
  if (error.HasCode(isc_bad_db_format)) return "Этот файл не является базой данных Firebird.";
  if (error.HasCode(isc_io_error) && error.HasCode(isc_random))
    return "Файл короче, чем должна быть база данных: он повреждён или не является базой данных.";
  return {};
}

TdmDB::TdmDB() : trDirectoryRead(&DB), trDirectoryWrite(&DB) {
  DB.Params = DirectoryConnectionParams();
  // Read-committed, record version, no wait; read-write, as the write commands'.
  trDirectoryRead.Params = WriteTransactionParams();
  trDirectoryWrite.Params = WriteTransactionParams();
}

bool TdmDB::OpenDatabase() {
  const std::string& file = Globals().DBFile;
  if (!FileExists(file)) {
    ShowMessageBox(kMissingDatabaseMessage + file, TMsgKind::Error, TMsgButtons::Ok);
    return false;
  }
  DB.DatabaseName = file;
  try {
    DB.Open();
  } catch (...) {
    ShowMessageBox(kCannotOpenDatabaseMessage + file + "\r\n" + kAnotherCopyHint + CauseLineOfCurrentError(file),
                   TMsgKind::Error, TMsgButtons::Ok);
    return false;
  }
  return true;
}
