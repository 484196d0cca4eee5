#include "ufDirectory.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QToolButton>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "uActions.h"
#include "uDbFailure.h"
#include "uMessages.h"
#include "uBookChangeSignal.h"
#include "uDirectoryBrowser.h"
#include "uElidedLabel.h"
#include "uThemeColors.h"
#include "uSearchResults.h"
#include "uGlobals.h"
#include "uQmControlFunctions.h"
#include "uVTVUtils.h"
#include "udmDB.h"

namespace {

// Screen readers see the main window as an application window ("frame"),
// not as the dialog its base class would make it.
QAccessibleInterface* MainWindowAccessible(const QString& key, QObject* object) {
  if (key == QLatin1String("TfDirectory") && object && object->isWidgetType())
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
  return nullptr;
}

}  // namespace

TfDirectory::TfDirectory(TdmDB& dm) : FBrowser(new TDirectoryBrowser(dm, this)) {
  static const bool accessibleInstalled = [] {
    QAccessible::installFactory(MainWindowAccessible);
    return true;
  }();
  (void)accessibleInstalled;
  // An application window: minimise, maximise and a taskbar entry.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  FBrowser->setObjectName(QStringLiteral("browser"));
  setObjectName(QStringLiteral("fDirectory"));
  setWindowTitle(QStringLiteral("Справочник"));
  resize(545, 466);
  FormCreate();
  // Changes any copy of the program commits, this one included.
  auto* changes = new TBookChangeSignal(dm, this);
  connect(changes, &TBookChangeSignal::BookChanged, this,
          [this] { RunGuarded([this] { BookChangedElsewhere(); }); });
  tmrRefresh = new QTimer(this);
  tmrRefresh->setSingleShot(true);
  tmrRefresh->setInterval(250);
  connect(tmrRefresh, &QTimer::timeout, this, [this] { RunGuarded([this] { BookChangedElsewhere(); }); });
}

TfDirectory::~TfDirectory() {
  // Rows go before the entries they point at; the browser, a child, lives on
  // until the window's base has gone.
  if (vst) vst->Clear();
  FBrowser->disconnect(this);
}

void TfDirectory::FormCreate() {
  SetHintPauses(100, 50, 10000);
  FFilter.clear();
  vst = new TVirtualList(this);
  vst->setObjectName(QStringLiteral("vst"));
  vst->setAccessibleName(QStringLiteral("Записи папки"));
  TVTV::InitTree(vst);
  CreateActions();
  CreateLayout();
  ConnectList();
  ConnectBrowser();
  ApplyThemeColors();

  Action(TDirectoryAction::WordWrap)->setChecked(Globals().DirectoryWordWrap);
  actWordWrapExecute();
  Action(TDirectoryAction::ShowButtonCaptions)->setChecked(Globals().ShowButtonCaptions);
  actShowButtonCaptionsExecute();

  // Without a product title the window still says what it is.
  setWindowTitle(Globals().Title.empty() ? QStringLiteral("Справочник") : QString::fromStdString(Globals().Title));

  tmrStart = new QTimer(this);
  tmrStart->setObjectName(QStringLiteral("tmrStart"));
  tmrStart->setInterval(50);
  connect(tmrStart, &QTimer::timeout, this, [this] {
    tmrStart->stop();
    PlaceWindow();
    // The window is up: the search may read the book meanwhile.
    FBrowser->PreloadSearchIndex();
  });
  tmrCopy = new QTimer(this);
  tmrCopy->setObjectName(QStringLiteral("tmrCopy"));
  tmrCopy->setInterval(2000);
  connect(tmrCopy, &QTimer::timeout, this, [this] { RunGuarded([this] { tmrCopyTimer(); }); });
}

void TfDirectory::CreateLayout() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  tb = CreateMainToolBar();
  FChainBar = CreateChainBar();
  sb1 = CreateStatusBar();
  CreateSearch();
  layout->addWidget(tb);
  layout->addWidget(eSearch);
  layout->addWidget(vst, 1);
  layout->addWidget(vstSearch, 1);
  layout->addWidget(FChainBar);
  layout->addWidget(sb1);
}

QWidget* TfDirectory::CreateChainBar() {
  auto* bar = new QWidget(this);
  bar->setObjectName(QStringLiteral("tbDirChain"));
  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(4, 0, 4, 0);
  // A long chain is shortened at its start: the end is where the user is.
  lblDirChain = new TElidedLabel(Qt::ElideLeft, bar);
  lblDirChain->setObjectName(QStringLiteral("lblDirChain"));
  lblDirChain->setAccessibleName(QStringLiteral("Путь к папке"));
  lblDirChain->setMinimumHeight(23);
  layout->addWidget(lblDirChain);
  bar->setVisible(false);
  return bar;
}

void TfDirectory::ConnectList() {
  vst->OnGetText = [this](int row) { return vstGetText(row); };
  vst->OnGetHint = [this](int row) { return vstGetHint(row); };
  vst->OnPaintText = [this](int row, QFont& font) { vstPaintText(row, font); };
  vst->OnBeforeCellPaint = [this](QPainter* painter, int row, const QRect& rect) {
    vstBeforeCellPaint(painter, row, rect);
  };
  vst->OnMeasureItem = [this](int row) { return vstMeasureItem(row); };
  vst->OnInitNode = [this](int row) { vstInitNode(row); };
  vst->OnKeyPress = [this](QChar c) { RunGuarded([this, c] { vstKeyPress(c); }); };
  vst->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(vst, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { RunGuarded([this, at] { ShowListMenu(vst->viewport()->mapToGlobal(at)); }); });
  vst->installEventFilter(this);
  auto* bars = new QShortcut(QKeySequence(Qt::Key_F10), this);
  connect(bars, &QShortcut::activated, this, [this] { FocusBars(); });
  connect(vst, &TVirtualList::NodeDoubleClicked, this,
          [this](int row) { RunGuarded([this, row] { vstColumnDblClick(row); }); });
  connect(vst->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { ActionListUpdate(); });
}

// The list follows the browser's listing: these are the only places that
// add, remove or move its rows.
void TfDirectory::ConnectBrowser() {
  connect(FBrowser, &TDirectoryBrowser::ListingAboutToReset, this, [this] { vst->Clear(); });
  connect(FBrowser, &TDirectoryBrowser::ListingReset, this, [this] { TVTV::AddNodes(vst, FBrowser->Entries()); });
  connect(FBrowser, &TDirectoryBrowser::EntryMoved, this, [this](int from, int to) {
    const int moved = to < from ? vst->MoveBefore(from, to) : vst->MoveAfter(from, to);
    vst->ScrollIntoView(moved);
  });
}

// --- showing, placing, closing --------------------------------------------------

void TfDirectory::ShowDirectory() {
  ClearList();
  LoadDirectory(0);
  TVTV::SelectNode(vst, vst->FirstNode());
  UpdateLabels();
  ActionListUpdate();
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

void TfDirectory::showEvent(QShowEvent* event) {
  TfSimpleForm::showEvent(event);
  if (FShownOnce || event->spontaneous()) return;
  FShownOnce = true;
  ApplyFontSize();
  if (Globals().IsFirstStart) {
    Globals().IsFirstStart = false;
    RunGuarded([this] { actUserGuideExecute(); });
  }
  tmrStart->start();
}

void TfDirectory::PlaceWindow() {
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = frameGeometry();
  move(screen->geometry().width() - frame.width(), screen->availableGeometry().height() - frame.height());
}

void TfDirectory::closeEvent(QCloseEvent* event) {
  // The main window's end is the program's end, whatever else is open.
  event->accept();
  hide();
  QCoreApplication::quit();
}

void TfDirectory::reject() { close(); }

void TfDirectory::changeEvent(QEvent* event) {
  TfSimpleForm::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) ApplyThemeColors();
}

// The chain, the filter label, the site link and the list's stripes in
// colours readable on the desktop's palette.
void TfDirectory::ApplyThemeColors() {
  if (!lblDirChain || !lblFilter || !btnSite) return;
  const TThemeColors colors = ThemeColors(palette());
  lblDirChain->setStyleSheet(TextColorStyleSheet(colors.Chain));
  lblFilter->setStyleSheet(TextColorStyleSheet(colors.Filter));
  btnSite->setStyleSheet(QStringLiteral("QToolButton { %1 text-decoration: underline; }")
                             .arg(TextColorStyleSheet(colors.Link)));
  vst->viewport()->update();
}

// --- keyboard paths to every command -----------------------------------------------

// The list's commands at a point of the screen, each with its keys.
void TfDirectory::ShowListMenu(const QPoint& at) {
  ActionListUpdate();
  QMenu menu(this);
  const std::vector<std::vector<TDirectoryAction>> groups = {
      {TDirectoryAction::CopyToClipboard, TDirectoryAction::EnterToChilds, TDirectoryAction::EscapeToParent},
      {TDirectoryAction::New, TDirectoryAction::NewFolder, TDirectoryAction::Edit},
      {TDirectoryAction::MoveUp, TDirectoryAction::MoveDown},
      {TDirectoryAction::ExportClipboard, TDirectoryAction::ImportClipboard, TDirectoryAction::ExportFile,
       TDirectoryAction::ImportFile},
      {TDirectoryAction::Search}};
  for (const auto& group : groups) {
    if (!menu.isEmpty()) menu.addSeparator();
    for (TDirectoryAction id : group) menu.addAction(Action(id));
  }
  menu.exec(at);
}

// The buttons of both bars in the order the arrows walk them.
std::vector<QWidget*> TfDirectory::BarButtons() const {
  std::vector<QWidget*> buttons;
  for (QToolBar* bar : {tb, sb1}) {
    for (QAction* action : bar->actions()) {
      QWidget* widget = bar->widgetForAction(action);
      if (qobject_cast<QToolButton*>(widget) && widget->isVisible() && widget->isEnabled()) buttons.push_back(widget);
    }
  }
  return buttons;
}

// F10: the keyboard goes to the first button of the toolbar; the arrows walk
// both bars, Enter, Space or Down runs a button or opens its menu, Escape
// goes back to the list.
void TfDirectory::FocusBars() {
  const std::vector<QWidget*> buttons = BarButtons();
  if (buttons.empty()) return;
  for (QWidget* button : buttons) {
    button->setFocusPolicy(Qt::TabFocus);
    button->removeEventFilter(this);
    button->installEventFilter(this);
  }
  buttons.front()->setFocus(Qt::ShortcutFocusReason);
}

bool TfDirectory::BarButtonKey(QWidget* widget, QKeyEvent* event) {
  auto* button = qobject_cast<QToolButton*>(widget);
  if (!button) return false;
  const std::vector<QWidget*> buttons = BarButtons();
  const auto at = std::find(buttons.begin(), buttons.end(), widget);
  if (at == buttons.end()) return false;
  const std::ptrdiff_t index = at - buttons.begin();
  const auto count = static_cast<std::ptrdiff_t>(buttons.size());
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const auto next = (index + (event->key() == Qt::Key_Right ? 1 : count - 1)) % count;
      buttons[static_cast<size_t>(next)]->setFocus(Qt::TabFocusReason);
      return true;
    }
    case Qt::Key_Down:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      if (button->menu() && (event->key() == Qt::Key_Down || button->popupMode() == QToolButton::InstantPopup))
        button->showMenu();
      else if (event->key() != Qt::Key_Down)
        button->click();
      return true;
    case Qt::Key_Escape:
      vst->setFocus(Qt::OtherFocusReason);
      return true;
    default:
      return false;
  }
}

void TfDirectory::keyPressEvent(QKeyEvent* event) {
  // Escape belongs to the filter and the search; the window never closes on it.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    if (IsSearching()) RunGuarded([this] { CloseSearch(); });
    return;
  }
  TfSimpleForm::keyPressEvent(event);
}

// --- loading ------------------------------------------------------------------

void TfDirectory::ClearList() { FBrowser->ClearList(); }

int32_t TfDirectory::LoadDirectory(int32_t id) { return FBrowser->LoadDirectory(id); }

int32_t TfDirectory::ReadIdParent(int32_t id) { return FBrowser->ReadIdParent(id); }

void TfDirectory::UpdateAfterLoad(int32_t folderId, int32_t focusId) {
  TVTV::SelectNode(vst, FBrowser->IndexOfId(focusId));
  if (vst->FocusedNode() == kNoNode) TVTV::SelectNode(vst, vst->FirstNode());
  FBrowser->ReadChain(folderId);
  ClearFilter();
  UpdateLabels();
  ActionListUpdate();
}

// Every reload after a change: the listing anew, then focus, chain, filter
// and labels.
void TfDirectory::Reload(int32_t folderId, int32_t focusId) {
  ClearList();
  LoadDirectory(folderId);
  UpdateAfterLoad(folderId, focusId);
}

void TfDirectory::UpdateLabels() {
  QString chain = QString::fromStdString(FBrowser->Chain().ChainText(true));
  lblDirChain->setText(chain);
  FChainBar->setVisible(!chain.isEmpty());
  const int count = IsSearching() ? SearchResultCount()
                                  : vst->RowCount() - (FBrowser->CurrentFolder().Id != 0 ? 1 : 0);
  lblCount->setText(QStringLiteral("Кол-во: %1").arg(count));
  lblFilter->setText(FFilter.isEmpty() ? QString() : QStringLiteral("Фильтр: %1").arg(FFilter));
}

const TDirectory* TfDirectory::FocusedDirectory() const {
  if (IsSearching()) return SearchFocusedEntry();
  return TVTV::GetFocusedObject(vst);
}

int32_t TfDirectory::FocusedId() const {
  const TDirectory* focused = FocusedDirectory();
  return focused ? focused->Id : 0;
}

// --- entering and leaving folders ----------------------------------------------

void TfDirectory::actEnterToChildsExecute() {
  if (IsSearching()) return ShowResultInFolder();
  const TDirectory* entry = FocusedDirectory();
  if (!entry || !entry->IsFolder) return;
  try {
    if (entry->Id == FBrowser->CurrentId()) {
      RunAction(TDirectoryAction::EscapeToParent);
      return;
    }
    const int32_t id = entry->Id;
    Reload(id, id);
  } catch (...) {
    // Entering is allowed to fail quietly; the window keeps what it reached.
  }
}

void TfDirectory::actEscapeToParentExecute() {
  const int32_t left = FBrowser->LeaveFolder();
  UpdateAfterLoad(FBrowser->CurrentId(), left);
}

// --- a book others change too ------------------------------------------------------

// What others committed shows at once, unless the user is in the middle of
// something (the editor, a message, a menu, an import): then it waits.
void TfDirectory::BookChangedElsewhere() {
  if (Busy()) {
    FRefreshPending = true;
    tmrRefresh->start();
    return;
  }
  FRefreshPending = false;
  if (FConnectionLost) return;  // the next command connects again
  try {
    RefreshFromBook();
  } catch (const EDatabaseError& error) {
    if (!IsLostConnection(error)) throw;
    ConnectionLost();
  }
}

bool TfDirectory::Busy() const {
  return FImporting || QApplication::activeModalWidget() || QApplication::activePopupWidget();
}

// The folder shown read anew, keeping the focused entry, the filter and the
// scroll position; search results follow the book too.
void TfDirectory::RefreshFromBook() {
  const TDirectory* result = IsSearching() ? SearchFocusedEntry() : nullptr;
  const int32_t resultId = result ? result->Id : 0;
  FBrowser->NoteChangedElsewhere();
  const TDirectory* listed = TVTV::GetFocusedObject(vst);  // the folder's, also behind results
  const int32_t focusId = listed ? listed->Id : 0;
  const QString filter = FFilter;
  const int scroll = vst->verticalScrollBar()->value();
  if (FBrowser->RefreshListing()) {
    if (!TVTV::SelectNode(vst, FBrowser->IndexOfId(focusId))) TVTV::SelectNode(vst, vst->FirstNode());
    if (!filter.isEmpty()) {
      ApplyFilter(filter);
      TVTV::SelectNode(vst, FBrowser->IndexOfId(focusId));
    }
    vst->verticalScrollBar()->setValue(scroll);
  }
  FBrowser->ReadChain(FBrowser->CurrentId());
  const QString copied = tmrCopy->isActive() ? lblFilter->text() : QString();
  UpdateLabels();
  if (!copied.isEmpty()) lblFilter->setText(copied);  // the copy's note keeps its two seconds
  if (IsSearching()) RunSearch(FSearchQuery, resultId);
  ActionListUpdate();
}

void TfDirectory::ConnectionLost() {
  FConnectionLost = true;
  ShowMessageBox(
      "Связь с сервером справочника потеряна.\r\n"
      "Проверьте сеть и работу сервера. Программа подключится снова при следующей команде.",
      TMsgKind::Error);
}

void TfDirectory::RunOnBook(const std::function<void()>& work) {
  RunGuarded([&] {
    if (!ReconnectIfLost()) return;
    try {
      work();
    } catch (const EDatabaseError& error) {
      if (!IsLostConnection(error)) throw;
      ConnectionLost();
    }
  });
}

// Before a command after a lost connection: connects again, or tells why not.
bool TfDirectory::ReconnectIfLost() {
  if (!FConnectionLost) return true;
  const TBookResult connected = FBrowser->Reconnect();
  if (!connected) {
    ShowMessageBox(connected.Reason, TMsgKind::Error);
    return false;
  }
  FConnectionLost = false;
  Reload(FBrowser->CurrentId(), FocusedId());
  return true;
}
