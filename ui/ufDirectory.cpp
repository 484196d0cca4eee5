#include "ufDirectory.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "uActions.h"
#include "uDirectoryBrowser.h"
#include "uSearchResults.h"
#include "uGlobals.h"
#include "uQmControlFunctions.h"
#include "uVTVUtils.h"
#include "udmDB.h"

TfDirectory::TfDirectory(TdmDB& dm) : FBrowser(new TDirectoryBrowser(dm, this)) {
  FBrowser->setObjectName(QStringLiteral("browser"));
  setObjectName(QStringLiteral("fDirectory"));
  setWindowTitle(QStringLiteral("Справочник"));
  resize(545, 466);
  FormCreate();
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
  TVTV::InitTree(vst);
  CreateActions();
  CreateLayout();
  ConnectList();
  ConnectBrowser();

  Action(TDirectoryAction::WordWrap)->setChecked(Globals().DirectoryWordWrap);
  actWordWrapExecute();
  Action(TDirectoryAction::ShowButtonCaptions)->setChecked(Globals().ShowButtonCaptions);
  actShowButtonCaptionsExecute();

  setWindowTitle(QString::fromStdString(Globals().Title));

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
  lblDirChain = new QLabel(bar);
  lblDirChain->setObjectName(QStringLiteral("lblDirChain"));
  lblDirChain->setMinimumHeight(23);
  lblDirChain->setStyleSheet(QStringLiteral("color: green;"));
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
