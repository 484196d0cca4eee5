// Two main windows on one book on a real Firebird server (a private server
// started for this test program): each sees the other's changes within a
// second, an edit of an entry changed meanwhile is refused with the typed
// text kept, a lock is told, and a server that went away and came back is
// connected to again.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "DirectoryWindowProbe.h"
#include "FirebirdServer.h"
#include "TestSupport.h"
#include "uBookLocation.h"
#include "uDB.h"
#include "uDBDirectory.h"
#include "uDbFailure.h"
#include "uGlobals.h"
#include "udmDB.h"
#include "udmRes.h"
#include "ufDirectory.h"
#include "ufDirectoryParams.h"
#include "ufRVHelp.h"

namespace {

struct TEditorAnswer {
  bool Accept = true;
  QString Title;  // empty: left as shown
  std::function<void()> Before;  // runs while the editor is open
};

class SharedBook : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGlobals();
    Globals().IsFirstStart = false;
    dmRes = &Res;
    Path = SharedServer().CreateBook("shared-" + std::to_string(++gBooks) + ".fdb");
    Location = ParseBookLocation(SharedServer().Connection(Path), "/");
    ASSERT_TRUE(Location.OnServer) << Location.Error;
    for (auto* dm : {&First, &Second}) {
      std::string detail;
      ASSERT_EQ(dm->OpenServerBook(Location, TFirebirdServer::kUser, TFirebirdServer::kPassword, &detail),
                TDbFailure::None)
          << detail;
    }
    AssignDatabase(&First.DB);
    Alpha = Put(0, "Альфа", false, 100);
    Put(0, "Бета", false, 200);
  }

  void TearDown() override {
    A.reset();
    B.reset();
    TfRVHelp::DestroyHelp();
    AssignDatabase(nullptr);
    dmRes = nullptr;
    ResetGlobals();
  }

  int32_t Put(int32_t parent, const std::string& title, bool folder, int32_t position) {
    TDirectory entry;
    entry.Id = ++LastId;
    entry.IdParent = parent;
    entry.Title = title;
    entry.IsFolder = folder;
    entry.OrderPosition = position;
    EXPECT_TRUE(TDBDirectorySaveCmd::Run(&entry)) << title;
    Sql("ALTER SEQUENCE GEN_DIRECTORY_ID RESTART WITH " + std::to_string(LastId + 100));
    return entry.Id;
  }

  // A statement of a third program on the server, committed at once.
  void Sql(const std::string& text) {
    TFbDatabase other;
    other.DatabaseName = Location.ConnectionString();
    other.Params = TFirebirdServer::Params();
    other.ThroughServer = true;
    other.Open();
    TFbTransaction transaction(&other);
    transaction.Params = WriteTransactionParams();
    transaction.StartTransaction();
    {
      TFbQuery query(&other, &transaction);
      query.SetSQL(text);
      query.ExecNoResult();
    }
    transaction.Commit();
  }

  std::unique_ptr<TfDirectory> OpenWindow(TdmDB& dm) {
    auto window = std::make_unique<TfDirectory>(dm);
    window->ShowDirectory();
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return window;
  }

  static std::vector<std::string> Titles(const TfDirectory& window) {
    std::vector<std::string> titles;
    for (const auto& entry : TDirectoryWindowProbe(window).Entries()) titles.push_back(entry->Title);
    return titles;
  }

  static void Focus(const TfDirectory& window, const std::string& title) {
    TDirectoryWindowProbe probe(window);
    for (int row = 0; row < probe.List()->RowCount(); ++row) {
      if (probe.List()->NodeObject(row)->Title == title) TVTV::SelectNode(probe.List(), row);
    }
  }

  // Runs an action of window and answers each editor that opens in turn.
  std::vector<QString> RunWithEditors(const TfDirectory& window, const char* action,
                                      const std::vector<TEditorAnswer>& answers) {
    std::vector<QString> seen;
    QPointer<QWidget> answered;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* editor = qobject_cast<TfDirectoryParams*>(QApplication::activeModalWidget());
      if (!editor || editor == answered.data()) return;
      answered = editor;
      seen.push_back(editor->eTitle->text());
      if (seen.size() > answers.size()) {
        ADD_FAILURE() << "the editor opened once more than expected";
        QTest::mouseClick(editor->btnCancel, Qt::LeftButton);
        return;
      }
      const TEditorAnswer& answer = answers[seen.size() - 1];
      if (answer.Before) answer.Before();
      if (!answer.Title.isEmpty()) editor->eTitle->setText(answer.Title);
      QTest::mouseClick(answer.Accept ? editor->btnOk : editor->btnCancel, Qt::LeftButton);
    });
    poll.start();
    TDirectoryWindowProbe(window).Action(action)->trigger();
    QCoreApplication::processEvents();
    return seen;
  }

  static inline int gBooks = 0;
  std::string Path;
  TBookLocation Location;
  TdmDB First, Second;
  TdmRes Res;
  TMessageRecorder Messages;
  std::unique_ptr<TfDirectory> A, B;
  int32_t LastId = 0;
  int32_t Alpha = 0;
};

TEST_F(SharedBook, ChangesInOneWindowShowInTheOtherWithinASecond) {
  A = OpenWindow(First);
  B = OpenWindow(Second);
  Focus(*A, "Бета");
  TEditorAnswer answer;
  answer.Title = QStringLiteral("Гамма");
  ASSERT_EQ(RunWithEditors(*A, "actNew", {answer}).size(), 1u);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Titles(*B) == std::vector<std::string>{"Альфа", "Бета", "Гамма"}; },
                              1000))
      << "a new record";

  Focus(*B, "Гамма");
  TDirectoryWindowProbe(*B).Action("actMoveUp")->trigger();
  EXPECT_TRUE(QTest::qWaitFor([&] { return Titles(*A) == std::vector<std::string>{"Альфа", "Гамма", "Бета"}; },
                              1000))
      << "a move";
  EXPECT_EQ(TDirectoryWindowProbe(*B).FocusedDirectory()->Title, "Гамма") << "the mover keeps its focus";
  EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(SharedBook, AnEditOfAnEntryChangedMeanwhileIsRefusedAndTheTypedTextKept) {
  A = OpenWindow(First);
  Focus(*A, "Альфа");
  TEditorAnswer typed;
  typed.Title = QStringLiteral("Альфа от меня");
  typed.Before = [this] {
    Sql("UPDATE directory SET title = 'Альфа от коллеги' WHERE idd = " + std::to_string(Alpha));
  };
  TEditorAnswer cancel;
  cancel.Accept = false;
  const std::vector<QString> seen = RunWithEditors(*A, "actEdit", {typed, cancel});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], QStringLiteral("Альфа от меня")) << "the editor opens again with what was typed";
  ASSERT_EQ(Messages.Shown.size(), 1u);
  EXPECT_NE(Messages.Shown[0].Text.find("Альфа от коллеги"), std::string::npos) << Messages.Shown[0].Text;
  EXPECT_EQ(Titles(*A), (std::vector<std::string>{"Альфа от коллеги", "Бета"})) << "the stored version is shown";
}

TEST_F(SharedBook, AnEntryLockedElsewhereIsToldAndTheTypedTextKept) {
  A = OpenWindow(First);
  Focus(*A, "Альфа");
  std::unique_ptr<TFbDatabase> other;
  std::unique_ptr<TFbTransaction> lock;
  TEditorAnswer typed;
  typed.Title = QStringLiteral("Альфа сейчас");
  typed.Before = [&] {
    other = std::make_unique<TFbDatabase>();
    other->DatabaseName = Location.ConnectionString();
    other->Params = TFirebirdServer::Params();
    other->ThroughServer = true;
    other->Open();
    lock = std::make_unique<TFbTransaction>(other.get());
    lock->Params = WriteTransactionParams();
    lock->StartTransaction();
    TFbQuery query(other.get(), lock.get());
    query.SetSQL("UPDATE directory SET flags = flags WHERE idd = " + std::to_string(Alpha));
    query.ExecNoResult();
  };
  TEditorAnswer cancel;
  cancel.Accept = false;
  const std::vector<QString> seen = RunWithEditors(*A, "actEdit", {typed, cancel});
  lock->Rollback();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], QStringLiteral("Альфа сейчас"));
  ASSERT_EQ(Messages.Shown.size(), 1u);
  EXPECT_EQ(Messages.Shown[0].Text, kLockConflictMessage);
}

TEST_F(SharedBook, AServerThatWentAwayIsToldAndConnectedToAgain) {
  A = OpenWindow(First);
  SharedServer().Stop();
  Focus(*A, "Альфа");
  // Any command that reads the book now finds the server gone.
  TDirectoryWindowProbe(*A).Action("actSearch")->trigger();
  QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("a"));
  QTest::qWait(100);
  SharedServer().Start();
  ASSERT_FALSE(Messages.Shown.empty());
  EXPECT_NE(Messages.Shown.back().Text.find("Связь с сервером"), std::string::npos) << Messages.Shown.back().Text;
  Messages.Shown.clear();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  Focus(*A, "Альфа");
  TDirectoryWindowProbe(*A).Action("actCopyToClipboard")->trigger();
  EXPECT_TRUE(Messages.Shown.empty()) << (Messages.Shown.empty() ? "" : Messages.Shown[0].Text);
  EXPECT_EQ(Titles(*A), (std::vector<std::string>{"Альфа", "Бета"}));
}

}  // namespace
