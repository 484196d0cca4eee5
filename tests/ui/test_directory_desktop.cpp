// The main window as a desktop program: an application window, keyboard
// paths to every command, input-method text, accessible names, bars that
// never break the window, readable colours on a dark palette, and section
// exchange through files.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <memory>
#include <string>
#include <vector>

#include "WindowBookTest.h"
#include "DirectoryWindowProbe.h"
#include "TestSupport.h"
#include "uDBDirectory.h"
#include "uDesktop.h"
#include "uElidedLabel.h"
#include "uGlobals.h"
#include "uText.h"
#include "uThemeColors.h"
#include "udmRes.h"
#include "ufDirectory.h"
#include "ufRVHelp.h"

void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

class DirectoryDesktop : public TWindowBookTest {
 protected:
  void SetUp() override {
    TWindowBookTest::SetUp();
    Folder = Put(0, "Папка", true, 100);
    Put(Folder, "Внутри", false, 100, "описание\r\nв две строки");
    Put(0, "Запись", false, 200);
  }

  std::string Focused() const { return FocusedInList(); }

  int32_t Folder = 0;
};

TEST_F(DirectoryDesktop, TheMainWindowIsAnApplicationWindowThatStaysOnTop) {
  Open();
  const Qt::WindowFlags flags = Window->windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Window);
  EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(Window.get());
  ASSERT_NE(accessible, nullptr);
  EXPECT_EQ(accessible->role(), QAccessible::Window);
}

TEST_F(DirectoryDesktop, KeypadEnterDoesWhatEnterDoes) {
  Open();
  Focus("Папка");
  QTest::keyClick(Probe().List(), Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(Probe().CurrentId(), Folder);
  Focus("Внутри");
  QGuiApplication::clipboard()->setText(QStringLiteral("до"));
  QTest::keyClick(Probe().List(), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Внутри"));
}

TEST_F(DirectoryDesktop, TextAnInputMethodCommitsFiltersLikeTypedLetters) {
  Put(0, "Жёлудь", false, 300);
  Open();
  QInputMethodEvent compose;
  compose.setCommitString(QStringLiteral("ж"));
  QCoreApplication::sendEvent(Probe().List(), &compose);
  EXPECT_EQ(Probe().Filter(), QStringLiteral("ж"));
  EXPECT_EQ(Focused(), "Жёлудь");
}

TEST_F(DirectoryDesktop, EveryControlHasAnAccessibleName) {
  Open();
  std::vector<QWidget*> controls = {Probe().List(), Probe().ChainLabel(), Probe().CountLabel(), Probe().FilterLabel()};
  for (QToolBar* bar : {Probe().MainToolBar(), Probe().StatusBar()}) {
    for (QToolButton* button : bar->findChildren<QToolButton*>()) {
      if (button->isVisible()) controls.push_back(button);
    }
  }
  for (QWidget* control : controls) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    ASSERT_NE(accessible, nullptr);
    EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
        << control->metaObject()->className() << " " << control->objectName().toStdString();
  }
}

TEST_F(DirectoryDesktop, TheContextMenuAndTheBarsReachTheExport) {
  Open();
  Focus("Запись");
  // Shift+F10 opens the list's commands with their keys shown.
  QStringList items;
  QTimer::singleShot(0, Window.get(), [&items] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* action : menu->actions()) items << action->text();
    menu->close();
  });
  QTest::keyClick(Probe().List(), Qt::Key_F10, Qt::ShiftModifier);
  EXPECT_TRUE(items.contains(QStringLiteral("Экспорт в буфер обмена")));
  EXPECT_TRUE(items.contains(QStringLiteral("Копировать")));
  Window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
  Probe().List()->setFocus();

  // F10, then the arrows to the exchange button, Down, and the first item.
  QTest::keyClick(Probe().List(), Qt::Key_F10);
  QWidget* focused = QApplication::focusWidget();
  ASSERT_NE(qobject_cast<QToolButton*>(focused), nullptr) << "F10 goes to the toolbar";
  QWidget* exchange = Window->findChild<QToolButton*>(QStringLiteral("btnExchange"));
  for (int step = 0; step < 40 && QApplication::focusWidget() != exchange; ++step)
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
  ASSERT_EQ(QApplication::focusWidget(), exchange);
  QGuiApplication::clipboard()->setText(QStringLiteral("до"));
  QTimer::singleShot(0, Window.get(), [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
  });
  QTest::keyClick(exchange, Qt::Key_Down);
  QTRY_VERIFY2_WITH_TIMEOUT(!Messages.Shown.empty(), "the export ran", 2000);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            "#ZORVANA-DIRECTORY-EXCHANGE#\r\nЗапись\t200\t0\t0\t\r\n");
}

TEST_F(DirectoryDesktop, LongTitlesAndChainsNeverHideTheFilterOrWidenTheWindow) {
  Open();
  const int width = Window->width();
  // A chain of five folders of 60 characters each.
  auto title = [](int level) { return "Папка с длинным названием уровня " + std::to_string(level) + std::string(26, 'z'); };
  int32_t parent = 0;
  for (int level = 0; level < 5; ++level) parent = Put(parent, title(level), true, 100);
  Put(parent, std::string(200, 'W'), false, 100);
  Open();
  for (int level = 0; level < 5; ++level) {
    Focus(title(level));
    Probe().Action("actEnterToChilds")->trigger();
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(Window->width(), width) << "the chain shortens instead";
  auto* chain = static_cast<TElidedLabel*>(Probe().ChainLabel());
  EXPECT_NE(chain->ShownText(), chain->text());
  EXPECT_TRUE(chain->ShownText().endsWith(QStringLiteral("zzz"))) << "the end of the chain stays in view";

  Focus(std::string(200, 'W'));
  Probe().Action("actCopyToClipboard")->trigger();
  QTest::sendKeyEvent(QTest::Click, Probe().List(), Qt::Key_W, QStringLiteral("W"), Qt::NoModifier);
  QCoreApplication::processEvents();
  QLabel* filter = Probe().FilterLabel();
  EXPECT_TRUE(filter->isVisible()) << "the filter label never moves off the bar";
  EXPECT_GT(filter->width(), 0);
  EXPECT_LE(Window->width(), Window->screen()->availableGeometry().width());
}

TEST_F(DirectoryDesktop, DarkPaletteKeepsTheListAndLabelsReadable) {
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(40, 40, 40));
  dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
  dark.setColor(QPalette::Base, QColor(30, 30, 30));
  dark.setColor(QPalette::AlternateBase, QColor(45, 45, 45));
  dark.setColor(QPalette::Text, QColor(235, 235, 235));
  dark.setColor(QPalette::Button, QColor(50, 50, 50));
  dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
  dark.setColor(QPalette::Highlight, QColor(0, 90, 160));  // the theme's own selection
  dark.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
  const QPalette previous = QApplication::palette();
  QApplication::setPalette(dark);
  Open();
  Focus("Папка");
  Probe().Action("actEnterToChilds")->trigger();
  QTest::sendKeyEvent(QTest::Click, Probe().List(), Qt::Key_D, QStringLiteral("в"), Qt::NoModifier);
  QCoreApplication::processEvents();
  const TThemeColors colors = ThemeColors(Window->palette());
  EXPECT_TRUE(colors.Dark);
  // Every row's text against its own background, as painted.
  const QImage picture = Probe().List()->viewport()->grab().toImage();
  for (int row = 0; row < Probe().List()->RowCount(); ++row) {
    const QRect rect = Probe().List()->visualRect(Probe().List()->model()->index(row, 0));
    if (!rect.isValid()) continue;
    const QColor background = picture.pixelColor(rect.right() - 2, rect.center().y());
    const bool selected = Probe().List()->selectionModel()->isRowSelected(row, QModelIndex());
    const QColor text = Window->palette().color(selected ? QPalette::HighlightedText : QPalette::Text);
    EXPECT_GE(ContrastRatio(text, background), 4.5) << row << " " << text.name().toStdString() << " on " << background.name().toStdString();
  }
  for (QLabel* label : {Probe().ChainLabel(), Probe().FilterLabel()}) {
    const QColor text = label->palette().color(label->foregroundRole());
    const QColor background = label->grab().toImage().pixelColor(1, 1);
    EXPECT_GE(ContrastRatio(text, background), 4.5)
        << label->objectName().toStdString() << " " << text.name().toStdString() << " on " << background.name().toStdString();
  }
  Window.reset();
  QApplication::setPalette(previous);
}

TEST_F(DirectoryDesktop, SectionsTravelThroughFilesInUtf8AndWindows1251) {
  TTempDir files;
  Open();
  Focus("Папка");
  const std::string path = files.File("раздел.txt");
  SetFileChooser([&path](TFileChoice, const QString&) { return QString::fromStdString(path); });
  Probe().Action("actExportFile")->trigger();
  ASSERT_EQ(Messages.Shown.size(), 1u);
  EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Information) << Messages.Shown[0].Text;
  const std::string written = ReadFile(path);
  EXPECT_EQ(written,
            "#ZORVANA-DIRECTORY-EXCHANGE#\r\nПапка\t100\t0\t1\t\r\n\tВнутри\t100\t0\t0\t\"описание\r\nв две строки\"\r\n");

  // Into the same book's other place, and from a Windows-1251 file.
  Focus("Запись");
  Messages.Shown.clear();
  Probe().Action("actImportFile")->trigger();
  ASSERT_EQ(Messages.Shown.size(), 2u);
  EXPECT_NE(Messages.Shown[1].Text.find("Импортировано записей: 2"), std::string::npos) << Messages.Shown[1].Text;

  WriteFile(path, Utf8ToWin1251("#ZORVANA-DIRECTORY-EXCHANGE#\r\nИз старой программы\t10\t0\t0\tёлка\r\n"));
  Messages.Shown.clear();
  Probe().Action("actImportFile")->trigger();
  ASSERT_EQ(Messages.Shown.size(), 2u);
  bool found = false;
  for (const auto& entry : Probe().Entries()) {
    if (entry->Title == "Из старой программы") found = entry->Description == "ёлка";
  }
  EXPECT_TRUE(found) << "the Windows-1251 file reads as written";

  // A missing file is named, and nothing is imported.
  SetFileChooser([&files](TFileChoice, const QString&) { return QString::fromStdString(files.File("нет.txt")); });
  Messages.Shown.clear();
  Probe().Action("actImportFile")->trigger();
  ASSERT_EQ(Messages.Shown.size(), 1u);
  EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Error);
  EXPECT_NE(Messages.Shown[0].Text.find("нет.txt"), std::string::npos) << Messages.Shown[0].Text;
}

}  // namespace
