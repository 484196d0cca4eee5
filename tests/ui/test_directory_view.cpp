// The main window on a real reference book: loading a folder, walking into
// folders and back, the chain and count labels, the type-ahead filter, row
// texts, tooltips, fonts, stripes and heights, the two display toggles, the
// font size, placement and closing.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "BookTest.h"
#include "TestSupport.h"
#include "uDBDirectory.h"
#include "uDirectory.h"
#include "uGlobals.h"
#include "uSpTBXUtils.h"
#include "uVTVUtils.h"
#include "udmRes.h"
#include "DirectoryWindowProbe.h"
#include "ufDirectory.h"
#include "ufRVHelp.h"

// Readable failure messages for texts of the window.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

using TTexts = std::vector<QString>;

const QColor kCream(255, 251, 240);
const QString kNone = QStringLiteral("<нет>");

// A fresh book made the shared database, the icon module, settings that
// point into the book's folder, and the main window on top of them.
class DirectoryView : public TBookTest {
 protected:
  void SetUp() override {
    ResetGlobals();
    ComputeLocations(Book.Dir().File("zorvana-directory"));
    Globals().DBFile = Book.Path();
    Globals().IsFirstStart = false;
    TBookTest::SetUp();
    dmRes = &Res;
  }

  void TearDown() override {
    Window.reset();
    TfRVHelp::DestroyHelp();
    dmRes = nullptr;
    TBookTest::TearDown();
    ResetGlobals();
  }

  // Stores an entry below parent (0: the top level); positions grow with
  // every entry unless one is given.
  int32_t Put(int32_t parent, const std::string& title, bool folder = false, const std::string& description = "",
              int32_t position = 0) {
    TDirectory entry;
    entry.Id = ++FLastId;
    entry.IdParent = parent;
    entry.Title = title;
    entry.IsFolder = folder;
    entry.Description = description;
    entry.OrderPosition = position ? position : FLastId * 100;
    EXPECT_TRUE(TDBDirectorySaveCmd::Run(&entry)) << title;
    return entry.Id;
  }

  // Creates the window the way start-up does, shows it and gives the list
  // the keyboard focus.
  TfDirectory& Open() {
    Window.reset();
    Window = std::make_unique<TfDirectory>(dmDB);
    Window->ShowDirectory();
    Window->show();
    Window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    Probe().List()->setFocus();
    return *Window;
  }

  TVirtualList* List() const { return Probe().List(); }

  TTexts Rows(bool visibleOnly = false) const {
    TTexts texts;
    for (int row = List()->FirstNode(); row != kNoNode; row = List()->NextNode(row))
      if (!visibleOnly || List()->IsVisibleNode(row)) texts.push_back(Probe().RowText(row));
    return texts;
  }
  TTexts VisibleRows() const { return Rows(true); }

  QString Focused() const {
    const int row = List()->FocusedNode();
    return row == kNoNode ? kNone : Probe().RowText(row);
  }

  int RowOf(const QString& text) const {
    for (int row = List()->FirstNode(); row != kNoNode; row = List()->NextNode(row))
      if (Probe().RowText(row) == text) return row;
    ADD_FAILURE() << "no row " << text.toStdString();
    return kNoNode;
  }

  QPoint RowCentre(const QString& text) const {
    return List()->visualRect(List()->model()->index(RowOf(text), 0)).center();
  }

  void Click(const QString& text) { QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, RowCentre(text)); }
  void DoubleClick(const QString& text) {
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, RowCentre(text));
  }

  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(List(), key, modifiers);
  }

  // Types text into the list one character at a time, Cyrillic included.
  void Type(const QString& text) {
    for (QChar c : text)
      QTest::sendKeyEvent(QTest::Click, List(), static_cast<Qt::Key>(c.toUpper().unicode()), QString(c),
                          Qt::NoModifier);
  }

  bool CanLeave() const { return Probe().Action(QStringLiteral("actEscapeToParent"))->isEnabled(); }

  // Where the window stands: the folder, its rows, the focused row and the
  // three labels.
  void ExpectFolder(int32_t id, const TTexts& rows, const QString& focused, int count, const QString& chain) {
    EXPECT_EQ(Probe().CurrentId(), id);
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(VisibleRows(), rows);
    EXPECT_EQ(Focused(), focused);
    if (List()->FocusedNode() == kNoNode)
      EXPECT_TRUE(List()->SelectedNodes().empty());
    else
      EXPECT_EQ(List()->SelectedNodes(), std::vector<int>{List()->FocusedNode()});
    EXPECT_EQ(Probe().CountLabel()->text(), QStringLiteral("Кол-во: %1").arg(count));
    EXPECT_EQ(Probe().ChainLabel()->text(), chain);
    EXPECT_EQ(Probe().ChainBar()->isVisible(), !chain.isEmpty());
    EXPECT_EQ(QString::fromStdString(Probe().Chain().ChainText(true)), chain);
    EXPECT_EQ(Probe().Filter(), QString());
    EXPECT_EQ(Probe().FilterLabel()->text(), QString());
    EXPECT_EQ(CanLeave(), id != 0);
  }

  TdmRes Res;
  TMessageRecorder Messages;
  std::unique_ptr<TfDirectory> Window;
  TDirectoryWindowProbe Probe() const { return TDirectoryWindowProbe(*Window); }

 private:
  int32_t FLastId = 0;
};

// --- folder view and navigation --------------------------------------------------------

TEST_F(DirectoryView, EmptyRootShowsNoRowsNoFocusAndNoChain) {
  Open();
  ExpectFolder(0, {}, kNone, 0, QString());
  EXPECT_TRUE(Probe().ChainBar()->isHidden());

  // Backspace reaches the empty filter; Enter has nothing to enter.
  Key(Qt::Key_Backspace);
  Key(Qt::Key_Return);
  ExpectFolder(0, {}, kNone, 0, QString());
  EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(DirectoryView, RootListsFoldersFirstThenRecordsEachByPosition) {
  const int32_t second = Put(0, "Вторая папка", true, "", 300);
  Put(0, "Запись Б", false, "", 200);
  Put(0, "Запись А", false, "", 50);
  Put(0, "Первая папка", true, "", 100);
  Put(second, "внутри 1");
  Put(second, "внутри 2", true);

  Open();
  ExpectFolder(0, {"Первая папка (0)", "Вторая папка (2)", "Запись А", "Запись Б"}, "Первая папка (0)", 4, "");

  // Inside a folder the up row leads the same order.
  Click("Вторая папка (2)");
  Key(Qt::Key_Return);
  ExpectFolder(second, {"...", "внутри 2 (0)", "внутри 1"}, "...", 2, "\\Вторая папка");
}

// The ways in and out of a folder: keys, their second shortcuts, double
// clicks, the toolbar actions and the up row.
struct TWayCase {
  const char* What;
  std::function<void(const QString& folder)> Enter;
  std::function<void()> Leave;
};

TEST_F(DirectoryView, EnteringAndLeavingFollowTheChainAndFocusTheFolderLeft) {
  const int32_t a = Put(0, "Архив", true);
  const int32_t b = Put(a, "Бумаги", true);
  Put(a, "Записка");
  Put(0, "Входящие", true);
  Put(0, "Телефон");

  auto press = [this](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    return [this, key, modifiers] { Key(key, modifiers); };
  };
  auto trigger = [this](const char* action) {
    return [this, action] { Probe().Action(QString::fromLatin1(action))->trigger(); };
  };
  auto clickThen = [this](std::function<void()> then) {
    return [this, then](const QString& folder) {
      Click(folder);
      then();
    };
  };
  const TWayCase ways[] = {
      {"Enter, then Backspace", clickThen(press(Qt::Key_Return)), press(Qt::Key_Backspace)},
      {"Ctrl+PgDn, then Ctrl+PgUp", clickThen(press(Qt::Key_PageDown, Qt::ControlModifier)),
       press(Qt::Key_PageUp, Qt::ControlModifier)},
      {"double click, then double click on the up row", [this](const QString& folder) { DoubleClick(folder); },
       [this] { DoubleClick("..."); }},
      {"the action, then Enter on the up row", clickThen(trigger("actEnterToChilds")),
       [this] {
         Click("...");
         Key(Qt::Key_Return);
       }},
      {"the actions both ways", clickThen(trigger("actEnterToChilds")), trigger("actEscapeToParent")},
  };
  const TTexts root = {"Архив (2)", "Входящие (0)", "Телефон"};
  const TTexts inA = {"...", "Бумаги (0)", "Записка"};
  for (const TWayCase& way : ways) {
    SCOPED_TRACE(way.What);
    Open();
    ExpectFolder(0, root, "Архив (2)", 3, "");

    way.Enter("Архив (2)");
    ExpectFolder(a, inA, "...", 2, "\\Архив");
    EXPECT_EQ(Probe().CurrentFolder().Title, "Архив");

    way.Enter("Бумаги (0)");
    ExpectFolder(b, {"..."}, "...", 0, "\\Архив\\Бумаги");
    EXPECT_EQ(Probe().Chain().Count(), 2);

    way.Leave();
    ExpectFolder(a, inA, "Бумаги (0)", 2, "\\Архив");

    way.Leave();
    ExpectFolder(0, root, "Архив (2)", 3, "");
    EXPECT_TRUE(Probe().ChainBar()->isHidden());
    EXPECT_EQ(Probe().Chain().Count(), 0);
    EXPECT_EQ(Probe().CurrentFolder().Id, 0);
  }
  EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(DirectoryView, RecordsAreNotEnteredAndTheRootIsNotLeft) {
  const int32_t a = Put(0, "Папка", true);
  Put(a, "Внутри");
  Put(0, "Запись");
  Open();

  Click("Запись");
  Key(Qt::Key_Return);
  Key(Qt::Key_Backspace);
  Probe().Action("actEscapeToParent")->trigger();
  ExpectFolder(0, {"Папка (1)", "Запись"}, "Запись", 2, "");
}

TEST_F(DirectoryView, LeavingAFolderWhoseRowIsGoneShowsTheRoot) {
  const int32_t a = Put(0, "Верхняя", true);
  const int32_t b = Put(a, "Исчезающая", true);
  Put(0, "Соседняя");
  Open();
  Click("Верхняя (1)");
  Key(Qt::Key_Return);
  Click("Исчезающая (0)");
  Key(Qt::Key_Return);
  ASSERT_EQ(Probe().CurrentId(), b);

  // Another program takes the folder shown away.
  Sql("DELETE FROM directory WHERE idd = " + std::to_string(b));
  Key(Qt::Key_Backspace);
  ExpectFolder(0, {"Верхняя (0)", "Соседняя"}, "Верхняя (0)", 2, "");
  EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(DirectoryView, StoredEntriesTitledLikeTheUpRowAreCountedFilteredLikeItAndEntered) {
  const int32_t a = Put(0, "Раздел", true);
  const int32_t dotsFolder = Put(a, "...", true);
  Put(dotsFolder, "Глубже");
  Put(a, "...");
  Put(a, "Обычная");
  const int32_t rootDots = Put(0, "...", true);
  Put(0, "Ещё");

  Open();
  // At the root the stored "..." folder is a real entry: counted, entered.
  ExpectFolder(0, {"Раздел (3)", "...", "Ещё"}, "Раздел (3)", 3, "");
  Type("zz");
  EXPECT_EQ(VisibleRows(), (TTexts{"..."}));
  EXPECT_EQ(Probe().CountLabel()->text(), "Кол-во: 3");
  Key(Qt::Key_Escape);
  Click("...");
  Key(Qt::Key_Return);
  ExpectFolder(rootDots, {"..."}, "...", 0, "\\...");
  Key(Qt::Key_Backspace);
  ExpectFolder(0, {"Раздел (3)", "...", "Ещё"}, "...", 3, "");

  Click("Раздел (3)");
  Key(Qt::Key_Return);
  ExpectFolder(a, {"...", "...", "...", "Обычная"}, "...", 3, "\\Раздел");

  // Never hidden by a filter, however little else matches.
  Type("обыч");
  EXPECT_EQ(VisibleRows(), (TTexts{"...", "...", "...", "Обычная"}));
  EXPECT_EQ(Focused(), "Обычная");
  Type("x");
  EXPECT_EQ(VisibleRows(), (TTexts{"...", "...", "..."}));
  EXPECT_EQ(Probe().CountLabel()->text(), "Кол-во: 3");
  Key(Qt::Key_Escape);

  // The stored folder compares by id, so Enter goes in rather than up.
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, List()->visualRect(List()->model()->index(1, 0)).center());
  ASSERT_EQ(List()->FocusedNode(), 1);
  Key(Qt::Key_Return);
  ExpectFolder(dotsFolder, {"...", "Глубже"}, "...", 1, "\\Раздел\\...");
  Key(Qt::Key_Backspace);
  EXPECT_EQ(Probe().CurrentId(), a);
  EXPECT_EQ(List()->FocusedNode(), 1);
  EXPECT_EQ(TVTV::GetFocusedObject(List())->Id, dotsFolder);
}

// --- the filter -----------------------------------------------------------------------------

// A folder "Книга" of six entries under the up row:
//   Счета (3)  Договоры (0)  Акт сверки  Счет-фактура  Письмо 3 (копия)  Latin abc
class DirectoryFilter : public DirectoryView {
 protected:
  void SetUp() override {
    DirectoryView::SetUp();
    BookId = Put(0, "Книга", true);
    const int32_t bills = Put(BookId, "Счета", true);
    Put(bills, "один");
    Put(bills, "два");
    Put(bills, "три");
    Put(BookId, "Договоры", true);
    Put(BookId, "Акт сверки", false, "секрет");
    Put(BookId, "Счет-фактура");
    Put(BookId, "Письмо 3 (копия)");
    Put(BookId, "Latin abc");
    Put(0, "Другая");
  }

  void OpenBook() {
    Open();
    Click("Книга (6)");
    Key(Qt::Key_Return);
    ASSERT_EQ(Probe().CurrentId(), BookId);
  }

  void ExpectFilter(const QString& filter) {
    EXPECT_EQ(Probe().Filter(), filter);
    EXPECT_EQ(Probe().FilterLabel()->text(), filter.isEmpty() ? QString() : QStringLiteral("Фильтр: ") + filter);
    EXPECT_EQ(Probe().CountLabel()->text(), "Кол-во: 6");
    EXPECT_EQ(Probe().CurrentId(), BookId);
  }

  const TTexts All = {"...",        "Счета (3)",    "Договоры (0)",     "Акт сверки",
                      "Счет-фактура", "Письмо 3 (копия)", "Latin abc"};
  int32_t BookId = 0;
};

struct TFilterCase {
  const char* What;
  QString Typed;
  QString Filter;
  TTexts Visible;
  QString Focused;
};

TEST_F(DirectoryFilter, TypingNarrowsTheListToRowsWhoseTextHoldsTheFilter) {
  const TFilterCase cases[] = {
      {"Cyrillic in lower case", "счет", "счет", {"...", "Счета (3)", "Счет-фактура"}, "Счета (3)"},
      {"Cyrillic in upper case", "СЧЕТ", "СЧЕТ", {"...", "Счета (3)", "Счет-фактура"}, "Счета (3)"},
      {"Cyrillic in mixed case", "сЧеТ-Ф", "сЧеТ-Ф", {"...", "Счет-фактура"}, "Счет-фактура"},
      {"Latin in upper case", "ABC", "ABC", {"...", "Latin abc"}, "Latin abc"},
      {"a space", "т с", "т с", {"...", "Акт сверки"}, "Акт сверки"},
      {"an opening parenthesis keeps every folder",
       "(",
       "(",
       {"...", "Счета (3)", "Договоры (0)", "Письмо 3 (копия)"},
       "Счета (3)"},
      {"a digit matches child counts", "3", "3", {"...", "Счета (3)", "Письмо 3 (копия)"}, "Счета (3)"},
      {"a zero child count", "0", "0", {"...", "Договоры (0)"}, "Договоры (0)"},
      {"a count with its parentheses", "(0)", "(0)", {"...", "Договоры (0)"}, "Договоры (0)"},
      {"no match keeps the focus on a hidden row", "актz", "актz", {"..."}, "Акт сверки"},
      {"descriptions are not searched", "секрет", "секрет", {"..."}, "Счета (3)"},
      {"Ё is not taken", "Ё", "", All, "..."},
      {"ё is not taken", "ё", "", All, "..."},
      {"ё inside a word is dropped", "аё", "а", {"...", "Счета (3)", "Акт сверки", "Счет-фактура"}, "Счета (3)"},
      {"№ and € are not taken", "№€", "", All, "..."},
      {"a tab is not taken", "\t", "", All, "..."},
  };
  for (const TFilterCase& c : cases) {
    SCOPED_TRACE(c.What);
    OpenBook();
    ASSERT_EQ(Focused(), "...");
    Type(c.Typed);
    ExpectFilter(c.Filter);
    EXPECT_EQ(VisibleRows(), c.Visible);
    EXPECT_EQ(Rows(), All);
    EXPECT_EQ(Focused(), c.Focused);
    EXPECT_EQ(List()->SelectedCount(), 1);
  }
}

TEST_F(DirectoryFilter, BackspaceShortensTheFilterThenLeavesTheFolderThenDoesNothing) {
  OpenBook();
  Type("сч");
  ExpectFilter("сч");
  EXPECT_FALSE(CanLeave());

  Key(Qt::Key_Backspace);
  ExpectFilter("с");
  EXPECT_EQ(VisibleRows(), (TTexts{"...", "Счета (3)", "Акт сверки", "Счет-фактура", "Письмо 3 (копия)"}));

  // The last character goes without moving the focus and without leaving.
  Click("Акт сверки");
  Key(Qt::Key_Backspace);
  ExpectFilter("");
  EXPECT_EQ(VisibleRows(), All);
  EXPECT_EQ(Focused(), "Акт сверки");
  EXPECT_TRUE(CanLeave());

  Key(Qt::Key_Backspace);
  ExpectFolder(0, {"Книга (6)", "Другая"}, "Книга (6)", 2, "");

  Key(Qt::Key_Backspace);
  ExpectFolder(0, {"Книга (6)", "Другая"}, "Книга (6)", 2, "");

  // At the root Backspace edits a filter as well.
  Type("др");
  EXPECT_EQ(Probe().Filter(), "др");
  Key(Qt::Key_Backspace);
  EXPECT_EQ(Probe().Filter(), "д");
  EXPECT_EQ(Probe().CurrentId(), 0);
}

TEST_F(DirectoryFilter, EscapeClearsTheFilterAndNeverClosesTheWindow) {
  OpenBook();
  Click("Счет-фактура");
  Type("zzz");
  ExpectFilter("zzz");
  EXPECT_EQ(VisibleRows(), (TTexts{"..."}));

  Key(Qt::Key_Escape);
  ExpectFilter("");
  EXPECT_EQ(VisibleRows(), All);
  EXPECT_EQ(Focused(), "Счет-фактура");

  Key(Qt::Key_Escape);
  QTest::keyClick(Window.get(), Qt::Key_Escape);
  ExpectFilter("");
  EXPECT_EQ(VisibleRows(), All);
  EXPECT_EQ(Focused(), "Счет-фактура");
  EXPECT_TRUE(Window->isVisible());
}

TEST_F(DirectoryFilter, EnterOnARecordOrOnTheUpRowUnderAFilterChangesNothing) {
  OpenBook();
  // The up row stays focused while nothing matches.
  Type("zz");
  ASSERT_EQ(Focused(), "...");
  Key(Qt::Key_Return);
  Key(Qt::Key_PageDown, Qt::ControlModifier);
  DoubleClick("...");
  Probe().Action("actEnterToChilds")->trigger();
  Probe().Action("actEscapeToParent")->trigger();
  ExpectFilter("zz");
  EXPECT_EQ(VisibleRows(), (TTexts{"..."}));
  EXPECT_EQ(Focused(), "...");

  Key(Qt::Key_Escape);
  Click("Акт сверки");
  Key(Qt::Key_Return);
  ExpectFilter("");
  EXPECT_EQ(Focused(), "Акт сверки");

  Type("акт");
  Key(Qt::Key_Return);
  ExpectFilter("акт");
  EXPECT_EQ(Focused(), "Акт сверки");
  EXPECT_EQ(VisibleRows(), (TTexts{"...", "Акт сверки", "Счет-фактура"}));
}

TEST_F(DirectoryFilter, EnteringAMatchedFolderResetsTheFilter) {
  OpenBook();
  Type("сч");
  ASSERT_EQ(Focused(), "Счета (3)");
  Key(Qt::Key_Return);
  EXPECT_EQ(Probe().Filter(), QString());
  EXPECT_EQ(Probe().FilterLabel()->text(), QString());
  EXPECT_EQ(VisibleRows(), (TTexts{"...", "один", "два", "три"}));
  EXPECT_EQ(Probe().ChainLabel()->text(), "\\Книга\\Счета");
}

// --- row presentation ------------------------------------------------------------------------------

struct TRowCase {
  QString Text;
  QString Hint;
  bool Bold;
};

TEST_F(DirectoryView, RowsShowTitlesCountsTrimmedTooltipsAndBoldFolders) {
  const int32_t top = Put(0, "Верх", true);
  const int32_t folder = Put(top, "Папка", true, "Описание папки\r\n");
  Put(folder, "дитя");
  Put(top, "Запись");
  Put(top, "Строки", false, "первая\r\n\r\n  вторая\r\n");
  Put(top, "Пробелы", false, " \t \r\n ");
  Put(top, "  Отступ", false, "текст  ");
  Open();
  Click("Верх (5)");
  Key(Qt::Key_Return);

  const TRowCase cases[] = {
      {"...", "...", true},
      {"Папка (1)", "Папка\r\nОписание папки", true},
      {"Запись", "Запись", false},
      {"Строки", "Строки\r\nпервая\r\n\r\n  вторая", false},
      {"Пробелы", "Пробелы", false},
      {"  Отступ", "Отступ\r\nтекст", false},
  };
  ASSERT_EQ(List()->RowCount(), static_cast<int>(std::size(cases)));
  for (int row = 0; row < List()->RowCount(); ++row) {
    const TRowCase& c = cases[row];
    SCOPED_TRACE(c.Text.toStdString());
    EXPECT_EQ(Probe().RowText(row), c.Text);
    EXPECT_EQ(Probe().List()->OnGetHint(row), c.Hint);
    for (bool startBold : {false, true}) {
      QFont font = List()->font();
      font.setBold(startBold);
      Probe().List()->OnPaintText(row, font);
      EXPECT_EQ(font.bold(), c.Bold) << "from bold " << startBold;
    }
  }
  EXPECT_EQ(Probe().RowText(kNoNode), QString());
  EXPECT_EQ(Probe().List()->OnGetHint(kNoNode), QString());
}

// The colour in the middle of a cell of the given row, painted on its own.
QColor CellColour(const TfDirectory& window, int row, QColor* gridLine = nullptr) {
  QImage image(60, 20, QImage::Format_ARGB32);
  image.fill(Qt::black);
  {
    QPainter painter(&image);
    TDirectoryWindowProbe(window).List()->OnBeforeCellPaint(&painter, row, QRect(0, 0, 60, 20));
  }
  if (gridLine) *gridLine = image.pixelColor(30, 0);
  return image.pixelColor(30, 10);
}

TEST_F(DirectoryView, StripesFollowTheAbsoluteRowPositionAlsoUnderAFilter) {
  for (const char* title : {"ноль", "один", "два", "три", "четыре", "пять"}) Put(0, title);
  TfDirectory& window = Open();

  for (int row = 0; row < List()->RowCount(); ++row) {
    SCOPED_TRACE(row);
    QColor grid;
    EXPECT_EQ(CellColour(window, row, &grid), row % 2 ? kCream : QColor(Qt::white));
    EXPECT_EQ(grid, window.palette().color(QPalette::Button));
  }

  // A row left alone by the filter keeps the stripe of its place.
  Type("ть");
  ASSERT_EQ(VisibleRows(), (TTexts{"пять"}));
  EXPECT_EQ(CellColour(window, 5), kCream);
  Key(Qt::Key_Escape);
  Type("ри");
  ASSERT_EQ(VisibleRows(), (TTexts{"три"}));
  EXPECT_EQ(CellColour(window, 3), kCream);

  // The list paints them: beside the short texts of unselected rows.
  Key(Qt::Key_Escape);
  Click("ноль");
  const QImage shot = List()->viewport()->grab().toImage();
  const int x = shot.width() - 3;
  for (int row : {1, 2, 3}) {
    SCOPED_TRACE(row);
    const int y = List()->visualRect(List()->model()->index(row, 0)).center().y();
    EXPECT_EQ(shot.pixelColor(x, y), row % 2 ? kCream : QColor(Qt::white));
  }
}

const std::string kLongTitle =
    "Очень длинное название записи, которое никак не помещается в одну строку списка и потому при "
    "включённом переносе слов занимает несколько строк подряд";

TEST_F(DirectoryView, WordWrapGrowsLongRowsAndFollowsItsAction) {
  Put(0, "Папка", true);
  Put(0, "Коротко");
  Put(0, kLongTitle);
  Globals().DirectoryWordWrap = true;
  Open();
  QAction* wrap = Probe().Action("actWordWrap");
  EXPECT_TRUE(wrap->isChecked());
  const int standard = List()->DefaultNodeHeight();
  ASSERT_EQ(standard, 25);

  auto expectWrapped = [&] {
    EXPECT_TRUE(Globals().DirectoryWordWrap);
    for (int row = 0; row < List()->RowCount(); ++row) {
      SCOPED_TRACE(row);
      EXPECT_TRUE(List()->IsMultiLine(row));
      EXPECT_GE(List()->NodeHeight(row), standard);
    }
    EXPECT_EQ(List()->NodeHeight(0), standard);
    EXPECT_EQ(List()->NodeHeight(1), standard);
    EXPECT_GT(List()->NodeHeight(2), standard);
    EXPECT_EQ(List()->NodeHeight(2), Probe().List()->OnMeasureItem(2));
  };
  expectWrapped();
  const int wrapped = List()->NodeHeight(2);

  // A narrower window takes more lines.
  Window->resize(300, Window->height());
  QApplication::processEvents();
  EXPECT_GT(List()->NodeHeight(2), wrapped);

  wrap->trigger();
  EXPECT_FALSE(wrap->isChecked());
  EXPECT_FALSE(Globals().DirectoryWordWrap);
  for (int row = 0; row < List()->RowCount(); ++row) EXPECT_FALSE(List()->IsMultiLine(row)) << row;

  wrap->trigger();
  expectWrapped();
}

TEST_F(DirectoryView, WithoutWordWrapEveryRowKeepsTheDefaultHeight) {
  Put(0, "Коротко");
  Put(0, kLongTitle);
  Open();
  EXPECT_FALSE(Probe().Action("actWordWrap")->isChecked());
  for (int row = 0; row < List()->RowCount(); ++row) {
    SCOPED_TRACE(row);
    EXPECT_FALSE(List()->IsMultiLine(row));
    EXPECT_EQ(List()->NodeHeight(row), 25);
  }
}

TEST_F(DirectoryView, ButtonCaptionsFollowTheSettingAndTheirAction) {
  for (bool captions : {true, false}) {
    SCOPED_TRACE(captions);
    Globals().ShowButtonCaptions = captions;
    Open();
    QAction* action = Probe().Action("actShowButtonCaptions");
    const Qt::ToolButtonStyle statusStyle = Probe().StatusBar()->toolButtonStyle();
    for (bool expected : {captions, !captions, captions}) {
      EXPECT_EQ(action->isChecked(), expected);
      EXPECT_EQ(Globals().ShowButtonCaptions, expected);
      EXPECT_EQ(Probe().MainToolBar()->toolButtonStyle(),
                expected ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
      EXPECT_EQ(Probe().StatusBar()->toolButtonStyle(), statusStyle);
      action->trigger();
    }
  }
}

// --- font size, placement, first start, closing ----------------------------------------------------

struct TFontCase {
  int FontSize;
  int RowHeight;
  int Scale;
};

TEST_F(DirectoryView, FontSizeSetsTheRowHeightAndScalesEveryBarItem) {
  Put(0, "Папка", true);
  Put(0, "Запись");
  const TFontCase cases[] = {{8, 20, 100}, {9, 22, 112}, {10, 25, 125}, {12, 30, 150}};
  for (const TFontCase& c : cases) {
    SCOPED_TRACE(c.FontSize);
    Globals().FontSize = c.FontSize;
    Open();
    EXPECT_EQ(Window->font().pointSize(), c.FontSize);
    EXPECT_EQ(List()->font().pointSize(), c.FontSize);
    EXPECT_EQ(List()->DefaultNodeHeight(), c.RowHeight);
    for (int row = 0; row < List()->RowCount(); ++row) EXPECT_EQ(List()->NodeHeight(row), c.RowHeight) << row;

    std::vector<QWidget*> items = {Probe().ChainLabel(), Probe().CountLabel(), Probe().FilterLabel()};
    for (QToolBar* bar : {Probe().MainToolBar(), Probe().StatusBar()})
      for (QToolButton* button : bar->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly))
        items.push_back(button);
    for (QWidget* item : items) {
      EXPECT_EQ(ItemFontScaleOf(item), c.Scale) << item->objectName().toStdString() << " "
                                                << item->metaObject()->className();
    }
  }
}

TEST_F(DirectoryView, ShownWindowMovesToTheLowerRightCorner) {
  Open();
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_TRUE(screen);
  auto expected = [&] {
    const QRect frame = Window->frameGeometry();
    return QPoint(screen->geometry().width() - frame.width(), screen->availableGeometry().height() - frame.height());
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return Window->frameGeometry().topLeft() == expected(); }, 2000))
      << Window->frameGeometry().x() << "," << Window->frameGeometry().y();
  EXPECT_FALSE(Probe().StartTimer()->isActive());

  // It moves only once: later placement is the user's.
  Window->move(10, 10);
  QTest::qWait(150);
  EXPECT_EQ(Window->pos(), QPoint(10, 10));
}

TEST_F(DirectoryView, WindowStaysOnTopCarriesTheProductTitleAndHidesWhenClosed) {
  Globals().Title = "ЗОРВАНА: Справочник";
  Window = std::make_unique<TfDirectory>(dmDB);
  EXPECT_EQ(Window->windowTitle(), "ЗОРВАНА: Справочник");
  EXPECT_FALSE(Window->windowFlags() & Qt::WindowStaysOnTopHint);
  Window->ShowDirectory();
  EXPECT_TRUE(Window->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(Window->isHidden());  // loading does not show it

  Window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
  Window->close();
  EXPECT_TRUE(Window->isHidden());

  // Ctrl+W closes it as every window of the program.
  Open();
  Key(Qt::Key_W, Qt::ControlModifier);
  EXPECT_TRUE(Window->isHidden());
}

TEST_F(DirectoryView, WithoutAProductTitleTheWindowStillSaysWhatItIs) {
  Globals().Title.clear();  // no Global.ini anywhere
  Window = std::make_unique<TfDirectory>(dmDB);
  EXPECT_EQ(Window->windowTitle(), "Справочник");
}

TEST_F(DirectoryView, FirstShowingOpensTheWindowsHelpOnce) {
  for (bool withDocument : {true, false}) {
    SCOPED_TRACE(withDocument);
    TTempDir help;
    Globals().HelpPath = help.Path();
    if (withDocument) WriteFile(help.File("DirectoryForm.rvf"), "<p>Справка по окну справочника</p>");
    Messages.Shown.clear();
    TfRVHelp::DestroyHelp();
    Globals().IsFirstStart = true;

    Open();
    EXPECT_FALSE(Globals().IsFirstStart);
    if (withDocument) {
      ASSERT_TRUE(TfRVHelp::Current());
      EXPECT_TRUE(TfRVHelp::Current()->isVisible());
      EXPECT_TRUE(Messages.Shown.empty());
    } else {
      ASSERT_EQ(Messages.Shown.size(), 1u);
      EXPECT_NE(Messages.Shown[0].Text.find("DirectoryForm.rvf"), std::string::npos) << Messages.Shown[0].Text;
    }

    // Shown again, it opens nothing more.
    TfRVHelp::DestroyHelp();
    Messages.Shown.clear();
    Window->hide();
    Window->show();
    EXPECT_FALSE(TfRVHelp::Current());
    EXPECT_TRUE(Messages.Shown.empty());
  }
}

}  // namespace
