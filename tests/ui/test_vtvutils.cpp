// The list control of the main window and the TVTV bindings: rows that
// point at entries they do not own, focus and selection, hidden rows,
// moves, heights, typed characters, tooltips, painting and the cost of
// filtering a long folder.

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "uDirectory.h"
#include "uVTVUtils.h"

namespace {

constexpr int kDefaultHeight = 25;

// Turns every complaint of QAbstractItemModelTester into a test failure.
class TModelTesterFailures {
 public:
  TModelTesterFailures() { FPrevious = qInstallMessageHandler(&TModelTesterFailures::Handle); }
  ~TModelTesterFailures() { qInstallMessageHandler(FPrevious); }
  TModelTesterFailures(const TModelTesterFailures&) = delete;
  TModelTesterFailures& operator=(const TModelTesterFailures&) = delete;

 private:
  static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg && context.category &&
        QByteArray(context.category) == "qt.modeltest")
      ADD_FAILURE() << "model tester: " << message.toStdString();
  }
  static inline QtMessageHandler FPrevious = nullptr;
};

std::unique_ptr<TDirectory> Entry(const std::string& title, bool folder = false) {
  auto entry = std::make_unique<TDirectory>();
  entry->Title = title;
  entry->IsFolder = folder;
  return entry;
}

// A list whose owner side is the test: rows show their entry's title,
// folders bold, and the entries live in a TDirectoryList of the fixture.
class VTVList : public ::testing::Test {
 protected:
  void SetUp() override {
    List = std::make_unique<TVirtualList>();
    TVTV::InitTree(List.get());
    List->SetDefaultNodeHeight(kDefaultHeight);
    List->OnGetText = [this](int row) {
      const TDirectory* entry = TVTV::GetNodeObject(List.get(), row);
      return entry ? QString::fromStdString(entry->Title) : QString();
    };
    List->OnGetHint = [this](int row) {
      return QStringLiteral("hint ") + QString::fromStdString(TVTV::GetNodeObject(List.get(), row)->Title);
    };
    List->OnPaintText = [this](int row, QFont& font) {
      const TDirectory* entry = TVTV::GetNodeObject(List.get(), row);
      if (entry && entry->IsFolder) font.setBold(true);
    };
    List->OnKeyPress = [this](QChar c) { Typed.push_back(c); };
  }

  // Adds entries to the fixture's list and rows for them to the control.
  void Fill(const std::vector<std::string>& titles) {
    for (const std::string& title : titles) TVTV::AddNode(List.get(), Entries.Add(Entry(title)));
  }

  void Show(int width = 240, int height = 300) {
    List->resize(width, height);
    List->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(List.get()));
    Settle();
  }

  // Lets the view run its delayed layout.
  void Settle() {
    QCoreApplication::processEvents();
    (void)List->visualRect(List->model()->index(0, 0));
  }

  std::string RowTitles() const {
    std::string titles;
    for (int row = List->FirstNode(); row != kNoNode; row = List->NextNode(row))
      titles += TVTV::GetNodeObject(List.get(), row)->Title;
    return titles;
  }

  std::set<std::string> HiddenTitles() const {
    std::set<std::string> hidden;
    for (int row = 0; row < List->RowCount(); ++row)
      if (!List->IsVisibleNode(row)) hidden.insert(TVTV::GetNodeObject(List.get(), row)->Title);
    return hidden;
  }

  QRect RowRect(int row) const { return List->visualRect(List->model()->index(row, 0)); }
  int ViewRowHeight(int row) const { return RowRect(row).height(); }

  TDirectoryList Entries;  // declared first: outlives the rows pointing at it
  std::unique_ptr<TVirtualList> List;
  std::vector<QChar> Typed;
};

// --- The model

TEST_F(VTVList, ModelPassesTheModelTesterThroughAddClearMoveAndHide) {
  TModelTesterFailures failures;
  QAbstractItemModelTester tester(List->model(), QAbstractItemModelTester::FailureReportingMode::Warning);

  Fill({"A", "B", "C", "D"});
  List->SetVisibleNode(1, false);
  EXPECT_EQ(List->MoveAfter(0, 3), 3);
  EXPECT_EQ(List->MoveBefore(3, 0), 0);
  List->SetNodeHeight(2, 40);
  List->SetMultiLine(2, true);
  TVTV::SetNodeObject(List.get(), 2, Entries.Items(0));
  List->Clear();
  Fill({"E"});

  EXPECT_EQ(List->model()->rowCount(), 1);
}

TEST_F(VTVList, ModelShowsOwnerTextInOneHiddenHeaderColumnAndNoTooltipRole) {
  Fill({"Первая", "Вторая"});
  QAbstractItemModel* model = List->model();

  EXPECT_EQ(model->columnCount(), 1);
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Название"));
  EXPECT_TRUE(List->isHeaderHidden());
  EXPECT_EQ(model->index(1, 0).data().toString(), QStringLiteral("Вторая"));
  EXPECT_FALSE(model->index(1, 0).data(Qt::ToolTipRole).isValid());
  EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);

  List->OnGetText = nullptr;
  EXPECT_EQ(model->index(0, 0).data().toString(), QString());
}

// --- TVTV

TEST_F(VTVList, FocusedObjectOfAnEmptyListIsNone) {
  EXPECT_EQ(TVTV::GetFocusedObject(List.get()), nullptr);
  EXPECT_EQ(TVTV::GetNodeObject(List.get(), kNoNode), nullptr);
  EXPECT_EQ(List->FirstNode(), kNoNode);
  EXPECT_EQ(List->FocusedNode(), kNoNode);
}

TEST_F(VTVList, SelectNodeLeavesExactlyTheFocusedRowSelected) {
  Fill({"A", "B", "C"});
  List->SetSelected(0, true);
  List->SetFocusedNode(2);

  ASSERT_TRUE(TVTV::SelectNode(List.get(), 1));
  EXPECT_EQ(List->FocusedNode(), 1);
  EXPECT_EQ(List->SelectedNodes(), std::vector<int>{1});
  EXPECT_EQ(List->SelectedCount(), 1);
  EXPECT_EQ(TVTV::GetFocusedObject(List.get()), Entries.Items(1));
}

TEST_F(VTVList, SelectNodeWithNoRowFailsAndChangesNothing) {
  Fill({"A", "B", "C"});
  ASSERT_TRUE(TVTV::SelectNode(List.get(), 1));

  for (int row : {kNoNode, 3}) {
    EXPECT_FALSE(TVTV::SelectNode(List.get(), row)) << row;
    EXPECT_EQ(List->FocusedNode(), 1) << row;
    EXPECT_EQ(List->SelectedNodes(), std::vector<int>{1}) << row;
  }
}

TEST_F(VTVList, AddNodesAddsEveryEntryInOrderWithTheUpRowFirst) {
  TDirectoryList empty;
  TVTV::AddNodes(List.get(), empty);
  EXPECT_EQ(List->RowCount(), 0);

  auto up = TDirectory::NewFolder(7);
  up->Title = kUpRowTitle;
  TDirectory* upRow = Entries.Add(std::move(up));
  Entries.Add(Entry("Папка", true));
  Entries.Add(Entry("Запись"));
  TVTV::AddNodes(List.get(), Entries);

  ASSERT_EQ(List->RowCount(), 3);
  EXPECT_EQ(TVTV::GetNodeObject(List.get(), 0), upRow);
  EXPECT_TRUE(TVTV::GetNodeObject(List.get(), 0)->IsUpRow());
  EXPECT_EQ(TVTV::GetNodeObject(List.get(), 2), Entries.Items(2));
}

TEST_F(VTVList, ClearingRowsLeavesTheEntriesAlone) {
  Fill({"A", "B", "C"});
  List->SetVisibleNode(1, false);
  TVTV::SelectNode(List.get(), 2);

  List->Clear();

  EXPECT_EQ(List->RowCount(), 0);
  EXPECT_EQ(TVTV::GetFocusedObject(List.get()), nullptr);
  EXPECT_EQ(List->SelectedCount(), 0);
  ASSERT_EQ(Entries.Count(), 3);
  EXPECT_EQ(Entries.Items(1)->Title, "B");  // still alive: the list owns its entries

  // Rows of the next folder start visible, whatever the old rows were.
  TVTV::AddNodes(List.get(), Entries);
  EXPECT_TRUE(List->IsVisibleNode(1));
}

TEST_F(VTVList, SetNodeObjectRebindsARow) {
  Fill({"A", "B"});
  TVTV::SetNodeObject(List.get(), 0, Entries.Items(1));
  EXPECT_EQ(TVTV::GetNodeObject(List.get(), 0), Entries.Items(1));
  EXPECT_EQ(List->model()->index(0, 0).data().toString(), QStringLiteral("B"));
}

// --- Rows, hidden ones included

TEST_F(VTVList, HiddenRowsKeepTheirPlaceDataAndHeightAndAreCounted) {
  Fill({"A", "B", "C", "D", "E"});
  List->SetNodeHeight(3, 40);
  Show();
  List->SetVisibleNode(1, false);
  List->SetVisibleNode(3, false);
  Settle();

  EXPECT_EQ(List->RowCount(), 5);
  EXPECT_EQ(RowTitles(), "ABCDE");  // the walk visits hidden rows too
  EXPECT_EQ(List->AbsoluteIndex(3), 3);
  EXPECT_EQ(List->NextSibling(0), 1);
  EXPECT_EQ(List->PrevSibling(4), 3);
  EXPECT_EQ(List->PrevSibling(0), kNoNode);
  EXPECT_EQ(List->NextNode(4), kNoNode);
  EXPECT_FALSE(List->IsVisibleNode(3));
  EXPECT_EQ(List->NodeHeight(3), 40);
  EXPECT_EQ(TVTV::GetNodeObject(List.get(), 3), Entries.Items(3));
  EXPECT_FALSE(RowRect(3).isValid());
  EXPECT_EQ(RowRect(2).top(), RowRect(0).bottom() + 1);  // the hidden row takes no room

  List->SetVisibleNode(3, true);
  Settle();
  EXPECT_TRUE(List->IsVisibleNode(3));
  EXPECT_EQ(ViewRowHeight(3), 40);
}

struct TMoveCase {
  const char* Name;
  bool After;
  int Row;
  int Target;
  std::set<std::string> Hidden;
  std::string Order;
  int NewRow;
};

void PrintTo(const TMoveCase& c, std::ostream* os) { *os << c.Name; }

class VTVMove : public VTVList, public ::testing::WithParamInterface<TMoveCase> {};

TEST_P(VTVMove, MovedRowKeepsFocusSelectionHeightAndHiddenState) {
  const TMoveCase& c = GetParam();
  TModelTesterFailures failures;
  QAbstractItemModelTester tester(List->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
  Fill({"A", "B", "C", "D", "E"});
  Show();
  for (int row = 0; row < List->RowCount(); ++row)
    if (c.Hidden.count(TVTV::GetNodeObject(List.get(), row)->Title)) List->SetVisibleNode(row, false);
  TDirectory* moving = TVTV::GetNodeObject(List.get(), c.Row);
  List->SetNodeHeight(c.Row, 40);
  List->SetMultiLine(c.Row, true);
  ASSERT_TRUE(TVTV::SelectNode(List.get(), c.Row));

  const int moved = c.After ? List->MoveAfter(c.Row, c.Target) : List->MoveBefore(c.Row, c.Target);
  Settle();

  EXPECT_EQ(moved, c.NewRow);
  EXPECT_EQ(RowTitles(), c.Order);
  EXPECT_EQ(TVTV::GetNodeObject(List.get(), moved), moving);
  EXPECT_EQ(List->FocusedNode(), moved);
  EXPECT_EQ(List->SelectedNodes(), std::vector<int>{moved});
  EXPECT_EQ(List->NodeHeight(moved), 40);
  EXPECT_TRUE(List->IsMultiLine(moved));
  EXPECT_EQ(HiddenTitles(), c.Hidden);
  if (List->IsVisibleNode(moved)) {
    EXPECT_EQ(ViewRowHeight(moved), 40);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VTVMove,
    ::testing::Values(TMoveCase{"DownOne", true, 1, 2, {}, "ACBDE", 2},
                      TMoveCase{"UpOne", false, 3, 2, {}, "ABDCE", 2},
                      TMoveCase{"UpToFirst", false, 2, 0, {}, "CABDE", 0},
                      TMoveCase{"DownToLast", true, 0, 4, {}, "BCDEA", 4},
                      TMoveCase{"BeforeNextIsNoMove", false, 1, 2, {}, "ABCDE", 1},
                      TMoveCase{"AfterPreviousIsNoMove", true, 2, 1, {}, "ABCDE", 2},
                      TMoveCase{"OverAHiddenNeighbour", false, 3, 2, {"C"}, "ABDCE", 2},
                      TMoveCase{"HiddenRowStaysHidden", true, 1, 3, {"B", "E"}, "ACDBE", 3}),
    [](const ::testing::TestParamInfo<TMoveCase>& info) { return std::string(info.param.Name); });

// --- Keys

struct TTypedKey {
  int Key;
  const char16_t* Text;
  Qt::KeyboardModifiers Modifiers;
};

bool SendKey(QWidget* widget, const TTypedKey& key) {
  QKeyEvent press(QEvent::KeyPress, key.Key, key.Modifiers, QString::fromUtf16(key.Text));
  QApplication::sendEvent(widget, &press);
  return press.isAccepted();
}

TEST_F(VTVList, TypedCharactersReachTheOwnerAndAreAccepted) {
  Fill({"alpha", "beta", "bravo"});
  Show();
  TVTV::SelectNode(List.get(), 0);
  const std::vector<TTypedKey> keys = {
      {Qt::Key_B, u"b", Qt::NoModifier},           {Qt::Key_A, u"A", Qt::ShiftModifier},
      {Qt::Key_unknown, u"ж", Qt::NoModifier},     {Qt::Key_Space, u" ", Qt::NoModifier},
      {Qt::Key_ParenLeft, u"(", Qt::ShiftModifier}, {Qt::Key_Plus, u"+", Qt::NoModifier},
      {Qt::Key_Backspace, u"\b", Qt::NoModifier},  {Qt::Key_Escape, u"\x1b", Qt::NoModifier},
      {Qt::Key_Return, u"\r", Qt::NoModifier},
  };

  for (const TTypedKey& key : keys) {
    Typed.clear();
    EXPECT_TRUE(SendKey(List.get(), key)) << key.Key;
    ASSERT_EQ(Typed.size(), 1u) << key.Key;
    EXPECT_EQ(Typed[0], QString::fromUtf16(key.Text).front()) << key.Key;
    // No incremental search of its own: "b" must not jump to "beta".
    EXPECT_EQ(List->FocusedNode(), 0) << key.Key;
  }
}

TEST_F(VTVList, NavigationKeysMoveTheFocusWithoutReachingTheOwner) {
  Fill({"alpha", "beta", "bravo", "charlie"});
  Show();
  TVTV::SelectNode(List.get(), 0);

  QTest::keyClick(List.get(), Qt::Key_Down);
  EXPECT_EQ(List->FocusedNode(), 1);
  EXPECT_EQ(List->SelectedNodes(), std::vector<int>{1});
  QTest::keyClick(List.get(), Qt::Key_End);
  EXPECT_EQ(List->FocusedNode(), 3);
  QTest::keyClick(List.get(), Qt::Key_Up);
  EXPECT_EQ(List->FocusedNode(), 2);
  QTest::keyClick(List.get(), Qt::Key_Home);
  EXPECT_EQ(List->FocusedNode(), 0);
  EXPECT_TRUE(Typed.empty());

  static_cast<QAbstractItemView*>(List.get())->keyboardSearch(QStringLiteral("c"));
  EXPECT_EQ(List->FocusedNode(), 0);
}

TEST_F(VTVList, DownArrowSkipsHiddenRows) {
  Fill({"A", "B", "C"});
  Show();
  TVTV::SelectNode(List.get(), 0);
  List->SetVisibleNode(1, false);
  QTest::keyClick(List.get(), Qt::Key_Down);
  EXPECT_EQ(List->FocusedNode(), 2);
}

TEST_F(VTVList, EscapeAndEnterInTheListDoNotCloseTheDialogAroundIt) {
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  auto* list = new TVirtualList(&dialog);
  layout->addWidget(list);
  std::vector<QChar> typed;
  list->OnKeyPress = [&typed](QChar c) { typed.push_back(c); };
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

  SendKey(list, {Qt::Key_Escape, u"\x1b", Qt::NoModifier});
  SendKey(list, {Qt::Key_Return, u"\r", Qt::NoModifier});

  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(typed.size(), 2u);
}

// --- Mouse

TEST_F(VTVList, DoubleClickOnARowReportsItAndFocusesIt) {
  Fill({"A", "B", "C"});
  Show();
  QSignalSpy spy(List.get(), &TVirtualList::NodeDoubleClicked);

  QTest::mouseDClick(List->viewport(), Qt::LeftButton, Qt::NoModifier, RowRect(2).center());
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toInt(), 2);
  EXPECT_EQ(List->FocusedNode(), 2);
  EXPECT_EQ(List->indexWidget(List->model()->index(2, 0)), nullptr);  // no editor opened

  QTest::mouseDClick(List->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, RowRect(2).bottom() + 30));
  EXPECT_EQ(spy.count(), 1);  // below the rows
}

TEST_F(VTVList, RightClickSelectsTheRowUnderThePointer) {
  Fill({"A", "B", "C"});
  Show();
  TVTV::SelectNode(List.get(), 0);

  QTest::mouseClick(List->viewport(), Qt::RightButton, Qt::NoModifier, RowRect(2).center());

  EXPECT_EQ(List->FocusedNode(), 2);
  EXPECT_EQ(List->SelectedNodes(), std::vector<int>{2});
}

// --- Heights

TEST_F(VTVList, FixedHeightsFollowEachRowNotJustTheFirst) {
  Fill({"A", "B", "C"});
  Show();
  List->SetNodeHeight(1, 40);
  Settle();

  EXPECT_EQ(ViewRowHeight(0), kDefaultHeight);
  EXPECT_EQ(ViewRowHeight(1), 40);
  EXPECT_EQ(ViewRowHeight(2), kDefaultHeight);
  EXPECT_EQ(RowRect(2).top(), kDefaultHeight + 40);
}

TEST_F(VTVList, SetNodesHeightSetsEveryRowHiddenOnesIncludedAndTheDefaultOnlyNewRows) {
  Fill({"A", "B", "C", "D"});
  Show();
  List->SetNodeHeight(1, 40);
  List->SetVisibleNode(2, false);

  TVTV::SetNodesHeight(List.get(), 30);
  Settle();
  for (int row = 0; row < 4; ++row) EXPECT_EQ(List->NodeHeight(row), 30) << row;
  EXPECT_EQ(ViewRowHeight(1), 30);
  EXPECT_EQ(RowRect(3).top(), 2 * 30);  // below rows 0 and 1; row 2 is hidden

  List->SetDefaultNodeHeight(50);
  Fill({"E"});
  Settle();
  EXPECT_EQ(List->NodeHeight(0), 30);
  EXPECT_EQ(List->NodeHeight(4), 50);
  EXPECT_EQ(ViewRowHeight(4), 50);
  EXPECT_EQ(ViewRowHeight(3), 30);
}

TEST_F(VTVList, VariableHeightsFitTheWrappedTextAndFollowTheWidth) {
  const std::string longTitle =
      "Очень длинная формулировка справочника, которая никак не помещается в одну строку узкого списка";
  Fill({"Да", longTitle});
  std::vector<int> asked;
  std::vector<int> answers(2, 0);
  List->OnMeasureItem = [&](int row) {
    asked.push_back(row);
    answers[static_cast<size_t>(row)] = std::max(List->ComputeNodeHeight(row) + 4, List->DefaultNodeHeight());
    return answers[static_cast<size_t>(row)];
  };
  List->OnInitNode = [this](int row) { List->SetMultiLine(row, List->VariableNodeHeight()); };
  List->SetVariableNodeHeight(true);
  List->ReinitializeNodes();
  Show(160);

  const int lineHeight = QFontMetrics(List->font()).lineSpacing();
  EXPECT_GT(List->ComputeNodeHeight(1), 2 * lineHeight);
  EXPECT_EQ(List->ComputeNodeHeight(0), QFontMetrics(List->font()).height());
  EXPECT_EQ(List->NodeHeight(0), kDefaultHeight);
  EXPECT_GT(List->NodeHeight(1), List->NodeHeight(0));
  EXPECT_EQ(List->NodeHeight(1), answers[1]);
  EXPECT_TRUE(std::count(asked.begin(), asked.end(), 1) > 0);
  EXPECT_EQ(ViewRowHeight(1), List->NodeHeight(1));
  EXPECT_TRUE(List->IsMultiLine(1));

  // A wider list needs fewer lines: the rows are measured again.
  const int narrowHeight = List->NodeHeight(1);
  List->resize(1200, 300);
  Settle();
  EXPECT_LT(List->NodeHeight(1), narrowHeight);
  EXPECT_GE(List->NodeHeight(1), kDefaultHeight);
  EXPECT_EQ(ViewRowHeight(1), List->NodeHeight(1));
}

TEST_F(VTVList, ReinitializeNodesRunsInitForEveryRowAndSwitchesMeasuring) {
  Fill({"A", "B", "C"});
  bool wrap = false;
  std::vector<int> initialised;
  List->OnInitNode = [&](int row) {
    initialised.push_back(row);
    List->SetMultiLine(row, wrap);
  };
  int measured = 60;
  List->OnMeasureItem = [&measured](int) { return measured; };
  Show();
  List->SetVisibleNode(2, false);

  wrap = true;
  List->SetVariableNodeHeight(true);
  List->ReinitializeNodes();
  Settle();
  EXPECT_EQ(initialised, (std::vector<int>{0, 1, 2}));
  initialised.clear();
  for (int row = 0; row < 3; ++row) {
    EXPECT_TRUE(List->IsMultiLine(row)) << row;
    EXPECT_EQ(List->NodeHeight(row), 60) << row;
  }
  EXPECT_EQ(ViewRowHeight(1), 60);

  // Measured rows are measured again: the owner's answer may have changed.
  measured = 70;
  List->ReinitializeNodes();
  Settle();
  EXPECT_EQ(initialised, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(List->NodeHeight(2), 70);
  EXPECT_EQ(ViewRowHeight(1), 70);

  wrap = false;
  List->SetVariableNodeHeight(false);
  List->ReinitializeNodes();
  TVTV::SetNodesHeight(List.get(), List->DefaultNodeHeight());
  Settle();
  EXPECT_FALSE(List->IsMultiLine(0));
  EXPECT_EQ(ViewRowHeight(1), kDefaultHeight);
}

// --- Tooltips

struct TTooltipCase {
  const char* Name;
  bool MultiLine;
  bool LongText;
  bool Expected;
};

void PrintTo(const TTooltipCase& c, std::ostream* os) { *os << c.Name; }

class VTVTooltip : public VTVList, public ::testing::WithParamInterface<TTooltipCase> {};

TEST_P(VTVTooltip, HintShowsForMultiLineRowsAndForTextsThatDoNotFit) {
  const TTooltipCase& c = GetParam();
  Fill({c.LongText ? std::string(60, 'W') : std::string("Да")});
  List->SetMultiLine(0, c.MultiLine);
  Show(200);
  const QString hint = QStringLiteral("hint ") + QString::fromStdString(Entries.Items(0)->Title);

  EXPECT_EQ(List->WantsTooltip(0), c.Expected);
  EXPECT_EQ(List->TooltipAt(RowRect(0).center()), c.Expected ? hint : QString());
  EXPECT_EQ(List->TooltipAt(QPoint(5, RowRect(0).bottom() + 20)), QString());  // no row there
}

INSTANTIATE_TEST_SUITE_P(Cases, VTVTooltip,
                         ::testing::Values(TTooltipCase{"SingleLineFitting", false, false, false},
                                           TTooltipCase{"SingleLineCut", false, true, true},
                                           TTooltipCase{"MultiLineFitting", true, false, true},
                                           TTooltipCase{"MultiLineLong", true, true, true}),
                         [](const ::testing::TestParamInfo<TTooltipCase>& info) {
                           return std::string(info.param.Name);
                         });

TEST_F(VTVList, TooltipEventShowsTheHintOnlyWhenDue) {
  Fill({"Да", std::string(60, 'W')});
  Show(200);

  QHelpEvent cut(QEvent::ToolTip, RowRect(1).center(), List->viewport()->mapToGlobal(RowRect(1).center()));
  QApplication::sendEvent(List->viewport(), &cut);
  EXPECT_EQ(QToolTip::text(), QStringLiteral("hint ") + QString(60, 'W'));

  QHelpEvent fits(QEvent::ToolTip, RowRect(0).center(), List->viewport()->mapToGlobal(RowRect(0).center()));
  QApplication::sendEvent(List->viewport(), &fits);
  EXPECT_FALSE(fits.isAccepted());
  EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 3000));
}

// --- Painting

TEST_F(VTVList, CellsShowTheOwnersBackgroundAndTopLineUnderTheHighlights) {
  const QColor odd(255, 251, 240), even(Qt::white), line(Qt::blue);
  std::vector<std::pair<int, QRect>> painted;
  std::set<int> fonts;
  List->OnBeforeCellPaint = [&](QPainter* painter, int row, const QRect& rect) {
    painted.emplace_back(row, rect);
    painter->fillRect(rect, List->AbsoluteIndex(row) % 2 ? odd : even);
    painter->setPen(line);
    painter->drawLine(rect.topLeft(), rect.topRight());
  };
  const auto paintText = List->OnPaintText;
  List->OnPaintText = [&](int row, QFont& font) {
    fonts.insert(row);
    paintText(row, font);
  };
  Fill({"A", "B", "C", "D", "E"});
  Show();
  List->setFocus();
  TVTV::SelectNode(List.get(), 2);
  const QPoint hoverAt = RowRect(3).center();
  QHoverEvent hover(QEvent::HoverMove, hoverAt, List->viewport()->mapToGlobal(hoverAt), QPointF(-1, -1));
  QApplication::sendEvent(List->viewport(), &hover);
  Settle();

  const QImage image = List->viewport()->grab().toImage();
  const int x = List->viewport()->width() - 3;  // right of the short texts
  const auto middle = [&](int row) { return image.pixelColor(x, RowRect(row).center().y()); };
  EXPECT_EQ(middle(0), even);
  EXPECT_EQ(middle(1), odd);
  EXPECT_EQ(middle(4), even);
  const QColor selected = middle(2), hovered = middle(3);
  EXPECT_NE(selected, even);
  EXPECT_NE(selected, odd);
  EXPECT_NE(hovered, odd);  // tinted
  EXPECT_NE(hovered, selected);  // but lighter than the selection
  for (int row : {1, 2, 3, 4}) EXPECT_EQ(image.pixelColor(x, RowRect(row).top()), line) << row;

  ASSERT_FALSE(painted.empty());
  for (const auto& [row, rect] : painted) EXPECT_EQ(rect.width(), List->viewport()->width()) << row;
  EXPECT_EQ(fonts, (std::set<int>{0, 1, 2, 3, 4}));
}

// --- Updates and scrolling

TEST_F(VTVList, UpdateBracketsNestAndRepaintOnlyAtTheOuterEnd) {
  List->BeginUpdate();
  List->BeginUpdate();
  EXPECT_FALSE(List->updatesEnabled());
  List->EndUpdate();
  EXPECT_FALSE(List->updatesEnabled());
  List->EndUpdate();
  EXPECT_TRUE(List->updatesEnabled());
  List->EndUpdate();  // unbalanced end: harmless
  EXPECT_TRUE(List->updatesEnabled());
  {
    TVirtualListUpdate update(List.get());
    EXPECT_FALSE(List->updatesEnabled());
  }
  EXPECT_TRUE(List->updatesEnabled());
}

TEST_F(VTVList, ScrollIntoViewBringsARowJustIntoViewWithoutCentring) {
  std::vector<std::string> titles;
  for (int i = 0; i < 100; ++i) titles.push_back("row " + std::to_string(i));
  Fill(titles);
  Show(240, 300);
  const int viewportHeight = List->viewport()->height();

  List->ScrollIntoView(80);
  Settle();
  QRect rect = RowRect(80);
  EXPECT_TRUE(List->viewport()->rect().contains(rect)) << rect.top();
  EXPECT_GT(rect.bottom(), viewportHeight - 2 * kDefaultHeight);  // at the bottom edge

  List->ScrollIntoView(10);
  Settle();
  EXPECT_EQ(RowRect(10).top(), 0);  // at the top edge

  List->ScrollIntoView(12);  // already in view: nothing moves
  Settle();
  EXPECT_EQ(RowRect(10).top(), 0);

  // Focusing inside an update bracket scrolls once the bracket ends.
  {
    TVirtualListUpdate update(List.get());
    TVTV::SelectNode(List.get(), 90);
  }
  Settle();
  EXPECT_TRUE(List->viewport()->rect().contains(RowRect(90)));
}

// --- Cost of filtering a long folder

TEST_F(VTVList, FilteringTenThousandRowsIsCheap) {
  constexpr int kRows = 10000;
  std::vector<std::string> titles;
  for (int i = 0; i < kRows; ++i) titles.push_back("entry " + std::to_string(i));
  Show();
  QElapsedTimer timer;
  timer.start();
  Fill(titles);
  Settle();
  const double loadMs = timer.nsecsElapsed() / 1e6;

  // One filter keystroke: every row set, the first match focused.
  const auto pass = [this](auto matches) {
    QElapsedTimer passTimer;
    passTimer.start();
    bool first = true;
    {
      TVirtualListUpdate update(List.get());
      for (int row = List->FirstNode(); row != kNoNode; row = List->NextNode(row)) {
        const bool match = matches(row);
        if (match && first) {
          TVTV::SelectNode(List.get(), row);
          first = false;
        }
        List->SetVisibleNode(row, match);
      }
    }
    Settle();
    List->repaint();
    return passTimer.nsecsElapsed() / 1e6;
  };
  // The first pass meets a cold heap; later ones show the steady cost.
  for (int round = 1; round <= 3; ++round) {
    const double narrowMs = pass([](int row) { return row % 100 == 7; });
    int visible = 0;
    for (int row = 0; row < kRows; ++row) visible += List->IsVisibleNode(row) ? 1 : 0;
    EXPECT_EQ(visible, kRows / 100);
    EXPECT_EQ(List->FocusedNode(), 7);
    const double widenMs = pass([](int) { return true; });
    EXPECT_TRUE(List->IsVisibleNode(8));
    std::printf("[ info ] %d rows, pass %d: hide %.1f ms, show %.1f ms\n", kRows, round, narrowMs, widenMs);
  }
  std::printf("[ info ] %d rows: load %.1f ms\n", kRows, loadMs);
}

}  // namespace
