#pragma once
// The reference book's main window: one folder at a time as a list, the
// chain of folders above it, the count of its entries, a type-ahead filter
// and every command on the book. What it shows and does with the book lives
// in its folder browser; the window presents it and asks the user.

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "uDirectory.h"
#include "ufSimpleForm.h"

class QAction;
class QFont;
class QLabel;
class QLineEdit;
class QPainter;
class QPoint;
class QRect;
class QTimer;
class QToolBar;
class QToolButton;
class QWidget;
class TDirectoryBrowser;
class TdmDB;
class TVirtualList;
class TSearchResultsView;
struct TBookResult;

// The window's actions; the action table follows this order.
enum class TDirectoryAction {
  CopyToClipboard,
  EscapeToParent,
  EnterToChilds,
  New,
  NewFolder,
  Edit,
  Delete,
  MoveUp,
  MoveDown,
  ExportClipboard,
  ImportClipboard,
  WordWrap,
  ShowButtonCaptions,
  UserGuide,
  License,
  About,
  Search,
  ExportFile,
  ImportFile,
};
inline constexpr int kDirectoryActionCount = static_cast<int>(TDirectoryAction::ImportFile) + 1;

class TfDirectory : public TfSimpleForm {
  Q_OBJECT

 public:
  explicit TfDirectory(TdmDB& dm);
  ~TfDirectory() override;

  // Loads the root folder, focuses the first row, sets the labels and keeps
  // the window above the others; does not show it.
  void ShowDirectory();

  // The maker's web site, shown on the site button.
  static const char* const kSiteAddress;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // --- creation and layout ---
  void FormCreate();
  void CreateActions();
  void CreateLayout();
  QToolBar* CreateMainToolBar();
  QWidget* CreateChainBar();
  QToolBar* CreateStatusBar();
  void ConnectList();
  void ConnectBrowser();
  void ApplyFontSize();
  void ApplyThemeColors();
  void ShowListMenu(const QPoint& at);
  void FocusBars();
  bool BarButtonKey(QWidget* button, QKeyEvent* event);
  std::vector<QWidget*> BarButtons() const;
  QAction* Action(TDirectoryAction id) const;
  void ExecuteAction(TDirectoryAction id, int tag);
  void RunAction(TDirectoryAction id);

  // --- folder view and navigation ---
  int32_t LoadDirectory(int32_t id);
  int32_t ReadIdParent(int32_t id);
  void UpdateAfterLoad(int32_t folderId, int32_t focusId);
  void Reload(int32_t folderId, int32_t focusId);
  void UpdateLabels();
  void ClearList();
  const TDirectory* FocusedDirectory() const;
  int32_t FocusedId() const;
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
  bool EditEntry(TDirectory& entry);
  void DoMoveDirectory(int tag);
  void actExportClipboardExecute();
  void actImportClipboardExecute();
  void actExportFileExecute();
  void actImportFileExecute();
  std::string ExportFocusedSection(std::string* title);
  void ImportText(const std::string& text);
  void actUserGuideExecute();
  void actLicenseExecute();
  void actAboutExecute();
  void btnSiteClick();
  void vstColumnDblClick(int row);
  void tmrCopyTimer();
  // --- search over the whole book ---
  void CreateSearch();
  void actSearchExecute();
  bool IsSearching() const;
  const TDirectory* SearchFocusedEntry() const;
  int SearchResultCount() const;
  void SearchTextChanged(const QString& text);
  void RunSearch(const QString& query, int32_t focusId);
  void CloseSearch();
  void ShowResultInFolder();
  void ResultDoubleClicked();
  bool SearchFieldKey(QKeyEvent* event);

  // --- a book others change too ---
  void BookChangedElsewhere();
  void RefreshFromBook();
  bool Busy() const;
  void ConnectionLost();
  // Runs work that reads or writes the book: connects again first after a
  // lost connection, and tells of a connection lost on the way.
  void RunOnBook(const std::function<void()>& work);
  bool ReconnectIfLost();

  // Tells the user what failed, then shows the folder as the book holds it.
  void ReportAndReload(const std::string& message, int32_t focusId);

  TDirectoryBrowser* FBrowser = nullptr;
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
  QTimer* tmrStart = nullptr;
  QTimer* tmrCopy = nullptr;
  QLineEdit* eSearch = nullptr;
  TSearchResultsView* vstSearch = nullptr;
  QString FSearchQuery;    // the query the results show
  bool FFolderStale = false;  // the book changed while results were shown
  mutable TDirectory FSearchFocused;  // the focused result as an entry
  QTimer* tmrRefresh = nullptr;       // retries a refresh that had to wait
  bool FRefreshPending = false;
  bool FImporting = false;
  bool FConnectionLost = false;
  std::array<QAction*, kDirectoryActionCount> FActions{};
};
