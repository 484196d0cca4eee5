#include "uDebug.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>

#include <boost/stacktrace.hpp>

#include <dirent.h>
#include <dlfcn.h>
#include <sys/file.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "uText.h"

extern const int kCxaThrowInterposed;

namespace {

constexpr std::size_t kMaxFrames = 4096;
// Each process dumps into files named after its id: "crash-<pid>.raw" and
// "crash-<pid>.maps". The raw file stays locked (flock) while its process
// lives, so a second copy of the program tells a running copy's files from
// a crashed one's.
constexpr const char* kDumpPrefix = "crash-";
constexpr const char* kDumpSuffix = ".raw";
constexpr const char* kMapsSuffix = ".maps";
constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr std::size_t kFatalCount = sizeof kFatalSignals / sizeof kFatalSignals[0];

std::atomic<bool> gEnabled{false};
// Reports of different threads run one after the other; the listing buffer
// below is shared by all of them.
std::mutex gReportLock;
// Set while this thread runs the hook: whatever it raises meanwhile is not
// reported again.
thread_local bool tInHook = false;
// Frames of the last exception captured on this thread, raising point first.
thread_local std::vector<void*> tLastStack;

std::string gLogPath;
std::string gListing;
std::function<void()> gProbe;

// Fault handling: files opened in advance, since a handler may not allocate.
int gDumpFd = -1;
int gMapsFd = -1;
std::atomic<bool> gFaultDumped{false};
struct sigaction gOldActions[kFatalCount];
bool gHandlersInstalled = false;
std::vector<char> gAltStack;
stack_t gOldAltStack{};
bool gAltStackInstalled = false;

// Creates every missing level with mode 0700; false when the folder is not
// there afterwards (a file in the way, no permission).
bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return false;
  for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
    if (pos < folder.size() && folder[pos] != '/') continue;
    std::string level = folder.substr(0, pos);
    struct stat info;
    if (::stat(level.c_str(), &info) == 0) {
      if (!S_ISDIR(info.st_mode)) return false;
      continue;
    }
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

std::string FolderOf(const std::string& file) {
  std::size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

bool Exists(const std::string& file) { return ::access(file.c_str(), F_OK) == 0; }

// A new file readable by the user alone; never overwrites another report.
bool WriteNewFile(const std::string& file, const char* data, std::size_t size) {
  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = true;
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      ok = false;
      break;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return ::close(fd) == 0 && ok;
}

std::string ReadWholeFile(const std::string& file) {
  std::string bytes;
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  char chunk[8192];
  ssize_t got;
  while ((got = ::read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<std::size_t>(got));
  ::close(fd);
  return bytes;
}

std::string TimeStamp(std::time_t moment) {
  std::tm local{};
  localtime_r(&moment, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y.%m.%d-%H.%M.%S", &local);
  return text;
}

// LogPath + S, or S-2, S-3 ... when a report of this second already exists.
std::string UniqueBase(std::time_t moment) {
  std::string stamp = gLogPath + TimeStamp(moment);
  std::string base = stamp;
  for (int n = 2; Exists(base + ".png") || Exists(base + ".log"); ++n) {
    base = stamp + "-" + std::to_string(n);
  }
  return base;
}

std::string Hex(std::uintptr_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016zx", static_cast<std::size_t>(value));
  return text;
}

// One listing line. `shown` is the address as it was in the process that
// raised; `lookup` is where the same code lies in this process.
void AppendFrame(std::string& out, std::uintptr_t shown, std::uintptr_t lookup, bool returnAddress) {
  // A return address points after the call; the call itself names the line.
  boost::stacktrace::frame frame(reinterpret_cast<const void*>(returnAddress ? lookup - 1 : lookup));
  std::string name = frame.name();
  std::string file = frame.source_file();
  std::size_t line = frame.source_line();
  Dl_info info{};
  bool known = ::dladdr(reinterpret_cast<void*>(lookup), &info) != 0;
  if (name.empty() && file.empty()) {
    if (known && info.dli_fbase) {
      out.append("(+").append(Hex(lookup - reinterpret_cast<std::uintptr_t>(info.dli_fbase))).append(") ");
    }
    out.append("[").append(Hex(shown)).append("]\r\n");
    return;
  }
  out.append("[").append(Hex(shown)).append("] ").append(name);
  if (!file.empty() && line > 0) {
    out.append(" at ").append(file).append(":").append(std::to_string(line));
  } else if (known && info.dli_saddr) {
    out.append(" + ").append(Hex(lookup - reinterpret_cast<std::uintptr_t>(info.dli_saddr)));
  }
  out += "\r\n";
}

bool ModuleIs(const void* address, bool (*test)(const char* file)) {
  Dl_info info{};
  return ::dladdr(address, &info) != 0 && info.dli_fname && test(info.dli_fname);
}

bool IsFirebirdFile(const char* file) {
  return std::strstr(file, "libfbclient") || std::strstr(file, "/firebird/");
}

bool IsRuntimeFile(const char* file) {
  const char* base = std::strrchr(file, '/');
  base = base ? base + 1 : file;
  return std::strncmp(base, "libstdc++", 9) == 0 || std::strncmp(base, "libgcc_s", 8) == 0 ||
         std::strncmp(base, "libc.so", 7) == 0;
}

// The Firebird client and engine throw and catch internally as part of
// their normal work; only our layer's own exception reports a database error.
bool RaisedInsideFirebird(const std::vector<void*>& frames) {
  for (void* address : frames) {
    if (ModuleIs(address, IsRuntimeFile)) continue;  // std::__throw_... helpers
    return ModuleIs(address, IsFirebirdFile);
  }
  return false;
}

void CaptureStack(void* returnAddress) {
  boost::stacktrace::stacktrace trace(0, kMaxFrames + 16);
  std::vector<void*>& frames = tLastStack;
  frames.clear();
  bool found = false;
  for (const boost::stacktrace::frame& frame : trace) {
    void* address = const_cast<void*>(frame.address());
    if (!found && address == returnAddress) found = true;
    if (found && frames.size() < kMaxFrames) frames.push_back(address);
  }
  if (found) return;
  // The raising point was not among the unwound frames: keep them all.
  for (const boost::stacktrace::frame& frame : trace) {
    if (frames.size() < kMaxFrames) frames.push_back(const_cast<void*>(frame.address()));
  }
}

// ---- fatal faults ---------------------------------------------------------

void WriteDecimal(int fd, int value) {
  char text[16];
  int pos = sizeof text;
  text[--pos] = '\n';
  do {
    text[--pos] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0 && pos > 0);
  [[maybe_unused]] ssize_t ignored = ::write(fd, text + pos, sizeof text - static_cast<std::size_t>(pos));
}

// Async-signal-safe only: the raw frames, then the signal number and this
// process's module map so that the next start can find the code again.
void FaultHandler(int signal) {
  if (!gFaultDumped.exchange(true)) {
    if (gDumpFd >= 0) boost::stacktrace::safe_dump_to(gDumpFd);
    if (gMapsFd >= 0) {
      WriteDecimal(gMapsFd, signal);
      int maps = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
      if (maps >= 0) {
        char chunk[4096];
        ssize_t got;
        while ((got = ::read(maps, chunk, sizeof chunk)) > 0) {
          [[maybe_unused]] ssize_t ignored = ::write(gMapsFd, chunk, static_cast<std::size_t>(got));
        }
        ::close(maps);
      }
    }
  }
  // SA_RESETHAND has put the default action back: it ends the process as
  // soon as this handler returns.
  ::raise(signal);
}

struct TMapping {
  std::uintptr_t Start = 0;
  std::uintptr_t End = 0;
  std::uintptr_t Offset = 0;
  std::string Path;
};

std::vector<TMapping> ParseMaps(const std::string& text) {
  std::vector<TMapping> maps;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::string line(NextTextLine(text, pos).Text);
    unsigned long start = 0, stop = 0, offset = 0;
    int pathAt = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx %*s %lx %*s %*s %n", &start, &stop, &offset, &pathAt) < 3) continue;
    if (pathAt <= 0 || static_cast<std::size_t>(pathAt) >= line.size() || line[pathAt] != '/') continue;
    maps.push_back({start, stop, offset, line.substr(static_cast<std::size_t>(pathAt))});
  }
  return maps;
}

std::string DumpBase(const std::string& pid) { return gLogPath + kDumpPrefix + pid; }

// The process id in a dump file name, or empty when the name is no dump's.
std::string DumpPid(const std::string& name) {
  const std::string prefix = kDumpPrefix;
  const std::string suffix = kDumpSuffix;
  if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return {};
  }
  std::string pid = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  return pid.find_first_not_of("0123456789") == std::string::npos ? pid : std::string();
}

std::string ReadFromStart(int fd) {
  std::string bytes;
  char chunk[8192];
  ssize_t got;
  while ((got = ::pread(fd, chunk, sizeof chunk, static_cast<off_t>(bytes.size()))) > 0) {
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  return bytes;
}

// The listing of a raw dump, its frames looked up through the module map
// of the process that wrote it.
std::string ListDump(const std::string& raw, const std::string& mapsText) {
  std::string signalLine = mapsText.substr(0, mapsText.find('\n'));
  std::vector<TMapping> before = ParseMaps(mapsText);
  std::vector<TMapping> now = ParseMaps(ReadWholeFile("/proc/self/maps"));

  std::string listing = "Fatal signal " + signalLine + "\r\n";
  std::size_t count = raw.size() / sizeof(std::uintptr_t);
  for (std::size_t i = 0; i < count && i < kMaxFrames; ++i) {
    std::uintptr_t address;
    std::memcpy(&address, raw.data() + i * sizeof address, sizeof address);
    if (address == 0) break;
    const TMapping* old = nullptr;
    for (const TMapping& m : before) {
      if (address >= m.Start && address < m.End) old = &m;
    }
    std::uintptr_t lookup = 0;
    std::uintptr_t fileOffset = old ? address - old->Start + old->Offset : 0;
    for (const TMapping& m : now) {
      if (old && m.Path == old->Path && fileOffset >= m.Offset && fileOffset < m.Offset + (m.End - m.Start)) {
        lookup = m.Start + (fileOffset - m.Offset);
      }
    }
    if (lookup != 0) {
      AppendFrame(listing, address, lookup, true);
    } else {
      if (old) listing.append("(+").append(Hex(fileOffset)).append(") ");
      listing.append("[").append(Hex(address)).append("]\r\n");
    }
  }
  return listing;
}

// Turns the raw dump a crashed process left into a listing and removes its
// files. The dump of a process that still runs is locked and left alone;
// so is one another starting copy has taken meanwhile.
void SymboliseDump(const std::string& pid) {
  const std::string dumpFile = DumpBase(pid) + kDumpSuffix;
  int fd = ::open(dumpFile.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info{};
  const bool mine = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &info) == 0 && info.st_nlink > 0;
  if (mine) {
    std::string raw = ReadFromStart(fd);
    if (!raw.empty()) {
      std::string listing = ListDump(raw, ReadWholeFile(DumpBase(pid) + kMapsSuffix));
      WriteNewFile(UniqueBase(info.st_mtime) + ".log", listing.data(), listing.size());
    }
    ::unlink((DumpBase(pid) + kMapsSuffix).c_str());
    ::unlink(dumpFile.c_str());
  }
  ::close(fd);
}

// Every dump left by a process that has ended (a crash, or a kill that
// gave it no time to clean up) becomes a listing or goes.
void SymboliseLeftoverDumps() {
  DIR* folder = ::opendir(gLogPath.c_str());
  if (!folder) return;
  std::vector<std::string> pids;
  while (const dirent* item = ::readdir(folder)) {
    std::string pid = DumpPid(item->d_name);
    if (!pid.empty()) pids.push_back(pid);
  }
  ::closedir(folder);
  for (const std::string& pid : pids) SymboliseDump(pid);
}

// This process's raw dump file, locked before it gets its name, so that no
// other copy ever sees it unlocked while this process lives.
int CreateLockedDumpFile(const std::string& file) {
  const std::string draft = file + ".new";
  int fd = ::open(draft.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX) != 0 || ::rename(draft.c_str(), file.c_str()) != 0) {
    ::unlink(draft.c_str());
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string OwnPid() { return std::to_string(::getpid()); }

void InstallFaultHandlers() {
  if (!MakeFolders(gLogPath)) return;
  gDumpFd = CreateLockedDumpFile(DumpBase(OwnPid()) + kDumpSuffix);
  gMapsFd = ::open((DumpBase(OwnPid()) + kMapsSuffix).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  gFaultDumped = false;

  // A stack overflow leaves no room for the handler on the thread's own stack.
  gAltStack.assign(std::max<std::size_t>(SIGSTKSZ, 64 * 1024), 0);
  stack_t alt{};
  alt.ss_sp = gAltStack.data();
  alt.ss_size = gAltStack.size();
  gAltStackInstalled = ::sigaltstack(&alt, &gOldAltStack) == 0;

  struct sigaction action{};
  action.sa_handler = FaultHandler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_ONSTACK | SA_RESETHAND;
  for (std::size_t i = 0; i < kFatalCount; ++i) ::sigaction(kFatalSignals[i], &action, &gOldActions[i]);
  gHandlersInstalled = true;
}

void RemoveFaultHandlers() {
  if (gHandlersInstalled) {
    for (std::size_t i = 0; i < kFatalCount; ++i) ::sigaction(kFatalSignals[i], &gOldActions[i], nullptr);
    gHandlersInstalled = false;
  }
  if (gAltStackInstalled) {
    ::sigaltstack(&gOldAltStack, nullptr);
    gAltStackInstalled = false;
  }
  gAltStack = std::vector<char>();
  // Empty after a run without a fault: nothing to keep. Removed while the
  // dump file is still locked, so no other copy takes them meanwhile.
  struct stat info{};
  if (gDumpFd >= 0 && ::fstat(gDumpFd, &info) == 0 && info.st_size == 0) {
    ::unlink((DumpBase(OwnPid()) + kMapsSuffix).c_str());
    ::unlink((DumpBase(OwnPid()) + kDumpSuffix).c_str());
  }
  for (int* fd : {&gMapsFd, &gDumpFd}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

}  // namespace

std::string& LogPath() { return gLogPath; }

void SetReportProbe(std::function<void()> probe) {
  std::lock_guard<std::mutex> lock(gReportLock);
  gProbe = std::move(probe);
}

bool SaveScreenshot(const std::string& file) {
  // Screen capture belongs to the GUI thread of a running application.
  auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (!application || QThread::currentThread() != application->thread()) return false;
  if (!MakeFolders(FolderOf(file))) return false;
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return false;
  QPixmap picture = screen->grabWindow(0);
  if (picture.isNull()) return false;
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!picture.save(&buffer, "PNG", 0)) return false;  // for PNG, quality 0 is the highest compression
  return WriteNewFile(file, png.constData(), static_cast<std::size_t>(png.size()));
}

void WriteExceptionReport(const void*, const void*, bool) {
  const std::string base = UniqueBase(std::time(nullptr));
  SaveScreenshot(base + ".png");
  if (gProbe) gProbe();

  gListing.clear();
  for (std::size_t i = 0; i < tLastStack.size(); ++i) {
    AppendFrame(gListing, reinterpret_cast<std::uintptr_t>(tLastStack[i]),
                reinterpret_cast<std::uintptr_t>(tLastStack[i]), true);
  }
  if (!MakeFolders(FolderOf(base))) return;
  WriteNewFile(base + ".log", gListing.data(), gListing.size());
}

void DebugOnThrow(void* exceptionObject, void* returnAddress) noexcept {
  if (!gEnabled.load(std::memory_order_acquire) || tInHook) return;
  tInHook = true;
  try {
    if (!ModuleIs(returnAddress, IsFirebirdFile)) {
      CaptureStack(returnAddress);
      if (!RaisedInsideFirebird(tLastStack)) {
        std::lock_guard<std::mutex> lock(gReportLock);
        // Checked again under the lock: shutdown may have begun meanwhile.
        if (gEnabled.load(std::memory_order_acquire)) WriteExceptionReport(exceptionObject, returnAddress, false);
      }
    }
  } catch (...) {
    // A report that fails is dropped; the exception being raised goes on.
  }
  tInHook = false;
}

TDebugUnit::TDebugUnit(const std::string& appPath) {
  // Keeps the interposer in every program that starts this unit.
  (void)*static_cast<const volatile int*>(&kCxaThrowInterposed);
  std::lock_guard<std::mutex> lock(gReportLock);
  if (gLogPath.empty()) gLogPath = appPath + "Logs/Exceptions/";
  gListing.reserve(64 * 1024);
  try {
    SymboliseLeftoverDumps();
  } catch (...) {
    // An unreadable leftover must not stop the program from starting.
  }
  InstallFaultHandlers();
  gEnabled.store(true, std::memory_order_release);
}

TDebugUnit::~TDebugUnit() {
  gEnabled.store(false, std::memory_order_release);
  std::lock_guard<std::mutex> lock(gReportLock);  // waits for a report still running
  RemoveFaultHandlers();
  gListing = std::string();
  gLogPath.clear();
}
