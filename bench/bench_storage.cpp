// bench_storage: what the storage layer costs for the main window's work,
// next to the same statements sent through the bare Firebird API.
//
// Builds a book in a temporary file (a folder of 1,000 entries, one of
// 10,000, a chain of 50 nested folders), then times, best of N:
//   - a folder load as the main window does it: the folder listing, then an
//     entry read per listed id, all in one shared read transaction;
//   - the chain read of the deepest folder;
//   - the order update after moving the last entry of a folder to the front.
// Prints the figures and the goals; the figures decide nothing. It exits
// with 1 on a database error, or when ours and the floor did not read or
// store the same values (then the figures would not be comparable).
//
//   bench_storage [--runs N] [--large N] [--keep] [--verbose]
//     --runs N   measurements per work, the best counts (default 3)
//     --large N  entries of the large folder (default 10000)
//     --keep     leave the database file behind and print its path
//     --verbose  print every measurement, not only the best

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "BenchFloor.h"
#include "uDB.h"
#include "uDBDirectory.h"
#include "uDirectory.h"
#include "uFbClient.h"
#include "uSchema.h"
#include "uText.h"
#include "udmDB.h"

using bench::TFloorConnection;
using bench::TFloorEntry;
using bench::TIdPosition;
using bench::TStopwatch;
using bench::TTiming;

namespace {

// --- the book -------------------------------------------------------------------

struct TBookEntry {
  int32_t Id = 0;
  int32_t IdParent = 0;
  int32_t OrderPosition = 0;
  int32_t Flags = 0;
  bool IsFolder = false;
  std::string Title;        // UTF-8
  std::string Description;  // UTF-8
};

struct TBook {
  static constexpr int32_t kSmallFolder = 1;
  static constexpr int32_t kLargeFolder = 2;
  static constexpr int32_t kChainTop = 3;
  static constexpr int kChainDepth = 50;

  int32_t ChainBottom = 0;
  std::vector<TBookEntry> TopLevel;
  std::vector<TBookEntry> Chain;          // top first
  std::vector<TBookEntry> SmallChildren;  // in listing order
  std::vector<TBookEntry> LargeChildren;  // in listing order
};

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

// Children of a folder, mixed folders and records; positions 100, 200, ...
// follow the listing order (folders first), so that moving the last entry
// to the front changes the position of every entry.
std::vector<TBookEntry> MakeChildren(int32_t parent, int32_t firstId, int count) {
  std::vector<TBookEntry> folders, records;
  for (int i = 0; i < count; ++i) {
    TBookEntry entry;
    entry.Id = firstId + i;
    entry.IdParent = parent;
    entry.IsFolder = i % 7 == 3;
    entry.Flags = i % 5;
    entry.Title = (entry.IsFolder ? "Раздел " : "Формулировка ") + std::to_string(i + 1) +
                  (i % 4 == 0 ? ": согласно договору поставки от 01.02.2003 № 45/6" : "");
    entry.Description = DescriptionFor(i);
    (entry.IsFolder ? folders : records).push_back(std::move(entry));
  }
  std::vector<TBookEntry> listing = std::move(folders);
  for (TBookEntry& entry : records) listing.push_back(std::move(entry));
  for (size_t i = 0; i < listing.size(); ++i) listing[i].OrderPosition = static_cast<int32_t>((i + 1) * 100);
  return listing;
}

TBook MakeBook(int largeCount) {
  TBook book;
  auto folder = [](int32_t id, int32_t parent, int32_t position, std::string title) {
    TBookEntry entry;
    entry.Id = id;
    entry.IdParent = parent;
    entry.OrderPosition = position;
    entry.IsFolder = true;
    entry.Title = std::move(title);
    entry.Description = "Папка для замеров.\r\nВторая строка.";
    return entry;
  };
  book.TopLevel.push_back(folder(TBook::kSmallFolder, 0, 0, "Тысяча записей"));
  book.TopLevel.push_back(folder(TBook::kLargeFolder, 0, 100, "Много записей"));
  for (int level = 0; level < TBook::kChainDepth; ++level) {
    int32_t id = TBook::kChainTop + level;
    book.Chain.push_back(folder(id, level == 0 ? 0 : id - 1, level == 0 ? 200 : 100,
                                "Уровень " + std::to_string(level + 1)));
  }
  book.ChainBottom = book.Chain.back().Id;
  book.SmallChildren = MakeChildren(TBook::kSmallFolder, 1000, 1000);
  book.LargeChildren = MakeChildren(TBook::kLargeFolder, 100000, largeCount);
  return book;
}

// Creates the file and fills it in one transaction with one prepared insert.
void WriteBook(const std::string& path, const TBook& book) {
  CreateDirectoryDatabase(path);
  TFbDatabase database;
  database.DatabaseName = path;
  database.Params = DirectoryConnectionParams();
  database.Open();
  {
    TFbTransaction transaction(&database);
    transaction.Params = WriteTransactionParams();
    transaction.StartTransaction();
    TFbQuery insert(&database, &transaction);
    insert.SetSQL(
        "INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
        "VALUES (:idd, :id_parent, :order_position, :title, :description, :kind, :flags)");
    auto put = [&](const TBookEntry& entry) {
      insert.ParamByName("IDD").SetInteger(entry.Id);
      insert.ParamByName("ID_PARENT").SetInteger(entry.IdParent);
      insert.ParamByName("ORDER_POSITION").SetInteger(entry.OrderPosition);
      insert.ParamByName("TITLE").SetString(entry.Title);
      insert.ParamByName("DESCRIPTION").SetString(entry.Description);
      insert.ParamByName("KIND").SetInteger(entry.IsFolder ? 1 : 0);
      insert.ParamByName("FLAGS").SetInteger(entry.Flags);
      insert.ExecNoResult();
    };
    for (const auto* part : {&book.TopLevel, &book.Chain, &book.SmallChildren, &book.LargeChildren})
      for (const TBookEntry& entry : *part) put(entry);
    transaction.Commit();
  }
  {
    // The generator above every id, so that a kept file works in the program.
    TFbTransaction transaction(&database);
    transaction.Params = WriteTransactionParams();
    transaction.StartTransaction();
    TFbQuery query(&database, &transaction);
    query.SetSQL("ALTER SEQUENCE GEN_DIRECTORY_ID RESTART WITH 1000000");
    query.ExecNoResult();
    transaction.Commit();
  }
  database.Close();
}

// --- ours ---------------------------------------------------------------------

// The main window's folder load: the up row, the listing, an entry read per
// id, all in the data module's shared read transaction. Returns the seconds
// of the load; the transaction starts and ends outside of them.
TTiming OursFolderLoad(TdmDB& dm, int32_t folderId, TDirectoryList& list, int& failures) {
  list.Clear();
  dm.trDirectoryRead.StartTransaction();
  TStopwatch watch;
  auto up = TDirectory::NewFolder(folderId);
  up->Title = kUpRowTitle;
  list.Add(std::move(up));
  for (int32_t id : ReadFolderListing(folderId, &dm.trDirectoryRead)) {
    auto entry = std::make_unique<TDirectory>();
    entry->Id = id;
    if (!TDBDirectoryReadCmd::Run(entry.get(), &dm.trDirectoryRead)) ++failures;
    list.Add(std::move(entry));
  }
  TTiming elapsed = watch.Elapsed();
  dm.trDirectoryRead.Commit();
  return elapsed;
}

// The same through the bare API, in a transaction with the same parameters.
TTiming FloorFolderLoad(TFloorConnection& floor, int32_t folderId, std::vector<TFloorEntry>& entries) {
  entries.clear();
  Firebird::ITransaction* transaction = floor.StartTransaction(bench::FloorTpb(false));
  TStopwatch watch;
  floor.LoadFolder(transaction, folderId, entries);
  TTiming elapsed = watch.Elapsed();
  floor.Commit(transaction);
  return elapsed;
}

TTiming OursChain(int32_t id, TDirectoryList& chain, int& failures) {
  chain.Clear();
  TStopwatch watch;
  if (!TDBDirectoryReadChainCmd::Run(&chain, id, nullptr)) ++failures;
  return watch.Elapsed();
}

// A folder's listing as the window holds it: the up row, then the entries.
std::unique_ptr<TDirectoryList> ListingOf(int32_t folderId, const std::vector<TBookEntry>& children) {
  auto list = std::make_unique<TDirectoryList>();
  auto up = TDirectory::NewFolder(folderId);
  up->Title = kUpRowTitle;
  list->Add(std::move(up));
  for (const TBookEntry& child : children) {
    auto entry = std::make_unique<TDirectory>();
    entry->Id = child.Id;
    entry->IdParent = child.IdParent;
    entry->OrderPosition = child.OrderPosition;
    entry->Flags = child.Flags;
    entry->IsFolder = child.IsFolder;
    entry->Title = child.Title;
    entry->Description = child.Description;
    list->Add(std::move(entry));
  }
  return list;
}

// The window's move of the last entry to the front, then Renumber.
std::unique_ptr<TDirectoryList> MovedListing(int32_t folderId, const std::vector<TBookEntry>& children) {
  auto list = ListingOf(folderId, children);
  list->Move(list->Count() - 1, 1);
  list->Renumber();
  return list;
}

std::vector<TIdPosition> ChangedPositions(const TDirectoryList& list) {
  std::vector<TIdPosition> changed;
  for (const auto& entry : list)
    if (entry->Changed) changed.emplace_back(entry->Id, entry->OrderPosition);
  return changed;
}

std::vector<TIdPosition> SortedById(std::vector<TIdPosition> positions) {
  std::sort(positions.begin(), positions.end());
  return positions;
}

// --- checks -------------------------------------------------------------------

int gCheckFailures = 0;

void Expect(bool condition, const std::string& what) {
  if (condition) return;
  ++gCheckFailures;
  std::fprintf(stderr, "check failed: %s\n", what.c_str());
}

// Ours and the floor read the same rows into the same values.
void CompareLoads(const TDirectoryList& ours, const std::vector<TFloorEntry>& floor, const char* what) {
  // ours starts with the up row
  Expect(ours.Count() == static_cast<int>(floor.size()) + 1, std::string(what) + ": entry count");
  int mismatches = 0;
  for (size_t i = 0; i < floor.size() && static_cast<int>(i) + 1 < ours.Count(); ++i) {
    const TDirectory& a = *ours.Items(static_cast<int>(i) + 1);
    const TFloorEntry& b = floor[i];
    if (a.Id != b.Id || a.IdParent != b.IdParent || a.OrderPosition != b.OrderPosition ||
        a.Flags != b.Flags || a.IsFolder != (b.Kind == 1) || a.Childs != b.Childs ||
        a.Title != Win1251ToUtf8(b.Title) || a.Description != Win1251ToUtf8(b.Description))
      ++mismatches;
  }
  Expect(mismatches == 0, std::string(what) + ": " + std::to_string(mismatches) + " entries differ");
}

void CompareWithBook(const std::vector<TFloorEntry>& floor, const std::vector<TBookEntry>& book,
                     const char* what) {
  Expect(floor.size() == book.size(), std::string(what) + ": listing size");
  int mismatches = 0;
  for (size_t i = 0; i < floor.size() && i < book.size(); ++i) {
    if (floor[i].Id != book[i].Id || Win1251ToUtf8(floor[i].Description) != book[i].Description)
      ++mismatches;
  }
  Expect(mismatches == 0, std::string(what) + ": " + std::to_string(mismatches) + " entries differ from the book");
}

// --- measurements ---------------------------------------------------------------

struct TOptions {
  int Runs = 3;
  int Large = 10000;
  bool Keep = false;
  bool Verbose = false;
};

bool gVerbose = false;

// Prints every single measurement when asked (--verbose).
std::function<TTiming()> Sampled(std::string work, const char* side, std::function<TTiming()> run) {
  return [work = std::move(work), side, run = std::move(run)] {
    TTiming elapsed = run();
    if (gVerbose)
      std::printf("    %-30s %-5s %.4f s (cpu %.4f s)\n", work.c_str(), side, elapsed.Wall, elapsed.Cpu);
    return elapsed;
  };
}

// Ours and the floor in turns, the best of each.
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
    } else if (arg == "--large" && i + 1 < argc) {
      options.Large = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--keep") {
      options.Keep = true;
    } else if (arg == "--verbose") {
      options.Verbose = true;
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--large N] [--keep] [--verbose]\n", argv[0]);
      std::exit(2);
    }
  }
  return options;
}

std::string MakeTempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/bench_storage-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  return pattern;
}

int Run(const TOptions& options) {
  gVerbose = options.Verbose;
  EnsureFirebirdLockFolder();
  const std::string folder = MakeTempFolder();
  const std::string path = folder + "/bench.fdb";
  // The file goes with the folder, also when a database error ends the run.
  struct TFolderRemover {
    const std::string& Folder;
    bool Keep;
    ~TFolderRemover() {
      std::error_code ignored;
      if (!Keep) std::filesystem::remove_all(Folder, ignored);
    }
  } remover{folder, options.Keep};

  TBook book = MakeBook(options.Large);
  const std::string largeName = std::to_string(book.LargeChildren.size());
  std::printf("bench_storage: %d measurements per work, best counts; book in %s\n", options.Runs,
              path.c_str());
  {
    TStopwatch watch;
    WriteBook(path, book);
    std::printf("book written: %zu entries in %.2f s\n",
                book.TopLevel.size() + book.Chain.size() + book.SmallChildren.size() +
                    book.LargeChildren.size(),
                watch.Seconds());
  }

  std::vector<bench::TBenchRow> rows;
  {
    // Both attachments in this process; never used at the same time.
    TdmDB dm;
    dm.DB.DatabaseName = path;
    dm.DB.Open();
    AssignDatabase(&dm.DB);
    TFloorConnection floor(path, DirectoryConnectionParams());
    // Checks and restores go through an attachment of their own, so that
    // neither measured side inherits work from them.
    TFloorConnection keeper(path, DirectoryConnectionParams());
    int failures = 0;

    // Warms the page cache for both sides and checks the book.
    std::vector<TFloorEntry> smallFloor, largeFloor;
    {
      Firebird::ITransaction* transaction = floor.StartTransaction(bench::FloorTpb(false));
      floor.LoadFolder(transaction, TBook::kSmallFolder, smallFloor);
      floor.LoadFolder(transaction, TBook::kLargeFolder, largeFloor);
      floor.Commit(transaction);
      CompareWithBook(smallFloor, book.SmallChildren, "small folder");
      CompareWithBook(largeFloor, book.LargeChildren, "large folder");
    }

    // (a), (b) folder loads
    for (auto [folderId, children, name, maxSeconds] :
         {std::tuple{TBook::kSmallFolder, &book.SmallChildren, std::string("folder load, 1000 entries"), 0.3},
          std::tuple{TBook::kLargeFolder, &book.LargeChildren, "folder load, " + largeName + " entries", 0.0}}) {
      TDirectoryList ours;
      std::vector<TFloorEntry> floorEntries;
      auto [oursTime, floorTime] = Measure(
          name, options.Runs, [&] { return OursFolderLoad(dm, folderId, ours, failures); },
          [&] { return FloorFolderLoad(floor, folderId, floorEntries); });
      CompareLoads(ours, floorEntries, name.c_str());
      Expect(static_cast<size_t>(ours.Count()) == children->size() + 1, name + ": listing size");
      rows.push_back({name, oursTime, floorTime, 1.25, maxSeconds});
      std::printf("  measured: %s\n", name.c_str());
    }

    // (c) chain read
    {
      TDirectoryList ours;
      std::vector<TFloorEntry> floorChain;
      const std::string name = "chain read, " + std::to_string(TBook::kChainDepth) + " levels";
      auto [oursTime, floorTime] = Measure(
          name, std::max(options.Runs, 5), [&] { return OursChain(book.ChainBottom, ours, failures); },
          [&] {
            floorChain.clear();
            TStopwatch watch;
            floor.ReadChain(book.ChainBottom, floorChain);
            return watch.Elapsed();
          });
      Expect(ours.Count() == TBook::kChainDepth, "chain length (ours)");
      Expect(floorChain.size() == static_cast<size_t>(TBook::kChainDepth), "chain length (floor)");
      for (int i = 0; i < ours.Count() && i < static_cast<int>(floorChain.size()); ++i)
        Expect(ours.Items(i)->Id == floorChain[static_cast<size_t>(i)].Id &&
                   ours.Items(i)->Childs == floorChain[static_cast<size_t>(i)].Childs,
               "chain level " + std::to_string(i));
      rows.push_back({name, oursTime, floorTime, 1.25, 0});
      std::printf("  measured: %s\n", name.c_str());
    }

    // (d), (e) order updates. Every run starts from the book's positions and
    // puts them back afterwards, outside of the timing.
    for (auto [folderId, children, name] :
         {std::tuple{TBook::kSmallFolder, &book.SmallChildren, std::string("order update, 1000 entries")},
          std::tuple{TBook::kLargeFolder, &book.LargeChildren, "order update, " + largeName + " entries"}}) {
      std::vector<TIdPosition> original;
      for (const TBookEntry& child : *children) original.emplace_back(child.Id, child.OrderPosition);
      const std::vector<TIdPosition> changed = ChangedPositions(*MovedListing(folderId, *children));
      Expect(changed.size() == children->size(), name + ": every entry changed");
      const std::vector<TIdPosition> expected = SortedById(changed);

      auto checkAndRestore = [&](const char* side) {
        Expect(keeper.ChildPositions(folderId) == expected, name + ": stored positions (" + side + ")");
        keeper.UpdateOrder(original);
      };
      auto [oursTime, floorTime] = Measure(
          name, options.Runs,
          [&] {
            auto list = MovedListing(folderId, *children);
            TStopwatch watch;
            if (!TDBDirectoriesOrderUpdateCmd::Run(list.get(), nullptr)) ++failures;
            TTiming elapsed = watch.Elapsed();
            Expect(ChangedPositions(*list).empty(), name + ": marks cleared");
            checkAndRestore("ours");
            return elapsed;
          },
          [&] {
            TStopwatch watch;
            floor.UpdateOrder(changed);
            TTiming elapsed = watch.Elapsed();
            checkAndRestore("floor");
            return elapsed;
          });
      rows.push_back({name, oursTime, floorTime, 1.25, 0});
      std::printf("  measured: %s\n", name.c_str());
    }
    Expect(failures == 0, std::to_string(failures) + " commands returned false");
    AssignDatabase(nullptr);
  }

  std::printf("\n");
  bench::PrintBenchTable(rows);
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
    std::fprintf(stderr, "bench_storage: %s\n", e.what());
    return 1;
  }
}
