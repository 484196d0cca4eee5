// A book shared on a Firebird server: attach failures and their causes,
// changes seen by another attachment through events, the guarded save, a
// lock conflict, and a server restarted under an open attachment. One real
// private server serves the whole program.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "FirebirdServer.h"
#include "uBookLocation.h"
#include "uDBDirectory.h"
#include "uDBDirectorySets.h"
#include "uDBGuardedSave.h"
#include "uDbFailure.h"
#include "udmDB.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

TBookLocation ServerBook(const std::string& path, int port = 0) {
  return ParseBookLocation("127.0.0.1/" + std::to_string(port ? port : SharedServer().Port()) + ":" + path, "/");
}

// Counts deliveries and lets a test wait for the next one.
class TDeliveries {
 public:
  std::function<void()> Callback() {
    return [this] {
      std::lock_guard lock(FMutex);
      ++FCount;
      FLast = Clock::now();
      FChanged.notify_all();
    };
  }
  // Waits until more than `seen` deliveries arrived; false after timeout.
  bool WaitBeyond(int seen, std::chrono::milliseconds timeout = 2000ms) {
    std::unique_lock lock(FMutex);
    return FChanged.wait_for(lock, timeout, [&] { return FCount > seen; });
  }
  int Count() {
    std::lock_guard lock(FMutex);
    return FCount;
  }
  Clock::time_point Last() {
    std::lock_guard lock(FMutex);
    return FLast;
  }

 private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  int FCount = 0;
  Clock::time_point FLast;
};

// Two copies of the program on one book: "mine" runs the commands, "theirs"
// is the other copy.
class ServerBookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Path = SharedServer().CreateBook(::testing::UnitTest::GetInstance()->current_test_info()->name() +
                                     std::string(".fdb"));
    ASSERT_EQ(Mine.OpenServerBook(ServerBook(Path), TFirebirdServer::kUser, TFirebirdServer::kPassword),
              TDbFailure::None);
    ASSERT_EQ(Theirs.OpenServerBook(ServerBook(Path), TFirebirdServer::kUser, TFirebirdServer::kPassword),
              TDbFailure::None);
    AssignDatabase(&Mine.DB);
  }
  void TearDown() override { AssignDatabase(nullptr); }

  static TDirectory Entry(int32_t id, const std::string& title, int32_t parent = 0, int32_t position = 0) {
    TDirectory entry;
    entry.Id = id;
    entry.Title = title;
    entry.IdParent = parent;
    entry.OrderPosition = position;
    return entry;
  }

  // Saves through the other attachment, as the other copy would.
  bool SaveAsTheOther(TDirectory entry) {
    AssignDatabase(&Theirs.DB);
    bool saved = TDBDirectorySaveCmd::Run(&entry);
    AssignDatabase(&Mine.DB);
    return saved;
  }

  std::string Path;
  TdmDB Mine;
  TdmDB Theirs;
};

TEST(ServerAttachTest, FailuresNameTheirCauseQuickly) {
  TFirebirdServer& server = SharedServer();
  const std::string good = server.CreateBook("attach.fdb");
  WriteFile(server.BookFile("junk.fdb"), std::string(32768, 'z'));
  const int closedPort = FreeLocalPort();
  struct TCase {
    const char* What;
    std::string Setting;
    const char* User;
    const char* Password;
    TDbFailure Expected;
  } cases[] = {
      {"wrong password", server.Connection(good), TFirebirdServer::kUser, "wrong", TDbFailure::WrongLogin},
      {"unknown user", server.Connection(good), "NOBODY", "x", TDbFailure::WrongLogin},
      {"unknown host", "no-such-host.invalid:" + good, TFirebirdServer::kUser, TFirebirdServer::kPassword,
       TDbFailure::ServerUnreachable},
      {"no server on the port", "127.0.0.1/" + std::to_string(closedPort) + ":" + good, TFirebirdServer::kUser,
       TFirebirdServer::kPassword, TDbFailure::ServerUnreachable},
      {"no such book", server.Connection(server.BookFile("missing.fdb")), TFirebirdServer::kUser,
       TFirebirdServer::kPassword, TDbFailure::NoSuchBook},
      {"not a database", server.Connection(server.BookFile("junk.fdb")), TFirebirdServer::kUser,
       TFirebirdServer::kPassword, TDbFailure::NotABook},
      {"good", server.Connection(good), TFirebirdServer::kUser, TFirebirdServer::kPassword, TDbFailure::None},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TBookLocation book = ParseBookLocation(c.Setting, "/");
    ASSERT_TRUE(book.OnServer);
    TdmDB dm;
    std::string detail;
    const auto started = Clock::now();
    EXPECT_EQ(dm.OpenServerBook(book, c.User, c.Password, &detail), c.Expected) << detail;
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(kServerConnectTimeoutSeconds + 1));
    EXPECT_EQ(dm.DB.Connected(), c.Expected == TDbFailure::None);
    if (c.Expected == TDbFailure::None) continue;
    std::string message = ServerFailureMessage(c.Expected, book, detail);
    EXPECT_NE(message.find(book.ServerName()), std::string::npos) << message;
    EXPECT_NE(message.find(book.Book), std::string::npos) << message;
    EXPECT_NE(message.find("Проверьте"), std::string::npos) << message;
    EXPECT_EQ(message.find("другая копия"), std::string::npos) << message;
  }
}

TEST(ServerCreateTest, TheDatabaseCreatorMakesABookOnTheServer) {
  TFirebirdServer& server = SharedServer();
  const std::string path = server.BookFile("created.fdb");
  setenv("ISC_USER", TFirebirdServer::kUser, 1);
  setenv("ISC_PASSWORD", TFirebirdServer::kPassword, 1);
  TChildProcess tool({ZORVANA_CREATEDB, "--sample", server.Connection(path)});
  const std::string said = tool.ReadLine();
  EXPECT_EQ(tool.Finish(), 0) << said;
  TChildProcess again({ZORVANA_CREATEDB, server.Connection(path)});
  EXPECT_NE(again.Finish(), 0) << "an existing book is never replaced";
  unsetenv("ISC_PASSWORD");
  TChildProcess withoutPassword({ZORVANA_CREATEDB, server.Connection(server.BookFile("other.fdb"))});
  EXPECT_EQ(withoutPassword.Finish(), 2);
  unsetenv("ISC_USER");

  TdmDB dm;
  ASSERT_EQ(dm.OpenServerBook(ServerBook(path), TFirebirdServer::kUser, TFirebirdServer::kPassword), TDbFailure::None);
  AssignDatabase(&dm.DB);
  EXPECT_FALSE(ReadFolderListing(0, &dm.trDirectoryRead).empty()) << "the sample is there";
  AssignDatabase(nullptr);
}

TEST_F(ServerBookTest, SharedReadTransactionIsReadOnlyOnAServer) {
  EXPECT_TRUE(Mine.OnServer());
  EXPECT_EQ(Mine.trDirectoryRead.Params, ServerReadTransactionParams());
  Mine.trDirectoryRead.StartTransaction();
  TFbQuery query(&Mine.DB, &Mine.trDirectoryRead);
  query.SetSQL("INSERT INTO directory (idd, id_parent) VALUES (1, 0)");
  EXPECT_THROW(query.ExecNoResult(), EDatabaseError);
}

TEST_F(ServerBookTest, ASaveIsSeenByTheOtherAttachmentWithinASecond) {
  TDeliveries heard;
  Theirs.ListenForChanges(heard.Callback());
  heard.WaitBeyond(0, 300ms);  // the server answers a new wait at once

  std::vector<double> latencies;
  for (int i = 1; i <= 5; ++i) {
    const int before = heard.Count();
    TDirectory entry = Entry(i, "запись " + std::to_string(i));
    const auto saved = Clock::now();
    ASSERT_TRUE(TDBDirectorySaveCmd::Run(&entry));
    ASSERT_TRUE(heard.WaitBeyond(before, 1000ms)) << "save " << i << " not heard within a second";
    latencies.push_back(std::chrono::duration<double, std::milli>(heard.Last() - saved).count());
  }
  for (double ms : latencies) std::printf("save to event: %.1f ms\n", ms);

  // A failed save posts nothing: its transaction rolls back with the event.
  const int before = heard.Count();
  TDirectory bad = Entry(1, std::string(5000, 'x'));  // longer than the title column
  EXPECT_FALSE(TDBDirectorySaveCmd::Run(&bad));
  EXPECT_FALSE(heard.WaitBeyond(before, 300ms));
}

TEST_F(ServerBookTest, AnImportAndAnOrderUpdateAreSeen) {
  TDeliveries heard;
  Theirs.ListenForChanges(heard.Callback());
  heard.WaitBeyond(0, 300ms);
  std::vector<TTextLine> text;
  for (const char* line : {"#ZORVANA-DIRECTORY-EXCHANGE#", "A\t100\t0\t1\t", "\tB\t100\t0\t0\tb", "\tC\t200\t0\t0\tc"})
    text.push_back(TTextLine{line, {}});
  int before = heard.Count();
  TImportResult result;
  ASSERT_TRUE(TDBDirectoryImportCmd::Run(text, 0, nullptr, &result));
  EXPECT_EQ(result.Created, 3);
  ASSERT_TRUE(heard.WaitBeyond(before, 1000ms));
  // Every committed row is in the other attachment's view once heard of.
  std::this_thread::sleep_for(100ms);
  TDirectoryList seen;
  TFbTransaction read(&Theirs.DB);
  read.Params = ReadTransactionParams();
  AssignDatabase(&Theirs.DB);
  ReadFolderEntries(0, &seen, &read);
  AssignDatabase(&Mine.DB);
  ASSERT_EQ(seen.Count(), 1);
  EXPECT_EQ(seen.Items(0)->Childs, 2);

  before = heard.Count();
  TDirectoryList order;
  order.Add(std::make_unique<TDirectory>(Entry(seen.Items(0)->Id, "A", 0, 100)));
  order.Items(0)->Changed = true;
  order.Items(0)->OrderPosition = 700;
  ASSERT_TRUE(TDBDirectoriesOrderUpdateCmd::Run(&order));
  EXPECT_TRUE(heard.WaitBeyond(before, 1000ms));
}

TEST_F(ServerBookTest, AnEditOfAnEntryChangedMeanwhileIsRefusedWithTheStoredVersion) {
  TDirectory original = Entry(10, "исходная", 0, 100);
  ASSERT_TRUE(TDBDirectorySaveCmd::Run(&original));
  TDirectory mineEdit = original;
  mineEdit.Title = "моя правка";

  TDirectory theirEdit = original;
  theirEdit.Description = "их правка";
  ASSERT_TRUE(SaveAsTheOther(theirEdit));

  TGuardedSaveResult refused = TDBDirectoryGuardedSaveCmd::Run(original, mineEdit);
  EXPECT_EQ(refused.Outcome, TGuardedSave::ChangedMeanwhile);
  EXPECT_EQ(refused.Stored.Title, "исходная");
  EXPECT_EQ(refused.Stored.Description, "их правка");
  EXPECT_NE(ChangedMeanwhileMessage(refused.Stored).find("их правка"), std::string::npos);
  TDirectory stored = Entry(10, "");
  ASSERT_TRUE(TDBDirectoryReadCmd::Run(&stored));
  EXPECT_EQ(stored.Title, "исходная") << "nothing of mine stored";

  // Edited again from the stored version, it saves; a new entry inserts.
  TDirectory again = refused.Stored;
  again.Title = "моя правка";
  EXPECT_EQ(TDBDirectoryGuardedSaveCmd::Run(refused.Stored, again).Outcome, TGuardedSave::Saved);
  TDirectory fresh = Entry(11, "новая");
  EXPECT_EQ(TDBDirectoryGuardedSaveCmd::Run(fresh, fresh).Outcome, TGuardedSave::Saved);
  stored = Entry(10, "");
  ASSERT_TRUE(TDBDirectoryReadCmd::Run(&stored));
  EXPECT_EQ(stored.Title, "моя правка");
  EXPECT_EQ(stored.Description, "их правка");
}

TEST_F(ServerBookTest, ARowHeldByAnotherTransactionIsALockConflict) {
  TDirectory original = Entry(20, "занята");
  ASSERT_TRUE(TDBDirectorySaveCmd::Run(&original));
  TFbTransaction holder(&Theirs.DB);
  holder.Params = WriteTransactionParams();
  holder.StartTransaction();
  TFbQuery hold(&Theirs.DB, &holder);
  hold.SetSQL("UPDATE directory SET title = 'их' WHERE idd = 20");
  hold.ExecNoResult();

  TDirectory edit = original;
  edit.Title = "моя";
  TGuardedSaveResult result = TDBDirectoryGuardedSaveCmd::Run(original, edit);
  EXPECT_EQ(result.Outcome, TGuardedSave::BeingChanged) << result.Detail;
  EXPECT_FALSE(TDBDirectorySaveCmd::Run(&edit));

  TFbTransaction mine(&Mine.DB);
  mine.Params = WriteTransactionParams();
  mine.StartTransaction();
  TFbQuery update(&Mine.DB, &mine);
  update.SetSQL("UPDATE directory SET title = 'моя' WHERE idd = 20");
  try {
    update.ExecNoResult();
    ADD_FAILURE() << "the held row was updated";
  } catch (const EDatabaseError& error) {
    EXPECT_EQ(ClassifyDatabaseFailure(error, TDbStage::Work), TDbFailure::LockConflict) << error.what();
    EXPECT_FALSE(IsLostConnection(error));
  }
  mine.Rollback();
  hold.Close();
  holder.Rollback();
  EXPECT_EQ(TDBDirectoryGuardedSaveCmd::Run(original, edit).Outcome, TGuardedSave::Saved);
}

// Last: it stops and restarts the shared server.
TEST_F(ServerBookTest, ZServerRestartedWhileConnectedIsALostConnectionAndReconnects) {
  TDeliveries heard;
  Mine.ListenForChanges(heard.Callback());
  TDirectory entry = Entry(30, "до перезапуска");
  ASSERT_TRUE(TDBDirectorySaveCmd::Run(&entry));
  Mine.trDirectoryRead.StartTransaction();

  SharedServer().Stop();
  try {
    ReadFolderListing(0, &Mine.trDirectoryRead);
    ADD_FAILURE() << "a read without a server succeeded";
  } catch (const EDatabaseError& error) {
    EXPECT_TRUE(IsLostConnection(error)) << error.what();
  }
  auto started = Clock::now();
  EXPECT_EQ(Mine.Reconnect(), TDbFailure::ServerUnreachable);
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(kServerConnectTimeoutSeconds + 1));

  SharedServer().Start();
  ASSERT_EQ(Mine.Reconnect(), TDbFailure::None);
  EXPECT_TRUE(Mine.trDirectoryRead.InTransaction()) << "the shared read transaction runs again";
  EXPECT_EQ(ReadFolderListing(0, &Mine.trDirectoryRead), std::vector<int32_t>{30});

  // The listener came back with the connection.
  ASSERT_EQ(Theirs.Reconnect(), TDbFailure::None);
  std::this_thread::sleep_for(300ms);  // the new wait's first answer
  const int before = heard.Count();
  TDirectory other = Entry(31, "после перезапуска");
  ASSERT_TRUE(SaveAsTheOther(other));
  EXPECT_TRUE(heard.WaitBeyond(before, 1000ms));
}

}  // namespace
