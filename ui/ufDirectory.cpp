#include "ufDirectory.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QToolBar>
#include <QVBoxLayout>

#include "uActions.h"
#include "uDBDirectory.h"
#include "uGlobals.h"
#include "uQmControlFunctions.h"
#include "uVTVUtils.h"
#include "udmDB.h"

TfDirectory* fDirectory = nullptr;

TfDirectory::TfDirectory(TdmDB& dm) : FdmDB(dm) {
  fDirectory = this;
  setObjectName(QStringLiteral("fDirectory"));
  setWindowTitle(QStringLiteral("Справочник"));
  resize(545, 466);
  FormCreate();
}

TfDirectory::~TfDirectory() {
  if (vst) vst->Clear();  // rows go before the entries they point at
  if (fDirectory == this) fDirectory = nullptr;
}

void TfDirectory::FormCreate() {
  SetHintPauses(100, 50, 10000);
  FFilter.clear();
  vst = new TVirtualList(this);
  vst->setObjectName(QStringLiteral("vst"));
  TVTV::InitTree(vst);
  FCurrentFolder = std::make_unique<TDirectory>();
  CreateActions();
  CreateLayout();
  ConnectList();

  Action("actWordWrap")->setChecked(Globals().DirectoryWordWrap);
  actWordWrapExecute();
  Action("actShowButtonCaptions")->setChecked(Globals().ShowButtonCaptions);
  actShowButtonCaptionsExecute();

  setWindowTitle(QString::fromStdString(Globals().Title));

  tmrStart.setInterval(50);
  tmrStart.setSingleShot(false);
  connect(&tmrStart, &QTimer::timeout, this, [this] {
    tmrStart.stop();
    PlaceWindow();
  });
  tmrCopy.setInterval(2000);
  connect(&tmrCopy, &QTimer::timeout, this, [this] { RunGuarded([this] { tmrCopyTimer(); }); });
}

void TfDirectory::CreateLayout() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  tb = CreateMainToolBar();
  FChainBar = CreateChainBar();
  sb1 = CreateStatusBar();
  layout->addWidget(tb);
  layout->addWidget(vst, 1);
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

// --- showing, placing, closing --------------------------------------------------

void TfDirectory::ShowDirectory() {
  TfDirectory* window = fDirectory;
  window->ClearList();
  window->FCurrentId = window->LoadDirectory(0);
  TVTV::AddNodes(window->vst, window->FEntries);
  TVTV::SelectNode(window->vst, window->vst->FirstNode());
  window->UpdateLabels();
  window->ActionListUpdate();
  window->setWindowFlag(Qt::WindowStaysOnTopHint, true);
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
  tmrStart.start();
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
  // Escape belongs to the filter; the window never closes on it.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  TfSimpleForm::keyPressEvent(event);
}

bool TfDirectory::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  return TfSimpleForm::FormKeyDown(key, modifiers);
}

// --- loading ------------------------------------------------------------------

void TfDirectory::ClearList() {
  vst->Clear();
  FEntries.Clear();
}

int32_t TfDirectory::LoadDirectory(int32_t id) {
  if (id > 0) {
    auto upRow = TDirectory::NewFolder(id);
    upRow->Title = kUpRowTitle;
    FEntries.Add(std::move(upRow));
  }
  TFbTransaction* read = &FdmDB.trDirectoryRead;
  for (int32_t childId : ReadFolderListing(id, read)) {
    auto entry = std::make_unique<TDirectory>();
    entry->Id = childId;
    TDBDirectoryReadCmd::Run(entry.get(), read);
    FEntries.Add(std::move(entry));
  }
  FCurrentFolder->Clear();
  if (id != 0) {
    FCurrentFolder->Id = id;
    TDBDirectoryReadCmd::Run(FCurrentFolder.get(), read);
  }
  return id;
}

int32_t TfDirectory::ReadIdParent(int32_t id) { return ReadParentId(id, &FdmDB.trDirectoryRead); }

void TfDirectory::UpdateAfterLoad(int32_t folderId, int32_t focusId) {
  for (int row = vst->FirstNode(); row != kNoNode; row = vst->NextNode(row)) {
    TDirectory* entry = TVTV::GetNodeObject(vst, row);
    if (entry && entry->Id == focusId) {
      TVTV::SelectNode(vst, row);
      break;
    }
  }
  if (vst->FocusedNode() == kNoNode) TVTV::SelectNode(vst, vst->FirstNode());
  FChain.Clear();
  if (folderId != 0) TDBDirectoryReadChainCmd::Run(&FChain, folderId, nullptr);
  ClearFilter();
  UpdateLabels();
  ActionListUpdate();
}

void TfDirectory::Reload(int32_t folderId, int32_t focusId) {
  ClearList();
  FCurrentId = LoadDirectory(folderId);
  TVTV::AddNodes(vst, FEntries);
  UpdateAfterLoad(FCurrentId, focusId);
}

void TfDirectory::UpdateLabels() {
  QString chain = QString::fromStdString(FChain.ChainText(true));
  lblDirChain->setText(chain);
  FChainBar->setVisible(!chain.isEmpty());
  int count = vst->RowCount() - (FCurrentFolder->Id != 0 ? 1 : 0);
  lblCount->setText(QStringLiteral("Кол-во: %1").arg(count));
  lblFilter->setText(FFilter.isEmpty() ? QString() : QStringLiteral("Фильтр: %1").arg(FFilter));
}

TDirectory* TfDirectory::FocusedDirectory() const { return TVTV::GetFocusedObject(vst); }

int TfDirectory::FocusedRow() const { return vst->FocusedNode(); }

// --- entering and leaving folders ----------------------------------------------

void TfDirectory::actEnterToChildsExecute() {
  TDirectory* entry = FocusedDirectory();
  if (!entry || !entry->IsFolder) return;
  try {
    if (entry->Id == FCurrentId) {
      RunAction(Action("actEscapeToParent"));
      return;
    }
    int32_t id = entry->Id;
    Reload(id, id);
  } catch (...) {
    // Entering is allowed to fail quietly; the window keeps what it reached.
  }
}

void TfDirectory::actEscapeToParentExecute() {
  int32_t left = FCurrentId;
  ClearList();
  FCurrentId = LoadDirectory(ReadIdParent(left));
  TVTV::AddNodes(vst, FEntries);
  UpdateAfterLoad(FCurrentId, left);
}
