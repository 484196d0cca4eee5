// The entry editor, the about window and the help window open owned by the
// main window: its child windows with it as their transient parent, so the
// desktop keeps them above it while it stays on top, and they go with it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <filesystem>
#include <memory>

#include "TestSupport.h"
#include "uDirectory.h"
#include "uGlobals.h"
#include "ufAboutKRT.h"
#include "ufDirectoryParams.h"
#include "ufRVHelp.h"

namespace {

// A stand-in for the main window: a real top-level window that stays on top.
std::unique_ptr<QWidget> MakeMainWindow() {
  auto window = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
  window->resize(300, 200);
  window->move(20, 20);
  window->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  return window;
}

// Owned by the window, both as a widget and for the desktop.
void ExpectOwnedBy(QWidget* dialog, QWidget* owner) {
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->parentWidget(), owner);
  EXPECT_TRUE(dialog->isWindow()) << "a window of its own, not a part of the owner";
  ASSERT_NE(dialog->windowHandle(), nullptr);
  EXPECT_EQ(dialog->windowHandle()->transientParent(), owner->windowHandle());
}

class DialogOwnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ComputeLocations(FDir.Path() + "zorvana-directory");
    std::filesystem::create_directories(Globals().HelpPath);
    WriteFile(Globals().HelpPath + "DirectoryForm.rvf",
              "<html><head><meta charset=\"utf-8\"></head><body><p>x</p></body></html>");
    Main = MakeMainWindow();
    SetMainWindow(Main.get());
  }
  void TearDown() override {
    TfRVHelp::DestroyHelp();
    SetMainWindow(nullptr);
    Main.reset();
    ResetGlobals();
  }

  std::unique_ptr<QWidget> Main;

 private:
  TTempDir FDir;
};

TEST_F(DialogOwnerTest, EntryEditorOpensOwnedByTheMainWindowCentredOnTheScreen) {
  TDirectory entry;
  entry.Title = "Запись";
  auto editor = std::make_unique<TfDirectoryParams>();
  editor->SetDirectory(&entry);
  editor->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
  ExpectOwnedBy(editor.get(), Main.get());
  const QPoint screenCentre = Main->screen()->availableGeometry().center();
  EXPECT_LE((editor->frameGeometry().center() - screenCentre).manhattanLength(), 4)
      << "in the middle of the screen, not over the small main window";
  editor.reset();
  EXPECT_TRUE(Main->isVisible()) << "the owner outlives its dialog";
}

TEST_F(DialogOwnerTest, AboutWindowShownModallyIsOwnedByTheMainWindow) {
  bool checked = false;
  QTimer::singleShot(50, qApp, [this, &checked] {
    QWidget* shown = QApplication::activeModalWidget();
    if (!qobject_cast<TfAboutKRT*>(shown)) return;
    ExpectOwnedBy(shown, Main.get());
    checked = true;
    QTest::keyClick(shown, Qt::Key_Escape);
  });
  TfSimpleForm::ExecuteModal<TfAboutKRT>();
  EXPECT_TRUE(checked) << "the about window was not shown modally";
}

TEST_F(DialogOwnerTest, HelpWindowIsOwnedAndGoesWithTheMainWindow) {
  TfRVHelp::ShowHelp(TfRVHelp::kDirectoryHelp);
  QPointer<TfRVHelp> help = TfRVHelp::Current();
  ASSERT_TRUE(help && QTest::qWaitForWindowExposed(help));
  ExpectOwnedBy(help, Main.get());
  EXPECT_FALSE(help->isModal()) << "the main window stays usable";

  // The main window ends first: the help window goes with it, and the kept
  // reference lets go instead of destroying it a second time.
  Main.reset();
  EXPECT_TRUE(help.isNull());
  EXPECT_EQ(TfRVHelp::Current(), nullptr);
  EXPECT_EQ(MainWindow(), nullptr) << "the main window's end clears it";
  TfRVHelp::DestroyHelp();
}

TEST_F(DialogOwnerTest, AGivenParentWinsAndWithoutAMainWindowThereIsNoOwner) {
  QWidget other(nullptr, Qt::Window);
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
  {
    TfAboutKRT about(&other);
    EXPECT_EQ(about.parentWidget(), &other);
  }
  SetMainWindow(nullptr);
  {
    TfDirectoryParams editor;
    EXPECT_EQ(editor.parentWidget(), nullptr);
    TfAboutKRT about;
    EXPECT_EQ(about.parentWidget(), nullptr);
  }
  TfRVHelp::ShowHelp(TfRVHelp::kDirectoryHelp);
  EXPECT_EQ(TfRVHelp::Current()->parentWidget(), nullptr);
}

}  // namespace
