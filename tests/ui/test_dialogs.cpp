// The base dialog and the entry editor on real widgets: keys, results,
// what LoadData and SaveData carry between the window and the entry.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

#include "TestSupport.h"
#include "uDirectory.h"
#include "uGlobals.h"
#include "ufDirectoryParams.h"
#include "ufSimpleDialog.h"

// Readable failure messages for texts of the window.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

// The description field's text as typed: paragraphs joined by "\n", every
// other character as it is (toPlainText() would turn no-break spaces into
// plain ones).
QString FieldText(const QPlainTextEdit* field) {
  return field->document()->toRawText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

// A base dialog that counts its LoadData and SaveData calls and can fail
// in SaveData.
class TCountingDialog : public TfSimpleDialog {
 public:
  int Loads = 0;
  int Saves = 0;
  bool FailSave = false;

 protected:
  void LoadData() override { ++Loads; }
  void SaveData() override {
    ++Saves;
    if (FailSave) throw std::runtime_error("сбой записи");
  }
};

bool ShowAndActivate(QWidget* window) {
  window->show();
  window->activateWindow();
  return QTest::qWaitForWindowActive(window);
}

class SimpleDialogTest : public ::testing::Test {
 protected:
  std::unique_ptr<TCountingDialog> Dialog = std::make_unique<TCountingDialog>();
};

TEST_F(SimpleDialogTest, OkSavesAndAcceptsCancelOnlyRejects) {
  ASSERT_TRUE(ShowAndActivate(Dialog.get()));
  QTest::mouseClick(Dialog->btnCancel, Qt::LeftButton);
  EXPECT_FALSE(Dialog->isVisible());
  EXPECT_EQ(Dialog->result(), QDialog::Rejected);
  EXPECT_EQ(Dialog->Saves, 0);

  ASSERT_TRUE(ShowAndActivate(Dialog.get()));
  QTest::mouseClick(Dialog->btnOk, Qt::LeftButton);
  EXPECT_FALSE(Dialog->isVisible());
  EXPECT_EQ(Dialog->result(), QDialog::Accepted);
  EXPECT_EQ(Dialog->Saves, 1);
  EXPECT_EQ(Dialog->Loads, 2) << "LoadData runs at every showing";
}

TEST_F(SimpleDialogTest, FailedSaveStillClosesWithOkAndReportsTheError) {
  TMessageRecorder messages;
  Dialog->FailSave = true;
  ASSERT_TRUE(ShowAndActivate(Dialog.get()));
  QTest::mouseClick(Dialog->btnOk, Qt::LeftButton);
  EXPECT_FALSE(Dialog->isVisible());
  EXPECT_EQ(Dialog->result(), QDialog::Accepted);
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_EQ(messages.Shown[0].Kind, TMsgKind::Error);
  EXPECT_EQ(messages.Shown[0].Text, "сбой записи");
}

TEST_F(SimpleDialogTest, ButtonsKeepToTheBottomCornersAsTheWindowGrows) {
  Dialog->resize(400, 300);
  ASSERT_TRUE(ShowAndActivate(Dialog.get()));
  for (QSize size : {QSize(400, 300), QSize(640, 480)}) {
    SCOPED_TRACE(size.width());
    Dialog->resize(size);
    QApplication::processEvents();
    const QRect group = Dialog->grp->geometry();
    const QRect ok = Dialog->btnOk->geometry();
    const QRect cancel = Dialog->btnCancel->geometry();
    EXPECT_EQ(group.topLeft(), QPoint(8, 8));
    EXPECT_EQ(size.width() - 1 - group.right(), 8);
    EXPECT_EQ(ok.size(), QSize(75, 25));
    EXPECT_EQ(cancel.size(), QSize(75, 25));
    EXPECT_EQ(ok.left(), group.left());
    EXPECT_EQ(cancel.right(), group.right());
    EXPECT_GT(ok.top(), group.bottom());
    EXPECT_EQ(ok.top(), cancel.top());
    EXPECT_LE(size.height() - 1 - ok.bottom(), 16) << "buttons stay at the bottom";
  }
  EXPECT_TRUE(Dialog->btnOk->isDefault());
  EXPECT_EQ(Dialog->btnOk->text(), QStringLiteral("ОК"));
  EXPECT_EQ(Dialog->btnCancel->text(), QStringLiteral("Отмена"));
}

// The entry editor on an entry whose every field is set.
class DirectoryParamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Entry.Id = 7;
    Entry.IdParent = 3;
    Entry.OrderPosition = 300;
    Entry.Flags = 5;
    Entry.Childs = 2;
    Entry.Changed = true;
    Entry.IsFolder = false;
    Entry.Title = "Адрес";
    Entry.Description = "строка 1\r\nстрока 2";
  }
  void TearDown() override { ResetGlobals(); }

  TfDirectoryParams* Open() {
    Dialog = std::make_unique<TfDirectoryParams>();
    Dialog->SetDirectory(&Entry);
    EXPECT_TRUE(ShowAndActivate(Dialog.get()));
    return Dialog.get();
  }
  void PressOk() { QTest::keyClick(Dialog->eTitle, Qt::Key_Return); }

  TDirectory Entry;
  std::unique_ptr<TfDirectoryParams> Dialog;
};

TEST_F(DirectoryParamsTest, OpensWithTheEntryAndTheTitleFocused) {
  TfDirectoryParams* d = Open();
  EXPECT_EQ(d->windowTitle(), QStringLiteral("Реквизиты: Адрес"));
  EXPECT_EQ(d->eTitle->text(), QStringLiteral("Адрес"));
  EXPECT_EQ(d->eDesc->toPlainText(), QStringLiteral("строка 1\nстрока 2"));
  EXPECT_FALSE(d->cbIsFolder->isChecked());
  EXPECT_EQ(QApplication::focusWidget(), d->eTitle);
  EXPECT_EQ(d->lblTitle->text(), QStringLiteral("Название"));
  EXPECT_EQ(d->lblDesc->text(), QStringLiteral("Описание"));
  EXPECT_EQ(d->cbIsFolder->text(), QStringLiteral("Папка"));
  EXPECT_EQ(d->size(), QSize(484, 418));
}

TEST_F(DirectoryParamsTest, NewEntryOpensEmptyWithTheFolderFlagAsGiven) {
  for (bool folder : {false, true}) {
    SCOPED_TRACE(folder);
    Entry = TDirectory();
    Entry.Id = 42;
    Entry.IsFolder = folder;
    TfDirectoryParams* d = Open();
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Реквизиты: "));
    EXPECT_TRUE(d->eTitle->text().isEmpty());
    EXPECT_TRUE(d->eDesc->toPlainText().isEmpty());
    EXPECT_EQ(d->cbIsFolder->isChecked(), folder);
  }
}

TEST_F(DirectoryParamsTest, FontSizeFollowsTheSetting) {
  Globals().FontSize = 14;
  EXPECT_EQ(Open()->font().pointSize(), 14);
}

TEST_F(DirectoryParamsTest, CaptionKeepsTheTitleTheDialogOpenedWith) {
  TfDirectoryParams* d = Open();
  d->eTitle->selectAll();
  QTest::keyClicks(d->eTitle, QStringLiteral("New title"));
  EXPECT_EQ(d->windowTitle(), QStringLiteral("Реквизиты: Адрес"));
  PressOk();
  EXPECT_EQ(Entry.Title, "New title");
}

TEST_F(DirectoryParamsTest, KeysThatEndTheDialog) {
  struct TCase {
    const char* Name;
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    bool InDescription;  // else the title field has the focus
    bool Ends;
    QDialog::DialogCode Result;
  };
  const TCase cases[] = {
      {"Ctrl+W", Qt::Key_W, Qt::ControlModifier, false, true, QDialog::Rejected},
      {"Ctrl+W in the description", Qt::Key_W, Qt::ControlModifier, true, true, QDialog::Rejected},
      {"Ctrl+Shift+W", Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier, false, false, {}},
      {"Ctrl+Alt+W", Qt::Key_W, Qt::ControlModifier | Qt::AltModifier, false, false, {}},
      {"Esc", Qt::Key_Escape, Qt::NoModifier, false, true, QDialog::Rejected},
      {"Esc in the description", Qt::Key_Escape, Qt::NoModifier, true, true, QDialog::Rejected},
      {"Enter", Qt::Key_Return, Qt::NoModifier, false, true, QDialog::Accepted},
      {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, false, true, QDialog::Accepted},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    SetUp();
    TfDirectoryParams* d = Open();
    QWidget* target = c.InDescription ? static_cast<QWidget*>(d->eDesc) : d->eTitle;
    target->setFocus();
    d->eTitle->setText(QStringLiteral("правка"));
    QTest::keyClick(target, c.Key, c.Modifiers);

    EXPECT_EQ(d->isVisible(), !c.Ends);
    if (c.Ends) {
      EXPECT_EQ(d->result(), c.Result);
    }
    // SaveData runs on OK alone.
    EXPECT_EQ(Entry.Title, c.Ends && c.Result == QDialog::Accepted ? "правка" : "Адрес");
  }
}

TEST_F(DirectoryParamsTest, EnterInTheDescriptionStartsANewLine) {
  TfDirectoryParams* d = Open();
  d->eDesc->setPlainText(QString());
  d->eDesc->setFocus();
  QTest::keyClicks(d->eDesc, QStringLiteral("one"));
  QTest::keyClick(d->eDesc, Qt::Key_Return);
  QTest::keyClicks(d->eDesc, QStringLiteral("two"));
  QTest::keyClick(d->eDesc, Qt::Key_Return);
  QTest::keyClicks(d->eDesc, QStringLiteral("three"));
  EXPECT_TRUE(d->isVisible());

  QTest::mouseClick(d->btnOk, Qt::LeftButton);
  EXPECT_EQ(d->result(), QDialog::Accepted);
  EXPECT_EQ(Entry.Description, "one\r\ntwo\r\nthree");
}

TEST_F(DirectoryParamsTest, DescriptionLineBreaksBecomeCrLf) {
  struct TCase {
    const char* Stored;
    const char* Shown;
    const char* Saved;
  };
  const TCase cases[] = {
      {"a\r\nb\r\nc", "a\nb\nc", "a\r\nb\r\nc"},
      {"a\rb", "a\nb", "a\r\nb"},
      {"a\nb", "a\nb", "a\r\nb"},
      {"a\r\n\r\nb\r\n", "a\n\nb\n", "a\r\n\r\nb\r\n"},
      {"\xC2\xA0no-break\xC2\xA0", "\u00A0no-break\u00A0", "\xC2\xA0no-break\xC2\xA0"},
      {"", "", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Stored);
    Entry.Description = c.Stored;
    TfDirectoryParams* d = Open();
    EXPECT_EQ(FieldText(d->eDesc), QString::fromUtf8(c.Shown));
    PressOk();
    EXPECT_EQ(Entry.Description, c.Saved);
  }
}

TEST_F(DirectoryParamsTest, ShiftEnterLineBreakIsSavedAsCrLf) {
  TfDirectoryParams* d = Open();
  d->eDesc->setPlainText(QStringLiteral("a"));
  d->eDesc->setFocus();
  d->eDesc->moveCursor(QTextCursor::End);
  QTest::keyClick(d->eDesc, Qt::Key_Return, Qt::ShiftModifier);
  QTest::keyClicks(d->eDesc, QStringLiteral("b"));
  PressOk();
  EXPECT_EQ(Entry.Description, "a\r\nb");
}

TEST_F(DirectoryParamsTest, NothingIsTrimmedOrRefused) {
  struct TCase {
    const char* Title;
    const char* Description;
  };
  const TCase cases[] = {{"   ", "  x  "}, {"", ""}, {" a ", "\r\n"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string("[") + c.Title + "]");
    TfDirectoryParams* d = Open();
    d->eTitle->setText(QString::fromUtf8(c.Title));
    d->eDesc->setPlainText(
        QString::fromUtf8(c.Description).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    PressOk();
    EXPECT_EQ(d->result(), QDialog::Accepted);
    EXPECT_EQ(Entry.Title, c.Title);
    EXPECT_EQ(Entry.Description, c.Description);
  }
}

TEST_F(DirectoryParamsTest, FolderFlagChangesBothWays) {
  for (bool folder : {false, true}) {
    SCOPED_TRACE(folder);
    Entry.IsFolder = folder;
    Entry.Childs = folder ? 3 : 0;  // a folder with children may become a record
    TfDirectoryParams* d = Open();
    EXPECT_EQ(d->cbIsFolder->isChecked(), folder);
    d->cbIsFolder->setFocus();
    QTest::keyClick(d->cbIsFolder, Qt::Key_Space);
    QTest::mouseClick(d->btnOk, Qt::LeftButton);
    EXPECT_EQ(Entry.IsFolder, !folder);
  }
}

TEST_F(DirectoryParamsTest, SaveTouchesOnlyTitleDescriptionAndFolderFlag) {
  const TDirectory before = Entry;
  TfDirectoryParams* d = Open();
  d->eTitle->setText(QStringLiteral("T"));
  d->eDesc->setPlainText(QStringLiteral("D"));
  d->cbIsFolder->setChecked(true);
  PressOk();
  EXPECT_EQ(Entry.Title, "T");
  EXPECT_EQ(Entry.Description, "D");
  EXPECT_TRUE(Entry.IsFolder);
  EXPECT_EQ(Entry.Id, before.Id);
  EXPECT_EQ(Entry.IdParent, before.IdParent);
  EXPECT_EQ(Entry.OrderPosition, before.OrderPosition);
  EXPECT_EQ(Entry.Flags, before.Flags);
  EXPECT_EQ(Entry.Childs, before.Childs);
  EXPECT_EQ(Entry.Changed, before.Changed);
}

TEST_F(DirectoryParamsTest, TabGoesTitleDescriptionFolderOkCancel) {
  TfDirectoryParams* d = Open();
  const QWidget* expected[] = {d->eDesc, d->cbIsFolder, d->btnOk, d->btnCancel, d->eTitle};
  for (const QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
  }
}

TEST_F(DirectoryParamsTest, CloseBoxEndsAsCancel) {
  TfDirectoryParams* d = Open();
  d->eTitle->setText(QStringLiteral("правка"));
  d->close();
  EXPECT_EQ(d->result(), QDialog::Rejected);
  EXPECT_EQ(Entry.Title, "Адрес");
}

// The way the main window uses it: modal, ended by the user.
TEST_F(DirectoryParamsTest, ModalRunEndsWithOk) {
  TfDirectoryParams dialog;
  dialog.SetDirectory(&Entry);
  // Should the dialog not be found, the guard ends the loop as Cancel.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, &dialog, &QDialog::reject);
  guard.start(5000);
  QTimer::singleShot(0, [] {
    auto* modal = qobject_cast<TfDirectoryParams*>(QApplication::activeModalWidget());
    if (!modal) return;
    modal->eTitle->setText(QStringLiteral("из модального"));
    QTest::keyClick(modal->eTitle, Qt::Key_Return);
  });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_EQ(Entry.Title, "из модального");
}

}  // namespace
