// A book on a Firebird server: loading a 1,000-entry folder and exporting a
// 1,000-entry section, per entry (the window's statements) and set-based,
// embedded, through a private server on localhost, and through a TCP relay
// that adds 1 ms each way. Prints times beside the statements sent and the
// round trips the relay counted.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "FirebirdServer.h"
#include "uDBDirectory.h"
#include "uDBDirectorySets.h"
#include "uSchema.h"
#include "udmDB.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kEntries = 1000;
constexpr int32_t kFolder = 1;

// Forwards every connection to the server, each chunk delayed by a fixed
// time and counted: chunks from the client are its requests.
class TRelay {
 public:
  TRelay(int serverPort, std::chrono::microseconds delay) : FServerPort(serverPort), FDelay(delay) {
    FListen = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = Loopback(0);
    bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &length);
    FPort = ntohs(address.sin_port);
    listen(FListen, 16);
    FAccept = std::thread([this] { Accept(); });
  }
  ~TRelay() {
    FStopping = true;
    shutdown(FListen, SHUT_RDWR);
    close(FListen);
    FAccept.join();
    for (int fd : FSockets) shutdown(fd, SHUT_RDWR);
    for (auto& thread : FPumps) thread.join();
    for (int fd : FSockets) close(fd);
  }
  int Port() const { return FPort; }
  long Requests() const { return FRequests; }
  void ResetCount() { FRequests = 0; }

 private:
  static sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
  }
  void Accept() {
    for (;;) {
      int client = accept(FListen, nullptr, nullptr);
      if (client < 0 || FStopping) return;
      int server = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address = Loopback(FServerPort);
      if (connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(client);
        close(server);
        continue;
      }
      int on = 1;
      setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      FSockets.push_back(client);
      FSockets.push_back(server);
      Pipe(client, server, true);
      Pipe(server, client, false);
    }
  }
  // A reader queues chunks with their due time; a writer sends each when due.
  void Pipe(int from, int to, bool counted) {
    struct TQueue {
      std::mutex Mutex;
      std::condition_variable Ready;
      std::deque<std::pair<Clock::time_point, std::vector<char>>> Chunks;
      bool Closed = false;
    };
    auto queue = std::make_shared<TQueue>();
    FPumps.emplace_back([this, from, queue, counted] {
      std::vector<char> buffer(65536);
      for (;;) {
        ssize_t got = read(from, buffer.data(), buffer.size());
        std::lock_guard lock(queue->Mutex);
        if (got <= 0) {
          queue->Closed = true;
          queue->Ready.notify_all();
          return;
        }
        if (counted) ++FRequests;
        queue->Chunks.emplace_back(Clock::now() + FDelay, std::vector<char>(buffer.begin(), buffer.begin() + got));
        queue->Ready.notify_all();
      }
    });
    FPumps.emplace_back([to, queue] {
      std::unique_lock lock(queue->Mutex);
      for (;;) {
        queue->Ready.wait(lock, [&] { return queue->Closed || !queue->Chunks.empty(); });
        if (queue->Chunks.empty()) {
          shutdown(to, SHUT_WR);
          return;
        }
        auto [due, data] = std::move(queue->Chunks.front());
        queue->Chunks.pop_front();
        lock.unlock();
        std::this_thread::sleep_until(due);
        for (size_t sent = 0; sent < data.size();) {
          ssize_t n = write(to, data.data() + sent, data.size() - sent);
          if (n <= 0) break;
          sent += static_cast<size_t>(n);
        }
        lock.lock();
      }
    });
  }

  int FServerPort;
  std::chrono::microseconds FDelay;
  int FListen = -1;
  int FPort = 0;
  std::atomic<bool> FStopping{false};
  std::atomic<long> FRequests{0};
  std::thread FAccept;
  std::vector<std::thread> FPumps;
  std::vector<int> FSockets;
};

// Folder 1 with kEntries children: 100 folders of 9 records each and 100
// records, so the folder lists 1,000 rows and its export writes 1,000 more.
void Fill(TFbDatabase& database) {
  TFbTransaction transaction(&database);
  transaction.Params = WriteTransactionParams();
  transaction.StartTransaction();
  TFbQuery insert(&database, &transaction);
  insert.SetSQL("INSERT INTO directory (idd, id_parent, order_position, title, description, kind, flags) "
                "VALUES (:idd, :parent, :pos, :title, :descr, :kind, 0)");
  auto add = [&](int id, int parent, int pos, bool folder) {
    insert.ParamByName("IDD").SetInteger(id);
    insert.ParamByName("PARENT").SetInteger(parent);
    insert.ParamByName("POS").SetInteger(pos);
    insert.ParamByName("TITLE").SetString("Формулировка номер " + std::to_string(id));
    insert.ParamByName("DESCR").SetString("Описание записи " + std::to_string(id) + " в две строки\r\nвторая");
    insert.ParamByName("KIND").SetInteger(folder ? 1 : 0);
    insert.ExecNoResult();
  };
  add(kFolder, 0, 0, true);
  int next = 2;
  for (int i = 0; i < kEntries; ++i) {
    const bool folder = i < 100;
    const int id = next++;
    add(id, kFolder, i * 100, folder);
  }
  for (int f = 0; f < 100; ++f)
    for (int r = 0; r < 9; ++r) add(next++, 2 + f, r * 100, false);
  transaction.Commit();
}

double Best(int runs, const std::function<void()>& work) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    auto started = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - started).count());
  }
  return best;
}

struct TPlace {
  const char* Name;
  TdmDB* Dm;
  TRelay* Relay;  // counts round trips; none for the embedded book
  int Runs;
};

void PerEntryFolder(TdmDB& dm) {
  TDirectoryList list;
  for (int32_t id : ReadFolderListing(kFolder, &dm.trDirectoryRead)) {
    auto entry = std::make_unique<TDirectory>();
    entry->Id = id;
    TDBDirectoryReadCmd::Run(entry.get(), &dm.trDirectoryRead);
    list.Add(std::move(entry));
  }
}

void SetFolder(TdmDB& dm) {
  TDirectoryList list;
  ReadFolderEntries(kFolder, &list, &dm.trDirectoryRead);
}

TDirectory Top() {
  TDirectory top;
  top.Id = kFolder;
  TDBDirectoryReadCmd::Run(&top);
  return top;
}

void PerEntryExport(TdmDB&) {
  TDirectory top = Top();
  std::vector<std::string> lines;
  TDBDirectoryExportCmd::Run(&top, 0, &lines);
}

void SetExport(TdmDB&) {
  TDirectory top = Top();
  std::vector<std::string> lines;
  ExportSectionRows(top, 0, &lines);
}

void Measure(const TPlace& place, const char* work, const char* statements, const std::function<void(TdmDB&)>& run,
             int runs) {
  AssignDatabase(place.Dm->DB.Connected() ? &place.Dm->DB : nullptr);
  run(*place.Dm);  // warm: statements and pages cached
  if (place.Relay) place.Relay->ResetCount();
  double seconds = Best(runs, [&] { run(*place.Dm); });
  std::string trips = place.Relay ? std::to_string(place.Relay->Requests() / runs) : std::string("-");
  std::printf("| %-22s | %-18s | %9.3f | %-10s | %8s |\n", place.Name, work, seconds, statements, trips.c_str());
}

}  // namespace

int main() {
  TTempDir folder;
  // The embedded book: the same rows in a file of its own.
  const std::string file = folder.File("embedded.fdb");
  CreateDirectoryDatabase(file);
  TdmDB embedded;
  embedded.DB.DatabaseName = file;
  embedded.DB.Open();
  Fill(embedded.DB);

  TFirebirdServer& server = SharedServer();
  const std::string book = server.CreateBook("bench.fdb");
  TRelay counting(server.Port(), std::chrono::microseconds(0));
  TRelay slow(server.Port(), std::chrono::microseconds(1000));
  auto open = [&](int port) {
    auto dm = std::make_unique<TdmDB>();
    TBookLocation location = ParseBookLocation("127.0.0.1/" + std::to_string(port) + ":" + book, "/");
    if (dm->OpenServerBook(location, TFirebirdServer::kUser, TFirebirdServer::kPassword) != TDbFailure::None)
      throw std::runtime_error("cannot open the server book");
    return dm;
  };
  auto direct = open(server.Port());
  Fill(direct->DB);
  auto counted = open(counting.Port());
  auto delayed = open(slow.Port());

  const TPlace places[] = {
      {"embedded", &embedded, nullptr, 5},
      {"server, localhost", counted.get(), &counting, 5},
      {"server, relay +1 ms", delayed.get(), &slow, 3},
  };
  std::printf("%d entries in the folder, %d rows in the export (best of N runs)\n\n", kEntries, kEntries + 901);
  std::printf("| %-22s | %-18s | %9s | %-10s | %8s |\n", "book", "work", "seconds", "statements", "requests");
  std::printf("|------------------------|--------------------|-----------|------------|----------|\n");
  for (const TPlace& place : places) {
    const bool slowPlace = place.Relay == &slow;
    Measure(place, "folder per entry", "1 + 2N", PerEntryFolder, slowPlace ? 1 : place.Runs);
    Measure(place, "folder set-based", "1", SetFolder, place.Runs);
    Measure(place, "export per entry", "3N+2", PerEntryExport, slowPlace ? 1 : place.Runs);
    Measure(place, "export set-based", "3", SetExport, place.Runs);
  }
  AssignDatabase(nullptr);
  return 0;
}
