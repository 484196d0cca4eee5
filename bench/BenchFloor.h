#pragma once
// Helpers shared by the storage benchmarks.
//
// The "floor" is what the storage layer's statements cost when sent through
// the bare Firebird OO API with nothing of ours in between: one status object
// reused for every call, statement texts built by appending the id, raw
// parameter messages. A benchmark runs our layer and the floor on the same
// database file in the same process (one after the other, never at the same
// time) and prints both; the ratio is the figure that matters, since it
// does not depend on the machine's speed.
//
// Also here: a stopwatch, best-of-N timing and the printed result table.

#include <firebird/Interface.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// Every failure of the floor: the call that failed and Firebird's text.
class EFloorError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The statements the floor sends are our storage layer's own texts
// (uDirectorySQL.h, uDB.h), with "?" for the named parameters.

// Transaction parameter blocks: read committed, record version, no wait,
// and read-only when asked.
std::vector<unsigned char> FloorTpb(bool readOnly);

// One row of the directory table. Texts are the stored bytes (Windows-1251).
struct TFloorEntry {
  int32_t Id = 0;
  int32_t IdParent = 0;
  int32_t OrderPosition = 0;
  int32_t Kind = 0;
  int32_t Flags = 0;
  int32_t Childs = 0;
  std::string Title;
  std::string Description;
};

// (id, order position)
using TIdPosition = std::pair<int32_t, int32_t>;

// One attachment through the bare API.
class TFloorConnection {
 public:
  // params: "name=value" texts with user_name, password and lc_ctype, as the
  // program's connection takes them; the attachment is embedded only
  // (isc_dpb_config "Providers=Engine12"), like the program's.
  TFloorConnection(const std::string& path, const std::vector<std::string>& params);
  ~TFloorConnection();  // detaches
  TFloorConnection(const TFloorConnection&) = delete;
  TFloorConnection& operator=(const TFloorConnection&) = delete;

  Firebird::IMaster* Master() const { return FMaster; }
  Firebird::IAttachment* Attachment() const { return FAttachment; }
  Firebird::CheckStatusWrapper* Status() { return &FStatus; }
  // Throws EFloorError naming `what` when the last call failed.
  void Check(const char* what);

  Firebird::ITransaction* StartTransaction(const std::vector<unsigned char>& tpb);
  void Commit(Firebird::ITransaction* transaction);
  void Rollback(Firebird::ITransaction* transaction);  // never throws

  // Prepares a statement in the transaction; the caller frees it.
  Firebird::IStatement* Prepare(Firebird::ITransaction* transaction, const std::string& sql);
  void Free(Firebird::IStatement* statement);  // never throws

  // What the entry read command does in a transaction handed to it: the
  // entry statement with the id appended, prepared for this call, every
  // column read (the description blob included); when a row came back, the
  // child count statement the same way. No commit. False when no row.
  bool ReadEntry(Firebird::ITransaction* transaction, int32_t id, TFloorEntry& entry);

  // The folder listing with its parameter, every id fetched.
  std::vector<int32_t> FolderListing(Firebird::ITransaction* transaction, int32_t folderId);

  // The window's folder load: the listing, then ReadEntry for every id, all
  // in the transaction given. Appends to entries.
  void LoadFolder(Firebird::ITransaction* transaction, int32_t folderId,
                  std::vector<TFloorEntry>& entries);

  // The chain read: per level a new read-only transaction, the chain
  // statement and ReadEntry in it, the level above while it stays open,
  // then its commit. Nearest folder first.
  void ReadChain(int32_t id, std::vector<TFloorEntry>& chain);

  // One write transaction, the order update prepared once and executed per
  // pair, one commit.
  void UpdateOrder(const std::vector<TIdPosition>& positions);

  // (id, order position) of every child of a folder, by id, in a read-only
  // transaction of its own. For checking results; not part of any timing.
  std::vector<TIdPosition> ChildPositions(int32_t folderId);

  // What the section export does: calls row(level, entry) for the entry,
  // then, in a read-only transaction of this level (started after the row),
  // the children statement with the entry's id; per child, in that same
  // transaction and while the children's cursor stays open, ReadEntry, then
  // this again one level deeper (its own transaction beside this one). The
  // level's transaction is committed at its end.
  using TFloorRowSink = std::function<void(int level, const TFloorEntry& entry)>;
  void ExportSection(const TFloorEntry& entry, int level, const TFloorRowSink& row);

  // What a row of the section import costs, each in a transaction of its
  // own that is committed at once: the id draw (read-only), the existence
  // check (read-only) and the insert (read-write; the description goes as a
  // blob of its own, like our layer sends it).
  int32_t NextId();
  bool EntryExists(int32_t id);
  void InsertEntry(const TFloorEntry& entry);

  // Fills a book: one write transaction, the insert prepared once, one
  // commit. For building benchmark books; not part of any timing.
  void InsertEntries(const std::vector<TFloorEntry>& entries);
  // A statement without result (DDL included) in a write transaction of its
  // own, committed.
  void ExecuteStatement(const std::string& sql);

 private:
  void ReadEntryColumns(Firebird::ITransaction* transaction, Firebird::IMessageMetadata* meta,
                        const unsigned char* row, TFloorEntry& entry);
  std::string ReadBlob(Firebird::ITransaction* transaction, const ISC_QUAD& blobId);
  void ChainLevel(int32_t id, std::vector<TFloorEntry>& chain);
  // Fills the insert's input message from the entry (declared types; the
  // description as a new blob in the transaction) and executes it.
  void ExecuteInsert(Firebird::ITransaction* transaction, Firebird::IStatement* statement,
                     Firebird::IMessageMetadata* meta, std::vector<unsigned char>& input,
                     const TFloorEntry& entry);
  // Prepares the statement, opens it and fetches its first row: false when
  // there is none; otherwise the first column into value (when given).
  bool FetchFirst(Firebird::ITransaction* transaction, const std::string& sql, int64_t* value);

  Firebird::IMaster* FMaster = nullptr;
  Firebird::CheckStatusWrapper FStatus;
  Firebird::IAttachment* FAttachment = nullptr;
  std::vector<unsigned char> FReadTpb;
  std::vector<unsigned char> FWriteTpb;
  std::vector<unsigned char> FBlobBuffer;
};

// --- timing -------------------------------------------------------------------

// Wall time, and the processor time of the calling thread: the embedded
// engine runs statements in the caller's thread, so the latter stays
// comparable when other programs load the machine (it leaves out waits such
// as the disk flush of a commit).
struct TTiming {
  double Wall = 0;
  double Cpu = 0;
};

class TStopwatch {
 public:
  TStopwatch() { Restart(); }
  void Restart();
  double Seconds() const;  // wall
  TTiming Elapsed() const;

 private:
  std::chrono::steady_clock::time_point FStart;
  double FCpuStart = 0;
};

// The best of `runs` results of run(), wall and processor time each on its
// own; run measures its own timed part, so it may prepare and clean up
// outside of it.
TTiming BestOf(int runs, const std::function<TTiming()>& run);

// Runs two measured works in turns (a b, b a, a b, ...) so drift of the
// machine falls on both alike; the best of each.
std::pair<TTiming, TTiming> BestOfAlternating(int runs, const std::function<TTiming()>& a,
                                              const std::function<TTiming()>& b);

// --- report -------------------------------------------------------------------

struct TBenchRow {
  std::string Work;
  TTiming Ours;
  TTiming Floor;           // zero: the work has no floor ("-" in the table)
  double MaxRatio = 1.25;  // goal on ours/floor (wall); 0: none
  double MaxSeconds = 0;   // goal on ours in seconds (wall); 0: none
};

// Prints the table: work, ours (s), floor (s), ours/floor, the same ratio of
// processor times, the goals and whether this run met them. Reports only.
void PrintBenchTable(const std::vector<TBenchRow>& rows);

// The machine's load averages (1, 5, 15 minutes) as /proc/loadavg gives
// them, for printing beside the figures.
std::string LoadAverage();

// A new private folder under $TMPDIR (or /tmp) named prefix-XXXXXX; it goes
// with everything in it when this object does, unless Keep is set.
class TTempFolder {
 public:
  explicit TTempFolder(const std::string& prefix);
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  const std::string& Path() const { return FPath; }
  bool Keep = false;

 private:
  std::string FPath;
};

// The median of a set of samples (the mean of the two middle ones for an
// even count); 0 for none.
double Median(std::vector<double> samples);

}  // namespace bench
