#include "uSearchResults.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>

namespace {

constexpr int kMargin = 4;
constexpr int kGap = 12;  // between the title and the path

QFont TitleFont(const QFont& base, bool folder) {
  QFont font = base;
  font.setBold(folder);
  return font;
}

// The title laid out on one line with the found words marked: bold and
// underlined, on a tint of the selection colour where the row is not
// selected, so the mark reads in any colour scheme.
void DrawMarkedTitle(QPainter* painter, const QRect& rect, const QString& title, const QFont& font,
                     const std::vector<std::pair<int, int>>& spans, const QColor& tint) {
  QList<QTextLayout::FormatRange> formats;
  for (const auto& [start, length] : spans) {
    QTextLayout::FormatRange range;
    range.start = start;
    range.length = length;
    range.format.setFontWeight(QFont::Bold);
    range.format.setFontUnderline(true);
    if (tint.isValid()) range.format.setBackground(tint);
    formats << range;
  }
  QTextLayout layout(title, font);
  layout.setFormats(formats);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  if (line.isValid()) line.setLineWidth(rect.width());
  layout.endLayout();
  if (!line.isValid()) return;
  painter->save();
  painter->setClipRect(rect, Qt::IntersectClip);
  const qreal top = rect.top() + (rect.height() - line.height()) / 2;
  layout.draw(painter, QPointF(rect.left(), top));
  painter->restore();
}

}  // namespace

// ---------------------------------------------------------------------------
// TSearchResultsModel

TSearchResultsModel::TSearchResultsModel(QObject* parent) : QAbstractListModel(parent) {}

void TSearchResultsModel::SetResults(std::shared_ptr<const TBookIndex> index, std::vector<TSearchHit> hits,
                                     const QString& query) {
  beginResetModel();
  FIndex = std::move(index);
  FHits = std::move(hits);
  FWords = SearchWords(query);
  endResetModel();
}

void TSearchResultsModel::Clear() {
  beginResetModel();
  FIndex.reset();
  FHits.clear();
  FWords.clear();
  endResetModel();
}

const TSearchEntry* TSearchResultsModel::EntryAt(int row) const {
  if (!FIndex || row < 0 || row >= static_cast<int>(FHits.size())) return nullptr;
  return &FIndex->Entries()[static_cast<size_t>(FHits[static_cast<size_t>(row)].Entry)];
}

QString TSearchResultsModel::PathAt(int row) const {
  const TSearchEntry* item = EntryAt(row);
  return item ? FIndex->PathOf(*item) : QString();
}

int TSearchResultsModel::RowOfId(int32_t id) const {
  for (int row = 0; row < static_cast<int>(FHits.size()); ++row) {
    if (EntryAt(row)->Id == id) return row;
  }
  return -1;
}

int TSearchResultsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(FHits.size());
}

QVariant TSearchResultsModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) return {};
  const TSearchEntry* item = EntryAt(index.row());
  switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(item->Title);
    case PathRole: return PathAt(index.row());
    case FolderRole: return item->IsFolder;
    case Qt::ToolTipRole: return QString::fromStdString(item->Title) + QLatin1Char('\n') + PathAt(index.row());
    case Qt::AccessibleTextRole:
      return QString::fromStdString(item->Title) +
             (item->IsFolder ? QStringLiteral(" (папка), ") : QStringLiteral(", ")) + QStringLiteral("в папке ") +
             PathAt(index.row());
    default: return {};
  }
}

Qt::ItemFlags TSearchResultsModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

// ---------------------------------------------------------------------------
// TSearchResultsDelegate

QSize TSearchResultsDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return QSize(option.rect.width(), QFontMetrics(TitleFont(option.font, true)).height() + 2 * kMargin);
}

void TSearchResultsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
  QStyleOptionViewItem panel = option;
  initStyleOption(&panel, index);
  panel.text.clear();
  const QWidget* view = option.widget;
  QStyle* style = view ? view->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &panel, painter, view);

  const bool selected = option.state & QStyle::State_Selected;
  const QPalette::ColorGroup group = option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
  const QColor text = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
  QColor dimmed = text;
  dimmed.setAlphaF(0.75f);
  QColor tint = option.palette.color(group, QPalette::Highlight);
  tint.setAlpha(70);

  const QRect area = option.rect.adjusted(kMargin, 0, -kMargin, 0);
  const QString path = index.data(TSearchResultsModel::PathRole).toString();
  const QFontMetrics pathMetrics(option.font);
  const int pathWidth = std::min(pathMetrics.horizontalAdvance(path), area.width() / 2);
  const QRect pathRect(area.right() - pathWidth + 1, area.top(), pathWidth, area.height());
  QRect titleRect = area;
  titleRect.setRight(pathRect.left() - kGap);

  painter->save();
  painter->setPen(dimmed);
  painter->setFont(option.font);
  painter->drawText(pathRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                    pathMetrics.elidedText(path, Qt::ElideLeft, pathWidth));
  painter->setPen(text);
  const auto* model = qobject_cast<const TSearchResultsModel*>(index.model());
  const QString title = index.data(Qt::DisplayRole).toString();
  const auto spans = model ? FindWordSpans(title, model->Words()) : std::vector<std::pair<int, int>>{};
  DrawMarkedTitle(painter, titleRect, title, TitleFont(option.font, index.data(TSearchResultsModel::FolderRole).toBool()),
                  spans, selected ? QColor() : tint);
  painter->restore();
}

// ---------------------------------------------------------------------------
// TSearchResultsView

TSearchResultsView::TSearchResultsView(QWidget* parent) : QTreeView(parent), FModel(new TSearchResultsModel(this)) {
  setModel(FModel);
  setItemDelegate(new TSearchResultsDelegate(this));
  setHeaderHidden(true);
  header()->setStretchLastSection(true);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setExpandsOnDoubleClick(false);
  setIndentation(0);
  setUniformRowHeights(true);  // a hundred thousand rows lay out at once
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setAllColumnsShowFocus(true);
}

void TSearchResultsView::SelectRow(int row) {
  if (row < 0 || row >= FModel->rowCount()) {
    selectionModel()->clear();
    return;
  }
  const QModelIndex index = FModel->index(row);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(index);
}

int TSearchResultsView::FocusedRow() const {
  const QModelIndex current = currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TSearchResultsView::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() != Qt::LeftButton || !index.isValid()) {
    QTreeView::mouseDoubleClickEvent(event);
    return;
  }
  SelectRow(index.row());
  event->accept();
  emit RowDoubleClicked(index.row());
}
