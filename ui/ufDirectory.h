#pragma once
// The reference book's main window: one folder at a time as a list, the
// chain of folders above it, the count of its entries, a type-ahead filter
// and every command on the book.

#include <QString>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>

#include "uDirectory.h"
#include "ufSimpleForm.h"

class QAction;
class QLabel;
class QToolBar;
class QToolButton;
class QWidget;
class TdmDB;
class TVirtualList;

class TfDirectory : public TfSimpleForm {
  Q_OBJECT

 public:
  explicit TfDirectory(TdmDB& dm);
  ~TfDirectory() override;

  // Loads the root folder into the one main window, focuses the first row,
  // sets the labels and keeps the window above the others; does not show it.
  static void ShowDirectory();

  // --- folder view and navigation ---
  int32_t LoadDirectory(int32_t id);
  int32_t ReadIdParent(int32_t id);
  void UpdateAfterLoad(int32_t folderId, int32_t focusId);
  void UpdateLabels();
  void ClearList();
  TDirectory* FocusedDirectory() const;
  void PlaceWindow();
  void actEnterToChildsExecute();
  void actEscapeToParentExecute();

  // --- filter and presentation ---
  void vstKeyPress(QChar character);
  void ApplyFilter(const QString& text);
  void ClearFilter();
  QString vstGetText(int row) const;
  QString vstGetHint(int row) const;
  void vstPaintText(int row, QFont& font) const;
  void vstBeforeCellPaint(QPainter* painter, int row, const QRect& cellRect) const;
  int vstMeasureItem(int row) const;
  void vstInitNode(int row);
  void actWordWrapExecute();
  void actShowButtonCaptionsExecute();

  // --- commands ---
  void ActionListUpdate();
  void actCopyToClipboardExecute();
  void actEditExecute(int tag);
  void DoMoveDirectory(int tag);
  void actExportClipboardExecute();
  void actImportClipboardExecute();
  void actUserGuideExecute();
  void actLicenseExecute();
  void actAboutExecute();
  void btnSiteClick();
  void vstColumnDblClick(int row);
  void tmrCopyTimer();

  // What the window holds, for its own commands and for tests.
  int32_t CurrentId() const { return FCurrentId; }
  const TDirectory& CurrentFolder() const { return *FCurrentFolder; }
  const TDirectoryList& Entries() const { return FEntries; }
  const TDirectoryList& Chain() const { return FChain; }
  const QString& Filter() const { return FFilter; }
  TVirtualList* List() const { return vst; }
  QLabel* ChainLabel() const { return lblDirChain; }
  QWidget* ChainBar() const { return FChainBar; }
  QLabel* CountLabel() const { return lblCount; }
  QLabel* FilterLabel() const { return lblFilter; }
  QToolBar* MainToolBar() const { return tb; }
  QToolBar* StatusBar() const { return sb1; }
  QAction* Action(const QString& name) const;
  QTimer& CopyTimer() { return tmrCopy; }
  QTimer& StartTimer() { return tmrStart; }

  // The maker's web site, shown on the site button.
  static const char* const kSiteAddress;

 protected:
  bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;

 private:
  void FormCreate();
  void CreateActions();
  void CreateLayout();
  QToolBar* CreateMainToolBar();
  QWidget* CreateChainBar();
  QToolBar* CreateStatusBar();
  void ConnectList();
  void ApplyFontSize();
  void Reload(int32_t folderId, int32_t focusId);
  void RunAction(QAction* action);
  int FocusedRow() const;
  void SaveEditedEntry(TDirectory* entry, std::unique_ptr<TDirectory> created);

  TdmDB& FdmDB;
  int32_t FCurrentId = 0;
  std::unique_ptr<TDirectory> FCurrentFolder;
  TDirectoryList FEntries;
  TDirectoryList FChain;
  QString FFilter;
  bool FShownOnce = false;

  TVirtualList* vst = nullptr;
  QToolBar* tb = nullptr;
  QToolBar* sb1 = nullptr;
  QWidget* FChainBar = nullptr;
  QLabel* lblDirChain = nullptr;
  QLabel* lblCount = nullptr;
  QLabel* lblFilter = nullptr;
  QToolButton* btnSite = nullptr;
  QTimer tmrStart;
  QTimer tmrCopy;
  std::map<QString, QAction*> FActions;
};

// The one main window while it exists.
extern TfDirectory* fDirectory;
