#pragma once
// The results of a search over the whole book as a list: each row an
// entry's title (folders bold) with the words found marked, and the path of
// folders it lives at.

#include <QAbstractListModel>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <memory>
#include <vector>

#include "uBookSearch.h"

class TSearchResultsModel : public QAbstractListModel {
  Q_OBJECT

 public:
  enum TRole { PathRole = Qt::UserRole + 1, FolderRole };

  explicit TSearchResultsModel(QObject* parent = nullptr);

  // Shows hits of index for the query's words, keeping the index.
  void SetResults(std::shared_ptr<const TBookIndex> index, std::vector<TSearchHit> hits, const QString& query);
  void Clear();

  const std::vector<TSearchHit>& Hits() const { return FHits; }
  const std::shared_ptr<const TBookIndex>& Index() const { return FIndex; }
  const QStringList& Words() const { return FWords; }
  const TSearchEntry* EntryAt(int row) const;
  QString PathAt(int row) const;
  int RowOfId(int32_t id) const;  // -1 when not among the results

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  std::shared_ptr<const TBookIndex> FIndex;
  std::vector<TSearchHit> FHits;
  QStringList FWords;
};

// Paints a result: the title with the found words marked, the path after it
// in the view's text colour, dimmed.
class TSearchResultsDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The view of the results: one row per hit, single selection, no editing.
class TSearchResultsView : public QTreeView {
  Q_OBJECT

 public:
  explicit TSearchResultsView(QWidget* parent = nullptr);
  TSearchResultsModel* Model() const { return FModel; }
  // The row focused and selected; none (-1) clears both.
  void SelectRow(int row);
  int FocusedRow() const;

 signals:
  void RowDoubleClicked(int row);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  TSearchResultsModel* FModel;
};
