#include "uVTVUtils.h"

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <algorithm>
#include <climits>

#include "uQmControlFunctions.h"

namespace {

// Room between a cell's edges and its text. The owner's row heights add
// twice kTextVMargin to the text height, so both sides agree on it.
constexpr int kTextHMargin = 4;
constexpr int kTextVMargin = 2;

// How strongly the row under the mouse is tinted; light enough for the
// owner's stripes to show through.
constexpr int kHoverAlpha = 48;

constexpr int kWrapFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

int WrappedTextHeight(const QFontMetrics& metrics, int width, const QString& text) {
  const QRect bounds = metrics.boundingRect(QRect(0, 0, std::max(width, 1), INT_MAX / 2), kWrapFlags, text);
  return std::max(bounds.height(), metrics.height());
}

}  // namespace

// ---------------------------------------------------------------------------
// TVirtualListModel

TVirtualListModel::TVirtualListModel(TVirtualList* owner) : QAbstractListModel(owner), FOwner(owner) {}

int TVirtualListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FNodes.size());
}

QVariant TVirtualListModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  if (role == Qt::DisplayRole) return FOwner->RowText(index.row());
  return {};
}

QVariant TVirtualListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && section == 0 && role == Qt::DisplayRole) return QStringLiteral("Название");
  return QAbstractListModel::headerData(section, orientation, role);
}

Qt::ItemFlags TVirtualListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // Never having children spares the view its look-ups for branches.
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void TVirtualListModel::Clear() {
  beginResetModel();
  FNodes.clear();
  endResetModel();
}

int TVirtualListModel::Append(TDirectory* object, int height) {
  const int row = static_cast<int>(FNodes.size());
  beginInsertRows(QModelIndex(), row, row);
  FNodes.push_back(TNode{object, height, false, false});
  endInsertRows();
  return row;
}

void TVirtualListModel::Move(int row, int destinationRow) {
  if (!beginMoveRows(QModelIndex(), row, row, QModelIndex(), destinationRow)) return;
  const auto first = FNodes.begin();
  if (destinationRow > row)
    std::rotate(first + row, first + row + 1, first + destinationRow);
  else
    std::rotate(first + destinationRow, first + row, first + row + 1);
  endMoveRows();
}

void TVirtualListModel::RowChanged(int row) {
  const QModelIndex changed = index(row);
  emit dataChanged(changed, changed);
}

// ---------------------------------------------------------------------------
// TVirtualList

TVirtualList::TVirtualList(QWidget* parent) : QTreeView(parent), FModel(new TVirtualListModel(this)) {
  setModel(FModel);
  setItemDelegate(new TVirtualListDelegate(this));
  setHeaderHidden(true);
  header()->setStretchLastSection(true);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setExpandsOnDoubleClick(false);
  setIndentation(0);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  // The delegate draws the focus itself, below the text and off the top
  // grid line; the view's own full-row frame would cover both.
  setAllColumnsShowFocus(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragEnabled(false);
  setTabKeyNavigation(false);
  // Per-item scrolling measures only the rows around the viewport, so
  // hiding and showing thousands of rows stays cheap even with variable
  // heights; per-pixel scrolling would sum every row's height.
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  // The only column always fills the viewport; long texts are elided.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Hot tracking: the view marks the row under the mouse for the delegate.
  setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_Hover);
  setUniformRowHeights(true);  // no rows yet
  setAttribute(Qt::WA_InputMethodEnabled, true);
}

QModelIndex TVirtualList::IndexOf(int row) const { return IsValidRow(row) ? FModel->index(row) : QModelIndex(); }

QString TVirtualList::RowText(int row) const { return OnGetText ? OnGetText(row) : QString(); }

QFont TVirtualList::RowFont(int row) const {
  QFont result = font();
  if (OnPaintText) OnPaintText(row, result);
  return result;
}

// --- Rows

void TVirtualList::Clear() {
  FModel->Clear();
  FHeightCounts.clear();
  UpdateUniformRows();
}

int TVirtualList::AddChild(TDirectory* object) {
  const int row = FModel->Append(object, FDefaultNodeHeight);
  ++FHeightCounts[FDefaultNodeHeight];
  if (OnInitNode) OnInitNode(row);
  UpdateUniformRows();
  return row;
}

int TVirtualList::RowCount() const { return static_cast<int>(FModel->FNodes.size()); }

int TVirtualList::FirstNode() const { return RowCount() > 0 ? 0 : kNoNode; }

int TVirtualList::NextNode(int row) const { return NextSibling(row); }

int TVirtualList::PrevSibling(int row) const { return IsValidRow(row) && row > 0 ? row - 1 : kNoNode; }

int TVirtualList::NextSibling(int row) const { return IsValidRow(row) && row + 1 < RowCount() ? row + 1 : kNoNode; }

TDirectory* TVirtualList::NodeObject(int row) const {
  return IsValidRow(row) ? FModel->FNodes[static_cast<size_t>(row)].Object : nullptr;
}

void TVirtualList::SetNodeObject(int row, TDirectory* object) {
  if (!IsValidRow(row)) return;
  auto& node = FModel->FNodes[static_cast<size_t>(row)];
  node.Object = object;
  node.Measured = false;  // another text may need another height
  FModel->RowChanged(row);
}

int TVirtualList::MoveBefore(int row, int target) {
  if (!IsValidRow(row) || !IsValidRow(target) || row == target) return row;
  return MoveTo(row, target);
}

int TVirtualList::MoveAfter(int row, int target) {
  if (!IsValidRow(row) || !IsValidRow(target) || row == target) return row;
  return MoveTo(row, target + 1);
}

int TVirtualList::MoveTo(int row, int destinationRow) {
  if (destinationRow == row || destinationRow == row + 1) return row;  // already there
  // A model move, not remove-and-insert: the view's hidden rows, the
  // current index and the selection are persistent indexes and follow.
  FModel->Move(row, destinationRow);
  return destinationRow > row ? destinationRow - 1 : destinationRow;
}

// --- Focus and selection

int TVirtualList::FocusedNode() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() : kNoNode;
}

void TVirtualList::SetFocusedNode(int row) {
  if (!IsValidRow(row)) {
    selectionModel()->clearCurrentIndex();
    return;
  }
  selectionModel()->setCurrentIndex(IndexOf(row), QItemSelectionModel::NoUpdate);
}

void TVirtualList::ClearSelection() { selectionModel()->clearSelection(); }

void TVirtualList::SetSelected(int row, bool selected) {
  if (!IsValidRow(row)) return;
  // The selection model does not keep to single selection by itself.
  const auto command = selected ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Deselect;
  selectionModel()->select(IndexOf(row), command | QItemSelectionModel::Rows);
}

std::vector<int> TVirtualList::SelectedNodes() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

int TVirtualList::SelectedCount() const { return static_cast<int>(selectionModel()->selectedRows().size()); }

// --- Visibility

bool TVirtualList::IsVisibleNode(int row) const { return IsValidRow(row) && !isRowHidden(row, QModelIndex()); }

void TVirtualList::SetVisibleNode(int row, bool visible) {
  // The filter sets every row on every keystroke, most of them unchanged;
  // the view only marks its layout as due, once, for the changed ones.
  if (!IsValidRow(row) || isRowHidden(row, QModelIndex()) != visible) return;
  setRowHidden(row, QModelIndex(), !visible);
}

// --- Heights

void TVirtualList::SetDefaultNodeHeight(int height) { FDefaultNodeHeight = std::max(height, 1); }

void TVirtualList::StoreHeight(int row, int height) const {
  auto& node = FModel->FNodes[static_cast<size_t>(row)];
  if (node.Height == height) return;
  auto old = FHeightCounts.find(node.Height);
  if (old != FHeightCounts.end() && --old->second == 0) FHeightCounts.erase(old);
  ++FHeightCounts[height];
  node.Height = height;
}

int TVirtualList::NodeHeight(int row) const {
  if (!IsValidRow(row)) return 0;
  EnsureMeasured(row);
  return FModel->FNodes[static_cast<size_t>(row)].Height;
}

void TVirtualList::SetNodeHeight(int row, int height) {
  if (!IsValidRow(row)) return;
  // With variable heights this holds for a row already measured; a row
  // still to be measured gets the owner's height when the view needs it.
  StoreHeight(row, std::max(height, 1));
  UpdateUniformRows();
  // One relayout per event loop pass however many rows change.
  scheduleDelayedItemsLayout();
}

void TVirtualList::SetVariableNodeHeight(bool variable) {
  if (FVariableNodeHeight == variable) return;
  FVariableNodeHeight = variable;
  if (variable) InvalidateMeasures();
  UpdateUniformRows();
  scheduleDelayedItemsLayout();
}

bool TVirtualList::IsMultiLine(int row) const {
  return IsValidRow(row) && FModel->FNodes[static_cast<size_t>(row)].MultiLine;
}

void TVirtualList::SetMultiLine(int row, bool multiLine) {
  if (!IsValidRow(row)) return;
  auto& node = FModel->FNodes[static_cast<size_t>(row)];
  if (node.MultiLine == multiLine) return;
  node.MultiLine = multiLine;
  node.Measured = false;  // the owner may measure wrapped rows differently
  FModel->RowChanged(row);
}

int TVirtualList::VisibleTextWidth() const { return std::max(viewport()->width() - 2 * kTextHMargin, 1); }

int TVirtualList::WrapWidth() const {
  int width = viewport()->width();
  // Measured against a width that changes with the scroll bar, heights
  // could make the bar come and go in turns; measure as if it were there.
  const bool barTakesRoom = !style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, verticalScrollBar());
  if (barTakesRoom && verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded && !verticalScrollBar()->isVisibleTo(this))
    width -= verticalScrollBar()->sizeHint().width();
  return std::max(width - 2 * kTextHMargin, 1);
}

QRect TVirtualList::TextRect(const QRect& cellRect) const {
  QRect visible = cellRect;
  visible.setRight(std::min(cellRect.right(), viewport()->width() - 1));
  return visible.adjusted(kTextHMargin, kTextVMargin, -kTextHMargin, -kTextVMargin);
}

int TVirtualList::ComputeNodeHeight(int row) const {
  if (!IsValidRow(row)) return 0;
  return WrappedTextHeight(QFontMetrics(RowFont(row)), WrapWidth(), RowText(row));
}

void TVirtualList::Measure(int row) const {
  auto& node = FModel->FNodes[static_cast<size_t>(row)];
  node.Measured = true;  // before asking, so an owner asking NodeHeight does not recurse
  const int height = OnMeasureItem ? OnMeasureItem(row)
                                   : std::max(ComputeNodeHeight(row) + 2 * kTextVMargin, FDefaultNodeHeight);
  StoreHeight(row, std::max(height, 1));
}

void TVirtualList::EnsureMeasured(int row) const {
  // Rows are measured when the view first needs them, so loading or
  // re-initialising a long folder measures only what is looked at.
  if (FVariableNodeHeight && !FModel->FNodes[static_cast<size_t>(row)].Measured) Measure(row);
}

void TVirtualList::InvalidateMeasures() {
  for (auto& node : FModel->FNodes) node.Measured = false;
  FMeasureWidth = WrapWidth();
  scheduleDelayedItemsLayout();
  viewport()->update();
}

void TVirtualList::UpdateUniformRows() {
  // The view may take one row's height for all only while that is true.
  const bool uniform = !FVariableNodeHeight && FHeightCounts.size() <= 1;
  if (uniformRowHeights() == uniform) return;
  setUniformRowHeights(uniform);
  scheduleDelayedItemsLayout();
}

void TVirtualList::ReinitializeNodes() {
  TVirtualListUpdate update(this);
  // A relayout is due from here on, so the view skips its per-row work
  // for the changes OnInitNode makes.
  scheduleDelayedItemsLayout();
  for (int row = 0; row < RowCount(); ++row) {
    FModel->FNodes[static_cast<size_t>(row)].Measured = false;
    if (OnInitNode) OnInitNode(row);
  }
  FMeasureWidth = WrapWidth();
  UpdateUniformRows();
  viewport()->update();
}

// --- Updates

void TVirtualList::BeginUpdate() {
  if (FUpdateDepth++ == 0) setUpdatesEnabled(false);
}

void TVirtualList::EndUpdate() {
  if (FUpdateDepth == 0) return;
  if (--FUpdateDepth == 0) {
    setUpdatesEnabled(true);
    if (FScrollToCurrent) {
      FScrollToCurrent = false;
      if (currentIndex().isValid() && hasAutoScroll() && isVisible()) scrollTo(currentIndex());
    }
    viewport()->update();
  }
}

void TVirtualList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  if (FUpdateDepth > 0) {
    // The view would repaint and scroll to the new row at once, laying out
    // every row in the middle of the batch (the filter focuses its first
    // match halfway through); the end of the batch does both, once.
    FScrollToCurrent = true;
    return;
  }
  QTreeView::currentChanged(current, previous);
}

void TVirtualList::ScrollIntoView(int row) {
  if (IsValidRow(row)) scrollTo(IndexOf(row), QAbstractItemView::EnsureVisible);
}

// --- Tooltips

bool TVirtualList::TextFits(int row) const {
  return QFontMetrics(RowFont(row)).horizontalAdvance(RowText(row)) <= VisibleTextWidth();
}

bool TVirtualList::WantsTooltip(int row) const {
  if (!IsValidRow(row) || !OnGetHint) return false;
  return IsMultiLine(row) || !TextFits(row);
}

QString TVirtualList::TooltipAt(const QPoint& viewportPos) const {
  const QModelIndex index = indexAt(viewportPos);
  if (!index.isValid() || !WantsTooltip(index.row())) return {};
  return OnGetHint(index.row());
}

// --- Events

void TVirtualList::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  // Alt chords belong to menus and commands, not to typing.
  const bool altChord = (event->modifiers() & Qt::AltModifier) && !(event->modifiers() & Qt::ControlModifier);
  if (OnKeyPress && text.size() == 1 && !altChord) {
    // Every typed character goes to the owner, control characters too
    // (Enter, Backspace, Esc): it decides what to ignore. Accepting the key
    // keeps Enter and Esc from reaching a dialog around the list.
    OnKeyPress(text.front());
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

void TVirtualList::keyboardSearch(const QString& /*search*/) {}

void TVirtualList::inputMethodEvent(QInputMethodEvent* event) {
  // Text an input method or a compose sequence commits is typed text too.
  if (OnKeyPress) {
    for (QChar character : event->commitString()) OnKeyPress(character);
    event->accept();
    return;
  }
  QTreeView::inputMethodEvent(event);
}

bool TVirtualList::viewportEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::ToolTip: {
      auto* help = static_cast<QHelpEvent*>(event);
      const QString tip = TooltipAt(help->pos());
      if (tip.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
      } else {
        QToolTip::showText(help->globalPos(), tip, viewport(), visualRect(indexAt(help->pos())),
                           HintPauses().HidePause);
      }
      return true;
    }
    case QEvent::Resize: {
      const bool handled = QTreeView::viewportEvent(event);
      if (FVariableNodeHeight && WrapWidth() != FMeasureWidth) InvalidateMeasures();
      return handled;
    }
    default:
      return QTreeView::viewportEvent(event);
  }
}

void TVirtualList::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    // A right click selects the row under it, ready for a context menu.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
      selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    event->accept();
    return;
  }
  QTreeView::mousePressEvent(event);
}

void TVirtualList::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() != Qt::LeftButton || !index.isValid()) {
    QTreeView::mouseDoubleClickEvent(event);
    return;
  }
  if (currentIndex() != index)
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  event->accept();
  emit NodeDoubleClicked(index.row());
}

void TVirtualList::changeEvent(QEvent* event) {
  QTreeView::changeEvent(event);
  // Wrapped heights depend on the font.
  if (event->type() == QEvent::FontChange && FVariableNodeHeight) InvalidateMeasures();
}

// ---------------------------------------------------------------------------
// TVirtualListDelegate

TVirtualListDelegate::TVirtualListDelegate(TVirtualList* list) : QStyledItemDelegate(list), FList(list) {}

QSize TVirtualListDelegate::sizeHint(const QStyleOptionViewItem& /*option*/, const QModelIndex& index) const {
  return QSize(FList->viewport()->width(), FList->NodeHeight(index.row()));
}

void TVirtualListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  const int row = index.row();
  const QRect cell = option.rect;
  const QStyle::State state = option.state;
  const bool selected = state & QStyle::State_Selected;
  const QPalette::ColorGroup group = !(state & QStyle::State_Enabled) ? QPalette::Disabled
                                     : (state & QStyle::State_Active) ? QPalette::Active
                                                                      : QPalette::Inactive;
  painter->save();
  painter->setClipRect(cell, Qt::IntersectClip);

  // The view has already drawn its own row panel; the cell is ours.
  painter->fillRect(cell, option.palette.brush(group, QPalette::Base));
  if (FList->OnBeforeCellPaint) {
    painter->save();
    FList->OnBeforeCellPaint(painter, row, cell);
    painter->restore();
  }

  // Highlights leave the top pixel line alone: it is the grid line.
  const QRect highlight = cell.adjusted(0, 1, 0, 0);
  if (selected) {
    painter->fillRect(highlight, option.palette.brush(group, QPalette::Highlight));
  } else if (state & QStyle::State_MouseOver) {
    QColor hover = option.palette.color(group, QPalette::Highlight);
    hover.setAlpha(kHoverAlpha);
    painter->fillRect(highlight, hover);
  }
  if ((state & QStyle::State_HasFocus) && !selected) {
    QStyleOptionFocusRect focus;
    focus.QStyleOption::operator=(option);
    focus.rect = highlight;
    focus.backgroundColor = option.palette.color(group, QPalette::Base);
    FList->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, FList);
  }

  const QFont font = FList->RowFont(row);
  const QString text = FList->RowText(row);
  const QRect textRect = FList->TextRect(cell);
  painter->setFont(font);
  painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
  const QFontMetrics metrics(font);
  if (FList->IsMultiLine(row)) {
    // Centred while it fits; from the top when the row is too low for it.
    const bool fits = WrappedTextHeight(metrics, textRect.width(), text) <= textRect.height();
    painter->drawText(textRect, Qt::AlignLeft | Qt::TextWordWrap | (fits ? Qt::AlignVCenter : Qt::AlignTop), text);
  } else {
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      metrics.elidedText(text, Qt::ElideRight, textRect.width()));
  }
  painter->restore();
}

// ---------------------------------------------------------------------------
// TVTV

void TVTV::InitTree(TVirtualList* /*tree*/) {
  // Each row of TVirtualList holds just one TDirectory pointer and never
  // owns it, so there is nothing left to set up; kept as the one place
  // a list is prepared for binding entries.
}

int TVTV::AddNode(TVirtualList* tree, TDirectory* object, int /*parent*/) {
  // The list is flat: every row is top-level whatever parent is given.
  return tree->AddChild(object);
}

void TVTV::AddNodes(TVirtualList* tree, const TDirectoryList& list, int parent) {
  for (const auto& entry : list) AddNode(tree, entry.get(), parent);
}

TDirectory* TVTV::GetNodeObject(const TVirtualList* tree, int row) {
  return row == kNoNode ? nullptr : tree->NodeObject(row);
}

void TVTV::SetNodeObject(TVirtualList* tree, int row, TDirectory* object) { tree->SetNodeObject(row, object); }

TDirectory* TVTV::GetFocusedObject(const TVirtualList* tree) { return GetNodeObject(tree, tree->FocusedNode()); }

bool TVTV::SelectNode(TVirtualList* tree, int row) {
  if (row == kNoNode || row < 0 || row >= tree->RowCount()) return false;
  // This order leaves exactly one selected row, the focused one.
  tree->ClearSelection();
  tree->SetFocusedNode(row);
  tree->SetSelected(row, true);
  return true;
}

void TVTV::SetNodesHeight(TVirtualList* tree, int height) {
  for (int row = tree->FirstNode(); row != kNoNode; row = tree->NextNode(row)) tree->SetNodeHeight(row, height);
}
