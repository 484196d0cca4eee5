// bench_exchange: what the section export and import cost, next to the same
// statements and commits sent through the bare Firebird API.
//
// Builds a book in a temporary file: a section of about 1,000 entries in
// three levels below its top folder (10 folders, each with 10 folders and 2
// records, each of those folders with 9 records; every third description
// over three lines, titles with quotes and TABs here and there), and empty
// target folders for the imports. Then, best of N:
//   - export: the export command on the section's top entry, then the marker
//     line in front and every line joined with CR LF, as the window does;
//   - import: that text split into lines and the import command into an
//     empty target folder; every row commits on its own, so this takes
//     seconds (it waits on the disk: on a busy machine far longer), and the
//     runs are few. A short import of 100 rows goes first, outside the
//     figures.
// The floor does the same statements and commits per entry and per row.
// Prints the figures and the goals; the figures decide nothing. It exits
// with 1 on a database error, or when ours and the floor did not produce
// the same text or the same imported tree.
//
//   bench_exchange [--runs N] [--import-runs N] [--keep] [--verbose]
//     --runs N         export measurements per side, the best counts (default 3)
//     --import-runs N  import measurements per side (default 2)
//     --keep           leave the database file behind and print its path
//     --verbose        print every measurement, not only the best

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "BenchFloor.h"
#include "uDB.h"
#include "uDBDirectory.h"
#include "uDirectory.h"
#include "uExchangeRows.h"
#include "uFbClient.h"
#include "uSchema.h"
#include "uText.h"
#include "udmDB.h"

using bench::TFloorConnection;
using bench::TFloorEntry;
using bench::TStopwatch;
using bench::TTiming;

namespace {

// --- the book -------------------------------------------------------------------

constexpr int32_t kSectionId = 1;
constexpr int32_t kFirstTargetId = 2;  // the empty folders imports go into
constexpr int kLevel1Folders = 10;
constexpr int kLevel2Folders = 10;
constexpr int kLevel2Records = 2;
constexpr int kLevel3Records = 9;
constexpr size_t kWarmUpRows = 100;

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

std::string TitleFor(bool folder, const std::string& number, int n) {
  std::string title = (folder ? "Раздел " : "Формулировка ") + number;
  if (n % 4 == 0) title += ": согласно договору поставки от 01.02.2003 № 45/6";
  if (n % 17 == 5) title += " \"в кавычках\"";
  if (n % 23 == 7) title += "\tпосле табуляции";
  return title;
}

// The book in UTF-8; written as Windows-1251 by WriteBook.
struct TBook {
  std::vector<TFloorEntry> Section;  // depth first, top entry first
  std::vector<TFloorEntry> Targets;
};

TBook MakeBook(int targets) {
  TBook book;
  int32_t nextId = 1000;
  int counter = 0;
  auto add = [&](int32_t id, int32_t parent, int32_t position, bool folder, const std::string& number) {
    TFloorEntry entry;
    entry.Id = id;
    entry.IdParent = parent;
    entry.OrderPosition = position;
    entry.Kind = folder ? 1 : 0;
    entry.Flags = counter % 5;
    entry.Title = TitleFor(folder, number, counter);
    entry.Description = DescriptionFor(counter);
    ++counter;
    book.Section.push_back(entry);
  };
  add(kSectionId, 0, 100, true, "для обмена");
  for (int a = 1; a <= kLevel1Folders; ++a) {
    const int32_t idA = nextId++;
    add(idA, kSectionId, a * 100, true, std::to_string(a));
    // Records between the folders: positions decide the order, not the kind.
    for (int b = 1; b <= kLevel2Folders + kLevel2Records; ++b) {
      const bool folder = b % 6 != 0;
      const int32_t idB = nextId++;
      const std::string numberB = std::to_string(a) + "." + std::to_string(b);
      add(idB, idA, b * 100, folder, numberB);
      if (!folder) continue;
      for (int c = 1; c <= kLevel3Records; ++c)
        add(nextId++, idB, c * 100, false, numberB + "." + std::to_string(c));
    }
  }
  for (int i = 0; i < targets; ++i) {
    TFloorEntry target;
    target.Id = kFirstTargetId + i;
    target.OrderPosition = 200 + i * 100;
    target.Kind = 1;
    target.Title = "Цель импорта " + std::to_string(i + 1);
    book.Targets.push_back(target);
  }
  return book;
}

TFloorEntry ToDatabaseText(TFloorEntry entry) {
  entry.Title = Utf8ToWin1251(entry.Title);
  entry.Description = Utf8ToWin1251(entry.Description);
  return entry;
}

void WriteBook(const std::string& path, const TBook& book) {
  CreateDirectoryDatabase(path);
  TFloorConnection writer(path, DirectoryConnectionParams());
  std::vector<TFloorEntry> rows;
  for (const auto* part : {&book.Section, &book.Targets})
    for (const TFloorEntry& entry : *part) rows.push_back(ToDatabaseText(entry));
  writer.InsertEntries(rows);
  // New ids from the generator stay clear of the book's own.
  writer.ExecuteStatement("ALTER SEQUENCE GEN_DIRECTORY_ID RESTART WITH 1000000");
}

// --- export -------------------------------------------------------------------

std::string JoinExchangeText(std::vector<std::string>& lines) {
  lines.insert(lines.begin(), kExchangeMarker);
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

TExchangeEntry ExchangeEntryOf(const TFloorEntry& entry) {
  return {entry.Title, entry.OrderPosition, entry.Flags, entry.Kind == 1, entry.Description};
}

// The window's export: the command on the focused entry, then the text.
TTiming OursExport(const TDirectory& top, std::string& text, bool& ok) {
  TStopwatch watch;
  std::vector<std::string> lines;
  ok = TDBDirectoryExportCmd::Run(&top, 0, &lines, nullptr);
  text = JoinExchangeText(lines);
  return watch.Elapsed();
}

// The rows of a section as the floor reads them, in Windows-1251.
std::vector<std::string> FloorExportRows(TFloorConnection& floor, const TFloorEntry& top) {
  std::vector<std::string> lines;
  floor.ExportSection(top, 0, [&lines](int level, const TFloorEntry& entry) {
    lines.push_back(FormatExchangeRow(level, ExchangeEntryOf(entry)));
  });
  return lines;
}

TTiming FloorExport(TFloorConnection& floor, const TFloorEntry& top, std::string& text) {
  TStopwatch watch;
  std::vector<std::string> lines = FloorExportRows(floor, top);
  text = JoinExchangeText(lines);
  return watch.Elapsed();
}

// --- import -------------------------------------------------------------------

TTiming OursImport(const std::string& text, int32_t target, TImportResult& result, bool& ok) {
  TStopwatch watch;
  const std::vector<TTextLine> lines = SplitTextLines(text);
  ok = TDBDirectoryImportCmd::Run(lines, target, nullptr, &result);
  return watch.Elapsed();
}

// Per row: the id draw, the existence check and the insert, each committed
// on its own; parents by level as the import keeps them; created counts
// the rows stored. The text is in Windows-1251, as the bare API sends it.
TTiming FloorImport(TFloorConnection& floor, const std::string& text, int32_t target, int& created) {
  TStopwatch watch;
  const std::vector<TTextLine> lines = SplitTextLines(text);
  TExchangeReader reader(lines);
  created = 0;
  TExchangeRow row;
  if (reader.IsExchangeText() && reader.Next(row)) {
    std::vector<int32_t> parents(static_cast<size_t>(row.Level) + 1, 0);
    parents[static_cast<size_t>(row.Level)] = target;
    for (;;) {
      TFloorEntry entry;
      entry.Id = floor.NextId();
      entry.IdParent = parents.at(static_cast<size_t>(row.Level));
      entry.Title = row.Entry.Title;
      entry.OrderPosition = row.Entry.OrderPosition;
      entry.Flags = row.Entry.Flags;
      entry.Kind = row.Entry.IsFolder ? 1 : 0;
      entry.Description = row.Entry.Description;
      if (floor.EntryExists(entry.Id)) throw bench::EFloorError("a drawn id is taken");
      floor.InsertEntry(entry);
      ++created;
      TExchangeRow next;
      if (!reader.Next(next)) break;
      if (next.Level > row.Level) {
        if (parents.size() <= static_cast<size_t>(next.Level)) parents.resize(static_cast<size_t>(next.Level) + 1);
        parents[static_cast<size_t>(next.Level)] = entry.Id;
      }
      row = std::move(next);
    }
  }
  return watch.Elapsed();
}

// --- checks -------------------------------------------------------------------

int gCheckFailures = 0;

void Expect(bool condition, const std::string& what) {
  if (condition) return;
  ++gCheckFailures;
  std::fprintf(stderr, "check failed: %s\n", what.c_str());
}

// The target holds exactly one new section whose rows are the original's.
void CheckImported(TFloorConnection& keeper, int32_t target, const std::vector<std::string>& expected,
                   const std::string& what) {
  const std::vector<bench::TIdPosition> children = keeper.ChildPositions(target);
  Expect(children.size() == 1, what + ": one entry in the target folder");
  if (children.size() != 1) return;
  Firebird::ITransaction* transaction = keeper.StartTransaction(bench::FloorTpb(true));
  TFloorEntry top;
  keeper.ReadEntry(transaction, children.front().first, top);
  keeper.Commit(transaction);
  const std::vector<std::string> rows = FloorExportRows(keeper, top);
  Expect(rows == expected, what + ": the imported section reads back as the original (" +
                               std::to_string(rows.size()) + " of " + std::to_string(expected.size()) +
                               " rows)");
}

// --- measurements ---------------------------------------------------------------

struct TOptions {
  int Runs = 3;
  int ImportRuns = 2;
  bool Keep = false;
  bool Verbose = false;
};

bool gVerbose = false;

std::function<TTiming()> Sampled(std::string work, const char* side, std::function<TTiming()> run) {
  return [work = std::move(work), side, run = std::move(run)] {
    TTiming elapsed = run();
    if (gVerbose)
      std::printf("    %-30s %-5s %.4f s (cpu %.4f s)\n", work.c_str(), side, elapsed.Wall, elapsed.Cpu);
    return elapsed;
  };
}

std::pair<TTiming, TTiming> Measure(const std::string& work, int runs, std::function<TTiming()> ours,
                                    std::function<TTiming()> floor) {
  return bench::BestOfAlternating(runs, Sampled(work, "ours", std::move(ours)),
                                  Sampled(work, "floor", std::move(floor)));
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      options.Runs = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--import-runs" && i + 1 < argc) {
      options.ImportRuns = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--keep") {
      options.Keep = true;
    } else if (arg == "--verbose") {
      options.Verbose = true;
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--import-runs N] [--keep] [--verbose]\n", argv[0]);
      std::exit(2);
    }
  }
  return options;
}

int Run(const TOptions& options) {
  gVerbose = options.Verbose;
  EnsureFirebirdLockFolder();
  bench::TTempFolder folder("bench_exchange");
  folder.Keep = options.Keep;
  const std::string path = folder.Path() + "/bench.fdb";

  // One target per import run and side, and one for the warm-up.
  TBook book = MakeBook(2 * options.ImportRuns + 1);
  const size_t sectionSize = book.Section.size();
  std::printf("bench_exchange: %d export and %d import measurements per side, best counts; book in %s\n",
              options.Runs, options.ImportRuns, path.c_str());
  std::printf("load average at start: %s\n", bench::LoadAverage().c_str());
  {
    TStopwatch watch;
    WriteBook(path, book);
    std::printf("book written: a section of %zu entries in %.2f s\n", sectionSize, watch.Seconds());
  }

  std::vector<bench::TBenchRow> rows;
  {
    TdmDB dm;
    dm.DB.DatabaseName = path;
    dm.DB.Open();
    AssignDatabase(&dm.DB);
    TFloorConnection floor(path, DirectoryConnectionParams());
    // Checks go through an attachment of their own.
    TFloorConnection keeper(path, DirectoryConnectionParams());

    // The top entry as the window holds it (ours) and as the floor reads it.
    TDirectory oursTop;
    oursTop.Id = kSectionId;
    Expect(TDBDirectoryReadCmd::Run(&oursTop), "reading the section's top entry");
    TFloorEntry floorTop;
    {
      Firebird::ITransaction* transaction = floor.StartTransaction(bench::FloorTpb(true));
      Expect(floor.ReadEntry(transaction, kSectionId, floorTop), "the floor reads the top entry");
      floor.Commit(transaction);
    }

    // The rows every export and every re-read import must give.
    std::vector<std::string> expectedRows;
    for (const TFloorEntry& entry : book.Section) {
      int level = 0;
      for (int32_t parent = entry.IdParent; parent != 0; ++level) {
        auto found = std::find_if(book.Section.begin(), book.Section.end(),
                                  [parent](const TFloorEntry& e) { return e.Id == parent; });
        parent = found == book.Section.end() ? 0 : found->IdParent;
      }
      expectedRows.push_back(FormatExchangeRow(level, ExchangeEntryOf(ToDatabaseText(entry))));
    }

    // Export.
    std::string oursText, floorText;
    {
      const std::string name = "export, " + std::to_string(sectionSize) + " entries";
      bool ok = true;
      int failures = 0;
      auto [oursTime, floorTime] = Measure(
          name, options.Runs,
          [&] {
            TTiming t = OursExport(oursTop, oursText, ok);
            if (!ok) ++failures;
            return t;
          },
          [&] { return FloorExport(floor, floorTop, floorText); });
      Expect(failures == 0, "the export command returned false");
      Expect(oursText == Win1251ToUtf8(floorText), "export: ours and the floor give the same text");
      std::vector<std::string> expectedText = expectedRows;
      std::string joined = JoinExchangeText(expectedText);
      Expect(floorText == joined, "export: the text holds the book's section, depth first");
      rows.push_back({name, oursTime, floorTime, 1.25, 0});
      std::printf("  measured: %s\n", name.c_str());
    }

    // Import: every run into a target of its own, ours and the floor in turns.
    {
      const std::string name = "import, " + std::to_string(sectionSize) + " rows";
      const std::string floorSource = Utf8ToWin1251(oursText);
      int32_t nextTarget = kFirstTargetId;
      {
        // A short import outside the figures: the first rows written after
        // the book cost more (engine caches, the first new pages), and that
        // would fall on whichever side goes first.
        const auto warmUpCount = static_cast<std::ptrdiff_t>(std::min(kWarmUpRows, expectedRows.size()));
        std::vector<std::string> warmUpRows(expectedRows.begin(), expectedRows.begin() + warmUpCount);
        const std::string warmUpText = Win1251ToUtf8(JoinExchangeText(warmUpRows));
        TImportResult result;
        bool ok = false;
        OursImport(warmUpText, nextTarget++, result, ok);
        Expect(ok && result.Created == static_cast<int>(warmUpCount),
               "the warm-up import: " + std::to_string(result.Created) + " rows created" +
                   (result.Reason.empty() ? "" : ", stopped: " + result.Reason));
      }
      auto [oursTime, floorTime] = Measure(
          name, options.ImportRuns,
          [&] {
            const int32_t target = nextTarget++;
            TImportResult result;
            bool ok = false;
            TTiming t = OursImport(oursText, target, result, ok);
            Expect(ok && result.Created == static_cast<int>(sectionSize),
                   "import (ours): " + std::to_string(result.Created) + " rows created" +
                       (result.Reason.empty() ? "" : ", stopped: " + result.Reason));
            CheckImported(keeper, target, expectedRows, "import (ours)");
            return t;
          },
          [&] {
            const int32_t target = nextTarget++;
            int created = 0;
            TTiming t = FloorImport(floor, floorSource, target, created);
            Expect(created == static_cast<int>(sectionSize), "import (floor): rows created");
            CheckImported(keeper, target, expectedRows, "import (floor)");
            return t;
          });
      const double perRow = oursTime.Wall / static_cast<double>(sectionSize) * 1000;
      rows.push_back({name, oursTime, floorTime, 1.25, 0});
      std::printf("  measured: %s (ours %.2f ms per row)\n", name.c_str(), perRow);
    }
    AssignDatabase(nullptr);
  }

  std::printf("\n");
  bench::PrintBenchTable(rows);
  std::printf("load average at end: %s\n", bench::LoadAverage().c_str());
  if (gCheckFailures) std::printf("\n%d checks failed: the figures above are not comparable\n", gCheckFailures);
  if (options.Keep) std::printf("\nbook kept: %s\n", path.c_str());
  return gCheckFailures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options = ParseOptions(argc, argv);
  try {
    return Run(options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_exchange: %s\n", e.what());
    return 1;
  }
}
