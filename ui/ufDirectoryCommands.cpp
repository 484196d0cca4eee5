// The main window's commands: the action table, the bars that show the
// actions, the enable rules and what every command does.

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include "uActions.h"
#include "uDBDirectory.h"
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

const TActionInfo kActions[] = {
    {"actCopyToClipboard", "Копировать", "Скопировать в буфер обмена", QKeySequence(CTRL | Qt::Key_C),
     QKeySequence(CTRL | Qt::Key_Return), 5, 0, false},
    {"actEscapeToParent", "Выйти", "Выйти из папки", QKeySequence(Qt::Key_Backspace),
     QKeySequence(CTRL | Qt::Key_PageUp), 37, 0, false},
    {"actEnterToChilds", "Войти", "Войти в папку", QKeySequence(Qt::Key_Return), QKeySequence(CTRL | Qt::Key_PageDown),
     36, 0, false},
    {"actNew", "Создать", "Создать запись в текущей папке", QKeySequence(Qt::Key_Insert),
     QKeySequence(CTRL | Qt::Key_N), 0, 2, false},
    {"actNewFolder", "Создать папку", nullptr, QKeySequence(CTRL | Qt::Key_Insert),
     QKeySequence(CTRL | SHIFT | Qt::Key_N), 0, 1, false},
    {"actEdit", "Изменить", "Изменить запись", QKeySequence(Qt::Key_F2), QKeySequence(Qt::Key_F4), 1, 0, false},
    {"actDelete", "Удалить", "Удалить запись из справочника", QKeySequence(Qt::Key_F8), QKeySequence(Qt::Key_Delete),
     2, 0, false},
    {"actMoveUp", "Вверх", "Переместить запись вверх", QKeySequence(CTRL | Qt::Key_Up), {}, 3, -1, false},
    {"actMoveDown", "Вниз", "Переместить запись вниз", QKeySequence(CTRL | Qt::Key_Down), {}, 4, 1, false},
    {"actExportClipboard", "Экспорт в буфер обмена", "Экспорт записей в буфер обмена", {}, {}, 5, 0, false},
    {"actImportClipboard", "Импорт из буфера обмена", "Импорт записей из буфера обмена", {}, {}, 6, 0, false},
    {"actWordWrap", "Перенос слов", nullptr, {}, {}, 45, 0, true},
    {"actShowButtonCaptions", "Надписи к кнопкам", nullptr, {}, {}, 48, 0, true},
    {"actUserGuide", "Справка", nullptr, QKeySequence(Qt::Key_F1), {}, 11, 0, false},
    {"actLicense", "Лицензионное соглашение", nullptr, {}, {}, 44, 0, false},
    {"actAbout", "О программе", nullptr, {}, {}, 11, 0, false},
};

const char* const kNoIdMessage =
    "Не удалось получить новый идентификатор записи из базы данных.\r\nЗапись не создана.";
const char* const kNotSavedMessage =
    "Запись не сохранена: база данных не приняла изменения.\r\n"
    "Возможно, запись сейчас изменяется в другой программе.";
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

QAction* TfDirectory::Action(const QString& name) const {
  auto found = FActions.find(name);
  return found == FActions.end() ? nullptr : found->second;
}

void TfDirectory::CreateActions() {
  const std::map<QString, std::function<void(int)>> handlers = {
      {"actCopyToClipboard", [this](int) { actCopyToClipboardExecute(); }},
      {"actEscapeToParent", [this](int) { actEscapeToParentExecute(); }},
      {"actEnterToChilds", [this](int) { actEnterToChildsExecute(); }},
      {"actNew", [this](int tag) { actEditExecute(tag); }},
      {"actNewFolder", [this](int tag) { actEditExecute(tag); }},
      {"actEdit", [this](int tag) { actEditExecute(tag); }},
      {"actDelete", [](int) {}},
      {"actMoveUp", [this](int tag) { DoMoveDirectory(tag); }},
      {"actMoveDown", [this](int tag) { DoMoveDirectory(tag); }},
      {"actExportClipboard", [this](int) { actExportClipboardExecute(); }},
      {"actImportClipboard", [this](int) { actImportClipboardExecute(); }},
      {"actWordWrap", [this](int) { actWordWrapExecute(); }},
      {"actShowButtonCaptions", [this](int) { actShowButtonCaptionsExecute(); }},
      {"actUserGuide", [this](int) { actUserGuideExecute(); }},
      {"actLicense", [this](int) { actLicenseExecute(); }},
      {"actAbout", [this](int) { actAboutExecute(); }},
  };
  for (const TActionInfo& info : kActions) {
    QAction* action = CreateAction(this, info);
    addAction(action);  // shortcuts work wherever the focus is in the window
    FActions[action->objectName()] = action;
    auto handler = handlers.at(action->objectName());
    connect(action, &QAction::triggered, this, [this, action, handler] {
      RunGuarded([&] {
        ActionListUpdate();
        if (!action->isEnabled()) return;
        handler(action->data().toInt());
        ActionListUpdate();
      });
    });
  }
  // The enable rules hold from the start, not only from the first folder
  // loaded: "Удалить" in particular is never enabled.
  ActionListUpdate();
}

void TfDirectory::RunAction(QAction* action) {
  ActionListUpdate();
  if (action && action->isEnabled()) action->trigger();
}

QToolBar* TfDirectory::CreateMainToolBar() {
  auto* bar = new QToolBar(this);
  bar->setObjectName(QStringLiteral("tb"));
  bar->setMovable(false);
  bar->setIconSize(QSize(32, 32));

  // The copy button speaks to the user with words of its own.
  auto* copyButton = new QAction(QStringLiteral("Скопировать"), bar);
  copyButton->setObjectName(QStringLiteral("btnCopy"));
  copyButton->setToolTip(QStringLiteral("Скопировать в буфер обмена для вставки в документ"));
  if (dmRes) copyButton->setIcon(dmRes->Icon(5));
  connect(copyButton, &QAction::triggered, this, [this] { RunAction(Action("actCopyToClipboard")); });
  bar->addAction(copyButton);
  bar->addSeparator();
  bar->addAction(Action("actEscapeToParent"));
  bar->addAction(Action("actEnterToChilds"));
  bar->addSeparator();

  auto* newButton = new QToolButton(bar);
  newButton->setObjectName(QStringLiteral("btnNew"));
  newButton->setDefaultAction(Action("actNew"));
  newButton->setPopupMode(QToolButton::MenuButtonPopup);
  auto* newMenu = new QMenu(newButton);
  newMenu->addAction(Action("actNewFolder"));
  newButton->setMenu(newMenu);
  newButton->setToolButtonStyle(bar->toolButtonStyle());
  connect(bar, &QToolBar::toolButtonStyleChanged, newButton, &QToolButton::setToolButtonStyle);
  bar->addWidget(newButton);
  bar->addAction(Action("actEdit"));
  bar->addAction(Action("actDelete"));

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
  btnSite->setStyleSheet(QStringLiteral("QToolButton { color: blue; text-decoration: underline; }"));
  connect(btnSite, &QToolButton::clicked, this, [this] { RunGuarded([this] { btnSiteClick(); }); });
  bar->addWidget(btnSite);

  QToolButton* help = AddMenuButton(bar, QStringLiteral("Помощь"), 11,
                                    {Action("actUserGuide"), nullptr, Action("actLicense"), Action("actAbout")});
  help->setObjectName(QStringLiteral("btnHelp"));
  return bar;
}

QToolBar* TfDirectory::CreateStatusBar() {
  auto* bar = new QToolBar(this);
  bar->setObjectName(QStringLiteral("sb1"));
  bar->setMovable(false);
  bar->setIconSize(QSize(24, 24));
  // Icons only, so that the count and the filter always have room; every
  // button names itself in its hint.
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);

  lblCount = new QLabel(bar);
  lblCount->setObjectName(QStringLiteral("lblCount"));
  lblCount->setToolTip(QStringLiteral("Количество записей в текущей папке"));
  lblCount->setContentsMargins(4, 0, 4, 0);
  bar->addWidget(lblCount);
  bar->addSeparator();
  bar->addAction(Action("actMoveUp"));
  bar->addAction(Action("actMoveDown"));
  bar->addSeparator();
  QToolButton* exchange = AddMenuButton(bar, QStringLiteral("Экспорт/импорт записей"), 46,
                                        {Action("actExportClipboard"), Action("actImportClipboard")});
  exchange->setObjectName(QStringLiteral("btnExchange"));
  bar->addSeparator();
  bar->addAction(Action("actWordWrap"));
  bar->addAction(Action("actShowButtonCaptions"));
  bar->addSeparator();

  lblFilter = new QLabel(bar);
  lblFilter->setObjectName(QStringLiteral("lblFilter"));
  lblFilter->setStyleSheet(QStringLiteral("color: red;"));
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
  Action("actEscapeToParent")->setEnabled(FFilter.isEmpty() && FCurrentId != 0);
  Action("actEnterToChilds")->setEnabled(focused && focused->IsFolder);
  Action("actEdit")->setEnabled(focused && !focused->IsUpRow());
  Action("actDelete")->setEnabled(false);
}

void TfDirectory::vstColumnDblClick(int) {
  const TDirectory* focused = FocusedDirectory();
  if (!focused) return;
  RunAction(Action(focused->IsFolder ? "actEnterToChilds" : "actCopyToClipboard"));
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
  if (!tmrCopy.isActive()) tmrCopy.start();
}

void TfDirectory::tmrCopyTimer() {
  tmrCopy.stop();
  UpdateLabels();
}

// --- create and edit -------------------------------------------------------------------------

void TfDirectory::actEditExecute(int tag) {
  auto dialog = std::make_unique<TfDirectoryParams>();
  std::unique_ptr<TDirectory> created;
  TDirectory* entry = nullptr;
  if (tag <= 0) {
    entry = FocusedDirectory();
    if (!entry) return;
  } else {
    int id = NextGeneratorValue("GEN_DIRECTORY_ID");
    if (id < 1) {
      ShowMessageBox(kNoIdMessage, TMsgKind::Error);
      return;
    }
    created = std::make_unique<TDirectory>();
    created->Id = id;
    created->IdParent = FCurrentId;
    created->IsFolder = tag == 1;
    entry = created.get();
  }
  dialog->SetDirectory(entry);
  if (dialog->exec() != QDialog::Accepted) return;
  dialog.reset();
  SaveEditedEntry(entry, std::move(created));
}

void TfDirectory::SaveEditedEntry(TDirectory* entry, std::unique_ptr<TDirectory> created) {
  const int32_t id = entry->Id;
  char32_t unsupported = FindNonWin1251Char(entry->Title);
  if (!unsupported) unsupported = FindNonWin1251Char(entry->Description);
  if (unsupported || !TDBDirectorySaveCmd::Run(entry)) {
    ShowMessageBox(unsupported ? NonWin1251Message(unsupported) + "\r\nЗапись не сохранена." : kNotSavedMessage,
                   TMsgKind::Error);
    // An edited entry holds the rejected texts: show what the book holds.
    if (!created) Reload(FCurrentId, id);
    return;
  }
  if (created) {
    int at = FEntries.IndexOf(FocusedDirectory()) + 1;
    FEntries.Insert(at, std::move(created));
    FEntries.Renumber();
    TDBDirectoriesOrderUpdateCmd::Run(&FEntries);
  }
  Reload(entry->IdParent, id);
}

// --- move up and down ----------------------------------------------------------------------------

void TfDirectory::DoMoveDirectory(int tag) {
  const int row = FocusedRow();
  TDirectory* entry = FocusedDirectory();
  if (!entry || entry->IsUpRow()) return;
  int neighbour = kNoNode;
  if (tag == -1)
    neighbour = vst->PrevSibling(row);
  else if (tag == 1)
    neighbour = vst->NextSibling(row);
  else
    return;
  const TDirectory* other = TVTV::GetNodeObject(vst, neighbour);
  if (!other || other->IsUpRow() || other->IsFolder != entry->IsFolder) return;

  int index = FEntries.IndexOf(entry);
  FEntries.Move(index, index + tag);
  FEntries.Renumber();
  int moved = tag == -1 ? vst->MoveBefore(row, neighbour) : vst->MoveAfter(row, neighbour);
  vst->ScrollIntoView(moved);
  TDBDirectoriesOrderUpdateCmd::Run(&FEntries);
}

// --- export and import -------------------------------------------------------------------------------

void TfDirectory::actExportClipboardExecute() {
  const TDirectory* focused = FocusedDirectory();
  if (!focused) return;
  {
    TKeyboardLayoutSwitch layout(kRussianLayout);
    TWaitCursor wait;
    std::vector<std::string> lines;
    TDBDirectoryExportCmd::Run(focused, 0, &lines, nullptr);
    lines.insert(lines.begin(), kExchangeMarker);
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
  }
  ShowMessageBox("Раздел \"" + focused->Title +
                     "\" экспортирован.\r\nТеперь Вы можете импортировать этот раздел в справочник\r\n"
                     "\"ЗОРВАНА-ТЕК: Планировщик курсов\".",
                 TMsgKind::Information);
}

void TfDirectory::actImportClipboardExecute() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasText() || data->text().isEmpty()) {
    ShowMessageBox(kNoImportDataMessage, TMsgKind::Information);
    return;
  }
  const std::string text = data->text().toStdString();
  if (ShowMessageBox(kImportConfirmation, TMsgKind::Information, TMsgButtons::OkCancel) != TMsgResult::Ok) return;

  const std::vector<TTextLine> lines = SplitTextLines(text);
  TImportResult result;
  bool imported = false;
  {
    TWaitCursor wait;
    QProgressDialog progress(QStringLiteral("Импорт записей..."), QStringLiteral("Прервать"), 0, 0, this);
    progress.setWindowTitle(QStringLiteral("Импорт"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    imported = TDBDirectoryImportCmd::Run(lines, FCurrentId, nullptr, &result, [&progress](int created) {
      progress.setLabelText(QStringLiteral("Импортировано записей: %1").arg(created));
      progress.setValue(0);
      // Until the progress window shows, nothing blocks the main window: the
      // user's keys and clicks wait, so that no command runs in the middle of
      // the import (leaving the folder, another import). Once it shows, it
      // blocks the main window itself and its "Прервать" must work.
      QCoreApplication::processEvents(progress.isVisible() ? QEventLoop::AllEvents
                                                           : QEventLoop::ExcludeUserInputEvents);
      return !progress.wasCanceled();
    });
  }

  const TDirectory* focused = FocusedDirectory();
  const int32_t focusId = focused ? focused->Id : 0;
  const int32_t folderId = FCurrentFolder->Id < 1 ? 0 : FCurrentFolder->Id;
  const std::string title =
      FCurrentFolder->Id < 1 ? std::string("Импорт") : "Импорт в раздел \"" + FCurrentFolder->Title + "\"";
  Reload(folderId, focusId);
  const std::string count = std::to_string(result.Created);
  if (imported) {
    ShowMessageBox(title + " завершен. \r\nИмпортировано записей: " + count, TMsgKind::Information);
  } else {
    ShowMessageBox(title + " остановлен на строке " + std::to_string(result.StoppedAtLine) + " текста:\r\n" +
                       result.Reason + "\r\nИмпортировано записей до остановки: " + count,
                   TMsgKind::Error);
  }
}

// --- help, licence, about, site ---------------------------------------------------------------------------

void TfDirectory::actUserGuideExecute() { TfRVHelp::ShowHelp(5); }

void TfDirectory::actLicenseExecute() { TfRVHelp::ShowHelp(6); }

void TfDirectory::actAboutExecute() { TfSimpleForm::ExecuteModal<TfAboutKRT>(); }

void TfDirectory::btnSiteClick() { OpenAddress(QString::fromStdString(BuildSiteLink(kSiteAddress))); }
