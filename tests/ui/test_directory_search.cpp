// Search over the whole book: the matching rules on their own, and the main
// window's search field, results and keys on a real book and a real window.

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "WindowBookTest.h"
#include "DirectoryWindowProbe.h"
#include "TestSupport.h"
#include "uBookSearch.h"
#include "uDBDirectory.h"
#include "uGlobals.h"
#include "uSearchResults.h"
#include "udmRes.h"
#include "ufDirectory.h"
#include "ufDirectoryParams.h"
#include "ufRVHelp.h"

void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

// --- the matching rules ---------------------------------------------------------

TEST(SearchWords, FoldCaseAndYoAndSplitAtBlanks) {
  EXPECT_EQ(FoldForSearch(QStringLiteral("ЁЛКА Ёж ёж Ель")), QStringLiteral("елка еж еж ель"));
  EXPECT_EQ(FoldForSearch(QStringLiteral("ABC abc Straße")).size(), QStringLiteral("ABC abc Straße").size());
  EXPECT_EQ(SearchWords(QStringLiteral("  Дом\tКОТ  ёж ")),
            (QStringList{QStringLiteral("дом"), QStringLiteral("кот"), QStringLiteral("еж")}));
  EXPECT_TRUE(SearchWords(QStringLiteral(" \t ")).isEmpty());
}

TEST(SearchWords, SpansMarkEveryOccurrenceMergedAndInTheTextsOwnPositions) {
  const QStringList words = SearchWords(QStringLiteral("ёл ка"));
  EXPECT_EQ(FindWordSpans(QStringLiteral("Ёлка и елка"), words),
            (std::vector<std::pair<int, int>>{{0, 4}, {7, 4}}));
  EXPECT_TRUE(FindWordSpans(QStringLiteral("нет"), words).empty());
}

TEST(SearchWords, NarrowingHoldsOnlyWhenEveryEarlierWordLivesOnInALongerOne) {
  struct TCase {
    const char* Query;
    const char* Earlier;
    bool Narrows;
  } const cases[] = {
      {"дог", "до", true},     {"до вор", "до", true},  {"вор до", "до", true},  {"д", "до", false},
      {"дом", "дог", false},   {"", "до", false},       {"до", "", false},       {"ДОГ", "до", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Query) + " / " + c.Earlier);
    EXPECT_EQ(TBookIndex::Narrows(QString::fromUtf8(c.Query), QString::fromUtf8(c.Earlier)), c.Narrows);
  }
}

// --- the window -------------------------------------------------------------------

// The book of these tests:
//   Альфа (100)                 folder
//     Гамма (100)               folder
//       Ёлка новогодняя (100)   record, description "праздник"
//       Договор поставки (200)  record
//     Поставка договора (200)   record, description "срочно"
//   Бета (200)                  folder
//     Срочное письмо (100)      record
//     Памятка (200)             record, description "договор аренды"
//   Корень (300)                record
// and rows no folder shows: an orphan, two in a cycle, one below a record.
class DirectorySearch : public TWindowBookTest {
 protected:
  void SetUp() override {
    TWindowBookTest::SetUp();
    Alpha = Put(0, "Альфа", true, 100);
    Gamma = Put(Alpha, "Гамма", true, 100);
    Tree = Put(Gamma, "Ёлка новогодняя", false, 100, "праздник");
    Contract = Put(Gamma, "Договор поставки", false, 200);
    Supply = Put(Alpha, "Поставка договора", false, 200, "срочно");
    Beta = Put(0, "Бета", true, 200);
    Letter = Put(Beta, "Срочное письмо", false, 100);
    Memo = Put(Beta, "Памятка", false, 200, "договор аренды");
    Put(0, "Корень", false, 300);
    Put(9999, "Сирота договор", false, 100);
    const int32_t first = Put(0, "Цикл договор один", true, 100);
    const int32_t second = Put(first, "Цикл договор два", true, 100);
    Sql("UPDATE directory SET id_parent = " + std::to_string(second) + " WHERE idd = " + std::to_string(first));
    Put(Letter, "Под записью договор", false, 100);
    Sql("UPDATE directory SET id_parent = NULL WHERE idd = " + std::to_string(Put(0, "Без родителя договор", false, 1)));
    Sql("ALTER SEQUENCE GEN_DIRECTORY_ID RESTART WITH 1000");
  }

  QLineEdit* Field() const { return Window->findChild<QLineEdit*>(QStringLiteral("eSearch")); }
  TSearchResultsView* Results() const { return Window->findChild<TSearchResultsView*>(QStringLiteral("vstSearch")); }

  // Types text as the keyboard sends it, Cyrillic included.
  static void Type(QWidget* widget, const QString& text) {
    for (QChar c : text)
      QTest::sendKeyEvent(QTest::Click, widget, static_cast<Qt::Key>(c.toUpper().unicode()), QString(c),
                          Qt::NoModifier);
  }

  // Ctrl+F and the query typed over the field's text.
  void Search(const QString& query) {
    QWidget* focused = QApplication::focusWidget();
    QTest::keyClick(focused ? focused : Window.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(Field()->hasFocus());
    ASSERT_EQ(Field()->selectedText(), Field()->text()) << "Ctrl+F selects the query to type over";
    Type(Field(), query);
  }

  // Each result as "title | path", in the order shown.
  std::vector<QString> Shown() const {
    std::vector<QString> rows;
    if (!Results()->isVisible()) return rows;
    const TSearchResultsModel* model = Results()->Model();
    for (int row = 0; row < model->rowCount(); ++row) {
      const QModelIndex index = model->index(row);
      rows.push_back(index.data().toString() + " | " + index.data(TSearchResultsModel::PathRole).toString());
    }
    return rows;
  }

  QString FocusedResult() const {
    const QModelIndex current = Results()->currentIndex();
    return current.isValid() ? current.data().toString() : QStringLiteral("<нет>");
  }

  int32_t Alpha = 0, Gamma = 0, Tree = 0, Contract = 0, Supply = 0, Beta = 0, Letter = 0, Memo = 0;
};

TEST_F(DirectorySearch, WordsInAnyOrderFindTitlesFirstThenDescriptionsEachByPath) {
  Open();
  struct TCase {
    const char* Query;
    std::vector<QString> Rows;
  } const cases[] = {
      {"договор",
       {"Поставка договора | \\Альфа", "Договор поставки | \\Альфа\\Гамма", "Памятка | \\Бета"}},
      {"поставк ДОГОВОР",
       {"Поставка договора | \\Альфа", "Договор поставки | \\Альфа\\Гамма"}},
      {"елка", {"Ёлка новогодняя | \\Альфа\\Гамма"}},
      {"ЁЛКА праздник", {"Ёлка новогодняя | \\Альфа\\Гамма"}},
      {"срочн", {"Срочное письмо | \\Бета", "Поставка договора | \\Альфа"}},
      {"бета", {"Бета | \\"}},
      {"(1)", {}},  // a folder's child count is not its text
      {"ничего такого", {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Query);
    ASSERT_NO_FATAL_FAILURE(Search(QString::fromUtf8(c.Query)));
    EXPECT_EQ(Shown(), c.Rows);
    EXPECT_EQ(Probe().CountLabel()->text(), QStringLiteral("Кол-во: %1").arg(c.Rows.size()));
    EXPECT_FALSE(Probe().List()->isVisible()) << "the results stand in place of the folder";
  }
}

TEST_F(DirectorySearch, ResultsTellTheirPathToScreenReadersAndFollowTheModelRules) {
  Open();
  QAbstractItemModelTester tester(Results()->Model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  ASSERT_NO_FATAL_FAILURE(Search(QStringLiteral("догов")));
  ASSERT_NO_FATAL_FAILURE(Search(QStringLiteral("договор пост")));
  const QModelIndex first = Results()->Model()->index(0);
  EXPECT_EQ(first.data(Qt::AccessibleTextRole).toString(), QStringLiteral("Поставка договора, в папке \\Альфа"));
  EXPECT_EQ(Field()->accessibleName(), QStringLiteral("Поиск"));
  EXPECT_FALSE(Field()->placeholderText().isEmpty());
}

TEST_F(DirectorySearch, EscapeBringsBackTheFolderWithItsFocusAndFilter) {
  Open();
  Probe().Action("actEnterToChilds")->trigger();  // Альфа
  ASSERT_EQ(Probe().CurrentId(), Alpha);
  Type(Probe().List(), QStringLiteral("ос"));  // the filter: Поставка договора
  ASSERT_EQ(Probe().Filter(), QStringLiteral("ос"));
  const std::string focused = FocusedInList();

  ASSERT_NO_FATAL_FAILURE(Search(QStringLiteral("письмо")));
  EXPECT_EQ(Shown().size(), 1u);
  QTest::keyClick(Field(), Qt::Key_Escape);

  EXPECT_FALSE(Field()->isVisible());
  EXPECT_TRUE(Probe().List()->isVisible());
  EXPECT_EQ(Probe().CurrentId(), Alpha);
  EXPECT_EQ(Probe().Filter(), QStringLiteral("ос"));
  EXPECT_EQ(FocusedInList(), focused);
  EXPECT_EQ(Probe().CountLabel()->text(), QStringLiteral("Кол-во: 2"));

  // Emptying the field closes the search as well.
  ASSERT_NO_FATAL_FAILURE(Search(QStringLiteral("письмо")));
  Field()->clear();
  EXPECT_TRUE(Probe().List()->isVisible());
  EXPECT_EQ(Probe().Filter(), QStringLiteral("ос"));
}

TEST_F(DirectorySearch, EnterShowsTheResultInItsFolderAndArrowsWalkTheResultsFromTheField) {
  Open();
  ASSERT_NO_FATAL_FAILURE(Search(QStringLiteral("договор")));
  EXPECT_EQ(FocusedResult(), QStringLiteral("Поставка договора"));
  QTest::keyClick(Field(), Qt::Key_Down);
  EXPECT_EQ(FocusedResult(), QStringLiteral("Договор поставки"));
  EXPECT_TRUE(Field()->hasFocus()) << "the arrows leave the focus in the field";
  EXPECT_FALSE(Probe().Action("actNew")->isEnabled());
  EXPECT_FALSE(Probe().Action("actMoveUp")->isEnabled());
  EXPECT_FALSE(Probe().Action("actExportClipboard")->isEnabled());
  EXPECT_FALSE(Probe().Action("actImportClipboard")->isEnabled());

  QTest::keyClick(Field(), Qt::Key_Return);
  EXPECT_FALSE(Results()->isVisible());
  EXPECT_EQ(Probe().CurrentId(), Gamma);
  EXPECT_EQ(FocusedInList(), "Договор поставки");
  EXPECT_EQ(Probe().ChainLabel()->text(), QStringLiteral("\\Альфа\\Гамма"));
  EXPECT_TRUE(Probe().Action("actNew")->isEnabled());

  // A folder found: Enter shows it in its folder, a second Enter enters it.
  ASSERT_NO_FATAL_FAILURE(Search(QStringLiteral("гамма")));
  QTest::keyClick(Field(), Qt::Key_Return);
  EXPECT_EQ(Probe().CurrentId(), Alpha);
  EXPECT_EQ(FocusedInList(), "Гамма");
  QTest::keyClick(Probe().List(), Qt::Key_Return);
  EXPECT_EQ(Probe().CurrentId(), Gamma);
}

TEST_F(DirectorySearch, CopyFromAResultPutsItsTitleOnTheClipboardLikeTheCopyCommand) {
  Open();
  ASSERT_NO_FATAL_FAILURE(Search(QStringLiteral("памят")));
  QGuiApplication::clipboard()->setText(QStringLiteral("до"));
  QTest::keyClick(Field(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Памятка"));
  EXPECT_EQ(Probe().FilterLabel()->text(), QStringLiteral("Скопировано: Памятка"));

  QGuiApplication::clipboard()->setText(QStringLiteral("до"));
  Results()->setFocus();
  ASSERT_TRUE(Results()->hasFocus());
  QTest::keyClick(Results(), Qt::Key_Return, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Памятка"));

  QGuiApplication::clipboard()->setText(QStringLiteral("до"));
  const QRect row = Results()->visualRect(Results()->Model()->index(0));
  QTest::mouseDClick(Results()->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Памятка"));
  EXPECT_TRUE(Results()->isVisible()) << "copying keeps the results";
}

TEST_F(DirectorySearch, EditingAResultRefreshesTheResultsAndTheFolderBehindThem) {
  Open();
  ASSERT_NO_FATAL_FAILURE(Search(QStringLiteral("письмо")));
  QTimer::singleShot(0, Window.get(), [] {
    auto* editor = qobject_cast<TfDirectoryParams*>(QApplication::activeModalWidget());
    ASSERT_NE(editor, nullptr);
    editor->eTitle->setText(QStringLiteral("Срочное письмо директору"));
    QTest::mouseClick(editor->btnOk, Qt::LeftButton);
  });
  QTest::keyClick(Field(), Qt::Key_F2);
  Window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
  EXPECT_EQ(Shown(), (std::vector<QString>{"Срочное письмо директору | \\Бета"}));
  EXPECT_EQ(FocusedResult(), QStringLiteral("Срочное письмо директору"));

  ASSERT_NO_FATAL_FAILURE(Search(QStringLiteral("директор")));
  EXPECT_EQ(Shown().size(), 1u);
  QTest::keyClick(Field(), Qt::Key_Escape);
  EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(DirectorySearch, ImportedRowsAreFoundByTheNextSearch) {
  Open();
  ASSERT_NO_FATAL_FAILURE(Search(QStringLiteral("накладная")));
  EXPECT_TRUE(Shown().empty());
  QTest::keyClick(Field(), Qt::Key_Escape);
  QGuiApplication::clipboard()->setText(
      QStringLiteral("#ZORVANA-DIRECTORY-EXCHANGE#\r\nНакладные\t10\t0\t1\t\r\n\tТоварная накладная\t10\t0\t0\t\r\n"));
  Probe().Action("actImportClipboard")->trigger();
  ASSERT_EQ(Messages.Shown.size(), 2u);  // the confirmation and the count

  ASSERT_NO_FATAL_FAILURE(Search(QStringLiteral("накладная")));
  EXPECT_EQ(Shown(), (std::vector<QString>{"Товарная накладная | \\Накладные"}));
}

}  // namespace
