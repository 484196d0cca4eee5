// Opening a book on a server at start-up: where the password comes from,
// the sign-in dialog coming back after a refusal, clear failures.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <map>
#include <thread>

#include "FirebirdServer.h"
#include "TestSupport.h"
#include "uCredentials.h"
#include "uGlobals.h"
#include "uStartup.h"
#include "uVTVUtils.h"
#include "ufDirectory.h"
#include "ufSignIn.h"

namespace {

// The program's main window while it runs.
QWidget* TheMainWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->objectName() == "fDirectory") return widget;
  }
  throw std::logic_error("no main window");
}

// A secret store in memory, or one that refuses like a desktop without a
// secret service.
class TMemoryStore : public ISecretStore {
 public:
  bool Runs = true;
  std::map<std::string, std::string> Secrets;
  std::optional<std::string> Read(const std::string& key) override {
    auto found = Secrets.find(key);
    if (!Runs || found == Secrets.end()) return std::nullopt;
    return found->second;
  }
  bool Write(const std::string& key, const std::string& secret, std::string* reason) override {
    if (!Runs) {
      *reason = "No D-Bus session";
      return false;
    }
    Secrets[key] = secret;
    return true;
  }
};

TEST(CredentialLookupTest, StoreThenEnvironmentThenDialog) {
  TBookLocation book = ParseBookLocation("srv/3051:/srv/team.fdb", "/");
  TMemoryStore store;
  store.Secrets[TCredentialLookup::Key(book, "alice")] = "stored";
  std::map<std::string, std::string> env = {{"ISC_USER", "alice"}, {"ISC_PASSWORD", "from-env"}};
  std::vector<std::string> reasons;
  TCredentialLookup lookup(
      store,
      [&](const TSignInQuestion& q) {
        reasons.push_back(q.Reason);
        EXPECT_EQ(q.Answer->User, "alice");
        q.Answer->Password = "typed";
        q.Answer->Remember = true;
        return reasons.size() < 3;
      },
      [&](const char* name) { return env[name]; });
  EXPECT_EQ(lookup.Next(book, "alice", "")->Password, "stored");
  EXPECT_EQ(lookup.Next(book, "alice", "r1")->Password, "from-env");
  std::optional<TCredentials> typed = lookup.Next(book, "alice", "r2");
  ASSERT_TRUE(typed);
  EXPECT_EQ(typed->Password, "typed");
  EXPECT_EQ(lookup.Next(book, "alice", "r3")->Password, "typed");
  EXPECT_FALSE(lookup.Next(book, "alice", "r4")) << "cancelled";
  EXPECT_EQ(reasons, (std::vector<std::string>{"r2", "r3", "r4"}));

  // Remembering: stored when a store runs; said so when none runs.
  EXPECT_EQ(lookup.Succeeded(book, *typed), "");
  EXPECT_EQ(store.Secrets[TCredentialLookup::Key(book, "alice")], "typed");
  store.Runs = false;
  std::string note = lookup.Succeeded(book, *typed);
  EXPECT_NE(note.find(kPasswordNotRememberedMessage), std::string::npos);
  EXPECT_NE(note.find("No D-Bus session"), std::string::npos);
  TCredentials notAsked{"alice", "x", false};
  EXPECT_EQ(lookup.Succeeded(book, notAsked), "");

  // Environment credentials of another user are not used for this one.
  TCredentialLookup other(store, nullptr, [&](const char* name) { return env[name]; });
  EXPECT_FALSE(other.Next(book, "bob", ""));
}

// Runs work on the application's thread as soon as the program has made
// its application object (the sign-in dialog comes before any window).
void WhenTheApplicationRuns(std::function<void()> work) {
  std::thread([work = std::move(work)] {
    for (int i = 0; i < 1000 && !QCoreApplication::instance(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(app, work, Qt::QueuedConnection);
  }).detach();
}

class ServerStartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Book = SharedServer().CreateBook(::testing::UnitTest::GetInstance()->current_test_info()->name() + std::string(".fdb"));
    unsetenv("ISC_USER");
    unsetenv("ISC_PASSWORD");
  }
  void TearDown() override {
    unsetenv("ISC_USER");
    unsetenv("ISC_PASSWORD");
  }
  int Run(const std::function<void()>& onRunning) {
    int argc = 1;
    char name[] = "zorvana-directory";
    char* argv[] = {name, nullptr};
    return RunProgram(argc, argv, Dir.File("zorvana-directory"), onRunning);
  }
  void Settings(const std::string& database) {
    WriteFile(Dir.File("zorvana-directory.ini"),
              "[Main]\nIsFirstStart=0\nDatabase=" + database + "\nDatabaseUser=" + TFirebirdServer::kUser + "\n");
  }

  TTempDir Dir;
  std::string Book;
  TMessageRecorder Messages;
  TMemoryStore Store;
  TScopedSecretStore UseStore{&Store};
};

TEST_F(ServerStartupTest, AWrongPasswordBringsTheDialogBackAndARememberedOneIsUsedNextTime) {
  Settings(SharedServer().Connection(Book));
  setenv("ISC_PASSWORD", "wrong", 1);
  std::vector<QString> reasons;
  std::function<void()> answer = [&] {
    auto* dialog = qobject_cast<TfSignIn*>(QApplication::activeModalWidget());
    if (!dialog) {
      QTimer::singleShot(20, answer);
      return;
    }
    reasons.push_back(dialog->lblReason->text());
    dialog->ePassword->setText(reasons.size() == 1 ? QStringLiteral("still wrong")
                                                  : QString::fromLatin1(TFirebirdServer::kPassword));
    dialog->cbRemember->setChecked(true);
    dialog->btnOk->click();
    if (reasons.size() == 1) QTimer::singleShot(20, answer);
  };
  WhenTheApplicationRuns(answer);
  int rows = -1;
  EXPECT_EQ(Run([&] {
              QWidget* window = TheMainWindow();
              rows = window->findChild<QAbstractItemView*>("vst")->model()->rowCount();
              window->close();
            }),
            0);
  EXPECT_EQ(rows, 0);
  ASSERT_EQ(reasons.size(), 2u) << "the environment's password, then two tries in the dialog";
  for (const QString& reason : reasons) {
    EXPECT_TRUE(reason.contains(QStringLiteral("не принял имя пользователя или пароль")));
    EXPECT_TRUE(reason.contains(QString::fromStdString(Book)));
  }
  EXPECT_TRUE(Messages.Shown.empty());
  EXPECT_EQ(Store.Secrets.size(), 1u);

  // The next start signs in with the remembered password: no dialog.
  reasons.clear();
  unsetenv("ISC_PASSWORD");
  EXPECT_EQ(Run([&] { TheMainWindow()->close(); }), 0);
  EXPECT_TRUE(reasons.empty());
  EXPECT_NE(ReadFile(Dir.File("zorvana-directory.ini")).find("Database="), std::string::npos);
  EXPECT_EQ(ReadFile(Dir.File("zorvana-directory.ini")).find(TFirebirdServer::kPassword), std::string::npos)
      << "no password in the settings file";
}

TEST_F(ServerStartupTest, FailuresOtherThanTheLoginEndWithOneMessageNamingServerAndBook) {
  setenv("ISC_PASSWORD", TFirebirdServer::kPassword, 1);
  struct TCase {
    std::string Setting;
    const char* Part;
  } cases[] = {
      {"127.0.0.1/" + std::to_string(FreeLocalPort()) + ":" + Book, "Не удается соединиться с сервером"},
      {SharedServer().Connection(SharedServer().BookFile("none.fdb")), "нет справочника"},
      {"[::1", "Неверное значение Database"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Setting);
    Messages.Shown.clear();
    Settings(c.Setting);
    EXPECT_EQ(Run(nullptr), 1);
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_NE(Messages.Shown[0].Text.find(c.Part), std::string::npos) << Messages.Shown[0].Text;
    EXPECT_EQ(Messages.Shown[0].Text.find("другая копия"), std::string::npos);
  }
}

}  // namespace
