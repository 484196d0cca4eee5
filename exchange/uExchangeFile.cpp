#include "uExchangeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "uText.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A file descriptor closed at scope end.
class TFileHandle {
 public:
  explicit TFileHandle(int fd) : FFd(fd) {}
  ~TFileHandle() { Close(); }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  int Get() const { return FFd; }
  bool IsOpen() const { return FFd >= 0; }
  // Returns the result of close(); a failed close can mean lost data.
  int Close() {
    int result = 0;
    if (FFd >= 0) result = ::close(FFd);
    FFd = -1;
    return result;
  }

 private:
  int FFd;
};

TExchangeFileResult Failure(std::string reason) {
  TExchangeFileResult result;
  result.Error = std::move(reason);
  return result;
}

std::string Quoted(const std::string& path) { return "«" + path + "»"; }

std::string SystemText(int error) {
  return std::system_category().message(error) + " (код " + std::to_string(error) + ")";
}

// Megabytes with one decimal and a decimal comma, as Russian texts write them.
std::string Megabytes(std::uintmax_t bytes) {
  const std::uintmax_t tenths = (bytes * 10 + 512 * 1024) / (1024 * 1024);
  return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " МБ";
}

std::string TooLargeToRead(const std::string& path, std::uintmax_t size) {
  return "Файл " + Quoted(path) + " слишком большой (" + Megabytes(size) +
         "): загрузить можно файл не больше " + kExchangeFileLimitText + ".";
}

std::string ReadReason(int error, const std::string& path) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "Файл " + Quoted(path) + " не найден.";
    case EACCES:
    case EPERM:
      return "Нет прав на чтение файла " + Quoted(path) + ".";
    default:
      return "Не удается прочитать файл " + Quoted(path) + ": " + SystemText(error) + ".";
  }
}

std::string WriteReason(int error, const std::string& path) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "Папка для файла " + Quoted(path) + " не найдена.";
    case EACCES:
    case EPERM:
      return "Нет прав на запись файла " + Quoted(path) + ".";
    case ENOSPC:
    case EDQUOT:
      return "Недостаточно места на диске для файла " + Quoted(path) + ".";
    case EROFS:
      return "Файл " + Quoted(path) + " нельзя записать: диск открыт только для чтения.";
    default:
      return "Не удается записать файл " + Quoted(path) + ": " + SystemText(error) + ".";
  }
}

std::string NotAFileReason(const struct stat& info, const std::string& path) {
  if (S_ISDIR(info.st_mode)) return Quoted(path) + " — это папка, а не файл.";
  return Quoted(path) + " — не обычный файл.";
}

// Reads at most limit + 1 bytes, so that a file which grew after it was
// measured is still caught as too large. Returns the errno of a failure.
int ReadAtMost(int fd, std::uintmax_t limit, std::string& bytes) {
  char buffer[64 * 1024];
  while (bytes.size() <= limit) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (count == 0) break;
    bytes.append(buffer, static_cast<size_t>(count));
  }
  return 0;
}

bool IsUtf16(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
}

// The bytes of a file taken as text: its reason when they are no text.
TExchangeFileResult DecodeText(std::string_view bytes, const std::string& path) {
  if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
  if (bytes.empty()) return Failure("Файл " + Quoted(path) + " пуст.");
  if (IsUtf16(bytes)) {
    return Failure("Файл " + Quoted(path) +
                   " записан в кодировке UTF-16: сохраните его в кодировке UTF-8 или Windows-1251.");
  }
  if (bytes.find('\0') != std::string_view::npos) {
    return Failure("Файл " + Quoted(path) + " не текстовый: в нем есть нулевые байты.");
  }
  TExchangeFileResult result;
  result.Ok = true;
  result.Text = IsValidUtf8(bytes) ? std::string(bytes) : Win1251ToUtf8(bytes);
  return result;
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<size_t>(count));
  }
  return 0;
}

// The file a write replaces: a symbolic link is followed, so the link stays
// and the file it points at gets the text.
std::string WriteTarget(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

// A new file beside target, created with the permissions a new file gets
// (the user's umask applies); its name is returned in name.
int CreateBeside(const std::string& target, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Writes, flushes and closes; returns the errno of the first failure.
int FillAndClose(TFileHandle& file, std::string_view bytes, const struct stat* previous) {
  int error = WriteAll(file.Get(), bytes);
  // A replaced file keeps the permissions it had.
  if (error == 0 && previous && ::fchmod(file.Get(), previous->st_mode & 07777) != 0) error = errno;
  if (error == 0 && ::fsync(file.Get()) != 0) error = errno;
  if (file.Close() != 0 && error == 0) error = errno;
  return error;
}

}  // namespace

std::string ToCrLfLines(std::string_view text) {
  std::string result;
  result.reserve(text.size() + text.size() / 16 + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      result += "\r\n";
    } else {
      result += c;
    }
  }
  if (!result.empty() && !result.ends_with("\r\n")) result += "\r\n";
  return result;
}

TExchangeFileResult WriteExchangeFile(const std::string& path, std::string_view text) {
  if (path.empty()) return Failure("Не указан файл для записи.");
  const std::string bytes = ToCrLfLines(text);
  if (bytes.size() > kExchangeFileLimit) {
    return Failure("Текст слишком большой для файла (" + Megabytes(bytes.size()) +
                   "): записать можно не больше " + kExchangeFileLimitText + ".");
  }
  const std::string target = WriteTarget(path);
  struct stat previous {};
  const bool replaces = ::stat(target.c_str(), &previous) == 0;
  if (replaces && !S_ISREG(previous.st_mode)) return Failure(NotAFileReason(previous, path));

  std::string temporary;
  TFileHandle file(CreateBeside(target, temporary));
  if (!file.IsOpen()) return Failure(WriteReason(errno, path));
  int error = FillAndClose(file, bytes, replaces ? &previous : nullptr);
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return Failure(WriteReason(error, path));
  }
  TExchangeFileResult result;
  result.Ok = true;
  return result;
}

TExchangeFileResult ReadExchangeFile(const std::string& path) {
  if (path.empty()) return Failure("Не указан файл для загрузки.");
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return Failure(ReadReason(errno, path));
  // A pipe or a device could block or never end; only plain files are read.
  if (!S_ISREG(info.st_mode)) return Failure(NotAFileReason(info, path));
  if (static_cast<std::uintmax_t>(info.st_size) > kExchangeFileLimit)
    return Failure(TooLargeToRead(path, static_cast<std::uintmax_t>(info.st_size)));

  TFileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.IsOpen()) return Failure(ReadReason(errno, path));
  std::string bytes;
  if (const int error = ReadAtMost(file.Get(), kExchangeFileLimit, bytes); error != 0)
    return Failure(ReadReason(error, path));
  if (bytes.size() > kExchangeFileLimit) return Failure(TooLargeToRead(path, bytes.size()));
  return DecodeText(bytes, path);
}
