// The main window's commands: the action table, the bars that show the
// actions, the enable rules and what every command does.

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <array>

#include "uActions.h"
#include "uDbFailure.h"
#include "uDirectoryBrowser.h"
#include "uElidedLabel.h"
#include "uExchangeFile.h"
#include "uDesktop.h"
#include "uGlobals.h"
#include "uKeyboardLayout.h"
#include "uMessages.h"
#include "uText.h"
#include "uVTVUtils.h"
#include "udmRes.h"
#include "ufAboutKRT.h"
#include "ufDirectory.h"
#include "ufDirectoryParams.h"
#include "ufRVHelp.h"

const char* const TfDirectory::kSiteAddress = "https://zorvana.example.org/";

namespace {

using Qt::CTRL;
using Qt::SHIFT;

struct TDirectoryActionRow {
  TDirectoryAction Id;
  TActionInfo Info;
};

constexpr QKeyCombination kNone{};

constexpr std::array<TDirectoryActionRow, kDirectoryActionCount> kActions = {{
    {TDirectoryAction::CopyToClipboard,
     {"actCopyToClipboard", "Копировать", "Скопировать в буфер обмена", CTRL | Qt::Key_C, CTRL | Qt::Key_Return, 5, 0,
      false}},
    {TDirectoryAction::EscapeToParent,
     {"actEscapeToParent", "Выйти", "Выйти из папки", Qt::Key_Backspace, CTRL | Qt::Key_PageUp, 37, 0, false}},
    {TDirectoryAction::EnterToChilds,
     {"actEnterToChilds", "Войти", "Войти в папку", Qt::Key_Return, CTRL | Qt::Key_PageDown, 36, 0, false}},
    {TDirectoryAction::New,
     {"actNew", "Создать", "Создать запись в текущей папке", Qt::Key_Insert, CTRL | Qt::Key_N, 0, 2, false}},
    {TDirectoryAction::NewFolder,
     {"actNewFolder", "Создать папку", nullptr, CTRL | Qt::Key_Insert, CTRL | SHIFT | Qt::Key_N, 0, 1, false}},
    {TDirectoryAction::Edit, {"actEdit", "Изменить", "Изменить запись", Qt::Key_F2, Qt::Key_F4, 1, 0, false}},
    {TDirectoryAction::Delete,
     {"actDelete", "Удалить", "Удалить запись из справочника", Qt::Key_F8, Qt::Key_Delete, 2, 0, false}},
    {TDirectoryAction::MoveUp,
     {"actMoveUp", "Вверх", "Переместить запись вверх", CTRL | Qt::Key_Up, kNone, 3, -1, false}},
    {TDirectoryAction::MoveDown,
     {"actMoveDown", "Вниз", "Переместить запись вниз", CTRL | Qt::Key_Down, kNone, 4, 1, false}},
    {TDirectoryAction::ExportClipboard,
     {"actExportClipboard", "Экспорт в буфер обмена", "Экспорт записей в буфер обмена", kNone, kNone, 5, 0, false}},
    {TDirectoryAction::ImportClipboard,
     {"actImportClipboard", "Импорт из буфера обмена", "Импорт записей из буфера обмена", kNone, kNone, 6, 0,
      false}},
    {TDirectoryAction::WordWrap, {"actWordWrap", "Перенос слов", nullptr, kNone, kNone, 45, 0, true}},
    {TDirectoryAction::ShowButtonCaptions,
     {"actShowButtonCaptions", "Надписи к кнопкам", nullptr, kNone, kNone, 48, 0, true}},
    {TDirectoryAction::UserGuide, {"actUserGuide", "Справка", nullptr, Qt::Key_F1, kNone, 11, 0, false}},
    {TDirectoryAction::License, {"actLicense", "Лицензионное соглашение", nullptr, kNone, kNone, 44, 0, false}},
    {TDirectoryAction::About, {"actAbout", "О программе", nullptr, kNone, kNone, 11, 0, false}},
    {TDirectoryAction::Search,
     {"actSearch", "Поиск", "Поиск по всему справочнику", CTRL | Qt::Key_F, Qt::Key_F3, 10, 0, false}},
    {TDirectoryAction::ExportFile,
     {"actExportFile", "Экспорт в файл…", "Экспорт записей в файл", kNone, kNone, 5, 0, false}},
    {TDirectoryAction::ImportFile,
     {"actImportFile", "Импорт из файла…", "Импорт записей из файла", kNone, kNone, 6, 0, false}},
}};

// Every action id has its row, in the order of the ids.
constexpr bool TableFollowsActionIds() {
  for (int index = 0; index < kDirectoryActionCount; ++index) {
    if (kActions[static_cast<size_t>(index)].Id != static_cast<TDirectoryAction>(index)) return false;
  }
  return true;
}
static_assert(TableFollowsActionIds(), "the action table must list every action id in order");

const char* const kNoImportDataMessage =
    "Нет данных для импорта! Для импорта записей в справочник необходимо\r\n"
    "их сначала экспортировать из другого справочника.";
const char* const kImportConfirmation =
    "Сейчас будет произведен импорт записей в справочник.\r\n"
    "Данная операция может занять около минуты времени.";

// The wait cursor for the duration of a long command.
class TWaitCursor {
 public:
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// The import's progress: rows done of all, the time left, and "Прервать",
// looked at on every step; the window is redrawn at most every tenth of a
// second, so that steps of a few milliseconds are not slowed down by it.
class TImportProgressWindow {
 public:
  TImportProgressWindow(QWidget* owner, int total)
      : FDialog(QStringLiteral("Импорт записей..."), QStringLiteral("Прервать"), 0, std::max(total, 1), owner),
        FTotal(std::max(total, 1)) {
    FDialog.setWindowTitle(QStringLiteral("Импорт"));
    FDialog.setWindowModality(Qt::WindowModal);
    FDialog.setMinimumDuration(500);
    FDialog.setAutoClose(false);
    FDialog.setAutoReset(false);
    FClock.start();
  }

  bool Step(int done) {
    if (FShown.isValid() && FShown.elapsed() < 100 && FDialog.isVisible()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      return !FDialog.wasCanceled();
    }
    FShown.start();
    FDialog.setValue(std::min(done, FTotal));
    FDialog.setLabelText(QStringLiteral("Импортировано записей: %1 из %2%3").arg(done).arg(FTotal).arg(TimeLeft(done)));
    // Until the progress window shows, nothing blocks the main window: the
    // user's keys and clicks wait, so that no command runs in the middle of
    // the import (leaving the folder, another import). Once it shows, it
    // blocks the main window itself and its "Прервать" must work.
    QCoreApplication::processEvents(FDialog.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    return !FDialog.wasCanceled();
  }

 private:
  QString TimeLeft(int done) const {
    if (done < 1) return QString();
    const qint64 left = FClock.elapsed() * (FTotal - std::min(done, FTotal)) / done / 1000;
    return QStringLiteral("\nОсталось примерно: %1:%2").arg(left / 60).arg(left % 60, 2, 10, QLatin1Char('0'));
  }

  QProgressDialog FDialog;
  int FTotal;
  QElapsedTimer FClock;
  QElapsedTimer FShown;
};

QToolButton* AddMenuButton(QToolBar* bar, const QString& caption, int icon, const QList<QAction*>& actions) {
  auto* button = new QToolButton(bar);
  button->setText(caption);
  if (dmRes) button->setIcon(dmRes->Icon(icon));
  button->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(button);
  for (QAction* action : actions) {
    if (action)
      menu->addAction(action);
    else
      menu->addSeparator();
  }
  button->setMenu(menu);
  button->setToolButtonStyle(bar->toolButtonStyle());
  QObject::connect(bar, &QToolBar::toolButtonStyleChanged, button, &QToolButton::setToolButtonStyle);
  bar->addWidget(button);
  return button;
}

}  // namespace

// --- actions and bars ---------------------------------------------------------------

QAction* TfDirectory::Action(TDirectoryAction id) const { return FActions[static_cast<size_t>(id)]; }

void TfDirectory::CreateActions() {
  for (const TDirectoryActionRow& row : kActions) {
    QAction* action = CreateAction(this, row.Info);
    addAction(action);  // shortcuts work wherever the focus is in the window
    FActions[static_cast<size_t>(row.Id)] = action;
    const TDirectoryAction id = row.Id;
    connect(action, &QAction::triggered, this, [this, action, id] {
      ActionListUpdate();
      if (!action->isEnabled()) return;
      RunOnBook([&] { ExecuteAction(id, action->data().toInt()); });
      RunGuarded([this] { ActionListUpdate(); });
    });
  }
  // The enable rules hold from the start, not only from the first folder
  // loaded: "Удалить" in particular is never enabled.
  ActionListUpdate();
}

void TfDirectory::ExecuteAction(TDirectoryAction id, int tag) {
  switch (id) {
    case TDirectoryAction::CopyToClipboard: return actCopyToClipboardExecute();
    case TDirectoryAction::EscapeToParent: return actEscapeToParentExecute();
    case TDirectoryAction::EnterToChilds: return actEnterToChildsExecute();
    case TDirectoryAction::New:
    case TDirectoryAction::NewFolder:
    case TDirectoryAction::Edit: return actEditExecute(tag);
    case TDirectoryAction::Delete: return;  // entries are never deleted
    case TDirectoryAction::MoveUp:
    case TDirectoryAction::MoveDown: return DoMoveDirectory(tag);
    case TDirectoryAction::ExportClipboard: return actExportClipboardExecute();
    case TDirectoryAction::ImportClipboard: return actImportClipboardExecute();
    case TDirectoryAction::WordWrap: return actWordWrapExecute();
    case TDirectoryAction::ShowButtonCaptions: return actShowButtonCaptionsExecute();
    case TDirectoryAction::UserGuide: return actUserGuideExecute();
    case TDirectoryAction::License: return actLicenseExecute();
    case TDirectoryAction::About: return actAboutExecute();
    case TDirectoryAction::Search: return actSearchExecute();
    case TDirectoryAction::ExportFile: return actExportFileExecute();
    case TDirectoryAction::ImportFile: return actImportFileExecute();
  }
}

void TfDirectory::RunAction(TDirectoryAction id) {
  ActionListUpdate();
  QAction* action = Action(id);
  if (action->isEnabled()) action->trigger();
}

QToolBar* TfDirectory::CreateMainToolBar() {
  auto* bar = new QToolBar(this);
  bar->setObjectName(QStringLiteral("tb"));
  bar->setAccessibleName(QStringLiteral("Панель команд"));
  bar->setMovable(false);
  bar->setIconSize(QSize(32, 32));

  // The copy button speaks to the user with words of its own.
  auto* copyButton = new QAction(QStringLiteral("Скопировать"), bar);
  copyButton->setObjectName(QStringLiteral("btnCopy"));
  copyButton->setToolTip(QStringLiteral("Скопировать в буфер обмена для вставки в документ"));
  if (dmRes) copyButton->setIcon(dmRes->Icon(5));
  connect(copyButton, &QAction::triggered, this, [this] { RunAction(TDirectoryAction::CopyToClipboard); });
  bar->addAction(copyButton);
  bar->addSeparator();
  bar->addAction(Action(TDirectoryAction::EscapeToParent));
  bar->addAction(Action(TDirectoryAction::EnterToChilds));
  bar->addSeparator();

  auto* newButton = new QToolButton(bar);
  newButton->setObjectName(QStringLiteral("btnNew"));
  newButton->setDefaultAction(Action(TDirectoryAction::New));
  newButton->setPopupMode(QToolButton::MenuButtonPopup);
  auto* newMenu = new QMenu(newButton);
  newMenu->addAction(Action(TDirectoryAction::NewFolder));
  newButton->setMenu(newMenu);
  newButton->setToolButtonStyle(bar->toolButtonStyle());
  connect(bar, &QToolBar::toolButtonStyleChanged, newButton, &QToolButton::setToolButtonStyle);
  bar->addWidget(newButton);
  bar->addAction(Action(TDirectoryAction::Edit));
  bar->addAction(Action(TDirectoryAction::Delete));
  bar->addSeparator();
  bar->addAction(Action(TDirectoryAction::Search));

  auto* spacer = new QWidget(bar);
  spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  bar->addWidget(spacer);

  btnSite = new QToolButton(bar);
  btnSite->setObjectName(QStringLiteral("btnSite"));
  btnSite->setText(QUrl(QString::fromLatin1(kSiteAddress)).host());
  btnSite->setToolTip(QStringLiteral("Посмотреть что нового на сайте Тармики"));
  btnSite->setToolButtonStyle(Qt::ToolButtonTextOnly);
  btnSite->setAutoRaise(true);
  btnSite->setCursor(Qt::PointingHandCursor);
  connect(btnSite, &QToolButton::clicked, this, [this] { RunGuarded([this] { btnSiteClick(); }); });
  bar->addWidget(btnSite);

  QToolButton* help = AddMenuButton(bar, QStringLiteral("Помощь"), 11,
                                    {Action(TDirectoryAction::UserGuide), nullptr, Action(TDirectoryAction::License), Action(TDirectoryAction::About)});
  help->setObjectName(QStringLiteral("btnHelp"));
  return bar;
}

QToolBar* TfDirectory::CreateStatusBar() {
  auto* bar = new QToolBar(this);
  bar->setObjectName(QStringLiteral("sb1"));
  bar->setAccessibleName(QStringLiteral("Строка состояния"));
  bar->setMovable(false);
  bar->setIconSize(QSize(24, 24));
  // Icons only, so that the count and the filter always have room; every
  // button names itself in its hint.
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);

  lblCount = new QLabel(bar);
  lblCount->setObjectName(QStringLiteral("lblCount"));
  lblCount->setAccessibleName(QStringLiteral("Количество записей"));
  lblCount->setToolTip(QStringLiteral("Количество записей в текущей папке"));
  lblCount->setContentsMargins(4, 0, 4, 0);
  bar->addWidget(lblCount);
  bar->addSeparator();
  bar->addAction(Action(TDirectoryAction::MoveUp));
  bar->addAction(Action(TDirectoryAction::MoveDown));
  bar->addSeparator();
  QToolButton* exchange = AddMenuButton(bar, QStringLiteral("Экспорт/импорт записей"), 46,
                                        {Action(TDirectoryAction::ExportClipboard), Action(TDirectoryAction::ImportClipboard),
                                         nullptr, Action(TDirectoryAction::ExportFile),
                                         Action(TDirectoryAction::ImportFile)});
  exchange->setObjectName(QStringLiteral("btnExchange"));
  bar->addSeparator();
  bar->addAction(Action(TDirectoryAction::WordWrap));
  bar->addAction(Action(TDirectoryAction::ShowButtonCaptions));
  bar->addSeparator();

  // Any filter and any copied title fit: the label takes the room left and
  // shortens its text, never pushing itself off the bar.
  lblFilter = new TElidedLabel(Qt::ElideRight, bar);
  lblFilter->setObjectName(QStringLiteral("lblFilter"));
  lblFilter->setAccessibleName(QStringLiteral("Фильтр"));
  lblFilter->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  lblFilter->setContentsMargins(4, 0, 4, 0);
  lblFilter->setToolTip(QStringLiteral(
      "С помощью фильтра можно отобразить в списке только необходимые записи.\n"
      "Принцип работы: если часть введенного текста есть в название записи, то запись остается видимой, "
      "остальные скрываются.\n"
      "Фильтр отменяется по нажатию клавиши ESCAPE.\n"
      "При нажатий на клавишу BACKSPACE стирается последняя введенная в фильтр буква.\n"));
  bar->addWidget(lblFilter);
  return bar;
}

// --- enable rules -----------------------------------------------------------------------

void TfDirectory::ActionListUpdate() {
  const TDirectory* focused = FocusedDirectory();
  const bool searching = IsSearching();
  Action(TDirectoryAction::EscapeToParent)->setEnabled(!searching && FFilter.isEmpty() && FBrowser->CurrentId() != 0);
  // On a result, "Войти" shows it in its folder, record or folder alike.
  Action(TDirectoryAction::EnterToChilds)->setEnabled(focused && (searching || focused->IsFolder));
  Action(TDirectoryAction::Edit)->setEnabled(focused && (searching || !focused->IsUpRow()));
  Action(TDirectoryAction::Delete)->setEnabled(false);
  // Commands on the folder shown wait until the search is closed.
  for (TDirectoryAction id : {TDirectoryAction::New, TDirectoryAction::NewFolder, TDirectoryAction::MoveUp,
                              TDirectoryAction::MoveDown, TDirectoryAction::ExportClipboard,
                              TDirectoryAction::ImportClipboard, TDirectoryAction::ExportFile,
                              TDirectoryAction::ImportFile})
    Action(id)->setEnabled(!searching);
}

void TfDirectory::vstColumnDblClick(int) {
  const TDirectory* focused = FocusedDirectory();
  if (!focused) return;
  RunAction(focused->IsFolder ? TDirectoryAction::EnterToChilds : TDirectoryAction::CopyToClipboard);
}

// --- copy ---------------------------------------------------------------------------------

void TfDirectory::actCopyToClipboardExecute() {
  const TDirectory* focused = FocusedDirectory();
  if (!focused) return;
  const QString title = QString::fromStdString(focused->Title);
  {
    TKeyboardLayoutSwitch layout(kRussianLayout);
    QGuiApplication::clipboard()->setText(title);
  }
  lblFilter->setText(QStringLiteral("Скопировано: ") + title);
  if (!tmrCopy->isActive()) tmrCopy->start();
}

void TfDirectory::tmrCopyTimer() {
  tmrCopy->stop();
  UpdateLabels();
}

// --- create and edit -------------------------------------------------------------------------

void TfDirectory::actEditExecute(int tag) {
  const bool created = tag > 0;
  TDirectory entry;
  if (created) {
    TNewEntry fresh = FBrowser->NewEntry(tag == 1);
    if (!fresh.Result) {
      ShowMessageBox(fresh.Result.Reason + "\r\nЗапись не создана.", TMsgKind::Error);
      return;
    }
    entry = fresh.Entry;
  } else {
    const TDirectory* focused = FocusedDirectory();
    if (!focused) return;
    entry = *focused;  // the listing keeps what the book holds until saved
    if (IsSearching() && !FBrowser->ReadEntry(entry)) {
      ShowMessageBox("Запись не прочитана из справочника.", TMsgKind::Error);
      return;
    }
  }
  const TDirectory* insertAfter = FocusedDirectory();
  TDirectory original = entry;  // what the editor opens on
  // A refused save reopens the editor with what the user typed.
  while (EditEntry(entry)) {
    const TSaveResult saved = FBrowser->SaveEntry(entry, created, insertAfter, &original);
    if (!saved.Reason.empty()) ShowMessageBox(saved.Reason, TMsgKind::Error);
    // The user has now seen what is stored: the next OK stores over it.
    if (saved.ChangedMeanwhile) original = saved.Current;
    if (saved.ChangedMeanwhile || saved.BeingChanged) {
      insertAfter = nullptr;
      RefreshFromBook();
    }
    if (!saved.Stored) continue;
    if (!IsSearching()) return Reload(entry.IdParent, entry.Id);
    FFolderStale = true;  // the folder behind the results may show the entry
    return RunSearch(FSearchQuery, entry.Id);
  }
}

// Shows the entry editor on the entry; true when the user accepted it.
bool TfDirectory::EditEntry(TDirectory& entry) {
  auto dialog = std::make_unique<TfDirectoryParams>();
  dialog->SetDirectory(&entry);
  return dialog->exec() == QDialog::Accepted;
}

// --- move up and down ----------------------------------------------------------------------------

void TfDirectory::DoMoveDirectory(int tag) {
  const TDirectory* entry = FocusedDirectory();
  if (!entry) return;
  const int32_t id = entry->Id;
  // The list follows the move through the browser's notification; the
  // focused row moves with it.
  const TBookResult moved = FBrowser->MoveEntry(FBrowser->Entries().IndexOf(entry), tag);
  if (!moved) ReportAndReload(moved.Reason, id);
}

void TfDirectory::ReportAndReload(const std::string& message, int32_t focusId) {
  ShowMessageBox(message + "\r\nСписок показан заново так, как он записан в справочнике.", TMsgKind::Error);
  Reload(FBrowser->CurrentId(), focusId);
}

// --- export and import -------------------------------------------------------------------------------

// The focused section as exchange text; empty, after telling the user why,
// when it cannot be written whole. title: the focused entry's title.
std::string TfDirectory::ExportFocusedSection(std::string* title) {
  const TDirectory* focused = FocusedDirectory();
  if (!focused) return {};
  *title = focused->Title;
  TExportedSection section;
  {
    TWaitCursor wait;
    section = FBrowser->ExportSection(*focused);
  }
  if (!section.Result) {
    ShowMessageBox("Раздел \"" + *title + "\" не экспортирован: " + section.Result.Reason +
                       "\r\nБуфер обмена и файлы не изменены.",
                   TMsgKind::Error);
    return {};
  }
  return section.Text;
}

void TfDirectory::actExportClipboardExecute() {
  TKeyboardLayoutSwitch layout(kRussianLayout);
  std::string title;
  const std::string text = ExportFocusedSection(&title);
  if (text.empty()) return;
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
  ShowMessageBox("Раздел \"" + title +
                     "\" экспортирован.\r\nТеперь Вы можете импортировать этот раздел в справочник\r\n"
                     "\"ЗОРВАНА-ТЕК: Планировщик курсов\".",
                 TMsgKind::Information);
}

void TfDirectory::actExportFileExecute() {
  if (!FocusedDirectory()) return;
  const QString path = ChooseExchangeFile(this, TFileChoice::Save, QStringLiteral("Экспорт в файл"));
  if (path.isEmpty()) return;
  std::string title;
  const std::string text = ExportFocusedSection(&title);
  if (text.empty()) return;
  const TExchangeFileResult written = WriteExchangeFile(path.toStdString(), text);
  if (!written.Ok) {
    ShowMessageBox("Раздел \"" + title + "\" не экспортирован: " + written.Error, TMsgKind::Error);
    return;
  }
  ShowMessageBox("Раздел \"" + title + "\" экспортирован в файл\r\n" + path.toStdString() +
                     "\r\nТеперь Вы можете импортировать этот раздел в справочник\r\n"
                     "\"ЗОРВАНА-ТЕК: Планировщик курсов\".",
                 TMsgKind::Information);
}

void TfDirectory::actImportClipboardExecute() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasText() || data->text().isEmpty()) {
    ShowMessageBox(kNoImportDataMessage, TMsgKind::Information);
    return;
  }
  ImportText(data->text().toStdString());
}

void TfDirectory::actImportFileExecute() {
  const QString path = ChooseExchangeFile(this, TFileChoice::Open, QStringLiteral("Импорт из файла"));
  if (path.isEmpty()) return;
  const TExchangeFileResult read = ReadExchangeFile(path.toStdString());
  if (!read.Ok) {
    ShowMessageBox("Импорт не выполнен: " + read.Error, TMsgKind::Error);
    return;
  }
  ImportText(read.Text);
}

// The import of an exchange text into the folder shown, wherever it came
// from: the confirmation, the import with its progress, the reload and the
// completion message.
void TfDirectory::ImportText(const std::string& text) {
  const std::vector<TTextLine> lines = SplitTextLines(text);
  // A text that is no section (no marker line, or the marker alone) is
  // told as no data, not as an import of nothing.
  if (!TExchangeReader(lines).IsExchangeText()) {
    ShowMessageBox(kNoImportDataMessage, TMsgKind::Information);
    return;
  }
  if (ShowMessageBox(kImportConfirmation, TMsgKind::Information, TMsgButtons::OkCancel) != TMsgResult::Ok) return;
  // Changes seen meanwhile wait for the end of the import.
  FImporting = true;
  struct TImporting {
    bool& Flag;
    ~TImporting() { Flag = false; }
  } importing{FImporting};

  TImportResult result;
  {
    TWaitCursor wait;
    TImportProgressWindow progress(this, CountExchangeRows(lines));
    FBrowser->Import(lines, &result, [&progress](int created) { return progress.Step(created); });
  }

  const TDirectory& folder = FBrowser->CurrentFolder();
  const int32_t folderId = folder.Id < 1 ? 0 : folder.Id;
  const std::string title = folder.Id < 1 ? std::string("Импорт") : "Импорт в раздел \"" + folder.Title + "\"";
  Reload(folderId, FocusedId());
  const std::string count = std::to_string(result.Created);
  const std::string line = std::to_string(result.StoppedAtLine);
  const std::string notRead = std::to_string(result.LinesNotRead);
  switch (result.End) {
    case TImportEnd::NoExchangeText:
      ShowMessageBox(kNoImportDataMessage, TMsgKind::Information);
      break;
    case TImportEnd::Completed:
      ShowMessageBox(title + " завершен. \r\nИмпортировано записей: " + count, TMsgKind::Information);
      break;
    case TImportEnd::BlankLine:
      ShowMessageBox(title + " завершен. \r\nИмпортировано записей: " + count + "\r\nИмпорт остановлен на строке " +
                         line + ": она пустая. Не прочитано строк после нее: " + notRead + ".",
                     TMsgKind::Warning);
      break;
    case TImportEnd::Cancelled:
    case TImportEnd::Failed:
      ShowMessageBox(title + " остановлен на строке " + line + " текста:\r\n" + result.Reason +
                         "\r\nИмпортировано записей до остановки: " + count + "\r\nНе прочитано строк: " + notRead,
                     TMsgKind::Error);
      break;
  }
}

// --- help, licence, about, site ---------------------------------------------------------------------------

void TfDirectory::actUserGuideExecute() { TfRVHelp::ShowHelp(5); }

void TfDirectory::actLicenseExecute() { TfRVHelp::ShowHelp(6); }

void TfDirectory::actAboutExecute() { TfSimpleForm::ExecuteModal<TfAboutKRT>(); }

void TfDirectory::btnSiteClick() { OpenAddress(QString::fromStdString(BuildSiteLink(kSiteAddress))); }
