#include "udmDB.h"

#include <sys/stat.h>

#include "uGlobals.h"
#include "uMessages.h"

const char* const kMissingDatabaseMessage = "Отсутствет файл базы данных!\r\n";
const char* const kCannotOpenDatabaseMessage = "Не удается открыть файл базы данных!\r\n";
const char* const kAnotherCopyHint = "Проверьте, возможно уже запущена другая копия этой программы.";

std::vector<std::string> DirectoryConnectionParams() {
  return {"user_name=sysdba", "password=vintobrel", "lc_ctype=WIN1251"};
}

namespace {
const std::vector<std::string> kReadCommittedNoWait = {"read_committed", "rec_version", "nowait"};

bool FileExists(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0;
}
}  // namespace

TdmDB::TdmDB() : trDirectoryRead(&DB), trDirectoryWrite(&DB) {
  DB.Params = DirectoryConnectionParams();
  trDirectoryRead.Params = kReadCommittedNoWait;
  trDirectoryWrite.Params = kReadCommittedNoWait;
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
    ShowMessageBox(kCannotOpenDatabaseMessage + file + "\r\n" + kAnotherCopyHint,
                   TMsgKind::Error, TMsgButtons::Ok);
    return false;
  }
  return true;
}
