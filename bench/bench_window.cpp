// bench_window: what the main window costs for entering large folders and
// for the type-ahead filter, measured on the real window (offscreen unless
// QT_QPA_PLATFORM names another platform).
//
// Builds a book in a temporary program folder (a folder of 1,000 entries and
// one of 10,000, folders and records mixed), opens it the way start-up does
// and shows the main window. Then:
//   - entering each folder through the window: focus its row, "Войти", then
//     the pending events and a repaint of the list, so that the rows are
//     really on the screen; leaving it again between runs is not timed.
//     The floor for entering is the storage work alone through the bare
//     Firebird API: the listing and an entry read per id in one shared read
//     transaction, the folder's own read and the chain read;
//   - one filter keystroke inside the 10,000-entry folder: a typed character
//     (a different one each time), then Backspace, each with the pending
//     events and a repaint. There is no floor; the goal is one frame.
// Prints the figures and the goals; the figures decide nothing. It exits
// with 1 on a database error or when the window did not show what it should.
//
//   bench_window [--runs N] [--large N] [--verbose] [--keep]
//     --runs N   measurements of each entering per side, the best counts
//                (default 5; twice as many for the 1,000-entry folder)
//     --large N  entries of the large folder (default 10000)
//     --verbose  print every measurement and every keystroke
//     --keep     leave the program folder with its database behind

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "BenchFloor.h"
#include "uDB.h"
#include "uFbClient.h"
#include "uGlobals.h"
#include "uSchema.h"
#include "uText.h"
#include "uVTVUtils.h"
#include "udmDB.h"
#include "udmRes.h"
#include "DirectoryWindowProbe.h"
#include "ufDirectory.h"

using bench::TFloorConnection;
using bench::TFloorEntry;
using bench::TStopwatch;
using bench::TTiming;

namespace {

// --- the book -------------------------------------------------------------------

constexpr int32_t kSmallFolder = 1;
constexpr int32_t kLargeFolder = 2;
constexpr int kSmallCount = 1000;

std::string DescriptionFor(int n) {
  switch (n % 3) {
    case 0:
      return "Первая строка описания " + std::to_string(n) +
             "\r\nВторая строка — с подробностями и «кавычками»\r\nТретья строка.";
    case 1:
      return "Описание в одну строку для записи номер " + std::to_string(n) + ".";
    default:
      return {};
  }
}

// Children of a folder in listing order (folders first); every seventh is
// a folder; positions 100, 200, ... Texts in Windows-1251.
std::vector<TFloorEntry> MakeChildren(int32_t parent, int32_t firstId, int count) {
  std::vector<TFloorEntry> folders, records;
  for (int i = 0; i < count; ++i) {
    TFloorEntry entry;
    entry.Id = firstId + i;
    entry.IdParent = parent;
    entry.Kind = i % 7 == 3 ? 1 : 0;
    entry.Flags = i % 5;
    entry.Title = Utf8ToWin1251((entry.Kind ? "Раздел " : "Формулировка ") + std::to_string(i + 1) +
                                (i % 4 == 0 ? ": согласно договору поставки от 01.02.2003 № 45/6" : "") +
                                (i % 9 == 2 ? " (уточнение для Zorvana)" : ""));
    entry.Description = Utf8ToWin1251(DescriptionFor(i));
    (entry.Kind ? folders : records).push_back(std::move(entry));
  }
  std::vector<TFloorEntry> listing = std::move(folders);
  for (TFloorEntry& entry : records) listing.push_back(std::move(entry));
  for (size_t i = 0; i < listing.size(); ++i) listing[i].OrderPosition = static_cast<int32_t>((i + 1) * 100);
  return listing;
}

void WriteBook(const std::string& path, int largeCount) {
  CreateDirectoryDatabase(path);
  TFloorConnection writer(path, DirectoryConnectionParams());
  std::vector<TFloorEntry> rows;
  auto folder = [&rows](int32_t id, int32_t position, const char* title) {
    TFloorEntry entry;
    entry.Id = id;
    entry.OrderPosition = position;
    entry.Kind = 1;
    entry.Title = Utf8ToWin1251(title);
    entry.Description = Utf8ToWin1251("Папка для замеров.\r\nВторая строка.");
    rows.push_back(entry);
  };
  folder(kSmallFolder, 100, "Тысяча записей");
  folder(kLargeFolder, 200, "Много записей");
  for (const TFloorEntry& entry : MakeChildren(kSmallFolder, 1000, kSmallCount)) rows.push_back(entry);
  for (const TFloorEntry& entry : MakeChildren(kLargeFolder, 100000, largeCount)) rows.push_back(entry);
  writer.InsertEntries(rows);
  writer.ExecuteStatement("ALTER SEQUENCE GEN_DIRECTORY_ID RESTART WITH 1000000");
}

// --- checks -------------------------------------------------------------------

int gCheckFailures = 0;

void Expect(bool condition, const std::string& what) {
  if (condition) return;
  ++gCheckFailures;
  std::fprintf(stderr, "check failed: %s\n", what.c_str());
}

// --- the window ---------------------------------------------------------------

TDirectoryWindowProbe Probe(const TfDirectory& window) { return TDirectoryWindowProbe(window); }

// Everything the window has queued, then the list painted now.
void Settle(TfDirectory& window) {
  QCoreApplication::processEvents();
  Probe(window).List()->viewport()->repaint();
}

int RowOf(const TfDirectory& window, int32_t id) {
  TVirtualList* list = Probe(window).List();
  for (int row = list->FirstNode(); row != kNoNode; row = list->NextNode(row)) {
    TDirectory* entry = TVTV::GetNodeObject(list, row);
    if (entry && entry->Id == id && !entry->IsUpRow()) return row;
  }
  return kNoNode;
}

int VisibleRows(const TfDirectory& window) {
  TVirtualList* list = Probe(window).List();
  int count = 0;
  for (int row = list->FirstNode(); row != kNoNode; row = list->NextNode(row))
    if (list->IsVisibleNode(row)) ++count;
  return count;
}

// Focuses the folder's row at the root and enters it; only the entering
// and the painting after it are timed. handlerSeconds: the part spent in the
// action's handler, before the events and the repaint.
TTiming OursEnter(TfDirectory& window, int32_t folderId, double* handlerSeconds = nullptr) {
  Expect(Probe(window).CurrentId() == 0, "entering starts at the root");
  Expect(TVTV::SelectNode(Probe(window).List(), RowOf(window, folderId)), "the folder's row is listed");
  Settle(window);
  TStopwatch watch;
  Probe(window).Action("actEnterToChilds")->trigger();
  if (handlerSeconds) *handlerSeconds = watch.Seconds();
  Settle(window);
  return watch.Elapsed();
}

void Leave(TfDirectory& window) {
  Probe(window).Action("actEscapeToParent")->trigger();
  Settle(window);
}

// The storage work of entering through the bare API: the listing and the
// entry reads in the read transaction the window keeps open, the folder's
// own read, the chain read.
TTiming FloorEnter(TFloorConnection& floor, Firebird::ITransaction* read, int32_t folderId,
                   std::vector<TFloorEntry>& entries) {
  entries.clear();
  TStopwatch watch;
  floor.LoadFolder(read, folderId, entries);
  TFloorEntry current;
  floor.ReadEntry(read, folderId, current);
  std::vector<TFloorEntry> chain;
  floor.ReadChain(folderId, chain);
  return watch.Elapsed();
}

// One character typed into the list, as the keyboard would send it.
void TypeCharacter(TfDirectory& window, QChar character) {
  const QChar upper = character.toUpper();
  QTest::sendKeyEvent(QTest::Click, Probe(window).List(), static_cast<Qt::Key>(upper.unicode()), QString(character),
                      Qt::NoModifier);
}

// --- measurements ---------------------------------------------------------------

struct TOptions {
  int Runs = 5;
  int Large = 10000;
  bool Verbose = false;
  bool Keep = false;
};

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      options.Runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--large" && i + 1 < argc) {
      options.Large = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--verbose") {
      options.Verbose = true;
    } else if (arg == "--keep") {
      options.Keep = true;
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--large N] [--verbose] [--keep]\n", argv[0]);
      std::exit(2);
    }
  }
  return options;
}

struct TKeystrokes {
  std::vector<double> Typed;  // wall
  std::vector<double> Backspace;
  std::vector<double> TypedCpu;  // processor time of this thread
  std::vector<double> BackspaceCpu;
};

// The filter inside the large folder: per character, typed into an empty
// filter, then Backspace; both timed with their repaint.
TKeystrokes MeasureKeystrokes(TfDirectory& window, int largeCount, bool verbose) {
  // Frequent and rare Cyrillic letters, a capital, Latin letters that match
  // almost nothing, digits, and the characters of the folder counts.
  const QString characters = QStringLiteral("оаеинтфжщюРсaxz159(:");
  TKeystrokes result;
  const int allRows = largeCount + 1;
  if (verbose)
    std::printf("    %-4s %8s %10s %18s %14s %18s\n", "char", "visible", "typed (ms)", "of it key, paint",
                "backspace (ms)", "of it key, paint");
  for (QChar character : characters) {
    TStopwatch typed;
    TypeCharacter(window, character);
    const double typedKey = typed.Seconds();
    Settle(window);
    const TTiming typedTime = typed.Elapsed();
    const double typedSeconds = typedTime.Wall;
    Expect(Probe(window).Filter() == QString(character), "the filter holds the typed character");
    const int visible = VisibleRows(window);
    // The view has laid the rows out again: it scrolls per row over the
    // visible ones only.
    Expect(Probe(window).List()->verticalScrollBar()->maximum() < std::max(visible, 1),
           "the view's layout follows the filter");

    TStopwatch erased;
    QTest::keyClick(Probe(window).List(), Qt::Key_Backspace);
    const double erasedKey = erased.Seconds();
    Settle(window);
    const TTiming erasedTime = erased.Elapsed();
    const double erasedSeconds = erasedTime.Wall;
    Expect(Probe(window).Filter().isEmpty(), "Backspace empties the filter");
    Expect(Probe(window).CurrentId() == kLargeFolder, "Backspace with a filter stays in the folder");
    Expect(VisibleRows(window) == allRows, "every row is visible again");
    Expect(Probe(window).List()->verticalScrollBar()->maximum() > allRows / 2, "the view's layout shows every row again");

    result.Typed.push_back(typedSeconds);
    result.Backspace.push_back(erasedSeconds);
    result.TypedCpu.push_back(typedTime.Cpu);
    result.BackspaceCpu.push_back(erasedTime.Cpu);
    if (verbose)
      std::printf("    %-4s %8d %10.2f %8.2f, %8.2f %14.2f %8.2f, %8.2f\n",
                  QString(character).toStdString().c_str(), visible, typedSeconds * 1000, typedKey * 1000,
                  (typedSeconds - typedKey) * 1000, erasedSeconds * 1000, erasedKey * 1000,
                  (erasedSeconds - erasedKey) * 1000);
  }
  return result;
}

void PrintSamples(const char* what, const std::vector<double>& samples) {
  std::printf("  %-40s min %6.2f ms  median %6.2f ms  max %6.2f ms  (%zu keystrokes)\n", what,
              *std::min_element(samples.begin(), samples.end()) * 1000, bench::Median(samples) * 1000,
              *std::max_element(samples.begin(), samples.end()) * 1000, samples.size());
}

int Run(const TOptions& options) {
  EnsureFirebirdLockFolder();
  bench::TTempFolder folder("bench_window");
  folder.Keep = options.Keep;

  ResetGlobals();
  ComputeLocations(folder.Path() + "/zorvana-directory");
  std::filesystem::create_directories(Globals().DBPath);
  std::printf("bench_window: %d measurements of each entering per side, best counts; book in %s\n", options.Runs,
              Globals().DBFile.c_str());
  std::printf("platform: %s; load average at start: %s\n", QGuiApplication::platformName().toStdString().c_str(),
              bench::LoadAverage().c_str());
  {
    TStopwatch watch;
    WriteBook(Globals().DBFile, options.Large);
    std::printf("book written: %d + %d entries in %.2f s\n", kSmallCount, options.Large, watch.Seconds());
  }

  std::vector<bench::TBenchRow> rows;
  TKeystrokes keystrokes;
  {
    TdmDB dm;
    if (!dm.OpenDatabase()) throw std::runtime_error("the window's database does not open");
    AssignDatabase(&dm.DB);
    TdmRes res;
    dmRes = &res;
    Globals().IsFirstStart = false;
    TFloorConnection floor(Globals().DBFile, DirectoryConnectionParams());
    // The floor's counterpart of the window's read transaction, open for
    // the whole run like the window's.
    Firebird::ITransaction* floorRead = floor.StartTransaction(bench::FloorTpb(false));
    {
      TfDirectory window(dm);
      window.ShowDirectory();
      window.show();
      Expect(QTest::qWaitForWindowExposed(&window), "the window is shown");
      Settle(window);
      Expect(Probe(window).Entries().Count() == 2, "the root lists the two folders");

      for (auto [folderId, count, maxRatio] : {std::tuple{kSmallFolder, kSmallCount, 1.25},
                                               std::tuple{kLargeFolder, options.Large, 0.0}}) {
        const std::string name = "entering a folder of " + std::to_string(count);
        // One of each outside the figures: caches of fonts, statements and pages.
        OursEnter(window, folderId);
        Leave(window);
        std::vector<TFloorEntry> floorEntries;
        FloorEnter(floor, floorRead, folderId, floorEntries);

        // The small folder is quick: twice the runs for a steadier best.
        auto [oursTime, floorTime] = bench::BestOfAlternating(
            folderId == kSmallFolder ? 2 * options.Runs : options.Runs,
            [&] {
              double handler = 0;
              TTiming elapsed = OursEnter(window, folderId, &handler);
              Expect(Probe(window).CurrentId() == folderId && Probe(window).Entries().Count() == count + 1,
                     name + ": the window lists the folder");
              Expect(Probe(window).List()->RowCount() == count + 1, name + ": one row per entry");
              if (options.Verbose)
                std::printf("    %-30s ours  %.4f s (handler %.4f s, events and repaint %.4f s)\n", name.c_str(),
                            elapsed.Wall, handler, elapsed.Wall - handler);
              Leave(window);
              return elapsed;
            },
            [&] {
              TTiming elapsed = FloorEnter(floor, floorRead, folderId, floorEntries);
              Expect(floorEntries.size() == static_cast<size_t>(count), name + ": the floor reads the folder");
              if (options.Verbose) std::printf("    %-30s floor %.4f s\n", name.c_str(), elapsed.Wall);
              return elapsed;
            });
        rows.push_back({name, oursTime, floorTime, maxRatio, 0});
        std::printf("  measured: %s\n", name.c_str());
      }

      // The filter inside the large folder.
      OursEnter(window, kLargeFolder);
      Expect(Probe(window).CurrentId() == kLargeFolder, "inside the large folder");
      keystrokes = MeasureKeystrokes(window, options.Large, options.Verbose);
      std::printf("  measured: filter keystrokes\n");
      Leave(window);
    }
    floor.Commit(floorRead);
    dmRes = nullptr;
    AssignDatabase(nullptr);
  }

  const std::string large = std::to_string(options.Large);
  rows.push_back({"keystroke, " + large + " rows (median)",
                  {bench::Median(keystrokes.Typed), bench::Median(keystrokes.TypedCpu)}, {}, 0, 0.016});
  rows.push_back({"Backspace, " + large + " rows (median)",
                  {bench::Median(keystrokes.Backspace), bench::Median(keystrokes.BackspaceCpu)}, {}, 0, 0.016});

  std::printf("\n");
  bench::PrintBenchTable(rows);
  std::printf("\nfilter keystrokes in the folder of %s (each with the pending events and a repaint):\n",
              large.c_str());
  PrintSamples("typed character into empty filter", keystrokes.Typed);
  PrintSamples("Backspace back to empty filter", keystrokes.Backspace);
  PrintSamples("typed character, processor time", keystrokes.TypedCpu);
  PrintSamples("Backspace, processor time", keystrokes.BackspaceCpu);
  std::printf("load average at end: %s\n", bench::LoadAverage().c_str());
  if (gCheckFailures) std::printf("\n%d checks failed: the figures above are not comparable\n", gCheckFailures);
  if (options.Keep) std::printf("\nprogram folder kept: %s\n", folder.Path().c_str());
  ResetGlobals();
  return gCheckFailures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options = ParseOptions(argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  try {
    return Run(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_window: %s\n", e.what());
    return 1;
  }
}
