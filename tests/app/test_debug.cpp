// Crash reports: one picture and one listing per raised exception, written
// before any handler runs, with the folder and naming rules.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "test_tempdir.h"
#include "uDebug.h"
#include "uFbClient.h"

namespace {

namespace fs = std::filesystem;

// One GUI application for the whole test program, on the offscreen platform.
void EnsureApplication() {
  static int argc = 1;
  static char name[] = "test_debug";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QGuiApplication(argc, argv);  // lives until the process ends
}

struct TReportFiles {
  std::vector<std::string> Pictures;
  std::vector<std::string> Listings;
  std::vector<std::string> Others;
};

TReportFiles ReportFiles(const std::string& folder) {
  TReportFiles files;
  std::error_code error;
  if (!fs::is_directory(folder, error)) return files;
  for (const auto& item : fs::directory_iterator(folder)) {
    std::string name = item.path().filename().string();
    if (item.path().extension() == ".png") files.Pictures.push_back(name);
    else if (item.path().extension() == ".log") files.Listings.push_back(name);
    else files.Others.push_back(name);
  }
  std::sort(files.Pictures.begin(), files.Pictures.end());
  std::sort(files.Listings.begin(), files.Listings.end());
  return files;
}

std::string ReadText(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

[[gnu::noinline]] void ThrowFromNamedPlace() { throw std::runtime_error("named place"); }

// Catches what ThrowFromNamedPlace raises, as a program handling its own
// errors would.
[[gnu::noinline]] bool CatchNamedPlace() {
  try {
    ThrowFromNamedPlace();
  } catch (const std::runtime_error&) {
    return true;
  }
  return false;
}

class TDebugTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
  std::string Logs() const { return Dir.Path() + "Logs/Exceptions/"; }
  TTempDir Dir;
};

TEST_F(TDebugTest, CaughtExceptionLeavesOnePictureAndOneListingOfTheRaisingPoint) {
  {
    TDebugUnit unit(Dir.Path());
    EXPECT_EQ(LogPath(), Logs());
    auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(CatchNamedPlace());
    auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    std::cout << "one report took " << spent.count() << " ms\n";
  }
  EXPECT_TRUE(LogPath().empty());

  TReportFiles files = ReportFiles(Logs());
  ASSERT_EQ(files.Pictures.size(), 1u);
  ASSERT_EQ(files.Listings.size(), 1u);
  EXPECT_TRUE(files.Others.empty()) << files.Others.front();
  // Picture and listing share the time stamp "yyyy.mm.dd-hh.nn.ss".
  std::string stem = files.Listings[0].substr(0, files.Listings[0].size() - 4);
  EXPECT_EQ(files.Pictures[0], stem + ".png");
  EXPECT_EQ(stem.size(), 19u);
  EXPECT_EQ(stem[4], '.');
  EXPECT_EQ(stem[10], '-');
  EXPECT_EQ(stem[16], '.');

  // The whole primary screen, in device pixels.
  QImage picture(QString::fromStdString(Logs() + files.Pictures[0]));
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), screen->geometry().size() * screen->devicePixelRatio());

  // The first line is the raising point; the caller follows; every line ends with CR LF.
  std::string listing = ReadText(Logs() + files.Listings[0]);
  std::size_t firstEnd = listing.find("\r\n");
  ASSERT_NE(firstEnd, std::string::npos);
  std::string first = listing.substr(0, firstEnd);
  EXPECT_NE(first.find("ThrowFromNamedPlace"), std::string::npos) << listing;
  EXPECT_NE(first.find("test_debug.cpp:"), std::string::npos) << listing;
  EXPECT_EQ(first.find('['), 0u) << first;
  EXPECT_NE(listing.find("CatchNamedPlace"), std::string::npos) << listing;
  EXPECT_EQ(listing.substr(listing.size() - 2), "\r\n");
  for (std::size_t pos = listing.find('\n'); pos != std::string::npos; pos = listing.find('\n', pos + 1)) {
    ASSERT_GT(pos, 0u);
    EXPECT_EQ(listing[pos - 1], '\r');
  }

  // Folders 0700, files 0600.
  struct stat info;
  ASSERT_EQ(::stat((Dir.Path() + "Logs").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(Logs().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  for (const std::string& name : {files.Pictures[0], files.Listings[0]}) {
    ASSERT_EQ(::stat((Logs() + name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << name;
  }
}

TEST_F(TDebugTest, ReportsWithinOneSecondAllSurviveWithNumberedNames) {
  {
    TDebugUnit unit(Dir.Path());
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(CatchNamedPlace());
  }
  TReportFiles files = ReportFiles(Logs());
  ASSERT_EQ(files.Listings.size(), 3u);
  ASSERT_EQ(files.Pictures.size(), 3u);
  for (const std::string& listing : files.Listings) {
    EXPECT_NE(ReadText(Logs() + listing).find("ThrowFromNamedPlace"), std::string::npos) << listing;
  }
  // Unless the second changed in between, the later names carry -2 and -3.
  std::string stem = files.Listings[0].substr(0, 19);
  if (std::all_of(files.Listings.begin(), files.Listings.end(),
                  [&stem](const std::string& name) { return name.substr(0, 19) == stem; })) {
    EXPECT_EQ(files.Listings, (std::vector<std::string>{stem + "-2.log", stem + "-3.log", stem + ".log"}));
    EXPECT_EQ(files.Pictures, (std::vector<std::string>{stem + "-2.png", stem + "-3.png", stem + ".png"}));
  }
}

TEST_F(TDebugTest, NothingIsReportedOutsideTheUnitsLifetime) {
  EXPECT_TRUE(CatchNamedPlace());
  { TDebugUnit unit(Dir.Path()); }
  EXPECT_TRUE(CatchNamedPlace());
  TReportFiles files = ReportFiles(Logs());
  EXPECT_TRUE(files.Pictures.empty());
  EXPECT_TRUE(files.Listings.empty());
  EXPECT_TRUE(files.Others.empty());  // the fault dump files go when unused
}

TEST_F(TDebugTest, ExceptionRaisedInsideTheHookIsNotReportedAgain) {
  int probeCalls = 0;
  {
    TDebugUnit unit(Dir.Path());
    SetReportProbe([&probeCalls] {
      ++probeCalls;
      try {
        throw std::logic_error("inside the hook");
      } catch (const std::logic_error&) {
      }
      throw std::runtime_error("escapes the hook");
    });
    // The exception being reported keeps its own type and message.
    try {
      ThrowFromNamedPlace();
      ADD_FAILURE() << "nothing raised";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "named place");
    }
    SetReportProbe(nullptr);
  }
  EXPECT_EQ(probeCalls, 1);
  TReportFiles files = ReportFiles(Logs());
  EXPECT_EQ(files.Pictures.size(), 1u);
  EXPECT_TRUE(files.Listings.empty());  // the probe's throw cut that report short
}

TEST_F(TDebugTest, OtherThreadsLeaveListingsWithoutPicturesOneAtATime) {
  {
    TDebugUnit unit(Dir.Path());
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([] { EXPECT_TRUE(CatchNamedPlace()); });
    for (std::thread& thread : threads) thread.join();
  }
  TReportFiles files = ReportFiles(Logs());
  EXPECT_TRUE(files.Pictures.empty());
  ASSERT_EQ(files.Listings.size(), 4u);
  for (const std::string& listing : files.Listings) {
    std::string text = ReadText(Logs() + listing);
    EXPECT_EQ(text.find("[0x"), 0u) << listing;  // whole and not interleaved
    EXPECT_NE(text.find("ThrowFromNamedPlace"), std::string::npos) << listing;
  }
}

TEST_F(TDebugTest, BlockedFolderLeavesNothingAndTheExceptionGoesOn) {
  Dir.Write("Logs", "a file where the folder should be");
  {
    TDebugUnit unit(Dir.Path());
    EXPECT_THROW(ThrowFromNamedPlace(), std::runtime_error);
    EXPECT_TRUE(CatchNamedPlace());
  }
  EXPECT_EQ(Dir.Read("Logs"), "a file where the folder should be");
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir.Path()), fs::directory_iterator()), 1);
}

TEST_F(TDebugTest, FailedDatabaseOpenGivesExactlyOneReport) {
  EnsureFirebirdLockFolder();
  {
    TDebugUnit unit(Dir.Path());
    TFbDatabase db;
    db.DatabaseName = Dir.File("missing.fdb");
    db.Params = {"user_name=SYSDBA", "password=masterkey", "lc_ctype=WIN1251"};
    EXPECT_THROW(db.Open(), EDatabaseError);
  }
  TReportFiles files = ReportFiles(Logs());
  ASSERT_EQ(files.Listings.size(), 1u);
  EXPECT_EQ(files.Pictures.size(), 1u);
  EXPECT_NE(ReadText(Logs() + files.Listings[0]).find("TFbDatabase::Open"), std::string::npos);
}

TEST_F(TDebugTest, FaultLeavesRawDumpThatTheNextStartLists) {
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TDebugUnit unit(Dir.Path());
    std::raise(SIGSEGV);
    ::_exit(0);  // not reached
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;  // the default action still ends the process
  EXPECT_EQ(WTERMSIG(status), SIGSEGV);
  EXPECT_TRUE(ReportFiles(Logs()).Listings.empty());

  { TDebugUnit unit(Dir.Path()); }
  TReportFiles files = ReportFiles(Logs());
  ASSERT_EQ(files.Listings.size(), 1u);
  EXPECT_TRUE(files.Pictures.empty());
  EXPECT_TRUE(files.Others.empty());
  std::string listing = ReadText(Logs() + files.Listings[0]);
  EXPECT_EQ(listing.find("Fatal signal " + std::to_string(SIGSEGV) + "\r\n"), 0u) << listing;
  EXPECT_NE(listing.find("FaultLeavesRawDumpThatTheNextStartLists"), std::string::npos) << listing;
  EXPECT_NE(listing.find("test_debug.cpp:"), std::string::npos) << listing;

  // Listed once: a further start finds nothing left over.
  { TDebugUnit unit(Dir.Path()); }
  EXPECT_EQ(ReportFiles(Logs()).Listings.size(), 1u);
}

// A second copy of the program starting and ending beside a running one
// leaves the running copy's dump files alone, so that its crash is still
// listed afterwards; a copy killed without a fault leaves nothing behind
// once the next copy has started.
TEST_F(TDebugTest, RunningCopysDumpSurvivesAnotherCopyAndItsCrashIsListed) {
  int go[2], ready[2];
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(ready), 0);
  pid_t running = ::fork();
  ASSERT_GE(running, 0);
  if (running == 0) {
    ::close(go[1]);  // the parent's ends: a parent that leaves ends the read
    ::close(ready[0]);
    TDebugUnit unit(Dir.Path());
    char c = 'r';
    if (::write(ready[1], &c, 1) != 1 || ::read(go[0], &c, 1) != 1) ::_exit(1);
    std::raise(SIGSEGV);
    ::_exit(0);  // not reached
  }
  ::close(ready[1]);  // the child's ends: a child that dies ends the reads
  ::close(go[0]);
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  const std::string dump = Logs() + "crash-" + std::to_string(running) + ".raw";
  ASSERT_TRUE(fs::exists(dump));

  // Another copy starts and ends while the first one runs.
  { TDebugUnit unit(Dir.Path()); }
  EXPECT_TRUE(fs::exists(dump));
  EXPECT_TRUE(ReportFiles(Logs()).Listings.empty());

  // The first copy crashes; the next start lists it.
  ASSERT_EQ(::write(go[1], &c, 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(running, &status, 0), running);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << status;

  pid_t killed = ::fork();
  ASSERT_GE(killed, 0);
  if (killed == 0) {
    TDebugUnit unit(Dir.Path());
    ::pause();
    ::_exit(0);
  }
  for (int i = 0; i < 5000 && !fs::exists(Logs() + "crash-" + std::to_string(killed) + ".maps"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::kill(killed, SIGKILL);
  ASSERT_EQ(::waitpid(killed, &status, 0), killed);

  { TDebugUnit unit(Dir.Path()); }
  TReportFiles files = ReportFiles(Logs());
  ASSERT_EQ(files.Listings.size(), 1u);
  EXPECT_TRUE(files.Others.empty()) << files.Others.front();
  std::string listing = ReadText(Logs() + files.Listings[0]);
  EXPECT_EQ(listing.find("Fatal signal " + std::to_string(SIGSEGV) + "\r\n"), 0u) << listing;
  EXPECT_NE(listing.find("RunningCopysDumpSurvivesAnotherCopyAndItsCrashIsListed"), std::string::npos) << listing;
  for (int fd : {go[1], ready[0]}) ::close(fd);
}

}  // namespace
