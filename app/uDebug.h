#pragma once
// Crash reports: every exception raised in the process, caught or not, leaves
// a picture of the primary screen (S.png) and the stack of the raising point
// (S.log) in LogPath, written at the moment of raising, before any handler
// runs. S is the local time "yyyy.mm.dd-hh.nn.ss", with "-2", "-3"... added
// when that name is taken, so reports within one second survive side by side.
// Processor and system faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT)
// leave a raw stack dump that the next start turns into a listing. Every
// process dumps into files of its own ("crash-<pid>.raw" and ".maps"),
// locked while it lives: a start lists only the dumps of processes that
// have ended, never those of a copy that still runs.
// Nothing is ever shown, and a report never changes the exception's course.

#include <functional>
#include <string>

// Folder of the reports, ending with "/"; empty while the unit is not started.
std::string& LogPath();

// The hook: writes one report for the stack last captured on this thread.
// Called by the throw interposer; the arguments are for the record only.
void WriteExceptionReport(const void* exceptionObject, const void* raiseAddress, bool isOsException);

// Writes a picture of the whole primary screen as a PNG at the highest
// compression. Only on the GUI thread of a running QGuiApplication;
// returns false when no picture was written.
bool SaveScreenshot(const std::string& file);

// Tests only: runs inside every report, between the picture and the listing.
void SetReportProbe(std::function<void()> probe);

// The unit's start and shutdown steps. Construction sets LogPath (when still
// empty) to appPath + "Logs/Exceptions/", turns the raw dumps left by
// crashed processes into listings, installs the fault handlers and enables
// the hook; destruction undoes all of it and clears LogPath.
class TDebugUnit {
 public:
  explicit TDebugUnit(const std::string& appPath);
  ~TDebugUnit();
  TDebugUnit(const TDebugUnit&) = delete;
  TDebugUnit& operator=(const TDebugUnit&) = delete;
};

// Called by the __cxa_throw interposer for every C++ throw in the process.
void DebugOnThrow(void* exceptionObject, void* returnAddress) noexcept;
