#pragma once
// The list control of the main window: a flat list whose rows point at
// TDirectory objects owned elsewhere (never owning or freeing them) and ask
// their owner for text, tooltip, font, background and height, in the manner
// of a virtual list. TVTV binds entries to rows.
//
// A row is named by its index (kNoNode for none). Hidden rows keep their
// place, data and height; every operation counts them.

#include <QAbstractListModel>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <functional>
#include <map>
#include <vector>

#include "uDirectory.h"

inline constexpr int kNoNode = -1;

class TVirtualList;

// The model behind the control: one row per node, one column "Название".
class TVirtualListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit TVirtualListModel(TVirtualList* owner);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  friend class TVirtualList;
  struct TNode {
    TDirectory* Object = nullptr;
    int Height = 0;
    bool MultiLine = false;
    bool Measured = false;  // Height came from OnMeasureItem (variable heights only)
  };
  void Clear();
  int Append(TDirectory* object, int height);
  void Move(int row, int destinationRow);  // destinationRow as beginMoveRows takes it
  void RowChanged(int row);

  TVirtualList* FOwner;
  std::vector<TNode> FNodes;
};

class TVirtualList : public QTreeView {
  Q_OBJECT

 public:
  explicit TVirtualList(QWidget* parent = nullptr);

  // Rows.
  void Clear();
  int AddChild(TDirectory* object);  // appends a top-level row
  int RowCount() const;              // hidden rows included
  int FirstNode() const;             // kNoNode when empty
  int NextNode(int row) const;       // over all rows, hidden included
  int PrevSibling(int row) const;
  int NextSibling(int row) const;
  int AbsoluteIndex(int row) const { return row; }
  TDirectory* NodeObject(int row) const;  // nullptr for kNoNode
  void SetNodeObject(int row, TDirectory* object);
  // Moves a row to just before / just after another; returns its new row.
  int MoveBefore(int row, int target);
  int MoveAfter(int row, int target);

  // Focus and selection (single selection, full row).
  int FocusedNode() const;
  void SetFocusedNode(int row);
  void ClearSelection();
  void SetSelected(int row, bool selected);
  std::vector<int> SelectedNodes() const;
  int SelectedCount() const;

  // Visibility.
  bool IsVisibleNode(int row) const;
  void SetVisibleNode(int row, bool visible);

  // Heights.
  int DefaultNodeHeight() const { return FDefaultNodeHeight; }
  void SetDefaultNodeHeight(int height);
  int NodeHeight(int row) const;  // measures the row first when due
  // With variable heights a row not yet measured (after being added,
  // re-initialised, or a width or font change) still gets OnMeasureItem's
  // height when it is first needed.
  void SetNodeHeight(int row, int height);
  bool VariableNodeHeight() const { return FVariableNodeHeight; }
  void SetVariableNodeHeight(bool variable);  // asks OnMeasureItem for heights
  bool IsMultiLine(int row) const;
  void SetMultiLine(int row, bool multiLine);
  // The height the row's text needs (in its OnPaintText font) wrapped to
  // the column width, margins not included. The width leaves room for the
  // vertical scroll bar even while it is hidden, so that heights do not
  // change as it comes and goes.
  int ComputeNodeHeight(int row) const;
  // Runs OnInitNode for every row again and measures again when heights
  // are variable; then repaints.
  void ReinitializeNodes();

  // Batch changes repaint once at the end.
  void BeginUpdate();
  void EndUpdate();
  // Scrolls a row into view without centring it.
  void ScrollIntoView(int row);

  // Tooltip mode: a multi-line row always shows its hint, a single-line row
  // only while its text does not fit in the visible part of the cell.
  bool WantsTooltip(int row) const;
  // The tooltip for a point of the viewport; empty when none is due.
  QString TooltipAt(const QPoint& viewportPos) const;

  // The owner's side, in the manner of a virtual list's events.
  std::function<QString(int row)> OnGetText;
  std::function<QString(int row)> OnGetHint;
  std::function<void(int row, QFont& font)> OnPaintText;
  std::function<void(QPainter* painter, int row, const QRect& cellRect)> OnBeforeCellPaint;
  std::function<int(int row)> OnMeasureItem;  // only while heights are variable
  std::function<void(int row)> OnInitNode;    // when a row is added or re-initialised
  std::function<void(QChar character)> OnKeyPress;  // typed characters, Backspace and Esc included

 signals:
  void NodeDoubleClicked(int row);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void keyboardSearch(const QString& search) override;  // none of its own
  bool viewportEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

 private:
  friend class TVirtualListModel;
  friend class TVirtualListDelegate;
  bool IsValidRow(int row) const { return row >= 0 && row < RowCount(); }
  QModelIndex IndexOf(int row) const;
  QString RowText(int row) const;
  QFont RowFont(int row) const;
  // Text area of a cell and the widths text is laid out in.
  QRect TextRect(const QRect& cellRect) const;
  int VisibleTextWidth() const;
  int WrapWidth() const;
  // Heights: every change goes through StoreHeight so that the view may
  // assume equal rows exactly while they are equal.
  void StoreHeight(int row, int height) const;
  void EnsureMeasured(int row) const;
  void Measure(int row) const;
  void InvalidateMeasures();
  void UpdateUniformRows();
  int MoveTo(int row, int destinationRow);
  bool TextFits(int row) const;

  TVirtualListModel* FModel;
  int FDefaultNodeHeight = 18;
  bool FVariableNodeHeight = false;
  int FUpdateDepth = 0;
  bool FScrollToCurrent = false;  // the focus moved inside an update bracket
  int FMeasureWidth = -1;  // the wrap width the measured heights hold for
  mutable std::map<int, int> FHeightCounts;  // height -> number of rows
};

// Begin-update / end-update bracket that also ends on an exception.
class TVirtualListUpdate {
 public:
  explicit TVirtualListUpdate(TVirtualList* list) : FList(list) { FList->BeginUpdate(); }
  ~TVirtualListUpdate() { FList->EndUpdate(); }
  TVirtualListUpdate(const TVirtualListUpdate&) = delete;
  TVirtualListUpdate& operator=(const TVirtualListUpdate&) = delete;

 private:
  TVirtualList* FList;
};

// Paints a row: the owner's background and font, then the text, wrapped
// for a multi-line row and elided otherwise.
class TVirtualListDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  explicit TVirtualListDelegate(TVirtualList* list);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  TVirtualList* FList;
};

// Binds TDirectory objects to rows of the list control.
class TVTV {
 public:
  static void InitTree(TVirtualList* tree);
  static int AddNode(TVirtualList* tree, TDirectory* object, int parent = kNoNode);
  static void AddNodes(TVirtualList* tree, const TDirectoryList& list, int parent = kNoNode);
  static TDirectory* GetNodeObject(const TVirtualList* tree, int row);
  static void SetNodeObject(TVirtualList* tree, int row, TDirectory* object);
  static TDirectory* GetFocusedObject(const TVirtualList* tree);
  // Clears the selection, focuses the row and selects it; false for kNoNode.
  static bool SelectNode(TVirtualList* tree, int row);
  static void SetNodesHeight(TVirtualList* tree, int height);
};
