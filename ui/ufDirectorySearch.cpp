// The main window's search over the whole book: a field above the list,
// results in place of the folder while it holds text, and the keys that
// act on a result.

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolBar>

#include "uActions.h"
#include "uDirectoryBrowser.h"
#include "uSearchResults.h"
#include "uVTVUtils.h"
#include "ufDirectory.h"

void TfDirectory::CreateSearch() {
  eSearch = new QLineEdit(this);
  eSearch->setObjectName(QStringLiteral("eSearch"));
  eSearch->setAccessibleName(QStringLiteral("Поиск"));
  eSearch->setPlaceholderText(QStringLiteral("Поиск по всему справочнику"));
  eSearch->setToolTip(QStringLiteral(
      "Слова ищутся в названиях и описаниях записей всех папок, в любом порядке.\n"
      "Enter — показать запись в ее папке, Ctrl+C или Ctrl+Enter — скопировать,\n"
      "F2 — изменить, Escape — закрыть поиск."));
  eSearch->setClearButtonEnabled(true);
  eSearch->setVisible(false);
  eSearch->installEventFilter(this);
  connect(eSearch, &QLineEdit::textChanged, this,
          [this](const QString& text) { RunOnBook([this, &text] { SearchTextChanged(text); }); });

  vstSearch = new TSearchResultsView(this);
  vstSearch->setObjectName(QStringLiteral("vstSearch"));
  vstSearch->setAccessibleName(QStringLiteral("Результаты поиска"));
  vstSearch->setVisible(false);
  vstSearch->installEventFilter(this);
  vstSearch->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(vstSearch, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    RunGuarded([this, at] { ShowListMenu(vstSearch->viewport()->mapToGlobal(at)); });
  });
  connect(vstSearch->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { ActionListUpdate(); });
  connect(vstSearch, &TSearchResultsView::RowDoubleClicked, this,
          [this] { RunGuarded([this] { ResultDoubleClicked(); }); });
  // Results stay true to the book: whatever this window writes shows in them.
  connect(FBrowser, &TDirectoryBrowser::BookChanged, this, [this] {
    if (IsSearching()) FFolderStale = true;
  });
}

bool TfDirectory::IsSearching() const { return vstSearch && vstSearch->isVisibleTo(this); }

const TDirectory* TfDirectory::SearchFocusedEntry() const {
  const TSearchEntry* item = vstSearch->Model()->EntryAt(vstSearch->FocusedRow());
  if (!item) return nullptr;
  // What the commands on a result need; editing reads the whole entry.
  FSearchFocused.Clear();
  FSearchFocused.Id = item->Id;
  FSearchFocused.IdParent = item->IdParent;
  FSearchFocused.IsFolder = item->IsFolder;
  FSearchFocused.Title = item->Title;
  return &FSearchFocused;
}

int TfDirectory::SearchResultCount() const { return vstSearch->Model()->rowCount(); }

void TfDirectory::actSearchExecute() {
  FBrowser->PreloadSearchIndex();  // read while the user types
  eSearch->setVisible(true);
  eSearch->setFocus(Qt::ShortcutFocusReason);
  eSearch->selectAll();
}

void TfDirectory::SearchTextChanged(const QString& text) {
  if (SearchWords(text).isEmpty()) {
    if (IsSearching()) CloseSearch();
    return;
  }
  RunSearch(text, 0);
}

// Shows the results of query, the entry with focusId focused when it is
// among them, else the first.
void TfDirectory::RunSearch(const QString& query, int32_t focusId) {
  std::shared_ptr<const TBookIndex> index = FBrowser->SearchIndex();
  TSearchResultsModel* model = vstSearch->Model();
  // Typing on narrows the results: only they need looking at again, when
  // they were found in this same index.
  const bool narrows = IsSearching() && model->Index() == index && TBookIndex::Narrows(query, FSearchQuery);
  std::vector<TSearchHit> hits = narrows ? index->Find(query, model->Hits()) : index->Find(query);
  model->SetResults(std::move(index), std::move(hits), query);
  FSearchQuery = query;
  if (!IsSearching()) {
    vst->setVisible(false);
    vstSearch->setVisible(true);
  }
  const int row = model->RowOfId(focusId);
  vstSearch->SelectRow(row >= 0 ? row : 0);
  UpdateLabels();
  ActionListUpdate();
}

// Back to the folder as it was: rows, focus and filter. When the book
// changed meanwhile, the folder is read again and the focus and filter put
// back on it.
void TfDirectory::CloseSearch() {
  const bool hadFocus = eSearch->hasFocus() || vstSearch->hasFocus();
  eSearch->blockSignals(true);
  eSearch->clear();
  eSearch->blockSignals(false);
  eSearch->setVisible(false);
  vstSearch->setVisible(false);
  vstSearch->Model()->Clear();
  FSearchQuery.clear();
  vst->setVisible(true);
  if (hadFocus) vst->setFocus(Qt::OtherFocusReason);
  if (FFolderStale) {
    FFolderStale = false;
    const QString filter = FFilter;
    const int32_t focusId = FocusedId();
    Reload(FBrowser->CurrentId(), focusId);
    if (!filter.isEmpty()) {
      FFilter = filter;
      ApplyFilter(FFilter);
      TVTV::SelectNode(vst, FBrowser->IndexOfId(focusId));
    }
  }
  UpdateLabels();
  ActionListUpdate();
}

// Enter on a result: the search closes and the result's folder is shown
// with the result focused.
void TfDirectory::ShowResultInFolder() {
  const TDirectory* entry = SearchFocusedEntry();
  if (!entry) return;
  const int32_t id = entry->Id;
  const int32_t folderId = entry->IdParent;
  FFolderStale = false;  // the folder is read anew below
  CloseSearch();
  vst->setFocus(Qt::OtherFocusReason);
  Reload(folderId, id);
}

void TfDirectory::ResultDoubleClicked() {
  const TDirectory* entry = SearchFocusedEntry();
  if (!entry) return;
  RunAction(entry->IsFolder ? TDirectoryAction::EnterToChilds : TDirectoryAction::CopyToClipboard);
}

// Keys typed in the search field that act on the results.
bool TfDirectory::SearchFieldKey(QKeyEvent* event) {
  const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
  switch (event->key()) {
    case Qt::Key_Escape:
      RunGuarded([this] { CloseSearch(); });
      return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      if (modifiers != Qt::NoModifier || !IsSearching()) return false;
      QCoreApplication::sendEvent(vstSearch, event);
      return true;
    case Qt::Key_C:
      // Ctrl+C copies the result unless the user selected text to copy.
      if (modifiers != Qt::ControlModifier || eSearch->hasSelectedText()) return false;
      RunAction(TDirectoryAction::CopyToClipboard);
      return true;
    default:
      return false;
  }
}

bool TfDirectory::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // Shift+F10 opens the list's commands where the Menu key does.
    if ((watched == vst || watched == vstSearch) && key->key() == Qt::Key_F10 &&
        key->modifiers() == Qt::ShiftModifier) {
      auto* view = static_cast<QAbstractItemView*>(watched);
      const QRect row = view->visualRect(view->currentIndex());
      const QPoint at = row.isValid() ? row.bottomLeft() : QPoint(0, 0);
      RunGuarded([this, view, at] { ShowListMenu(view->viewport()->mapToGlobal(at)); });
      return true;
    }
    if (watched->isWidgetType() && watched->parent() && (watched->parent() == tb || watched->parent() == sb1) &&
        BarButtonKey(static_cast<QWidget*>(watched), key))
      return true;
  }
  if (watched == eSearch && event->type() == QEvent::ShortcutOverride) {
    // The field would take Ctrl+C for its own text even with none selected.
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Copy) && !eSearch->hasSelectedText()) {
      key->ignore();
      return true;
    }
  }
  if (watched == eSearch && event->type() == QEvent::KeyPress) {
    if (SearchFieldKey(static_cast<QKeyEvent*>(event))) return true;
  }
  if (watched == vstSearch && event->type() == QEvent::KeyPress) {
    // Letters typed on the results go on with the query.
    auto* key = static_cast<QKeyEvent*>(event);
    const bool typed = !key->text().isEmpty() && key->text().front().isPrint() &&
                       !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (typed) {
      eSearch->setFocus(Qt::OtherFocusReason);
      eSearch->insert(key->text());
      return true;
    }
  }
  return TfSimpleForm::eventFilter(watched, event);
}
