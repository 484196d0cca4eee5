// The main window's commands on a real reference book file and a real
// window: copy, double click, create and edit through the entry editor,
// move up and down, delete, section export and import through the
// clipboard, help, licence, about and the site button.

#include <gtest/gtest.h>

#include <QAction>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPointer>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "BookTest.h"
#include "TestSupport.h"
#include "uDB.h"
#include "uDBDirectory.h"
#include "uDesktop.h"
#include "uDirectory.h"
#include "uExchangeRows.h"
#include "uFbClient.h"
#include "uGlobals.h"
#include "uSchema.h"
#include "uText.h"
#include "uVTVUtils.h"
#include "udmDB.h"
#include "udmRes.h"
#include "ufAboutKRT.h"
#include "DirectoryWindowProbe.h"
#include "ufDirectory.h"
#include "ufDirectoryParams.h"
#include "ufRVHelp.h"

// Readable failure messages for texts of the window.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

namespace fs = std::filesystem;

const char* const kExportedMessageTail =
    "\" экспортирован.\r\nТеперь Вы можете импортировать этот раздел в справочник\r\n"
    "\"ЗОРВАНА-ТЕК: Планировщик курсов\".";
const char* const kNoImportData =
    "Нет данных для импорта! Для импорта записей в справочник необходимо\r\n"
    "их сначала экспортировать из другого справочника.";
const char* const kImportConfirmation =
    "Сейчас будет произведен импорт записей в справочник.\r\n"
    "Данная операция может занять около минуты времени.";

// One row of the directory table as stored.
struct TStoredRow {
  int Id = 0;
  int Parent = 0;
  int Position = 0;
  std::string Title;
  std::string Description;
  bool Folder = false;
  int Flags = 0;
  bool operator==(const TStoredRow&) const = default;
};

void PrintTo(const TStoredRow& row, std::ostream* out) {
  *out << "{" << row.Id << " in " << row.Parent << " @" << row.Position << " '" << row.Title << "' '"
       << row.Description << "' " << (row.Folder ? "folder" : "record") << " flags " << row.Flags << "}";
}

// An entry of a section as the export walks it: depth and fields, no ids.
struct TSectionRow {
  int Level = 0;
  std::string Title;
  int Position = 0;
  int Flags = 0;
  bool Folder = false;
  std::string Description;
  bool operator==(const TSectionRow&) const = default;
};

void PrintTo(const TSectionRow& row, std::ostream* out) {
  *out << "{" << row.Level << " '" << row.Title << "' @" << row.Position << " flags " << row.Flags << " "
       << (row.Folder ? "folder" : "record") << " '" << row.Description << "'}";
}

// A title and its order position as stored, in listing order.
using TPositions = std::vector<std::pair<std::string, int>>;

// What the entry editor showed when it opened, and how to answer it.
struct TEditorAnswer {
  bool Accept = true;
  std::optional<QString> Title;
  std::optional<QString> Description;  // as typed: "\n" between lines
  std::optional<bool> Folder;
};

struct TEditorSeen {
  bool Shown = false;
  QString Title;
  QString Description;
  bool Folder = false;
};

// The standard book of these tests:
//   Папка (10)            folder
//     Ф1 (10)             folder, holds "Вложенная запись"
//     Ф2 (20), Ф3 (30)    folders
//     Альфа (40)          record, flags 3, a two-line description
//     Бета "Б" (50)       record
//     Вега (60)           record, description with leading blanks
//   Пустая (20)           folder
//   Корневая 1 (30)       record
//   Корневая 2 (40)       record
struct TBook {
  int Folder = 0, F1 = 0, F2 = 0, F3 = 0, Nested = 0, Alpha = 0, Beta = 0, Vega = 0;
  int Empty = 0, Root1 = 0, Root2 = 0;
};

class DirectoryWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGlobals();
    ComputeLocations(Dir.Path() + "zorvana-directory");
    fs::create_directories(Globals().DBPath);
    CreateDirectoryDatabase(Globals().DBFile);
    ASSERT_TRUE(DM.OpenDatabase());
    AssignDatabase(&DM.DB);
    dmRes = &Res;
    Globals().IsFirstStart = false;
    Globals().ID = "ZRV-Dir";
    FPreviousOpener = SetUrlOpener([this](const QUrl& url) {
      Opened.push_back(url.toString());
      return true;
    });
    QGuiApplication::clipboard()->setText(QStringLiteral("до команды"));
  }

  void TearDown() override {
    Window.reset();
    TfRVHelp::DestroyHelp();
    SetUrlOpener(std::move(FPreviousOpener));
    AssignDatabase(nullptr);
    dmRes = nullptr;
    ResetGlobals();
  }

  // --- the book --------------------------------------------------------------

  int Add(int parent, int position, const std::string& title, bool folder, const std::string& description = "",
          int flags = 0) {
    TDirectory entry;
    entry.Id = NextGeneratorValue("GEN_DIRECTORY_ID");
    entry.IdParent = parent;
    entry.OrderPosition = position;
    entry.Title = title;
    entry.IsFolder = folder;
    entry.Description = description;
    entry.Flags = flags;
    EXPECT_GT(entry.Id, 0);
    EXPECT_TRUE(TDBDirectorySaveCmd::Run(&entry));
    return entry.Id;
  }

  TBook BuildBook() {
    TBook b;
    b.Folder = Add(0, 10, "Папка", true);
    b.F1 = Add(b.Folder, 10, "Ф1", true);
    b.Nested = Add(b.F1, 10, "Вложенная запись", false);
    b.F2 = Add(b.Folder, 20, "Ф2", true);
    b.F3 = Add(b.Folder, 30, "Ф3", true);
    b.Alpha = Add(b.Folder, 40, "Альфа", false, "первая\r\nвторая", 3);
    b.Beta = Add(b.Folder, 50, "Бета \"Б\"", false);
    b.Vega = Add(b.Folder, 60, "Вега", false, "  с отступом");
    b.Empty = Add(0, 20, "Пустая", true);
    b.Root1 = Add(0, 30, "Корневая 1", false);
    b.Root2 = Add(0, 40, "Корневая 2", false);
    return b;
  }

  // One statement committed on a transaction of its own, as another copy of
  // the program would send it.
  void Sql(const std::string& text) {
    TFbTransaction transaction(&DM.DB);
    transaction.Params = WriteTransactionParams();
    transaction.StartTransaction();
    {
      TFbQuery query(&DM.DB, &transaction);
      query.SetSQL(text);
      query.ExecNoResult();
    }
    transaction.Commit();
  }

  std::vector<TStoredRow> StoredRows(const std::string& where, const std::string& order) {
    TFbTransaction transaction(&DM.DB);
    transaction.Params = ReadTransactionParams();
    transaction.StartTransaction();
    std::vector<TStoredRow> rows;
    {
      TFbQuery query(&DM.DB, &transaction);
      query.SetSQL("SELECT idd, id_parent, order_position, title, description, kind, flags FROM directory " +
                   where + " ORDER BY " + order);
      for (query.ExecQuery(); !query.Eof(); query.Next()) {
        rows.push_back({query.FieldByName("IDD").AsInteger(), query.FieldByName("ID_PARENT").AsInteger(),
                        query.FieldByName("ORDER_POSITION").AsInteger(), query.FieldByName("TITLE").AsString(),
                        query.FieldByName("DESCRIPTION").AsString(), query.FieldByName("KIND").AsInteger() == 1,
                        query.FieldByName("FLAGS").AsInteger()});
      }
    }
    transaction.Commit();
    return rows;
  }

  std::vector<TStoredRow> AllRows() { return StoredRows("", "idd"); }

  // A folder's children in listing order: folders first, each by position.
  std::vector<TStoredRow> Children(int parent) {
    return StoredRows("WHERE id_parent = " + std::to_string(parent), "kind DESC, order_position");
  }

  std::vector<TStoredRow> ChildrenTitled(int parent, const std::string& title) {
    std::vector<TStoredRow> rows = Children(parent);
    std::erase_if(rows, [&title](const TStoredRow& row) { return row.Title != title; });
    return rows;
  }

  TPositions Positions(int parent) {
    TPositions positions;
    for (const TStoredRow& row : Children(parent)) positions.emplace_back(row.Title, row.Position);
    return positions;
  }

  // A section as the export walks it: children by position alone.
  void Section(int id, int level, std::vector<TSectionRow>& out) {
    const std::vector<TStoredRow> self = StoredRows("WHERE idd = " + std::to_string(id), "idd");
    ASSERT_EQ(self.size(), 1u);
    const TStoredRow& row = self[0];
    out.push_back({level, row.Title, row.Position, row.Flags, row.Folder, row.Description});
    for (const TStoredRow& child : StoredRows("WHERE id_parent = " + std::to_string(id), "order_position"))
      Section(child.Id, level + 1, out);
  }

  int Generator() {
    TFbTransaction transaction(&DM.DB);
    transaction.Params = ReadTransactionParams();
    transaction.StartTransaction();
    int value = 0;
    {
      TFbQuery query(&DM.DB, &transaction);
      query.SetSQL("SELECT GEN_ID(GEN_DIRECTORY_ID, 0) AS id FROM rdb$database");
      query.ExecQuery();
      value = query.FieldByName("ID").AsInteger();
    }
    transaction.Commit();
    return value;
  }

  // --- the window ---------------------------------------------------------------

  void OpenWindow() {
    Window = std::make_unique<TfDirectory>(DM);
    Window->ShowDirectory();
    Window->show();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
  }

  TVirtualList* List() const { return Probe().List(); }

  int RowOf(const std::string& title) const {
    for (int row = List()->FirstNode(); row != kNoNode; row = List()->NextNode(row)) {
      if (List()->NodeObject(row) && List()->NodeObject(row)->Title == title) return row;
    }
    return kNoNode;
  }

  void Focus(const std::string& title) {
    const int row = RowOf(title);
    ASSERT_NE(row, kNoNode) << title;
    ASSERT_TRUE(TVTV::SelectNode(List(), row));
  }

  // Walks down from the root through the folders named.
  void EnterPath(const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
      ASSERT_NO_FATAL_FAILURE(Focus(folder));
      Probe().Action("actEnterToChilds")->trigger();
      ASSERT_EQ(FocusedTitle(), kUpRowTitle) << folder;
    }
  }

  // Clears the filter and leaves folders up to the root.
  void GoToRoot() {
    QTest::keyClick(Probe().List(), Qt::Key_Escape);
    for (int level = 0; level < 10 && Probe().CurrentId() != 0; ++level)
      Probe().Action("actEscapeToParent")->trigger();
    ASSERT_EQ(Probe().CurrentId(), 0);
  }

  std::vector<std::string> Listing() const {
    std::vector<std::string> titles;
    for (const auto& entry : Probe().Entries()) titles.push_back(entry->Title);
    return titles;
  }

  // The titles of the list's rows, hidden ones included.
  std::vector<std::string> ListRows() const {
    std::vector<std::string> titles;
    for (int row = List()->FirstNode(); row != kNoNode; row = List()->NextNode(row))
      titles.push_back(List()->NodeObject(row)->Title);
    return titles;
  }

  std::string FocusedTitle() const {
    const TDirectory* focused = Probe().FocusedDirectory();
    return focused ? focused->Title : "<none>";
  }

  std::set<const TDirectory*> EntryObjects() const {
    std::set<const TDirectory*> objects;
    for (const auto& entry : Probe().Entries()) objects.insert(entry.get());
    return objects;
  }

  void TypeFilter(const QString& text) {
    for (QChar c : text) {
      if (c == QChar(27))
        QTest::keyClick(Probe().List(), Qt::Key_Escape);
      else
        QTest::sendKeyEvent(QTest::Click, Probe().List(), static_cast<Qt::Key>(c.toUpper().unicode()), QString(c),
                            Qt::NoModifier);
    }
  }

  QString Clipboard() const { return QGuiApplication::clipboard()->text(); }

  // Runs an action whose command may open the entry editor, and answers
  // each editor that opens in turn; an editor beyond the answers given is
  // a failure and is cancelled.
  std::vector<TEditorSeen> RunWithEditors(const char* action, const std::vector<TEditorAnswer>& answers) {
    std::vector<TEditorSeen> seen;
    QPointer<QWidget> answered;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* editor = qobject_cast<TfDirectoryParams*>(QApplication::activeModalWidget());
      if (!editor || editor == answered.data()) return;
      answered = editor;
      if (seen.size() >= answers.size()) {
        ADD_FAILURE() << "the editor opened once more than expected";
        QTest::mouseClick(editor->btnCancel, Qt::LeftButton);
        return;
      }
      const TEditorAnswer& answer = answers[seen.size()];
      seen.push_back({true, editor->eTitle->text(), editor->eDesc->toPlainText(), editor->cbIsFolder->isChecked()});
      if (answer.Title) editor->eTitle->setText(*answer.Title);
      if (answer.Description) editor->eDesc->setPlainText(*answer.Description);
      if (answer.Folder) editor->cbIsFolder->setChecked(*answer.Folder);
      QTest::mouseClick(answer.Accept ? editor->btnOk : editor->btnCancel, Qt::LeftButton);
    });
    poll.start();
    Probe().Action(action)->trigger();
    QCoreApplication::processEvents();
    return seen;
  }

  TEditorSeen RunWithEditor(const char* action, const TEditorAnswer& answer) {
    const std::vector<TEditorSeen> seen = RunWithEditors(action, {answer});
    return seen.empty() ? TEditorSeen{} : seen.front();
  }

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const TMessageRequest& request : Messages.Shown) texts.push_back(request.Text);
    return texts;
  }

  TTempDir Dir;
  TdmDB DM;
  TdmRes Res;
  TMessageRecorder Messages;
  std::vector<QString> Opened;
  std::unique_ptr<TfDirectory> Window;
  TDirectoryWindowProbe Probe() const { return TDirectoryWindowProbe(*Window); }

  // Lets the copy timer run out now instead of in two seconds.
  void FireCopyTimer() {
    QTimer* timer = Probe().CopyTimer();
    if (!timer->isActive()) return;
    const int interval = timer->interval();
    timer->setInterval(0);  // restarts it
    EXPECT_TRUE(QTest::qWaitFor([timer] { return !timer->isActive(); }, 1000));
    timer->setInterval(interval);
  }

 private:
  TUrlOpener FPreviousOpener;
};

// =====================================================================================
// Copy

TEST_F(DirectoryWindowTest, CopyPutsExactlyTheFocusedTitleOnTheClipboardAsPlainText) {
  BuildBook();
  Add(0, 50, "  Договор № 5 «Альфа»  ", false, "не копируется");
  OpenWindow();

  struct TCase {
    const char* Name;
    std::vector<std::string> Path;  // folders to walk into first
    std::string Focus;
    std::function<void()> Run;
  };
  const auto action = [this] { Probe().Action("actCopyToClipboard")->trigger(); };
  const auto ctrlC = [this] { QTest::keyClick(List(), Qt::Key_C, Qt::ControlModifier); };
  const auto ctrlEnter = [this] {
    QTest::keyClick(List(), Qt::Key_Return, Qt::ControlModifier);
  };
  const auto toolbar = [this] {
    auto* button = qobject_cast<QToolButton*>(Probe().MainToolBar()->widgetForAction(
        Probe().MainToolBar()->findChild<QAction*>(QStringLiteral("btnCopy"))));
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  };
  const TCase cases[] = {
      {"record with blanks and signs, action", {}, "  Договор № 5 «Альфа»  ", action},
      {"folder with children, Ctrl+C: no count", {}, "Папка", ctrlC},
      {"record with quotes, Ctrl+Enter", {"Папка"}, "Бета \"Б\"", ctrlEnter},
      {"up row, Ctrl+C", {"Папка"}, "...", ctrlC},
      {"record with a description, copy button", {"Папка"}, "Альфа", toolbar},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(EnterPath(c.Path));
    ASSERT_NO_FATAL_FAILURE(Focus(c.Focus));
    QGuiApplication::clipboard()->setText(QStringLiteral("до команды"));
    c.Run();

    const QString title = QString::fromStdString(c.Focus);
    EXPECT_EQ(Clipboard(), title);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasText());
    EXPECT_FALSE(data->hasHtml());
    EXPECT_EQ(Probe().FilterLabel()->text(), QStringLiteral("Скопировано: ") + title);
    EXPECT_EQ(FocusedTitle(), c.Focus) << "copying moves nothing";
    FireCopyTimer();
    // Back to the root for the next case.
    ASSERT_NO_FATAL_FAILURE(GoToRoot());
  }
  EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(DirectoryWindowTest, CopyLabelReturnsToTheFilterTextAndASecondCopyDoesNotRestartTheTimer) {
  BuildBook();
  OpenWindow();
  ASSERT_NO_FATAL_FAILURE(EnterPath({"Папка"}));
  TypeFilter(QStringLiteral("а"));  // Альфа, Бета, Вега, Папка's up row
  ASSERT_EQ(Probe().FilterLabel()->text(), QStringLiteral("Фильтр: а"));
  EXPECT_EQ(Probe().CopyTimer()->interval(), 2000);
  EXPECT_FALSE(Probe().CopyTimer()->isActive());

  ASSERT_NO_FATAL_FAILURE(Focus("Альфа"));
  Probe().Action("actCopyToClipboard")->trigger();
  EXPECT_TRUE(Probe().CopyTimer()->isActive());
  EXPECT_EQ(Probe().FilterLabel()->text(), QStringLiteral("Скопировано: Альфа"));

  QTest::qWait(700);
  ASSERT_NO_FATAL_FAILURE(Focus("Вега"));
  Probe().Action("actCopyToClipboard")->trigger();
  EXPECT_EQ(Clipboard(), QStringLiteral("Вега"));
  EXPECT_EQ(Probe().FilterLabel()->text(), QStringLiteral("Скопировано: Вега"));
  EXPECT_LE(Probe().CopyTimer()->remainingTime(), 1500) << "the second copy restarted the timer";

  ASSERT_TRUE(QTest::qWaitFor([this] { return !Probe().CopyTimer()->isActive(); }, 3000));
  EXPECT_EQ(Probe().FilterLabel()->text(), QStringLiteral("Фильтр: а"));
  EXPECT_EQ(Probe().Filter(), QStringLiteral("а"));

  // Without a filter the label empties again.
  TypeFilter(QString(QChar(27)));
  Probe().Action("actCopyToClipboard")->trigger();
  EXPECT_FALSE(Probe().FilterLabel()->text().isEmpty());
  FireCopyTimer();
  EXPECT_TRUE(Probe().FilterLabel()->text().isEmpty());
  EXPECT_FALSE(Probe().CopyTimer()->isActive());
}

// =====================================================================================
// Double click

TEST_F(DirectoryWindowTest, DoubleClickEntersFoldersCopiesRecordsAndLeavesByTheUpRowUnlessFiltered) {
  const TBook book = BuildBook();
  struct TCase {
    const char* Name;
    std::string Row;
    QString Filter;
    int ShownAfter;  // folder shown afterwards
    QString ClipboardAfter;
  };
  const TCase cases[] = {
      {"folder enters", "Ф1", {}, book.F1, QStringLiteral("до команды")},
      {"record copies", "Альфа", {}, book.Folder, QStringLiteral("Альфа")},
      {"up row leaves", "...", {}, 0, QStringLiteral("до команды")},
      {"up row with a filter stays", "...", QStringLiteral("ег"), book.Folder, QStringLiteral("до команды")},
      {"record with a filter copies", "Вега", QStringLiteral("ег"), book.Folder, QStringLiteral("Вега")},
  };
  OpenWindow();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(GoToRoot());
    ASSERT_NO_FATAL_FAILURE(EnterPath({"Папка"}));
    TypeFilter(c.Filter);
    QGuiApplication::clipboard()->setText(QStringLiteral("до команды"));

    // A real double click on the row.
    const int row = RowOf(c.Row);
    ASSERT_NE(row, kNoNode);
    const QRect rect = List()->visualRect(List()->model()->index(row, 0));
    ASSERT_TRUE(rect.isValid());
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());

    EXPECT_EQ(Probe().CurrentId(), c.ShownAfter);
    EXPECT_EQ(Clipboard(), c.ClipboardAfter);
    if (c.ShownAfter == book.Folder) {
      FireCopyTimer();  // the label tells of the copy first
      EXPECT_EQ(Probe().Filter(), c.Filter);
    }
  }

  // The handler itself acts on the focused row.
  ASSERT_NO_FATAL_FAILURE(GoToRoot());
  ASSERT_NO_FATAL_FAILURE(Focus("Корневая 2"));
  emit Probe().List()->NodeDoubleClicked(RowOf("Корневая 2"));
  EXPECT_EQ(Clipboard(), QStringLiteral("Корневая 2"));
  ASSERT_NO_FATAL_FAILURE(Focus("Пустая"));
  emit Probe().List()->NodeDoubleClicked(RowOf("Пустая"));
  EXPECT_EQ(Probe().CurrentId(), book.Empty);
  EXPECT_TRUE(Messages.Shown.empty());
}

// =====================================================================================
// Create, new folder and edit through the entry editor

struct TCreateCase {
  const char* Name;
  std::vector<std::string> Path;
  std::string Focus;
  const char* Action;
  std::optional<bool> FolderBox;  // ticked or cleared in the editor
  bool StoredFolder;
  std::vector<std::string> Listing;  // rows after the reload
  TPositions Positions;               // the folder's children as stored, listing order
};

std::ostream& operator<<(std::ostream& out, const TCreateCase& c) { return out << c.Name; }

class DirectoryCreateTest : public DirectoryWindowTest, public ::testing::WithParamInterface<TCreateCase> {};

TEST_P(DirectoryCreateTest, OkSavesTheNewEntryRenumbersTheFolderAndFocusesIt) {
  const TCreateCase& c = GetParam();
  BuildBook();
  OpenWindow();
  ASSERT_NO_FATAL_FAILURE(EnterPath(c.Path));
  ASSERT_NO_FATAL_FAILURE(Focus(c.Focus));
  const int shown = Probe().CurrentId();
  const int generator = Generator();
  const std::vector<TStoredRow> before = AllRows();

  TEditorAnswer answer;
  answer.Title = QStringLiteral("Новая");
  answer.Description = QStringLiteral("строка 1\nстрока 2");
  answer.Folder = c.FolderBox;
  const TEditorSeen seen = RunWithEditor(c.Action, answer);

  ASSERT_TRUE(seen.Shown);
  EXPECT_TRUE(seen.Title.isEmpty());
  EXPECT_TRUE(seen.Description.isEmpty());
  EXPECT_EQ(seen.Folder, std::string(c.Action) == "actNewFolder");
  EXPECT_TRUE(Messages.Shown.empty()) << Messages.Shown.front().Text;

  // The new row, under the id drawn for it.
  EXPECT_EQ(Generator(), generator + 1);
  const std::vector<TStoredRow> created = StoredRows("WHERE idd = " + std::to_string(generator + 1), "idd");
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0].Parent, shown);
  EXPECT_EQ(created[0].Title, "Новая");
  EXPECT_EQ(created[0].Description, "строка 1\r\nстрока 2");
  EXPECT_EQ(created[0].Folder, c.StoredFolder);
  EXPECT_EQ(created[0].Flags, 0);
  EXPECT_EQ(AllRows().size(), before.size() + 1);

  EXPECT_EQ(Positions(shown), c.Positions);
  EXPECT_EQ(Listing(), c.Listing);
  EXPECT_EQ(Probe().CurrentId(), shown);
  EXPECT_EQ(FocusedTitle(), "Новая");
  ASSERT_NE(Probe().FocusedDirectory(), nullptr);
  EXPECT_EQ(Probe().FocusedDirectory()->Id, generator + 1);
}

const TCreateCase kCreateCases[] = {
    {"RecordWhileAFolderIsFocusedAtTheRoot",
     {},
     "Папка",
     "actNew",
     std::nullopt,
     false,
     {"Папка", "Пустая", "Новая", "Корневая 1", "Корневая 2"},
     {{"Папка", 0}, {"Пустая", 200}, {"Новая", 100}, {"Корневая 1", 300}, {"Корневая 2", 400}}},
    {"FolderWhileARecordIsFocusedAtTheRoot",
     {},
     "Корневая 1",
     "actNewFolder",
     std::nullopt,
     true,
     {"Папка", "Пустая", "Новая", "Корневая 1", "Корневая 2"},
     {{"Папка", 0}, {"Пустая", 100}, {"Новая", 300}, {"Корневая 1", 200}, {"Корневая 2", 400}}},
    {"RecordWhileTheUpRowIsFocused",
     {"Папка"},
     "...",
     "actNew",
     std::nullopt,
     false,
     {"...", "Ф1", "Ф2", "Ф3", "Новая", "Альфа", "Бета \"Б\"", "Вега"},
     {{"Ф1", 200},
      {"Ф2", 300},
      {"Ф3", 400},
      {"Новая", 100},
      {"Альфа", 500},
      {"Бета \"Б\"", 600},
      {"Вега", 700}}},
    {"RecordAfterTheLastRecordInAFolder",
     {"Папка"},
     "Вега",
     "actNew",
     std::nullopt,
     false,
     {"...", "Ф1", "Ф2", "Ф3", "Альфа", "Бета \"Б\"", "Вега", "Новая"},
     {{"Ф1", 100},
      {"Ф2", 200},
      {"Ф3", 300},
      {"Альфа", 400},
      {"Бета \"Б\"", 500},
      {"Вега", 600},
      {"Новая", 700}}},
    {"RecordTickedAsFolderInTheEditor",
     {"Папка"},
     "Ф3",
     "actNew",
     true,
     true,
     {"...", "Ф1", "Ф2", "Ф3", "Новая", "Альфа", "Бета \"Б\"", "Вега"},
     {{"Ф1", 100},
      {"Ф2", 200},
      {"Ф3", 300},
      {"Новая", 400},
      {"Альфа", 500},
      {"Бета \"Б\"", 600},
      {"Вега", 700}}},
    {"FolderInAnEmptyFolder", {"Пустая"}, "...", "actNewFolder", std::nullopt, true, {"...", "Новая"}, {{"Новая", 100}}},
};

INSTANTIATE_TEST_SUITE_P(Cases, DirectoryCreateTest, ::testing::ValuesIn(kCreateCases),
                         [](const ::testing::TestParamInfo<TCreateCase>& info) { return info.param.Name; });

TEST_F(DirectoryWindowTest, EditChangesTitleDescriptionAndKindOnly) {
  const TBook book = BuildBook();
  struct TCase {
    const char* Name;
    std::string Focus;
    int Id;
    QString ShownDescription;
    bool ShownFolder;
    bool NewFolder;
  };
  const TCase cases[] = {
      {"record becomes a folder", "Альфа", book.Alpha, QStringLiteral("первая\nвторая"), false, true},
      {"folder with a child becomes a record", "Ф1", book.F1, QString(), true, false},
  };
  OpenWindow();
  ASSERT_NO_FATAL_FAILURE(EnterPath({"Папка"}));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<TStoredRow> before = AllRows();
    const int generator = Generator();
    ASSERT_NO_FATAL_FAILURE(Focus(c.Focus));

    TEditorAnswer answer;
    answer.Title = QString::fromStdString(c.Focus) + QStringLiteral(" изменена");
    answer.Description = QStringLiteral("новое\nописание");
    answer.Folder = c.NewFolder;
    const TEditorSeen seen = RunWithEditor("actEdit", answer);

    ASSERT_TRUE(seen.Shown);
    EXPECT_EQ(seen.Title, QString::fromStdString(c.Focus));
    EXPECT_EQ(seen.Description, c.ShownDescription);
    EXPECT_EQ(seen.Folder, c.ShownFolder);

    std::vector<TStoredRow> expected = before;
    for (TStoredRow& row : expected) {
      if (row.Id != c.Id) continue;
      row.Title = c.Focus + " изменена";
      row.Description = "новое\r\nописание";
      row.Folder = c.NewFolder;
    }
    EXPECT_EQ(AllRows(), expected);
    EXPECT_EQ(Generator(), generator);
    EXPECT_EQ(Probe().CurrentId(), book.Folder);
    EXPECT_EQ(FocusedTitle(), c.Focus + " изменена");
    ASSERT_NE(Probe().FocusedDirectory(), nullptr);
    EXPECT_EQ(Probe().FocusedDirectory()->IsFolder, c.NewFolder);
  }
  EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(DirectoryWindowTest, CancelLeavesTheBookAsItWasApartFromTheDrawnId) {
  BuildBook();
  struct TCase {
    const char* Action;
    int Drawn;
  };
  const TCase cases[] = {{"actNew", 1}, {"actNewFolder", 1}, {"actEdit", 0}};
  OpenWindow();
  ASSERT_NO_FATAL_FAILURE(EnterPath({"Папка"}));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Action);
    ASSERT_NO_FATAL_FAILURE(Focus("Бета \"Б\""));
    const std::vector<TStoredRow> before = AllRows();
    const std::vector<std::string> listing = Listing();
    const int generator = Generator();

    TEditorAnswer answer;
    answer.Accept = false;
    answer.Title = QStringLiteral("Не сохранять");
    answer.Description = QStringLiteral("нет");
    answer.Folder = true;
    ASSERT_TRUE(RunWithEditor(c.Action, answer).Shown);

    EXPECT_EQ(AllRows(), before);
    EXPECT_EQ(Generator(), generator + c.Drawn);
    EXPECT_EQ(Listing(), listing);
    EXPECT_EQ(FocusedTitle(), "Бета \"Б\"");
    EXPECT_FALSE(Probe().FocusedDirectory()->IsFolder) << "the edited entry stays as it was";
  }
  EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(DirectoryWindowTest, EmptyBookCommandsWithoutARowDoNothingAndCreateStartsAtZero) {
  OpenWindow();
  ASSERT_EQ(List()->RowCount(), 0);
  ASSERT_EQ(Probe().FocusedDirectory(), nullptr);
  EXPECT_FALSE(Probe().Action("actEdit")->isEnabled());
  EXPECT_FALSE(Probe().Action("actEnterToChilds")->isEnabled());

  for (const char* action : {"actCopyToClipboard", "actExportClipboard", "actEdit", "actMoveUp", "actMoveDown",
                             "actEnterToChilds", "actEscapeToParent"}) {
    SCOPED_TRACE(action);
    EXPECT_FALSE(RunWithEditor(action, TEditorAnswer{}).Shown);
    EXPECT_EQ(Clipboard(), QStringLiteral("до команды"));
    EXPECT_TRUE(Probe().FilterLabel()->text().isEmpty());
    EXPECT_FALSE(Probe().CopyTimer()->isActive());
  }
  emit Probe().List()->NodeDoubleClicked(kNoNode);
  EXPECT_EQ(Clipboard(), QStringLiteral("до команды"));
  EXPECT_TRUE(Messages.Shown.empty());
  EXPECT_TRUE(AllRows().empty());

  TEditorAnswer answer;
  answer.Title = QStringLiteral("Первая");
  ASSERT_TRUE(RunWithEditor("actNew", answer).Shown);
  EXPECT_EQ(Positions(0), (TPositions{{"Первая", 0}}));
  EXPECT_EQ(FocusedTitle(), "Первая");
  EXPECT_EQ(Probe().CountLabel()->text(), QStringLiteral("Кол-во: 1"));
  EXPECT_TRUE(Messages.Shown.empty());
}

// =====================================================================================
// Failures while creating and editing

TEST_F(DirectoryWindowTest, FailedIdDrawIsReportedAndOpensNoEditor) {
  BuildBook();
  OpenWindow();
  ASSERT_NO_FATAL_FAILURE(EnterPath({"Папка"}));
  ASSERT_NO_FATAL_FAILURE(Focus("Альфа"));
  // Another copy of the program took the generator away.
  Sql("DROP SEQUENCE GEN_DIRECTORY_ID");
  const std::vector<TStoredRow> before = AllRows();
  const std::vector<std::string> listing = Listing();

  for (const char* action : {"actNew", "actNewFolder"}) {
    SCOPED_TRACE(action);
    Messages.Shown.clear();
    TEditorAnswer answer;
    answer.Title = QStringLiteral("Не должно появиться");
    EXPECT_FALSE(RunWithEditor(action, answer).Shown);

    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Error);
    EXPECT_NE(Messages.Shown[0].Text.find("идентификатор"), std::string::npos) << Messages.Shown[0].Text;
    EXPECT_NE(Messages.Shown[0].Text.find("не создана"), std::string::npos) << Messages.Shown[0].Text;
    EXPECT_EQ(AllRows(), before);
    EXPECT_EQ(Listing(), listing);
    EXPECT_EQ(FocusedTitle(), "Альфа");
  }
}

TEST_F(DirectoryWindowTest, SaveRefusedByTheDatabaseIsReportedAndTheEditorKeepsWhatWasTyped) {
  const TBook book = BuildBook();
  struct TCase {
    const char* Name;
    const char* Action;
    QString Title;
    bool Lock;  // another copy of the program holds the focused row
    int Drawn;
  };
  const TCase cases[] = {
      {"edited row locked elsewhere", "actEdit", QStringLiteral("Альфа в другой программе"), true, 0},
      {"new entry's title longer than the column", "actNew", QString(4001, QChar(u'ж')), false, 1},
      {"edited title longer than the column", "actEdit", QString(4001, QChar(u'ж')), false, 0},
  };
  OpenWindow();
  ASSERT_NO_FATAL_FAILURE(EnterPath({"Папка"}));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Messages.Shown.clear();
    ASSERT_NO_FATAL_FAILURE(Focus("Альфа"));
    const std::vector<TStoredRow> before = AllRows();
    const std::vector<std::string> listing = Listing();
    const int generator = Generator();
    {
      std::optional<TRowLock> lock;
      if (c.Lock) lock.emplace(Globals().DBFile, book.Alpha);
      TEditorAnswer answer;
      answer.Title = c.Title;
      answer.Description = QStringLiteral("не сохранится");
      answer.Folder = true;
      TEditorAnswer cancel;
      cancel.Accept = false;
      const std::vector<TEditorSeen> seen = RunWithEditors(c.Action, {answer, cancel});
      ASSERT_EQ(seen.size(), 2u) << "the editor opens again after the refusal";
      EXPECT_EQ(seen[1].Title, c.Title) << "what the user typed is kept";
      EXPECT_EQ(seen[1].Description, QStringLiteral("не сохранится"));
      EXPECT_TRUE(seen[1].Folder);
    }
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Error);
    EXPECT_EQ(Messages.Shown[0].Text.rfind("Запись не сохранена", 0), 0u) << Messages.Shown[0].Text;
    if (!c.Lock) {
      // The real cause, with the length and the limit.
      EXPECT_NE(Messages.Shown[0].Text.find("4 001"), std::string::npos) << Messages.Shown[0].Text;
      EXPECT_NE(Messages.Shown[0].Text.find("4 000"), std::string::npos) << Messages.Shown[0].Text;
    }

    EXPECT_EQ(AllRows(), before);
    EXPECT_EQ(Generator(), generator + c.Drawn);
    EXPECT_EQ(Probe().CurrentId(), book.Folder);
    EXPECT_EQ(Listing(), listing);
    const TDirectory* focused = Probe().FocusedDirectory();
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->Id, book.Alpha);
    EXPECT_EQ(focused->Title, "Альфа");
    EXPECT_EQ(focused->Description, "первая\r\nвторая");
    EXPECT_FALSE(focused->IsFolder);
    EXPECT_EQ(Probe().RowText(List()->FocusedNode()), QStringLiteral("Альфа"));
  }
}

TEST_F(DirectoryWindowTest, CharacterOutsideWindows1251IsReportedNothingIsSavedAndTheEditorKeepsIt) {
  BuildBook();
  struct TCase {
    const char* Action;
    QString Title;
    QString Description;
  };
  const TCase cases[] = {
      {"actNew", QStringLiteral("Иероглиф 漢"), QStringLiteral("описание")},
      {"actNewFolder", QStringLiteral("Папка"), QStringLiteral("описание 漢")},
      {"actEdit", QStringLiteral("Альфа 漢"), QStringLiteral("первая")},
      {"actEdit", QStringLiteral("Альфа"), QStringLiteral("漢\nвторая")},
  };
  OpenWindow();
  ASSERT_NO_FATAL_FAILURE(EnterPath({"Папка"}));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Action + std::string(" ") + c.Title.toStdString());
    Messages.Shown.clear();
    ASSERT_NO_FATAL_FAILURE(Focus("Альфа"));
    const std::vector<TStoredRow> before = AllRows();
    const std::vector<std::string> listing = Listing();

    TEditorAnswer answer;
    answer.Title = c.Title;
    answer.Description = c.Description;
    TEditorAnswer cancel;
    cancel.Accept = false;
    const std::vector<TEditorSeen> seen = RunWithEditors(c.Action, {answer, cancel});
    ASSERT_EQ(seen.size(), 2u) << "the editor opens again after the refusal";
    EXPECT_EQ(seen[1].Title, c.Title) << "what the user typed is kept";

    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Error);
    EXPECT_EQ(Messages.Shown[0].Text, NonWin1251Message(U'漢') + "\r\nЗапись не сохранена.");
    EXPECT_NE(Messages.Shown[0].Text.find("漢"), std::string::npos);
    EXPECT_EQ(AllRows(), before);
    EXPECT_EQ(Listing(), listing);
    const TDirectory* focused = Probe().FocusedDirectory();
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->Title, "Альфа");
    EXPECT_EQ(focused->Description, "первая\r\nвторая");
  }
}

// =====================================================================================
// Move up and down

struct TMoveCase {
  const char* Name;
  std::vector<std::string> Path;
  std::string Focus;
  Qt::Key Key;                        // with Ctrl
  std::vector<std::string> Listing;  // empty: refused, nothing changes
  TPositions Positions;               // stored afterwards, listing order
};

std::ostream& operator<<(std::ostream& out, const TMoveCase& c) { return out << c.Name; }

class DirectoryMoveTest : public DirectoryWindowTest, public ::testing::WithParamInterface<TMoveCase> {};

TEST_P(DirectoryMoveTest, MovesWithinItsKindAndStoresThePositions) {
  const TMoveCase& c = GetParam();
  BuildBook();
  OpenWindow();
  ASSERT_NO_FATAL_FAILURE(EnterPath(c.Path));
  ASSERT_NO_FATAL_FAILURE(Focus(c.Focus));
  const int shown = Probe().CurrentId();
  const std::vector<std::string> listing = Listing();
  const TPositions positions = Positions(shown);
  const std::set<const TDirectory*> objects = EntryObjects();
  const TDirectory* moved = Probe().FocusedDirectory();

  QTest::keyClick(List(), c.Key, Qt::ControlModifier);

  if (c.Listing.empty()) {
    EXPECT_EQ(Listing(), listing);
    EXPECT_EQ(ListRows(), listing);
    EXPECT_EQ(Positions(shown), positions);
  } else {
    EXPECT_EQ(Listing(), c.Listing);
    EXPECT_EQ(ListRows(), c.Listing);
    EXPECT_EQ(Positions(shown), c.Positions);
  }
  EXPECT_EQ(Probe().FocusedDirectory(), moved) << "the moved row stays focused";
  EXPECT_EQ(List()->SelectedNodes(), std::vector<int>{List()->FocusedNode()});
  EXPECT_EQ(EntryObjects(), objects) << "the folder was reloaded";
  EXPECT_EQ(Probe().CurrentId(), shown);
  EXPECT_TRUE(Messages.Shown.empty());
}

const TMoveCase kMoveCases[] = {
    {"SecondFolderUp",
     {"Папка"},
     "Ф2",
     Qt::Key_Up,
     {"...", "Ф2", "Ф1", "Ф3", "Альфа", "Бета \"Б\"", "Вега"},
     {{"Ф2", 100}, {"Ф1", 200}, {"Ф3", 300}, {"Альфа", 400}, {"Бета \"Б\"", 500}, {"Вега", 600}}},
    {"RecordDown",
     {"Папка"},
     "Бета \"Б\"",
     Qt::Key_Down,
     {"...", "Ф1", "Ф2", "Ф3", "Альфа", "Вега", "Бета \"Б\""},
     {{"Ф1", 100}, {"Ф2", 200}, {"Ф3", 300}, {"Альфа", 400}, {"Вега", 500}, {"Бета \"Б\"", 600}}},
    {"FirstFolderUpMeetsTheUpRow", {"Папка"}, "Ф1", Qt::Key_Up, {}, {}},
    {"LastFolderDownMeetsARecord", {"Папка"}, "Ф3", Qt::Key_Down, {}, {}},
    {"FirstRecordUpMeetsAFolder", {"Папка"}, "Альфа", Qt::Key_Up, {}, {}},
    {"LastRecordDownMeetsTheEnd", {"Папка"}, "Вега", Qt::Key_Down, {}, {}},
    {"UpRowStays", {"Папка"}, "...", Qt::Key_Down, {}, {}},
    {"RecordUpAtTheRoot",
     {},
     "Корневая 2",
     Qt::Key_Up,
     {"Папка", "Пустая", "Корневая 2", "Корневая 1"},
     {{"Папка", 0}, {"Пустая", 100}, {"Корневая 2", 200}, {"Корневая 1", 300}}},
    {"FolderDownAtTheRoot",
     {},
     "Папка",
     Qt::Key_Down,
     {"Пустая", "Папка", "Корневая 1", "Корневая 2"},
     {{"Пустая", 0}, {"Папка", 100}, {"Корневая 1", 200}, {"Корневая 2", 300}}},
    {"FirstRowUpAtTheRoot", {}, "Папка", Qt::Key_Up, {}, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, DirectoryMoveTest, ::testing::ValuesIn(kMoveCases),
                         [](const ::testing::TestParamInfo<TMoveCase>& info) { return info.param.Name; });

TEST_F(DirectoryWindowTest, MoveCountsHiddenRowsAsNeighboursAndKeepsTheFilter) {
  const TBook book = BuildBook();
  OpenWindow();
  ASSERT_NO_FATAL_FAILURE(EnterPath({"Папка"}));
  TypeFilter(QStringLiteral("ег"));  // only Вега (and the up row) stay visible
  ASSERT_EQ(FocusedTitle(), "Вега");
  const std::set<const TDirectory*> objects = EntryObjects();
  auto hidden = [this] {
    std::vector<std::string> titles;
    for (int row = List()->FirstNode(); row != kNoNode; row = List()->NextNode(row))
      if (!List()->IsVisibleNode(row)) titles.push_back(List()->NodeObject(row)->Title);
    return titles;
  };

  Probe().Action("actMoveUp")->trigger();  // past the hidden Бета
  EXPECT_EQ(ListRows(), (std::vector<std::string>{"...", "Ф1", "Ф2", "Ф3", "Альфа", "Вега", "Бета \"Б\""}));
  Probe().Action("actMoveUp")->trigger();  // past the hidden Альфа
  EXPECT_EQ(ListRows(), (std::vector<std::string>{"...", "Ф1", "Ф2", "Ф3", "Вега", "Альфа", "Бета \"Б\""}));
  Probe().Action("actMoveUp")->trigger();  // the hidden Ф3 is a folder: refused
  EXPECT_EQ(ListRows(), (std::vector<std::string>{"...", "Ф1", "Ф2", "Ф3", "Вега", "Альфа", "Бета \"Б\""}));

  EXPECT_EQ(FocusedTitle(), "Вега");
  EXPECT_TRUE(List()->IsVisibleNode(List()->FocusedNode()));
  EXPECT_EQ(hidden(), (std::vector<std::string>{"Ф1", "Ф2", "Ф3", "Альфа", "Бета \"Б\""}));
  EXPECT_EQ(Probe().Filter(), QStringLiteral("ег"));
  EXPECT_EQ(Probe().FilterLabel()->text(), QStringLiteral("Фильтр: ег"));
  EXPECT_EQ(EntryObjects(), objects);
  EXPECT_EQ(Positions(book.Folder),
            (TPositions{{"Ф1", 100}, {"Ф2", 200}, {"Ф3", 300}, {"Вега", 400}, {"Альфа", 500}, {"Бета \"Б\"", 600}}));
}

// =====================================================================================
// Delete

TEST_F(DirectoryWindowTest, DeleteIsNeverEnabledAndItsKeysDoNothing) {
  BuildBook();
  Window = std::make_unique<TfDirectory>(DM);
  QAction* remove = Probe().Action("actDelete");
  ASSERT_NE(remove, nullptr);
  EXPECT_FALSE(remove->isEnabled()) << "enabled before the first folder was loaded";
  Window->ShowDirectory();
  Window->show();
  Window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));

  QWidget* button = Probe().MainToolBar()->widgetForAction(remove);
  ASSERT_NE(button, nullptr);
  const std::vector<TStoredRow> before = AllRows();
  for (const std::vector<std::string>& path : {std::vector<std::string>{}, std::vector<std::string>{"Папка"}}) {
    ASSERT_NO_FATAL_FAILURE(EnterPath(path));
    for (const std::string& row : ListRows()) {
      SCOPED_TRACE(row);
      ASSERT_NO_FATAL_FAILURE(Focus(row));
      const std::vector<std::string> listing = Listing();
      for (Qt::Key key : {Qt::Key_F8, Qt::Key_Delete}) QTest::keyClick(List(), key);
      remove->trigger();
      EXPECT_FALSE(remove->isEnabled());
      EXPECT_FALSE(button->isEnabled());
      EXPECT_EQ(Listing(), listing);
      EXPECT_EQ(FocusedTitle(), row);
    }
  }
  EXPECT_EQ(AllRows(), before);
  EXPECT_TRUE(Messages.Shown.empty());
}

// =====================================================================================
// Export

TEST_F(DirectoryWindowTest, ExportPutsTheMarkerAndTheSectionRowsOnTheClipboard) {
  BuildBook();
  const std::string folderRows =
      "\tФ1\t10\t0\t1\t\r\n"
      "\t\tВложенная запись\t10\t0\t0\t\r\n"
      "\tФ2\t20\t0\t1\t\r\n"
      "\tФ3\t30\t0\t1\t\r\n"
      "\tАльфа\t40\t3\t0\t\"первая\r\nвторая\"\r\n"
      "\t\"Бета \"\"Б\"\"\"\t50\t0\t0\t\r\n"
      "\tВега\t60\t0\t0\t\"  с отступом\"\r\n";
  struct TCase {
    const char* Name;
    std::vector<std::string> Path;
    std::string Focus;
    std::string Text;
  };
  const TCase cases[] = {
      {"folder", {}, "Папка", "#ZORVANA-DIRECTORY-EXCHANGE#\r\nПапка\t10\t0\t1\t\r\n" + folderRows},
      {"up row", {"Папка"}, "...", "#ZORVANA-DIRECTORY-EXCHANGE#\r\n...\t0\t0\t1\t\r\n" + folderRows},
      {"record", {}, "Корневая 1", "#ZORVANA-DIRECTORY-EXCHANGE#\r\nКорневая 1\t30\t0\t0\t\r\n"},
      {"record inside", {"Папка", "Ф1"}, "Вложенная запись",
       "#ZORVANA-DIRECTORY-EXCHANGE#\r\nВложенная запись\t10\t0\t0\t\r\n"},
  };
  OpenWindow();
  const std::vector<TStoredRow> before = AllRows();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(GoToRoot());
    ASSERT_NO_FATAL_FAILURE(EnterPath(c.Path));
    ASSERT_NO_FATAL_FAILURE(Focus(c.Focus));
    Messages.Shown.clear();
    Probe().Action("actExportClipboard")->trigger();

    EXPECT_EQ(Clipboard().toStdString(), c.Text);
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Information);
    EXPECT_EQ(Messages.Shown[0].Buttons, TMsgButtons::Ok);
    EXPECT_EQ(Messages.Shown[0].Text, "Раздел \"" + c.Focus + kExportedMessageTail);
    EXPECT_EQ(FocusedTitle(), c.Focus);
  }
  EXPECT_EQ(AllRows(), before);
}

// =====================================================================================
// Import

TEST_F(DirectoryWindowTest, ListRowsFollowTheListingThroughEveryCommand) {
  BuildBook();
  OpenWindow();
  QAbstractItemModelTester tester(List()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  TEditorAnswer answer;
  answer.Title = QStringLiteral("Новая");
  const std::vector<std::pair<const char*, std::function<void()>>> steps = {
      {"enter", [this] { ASSERT_NO_FATAL_FAILURE(EnterPath({"Папка"})); }},
      {"move down", [this] {
         ASSERT_NO_FATAL_FAILURE(Focus("Альфа"));
         Probe().Action("actMoveDown")->trigger();
       }},
      {"move up", [this] { Probe().Action("actMoveUp")->trigger(); }},
      {"filter", [this] { TypeFilter(QStringLiteral("ег")); }},
      {"create", [&] { ASSERT_TRUE(RunWithEditor("actNew", answer).Shown); }},
      {"leave", [this] { Probe().Action("actEscapeToParent")->trigger(); }},
  };
  for (const auto& [name, step] : steps) {
    SCOPED_TRACE(name);
    ASSERT_NO_FATAL_FAILURE(step());
    EXPECT_EQ(ListRows(), Listing());
  }
  EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(DirectoryWindowTest, ExportThatCannotReadEveryLevelSaysSoAndLeavesTheClipboard) {
  const TBook book = BuildBook();
  // A column whose value the database cannot compute for one entry deep in
  // the section: reading that entry fails while its siblings read well.
  for (int id : {book.Nested, book.Vega}) {
    SCOPED_TRACE(id);
    Sql("ALTER TABLE directory ADD broken COMPUTED BY (1 / (idd - " + std::to_string(id) + "))");
    OpenWindow();
    ASSERT_NO_FATAL_FAILURE(Focus("Папка"));
    QGuiApplication::clipboard()->setText(QStringLiteral("до экспорта"));
    Messages.Shown.clear();
    Probe().Action("actExportClipboard")->trigger();

    EXPECT_EQ(Clipboard(), QStringLiteral("до экспорта"));
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Error);
    EXPECT_EQ(Messages.Shown[0].Text.rfind("Раздел \"Папка\" не экспортирован", 0), 0u) << Messages.Shown[0].Text;
    EXPECT_NE(Messages.Shown[0].Text.find("Буфер обмена и файлы не изменены"), std::string::npos);
    Window.reset();
    Sql("ALTER TABLE directory DROP broken");
  }
}

TEST_F(DirectoryWindowTest, OrderNotStoredAfterAMoveOrACreateIsToldAndTheFolderShowsTheBook) {
  const TBook book = BuildBook();
  OpenWindow();
  ASSERT_NO_FATAL_FAILURE(EnterPath({"Папка"}));
  const TPositions stored = Positions(book.Folder);

  {
    SCOPED_TRACE("move");
    ASSERT_NO_FATAL_FAILURE(Focus("Бета \"Б\""));
    Messages.Shown.clear();
    {
      TRowLock lock(Globals().DBFile, book.Alpha);  // another copy holds Альфа's row
      Probe().Action("actMoveUp")->trigger();
    }
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Error);
    EXPECT_EQ(Messages.Shown[0].Text.rfind("Новый порядок записей не сохранен", 0), 0u) << Messages.Shown[0].Text;
    EXPECT_EQ(Positions(book.Folder), stored);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"...", "Ф1", "Ф2", "Ф3", "Альфа", "Бета \"Б\"", "Вега"}))
        << "the list shows the order the book holds";
    EXPECT_EQ(FocusedTitle(), "Бета \"Б\"");
  }
  {
    SCOPED_TRACE("create");
    ASSERT_NO_FATAL_FAILURE(Focus("Альфа"));
    Messages.Shown.clear();
    TEditorAnswer answer;
    answer.Title = QStringLiteral("Новая");
    {
      TRowLock lock(Globals().DBFile, book.Vega);  // its position would change
      ASSERT_TRUE(RunWithEditor("actNew", answer).Shown);
    }
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Error);
    EXPECT_EQ(Messages.Shown[0].Text.rfind("Запись сохранена, но ее место в папке не сохранено", 0), 0u)
        << Messages.Shown[0].Text;
    EXPECT_EQ(FocusedTitle(), "Новая") << "the saved entry is shown where the book holds it";
    const TPositions after = Positions(book.Folder);
    EXPECT_EQ(std::count(after.begin(), after.end(), std::pair<std::string, int>{"Новая", 0}), 1);
    for (const auto& entry : stored) EXPECT_NE(std::find(after.begin(), after.end(), entry), after.end());
  }
}

TEST_F(DirectoryWindowTest, ImportWithoutASectionOnTheClipboardSaysSoAndChangesNothing) {
  BuildBook();
  OpenWindow();
  const std::vector<TStoredRow> before = AllRows();
  const int generator = Generator();
  struct TCase {
    const char* Name;
    std::function<void()> Fill;
  };
  const TCase cases[] = {
      {"picture only",
       [] {
         auto* data = new QMimeData;
         QImage picture(8, 8, QImage::Format_RGB32);
         picture.fill(Qt::red);
         data->setImageData(picture);
         QGuiApplication::clipboard()->setMimeData(data);
       }},
      {"empty clipboard", [] { QGuiApplication::clipboard()->clear(); }},
      {"empty text", [] { QGuiApplication::clipboard()->setText(QString()); }},
      {"text without the marker line",
       [] { QGuiApplication::clipboard()->setText(QStringLiteral("Просто текст\tиз письма\r\nвторая строка")); }},
      {"the marker alone",
       [] { QGuiApplication::clipboard()->setText(QStringLiteral("#ZORVANA-DIRECTORY-EXCHANGE#\r\n")); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    c.Fill();
    Messages.Shown.clear();
    Probe().Action("actImportClipboard")->trigger();
    ASSERT_EQ(Messages.Shown.size(), 1u);
    EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Information);
    EXPECT_EQ(Messages.Shown[0].Buttons, TMsgButtons::Ok);
    EXPECT_EQ(Messages.Shown[0].Text, kNoImportData);
  }
  EXPECT_EQ(AllRows(), before);
  EXPECT_EQ(Generator(), generator);
}

const char* const kThreeRows =
    "#ZORVANA-DIRECTORY-EXCHANGE#\r\n"
    "Новый раздел\t100\t2\t1\tо разделе\r\n"
    "\tВнутри\t100\t0\t0\tзапись\r\n"
    "Рядом\t200\t0\t0\t\r\n";

TEST_F(DirectoryWindowTest, ImportCancelledAtTheConfirmationDoesNothing) {
  BuildBook();
  OpenWindow();
  const std::vector<TStoredRow> before = AllRows();
  const std::vector<std::string> listing = Listing();
  const int generator = Generator();
  QGuiApplication::clipboard()->setText(QString::fromUtf8(kThreeRows));
  Messages.Answer = TMsgResult::Cancel;
  Probe().Action("actImportClipboard")->trigger();

  ASSERT_EQ(Messages.Shown.size(), 1u);
  EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Information);
  EXPECT_EQ(Messages.Shown[0].Buttons, TMsgButtons::OkCancel);
  EXPECT_EQ(Messages.Shown[0].Text, kImportConfirmation);
  EXPECT_EQ(AllRows(), before);
  EXPECT_EQ(Generator(), generator);
  EXPECT_EQ(Listing(), listing);
}

TEST_F(DirectoryWindowTest, ImportCreatesTheRowsInTheFolderShownAndReportsTheirCount) {
  struct TCase {
    const char* Name;
    std::string Folder;  // empty: the root
    std::string Message;
    std::vector<std::string> Listing;  // the folder shown afterwards
  };
  const TCase cases[] = {
      {"root",
       "",
       "Импорт завершен. \r\nИмпортировано записей: 3",
       {"50%", "%d%s%%", "Новый раздел", "Уже была", "Рядом"}},
      {"per-cent sign",
       "50%",
       "Импорт в раздел \"50%\" завершен. \r\nИмпортировано записей: 3",
       {"...", "Новый раздел", "Уже была", "Рядом"}},
      {"format markers",
       "%d%s%%",
       "Импорт в раздел \"%d%s%%\" завершен. \r\nИмпортировано записей: 3",
       {"...", "Новый раздел", "Уже была", "Рядом"}},
  };
  Add(0, 5, "Уже была", false);
  for (const char* folder : {"50%", "%d%s%%"}) Add(Add(0, 50, folder, true), 5, "Уже была", false);
  OpenWindow();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(GoToRoot());
    if (!c.Folder.empty()) {
      ASSERT_NO_FATAL_FAILURE(EnterPath({c.Folder}));
    }
    const int target = Probe().CurrentId();
    ASSERT_NO_FATAL_FAILURE(Focus("Уже была"));
    const int generator = Generator();

    QGuiApplication::clipboard()->setText(QString::fromUtf8(kThreeRows));
    Messages.Shown.clear();
    Probe().Action("actImportClipboard")->trigger();

    ASSERT_EQ(Messages.Shown.size(), 2u);
    EXPECT_EQ(Messages.Shown[0].Text, kImportConfirmation);
    EXPECT_EQ(Messages.Shown[1].Kind, TMsgKind::Information);
    EXPECT_EQ(Messages.Shown[1].Buttons, TMsgButtons::Ok);
    EXPECT_EQ(Messages.Shown[1].Text, c.Message);

    // Three new rows: the folder and its record below the target, the last
    // row beside the folder.
    EXPECT_EQ(Generator(), generator + 3);
    const std::vector<TStoredRow> section = ChildrenTitled(target, "Новый раздел");
    ASSERT_EQ(section.size(), 1u);
    EXPECT_EQ(section[0].Position, 100);
    EXPECT_EQ(section[0].Flags, 2);
    EXPECT_TRUE(section[0].Folder);
    EXPECT_EQ(section[0].Description, "о разделе");
    const std::vector<TStoredRow> inside = Children(section[0].Id);
    ASSERT_EQ(inside.size(), 1u);
    EXPECT_EQ(inside[0].Title, "Внутри");
    EXPECT_EQ(inside[0].Description, "запись");
    EXPECT_EQ(ChildrenTitled(target, "Рядом").size(), 1u);

    // The folder shown was reloaded, the focus kept, the title unchanged.
    EXPECT_EQ(Probe().CurrentId(), target);
    EXPECT_EQ(Listing(), c.Listing);
    EXPECT_EQ(FocusedTitle(), "Уже была");
    if (target != 0) {
      EXPECT_EQ(Probe().CurrentFolder().Title, c.Folder);
    }
  }
}

TEST_F(DirectoryWindowTest, ImportTellsWhereItStoppedAndNeverMergesOrFreezesOnForeignText) {
  const std::string marker = "#ZORVANA-DIRECTORY-EXCHANGE#\r\n";
  std::string longOpen = marker + "\"начало без конца\t1\t0\t0\t\r\n";
  for (int i = 0; i < 20000; ++i) longOpen += "продолжение " + std::to_string(i) + "\r\n";
  struct TCase {
    const char* Name;
    std::string Text;
    TMsgKind Kind;
    std::vector<std::string> Parts;  // in the completion message
  };
  const TCase cases[] = {
      {"rows after a blank line",
       marker + "А\t1\t0\t0\t\r\n\r\nБ\t2\t0\t0\t\r\nВ\t3\t0\t0\t\r\n",
       TMsgKind::Warning,
       {"Импортировано записей: 1", "остановлен на строке 3", "Не прочитано строк после нее: 2"}},
      {"a NUL in a row", marker + "А\t1\t0\t0\t\r\nБ" + std::string(1, '\0') + "x\t2\t0\t0\t\r\n", TMsgKind::Error,
       {"остановлен на строке 3", "Импортировано записей до остановки: 1"}},
      {"a quote left open early in a long text", longOpen, TMsgKind::Error, {"остановлен на строке"}},
      {"foreign titles that begin with a quote",
       marker + "\"Рога и копыта\" ООО\t0\t0\t0\t\r\nrow3\t0\t0\t0\t\r\nrow4\t0\t0\t0\t\r\n\"row5\"\t0\t0\t0\t\r\n",
       TMsgKind::Error, {"остановлен на строке 2", "Рога и копыта", "Не прочитано строк: 3"}},
  };
  BuildBook();
  OpenWindow();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    QGuiApplication::clipboard()->setText(QString::fromUtf8(c.Text.data(), static_cast<qsizetype>(c.Text.size())));
    Messages.Shown.clear();
    const auto started = std::chrono::steady_clock::now();
    Probe().Action("actImportClipboard")->trigger();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << "no freeze";
    ASSERT_EQ(Messages.Shown.size(), 2u);
    const TMessageRequest& report = Messages.Shown[1];
    EXPECT_EQ(report.Kind, c.Kind) << report.Text;
    for (const std::string& part : c.Parts) EXPECT_NE(report.Text.find(part), std::string::npos) << report.Text;
    EXPECT_LT(report.Text.size(), 2000u) << "a readable message";
    for (const TStoredRow& row : AllRows()) {
      EXPECT_EQ(row.Title.find('\n'), std::string::npos) << "rows of their own are never merged: " << row.Title;
      EXPECT_EQ(row.Title.find('\0'), std::string::npos);
    }
  }
}

TEST_F(DirectoryWindowTest, ImportStoppedPartWayShowsWhatWasSavedAndWhy) {
  struct TCase {
    const char* Name;
    std::string Text;
    int Line;
    int Created;
    std::vector<std::string> Saved;  // titles below the target, depth first
  };
  const TCase cases[] = {
      {"quote not closed",
       "#ZORVANA-DIRECTORY-EXCHANGE#\r\nА\t1\t0\t1\t\r\n\tБ\t2\t0\t0\t\r\n\t\"В\t3\t0\t0\t\r\n\tГ\t4\t0\t0\t\r\n", 4, 2,
       {"А", "Б"}},
      {"two levels deeper", "#ZORVANA-DIRECTORY-EXCHANGE#\r\nА\t1\t0\t1\t\r\n\t\tБ\t2\t0\t0\t\r\n\tВ\t3\t0\t0\t\r\n", 3,
       1, {"А"}},
  };
  BuildBook();
  for (int n = 1; n <= 2; ++n) Add(0, 100 + n, "Цель " + std::to_string(n), true);
  OpenWindow();
  int n = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_NO_FATAL_FAILURE(GoToRoot());
    const std::string folder = "Цель " + std::to_string(++n);
    ASSERT_NO_FATAL_FAILURE(EnterPath({folder}));
    const int target = Probe().CurrentId();

    QGuiApplication::clipboard()->setText(QString::fromStdString(c.Text));
    Messages.Shown.clear();
    Probe().Action("actImportClipboard")->trigger();

    ASSERT_EQ(Messages.Shown.size(), 2u);
    const TMessageRequest& report = Messages.Shown[1];
    EXPECT_EQ(report.Kind, TMsgKind::Error);
    const std::string head = "Импорт в раздел \"" + folder + "\" остановлен на строке " + std::to_string(c.Line);
    EXPECT_EQ(report.Text.rfind(head, 0), 0u) << report.Text;
    // What was saved, then how much of the text was left unread.
    const std::string tail =
        "Импортировано записей до остановки: " + std::to_string(c.Created) + "\r\nНе прочитано строк: 1";
    ASSERT_GE(report.Text.size(), tail.size());
    EXPECT_EQ(report.Text.substr(report.Text.size() - tail.size()), tail) << report.Text;
    // The reason stands between the two.
    EXPECT_GT(report.Text.size(), head.size() + tail.size() + 20) << report.Text;

    std::vector<TSectionRow> saved;
    for (const TStoredRow& row : Children(target)) Section(row.Id, 0, saved);
    std::vector<std::string> titles;
    for (const TSectionRow& row : saved) titles.push_back(row.Title);
    EXPECT_EQ(titles, c.Saved);

    // The folder was reloaded and shows the top rows saved.
    EXPECT_EQ(Probe().CurrentId(), target);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"...", "А"}));
  }
}

TEST_F(DirectoryWindowTest, SectionWithLineBreaksSurvivesExportAndImport) {
  const int section = Add(0, 50, "Раздел обмена", true, "описание\r\nраздела");
  Add(section, 100, "  отступ слева", false, "конец с пробелами  ");
  Add(section, 200, "", false, "\"цитата\"\r\nпродолжение");
  const int inner = Add(section, 300, "Вложенная\tпапка", true, "a\nb", 5);
  Add(inner, 100, "В \"кавычках\"", false, "c\rd");
  Add(inner, 200, "Последняя", false, "x\r\n\r\ny\r\n");
  Add(inner, 300, "После пустых строк", false, "\r\n\r\n");
  const int target = Add(0, 60, "Сюда", true);
  OpenWindow();

  ASSERT_NO_FATAL_FAILURE(Focus("Раздел обмена"));
  Probe().Action("actExportClipboard")->trigger();
  ASSERT_NO_FATAL_FAILURE(EnterPath({"Сюда"}));
  Messages.Shown.clear();
  Probe().Action("actImportClipboard")->trigger();

  ASSERT_EQ(Messages.Shown.size(), 2u);
  EXPECT_EQ(Messages.Shown[1].Text, "Импорт в раздел \"Сюда\" завершен. \r\nИмпортировано записей: 7");
  std::vector<TSectionRow> original;
  Section(section, 0, original);
  const std::vector<TStoredRow> copies = Children(target);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_NE(copies[0].Id, section);
  std::vector<TSectionRow> copy;
  Section(copies[0].Id, 0, copy);
  EXPECT_EQ(copy, original);
  EXPECT_EQ(Listing(), (std::vector<std::string>{"...", "Раздел обмена"}));
}

// =====================================================================================
// Help, licence, about and the site

TEST_F(DirectoryWindowTest, HelpAndLicenceOpenTheirPages) {
  BuildBook();
  WriteFile(Globals().HelpPath + "DirectoryForm.rvf",
            "<html><head><meta charset=\"utf-8\"></head><body><p>Как работать со справочником</p></body></html>");
  WriteFile(Globals().HelpPath + "License.rvf",
            "<html><head><meta charset=\"utf-8\"></head><body><p>Текст соглашения</p></body></html>");
  OpenWindow();
  struct TCase {
    const char* Name;
    std::function<void()> Run;
    QString Text;
  };
  const TCase cases[] = {
      {"Справка", [this] { Probe().Action("actUserGuide")->trigger(); },
       QStringLiteral("Как работать со справочником")},
      {"F1", [this] { QTest::keyClick(List(), Qt::Key_F1); },
       QStringLiteral("Как работать со справочником")},
      {"Лицензионное соглашение", [this] { Probe().Action("actLicense")->trigger(); },
       QStringLiteral("Текст соглашения")},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TfRVHelp::DestroyHelp();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    c.Run();
    TfRVHelp* help = TfRVHelp::Current();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->rv->toPlainText().contains(c.Text)) << help->rv->toPlainText().toStdString();
  }
  EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(DirectoryWindowTest, MissingLicencePageIsReportedInTheErrorBox) {
  OpenWindow();
  Probe().Action("actLicense")->trigger();
  ASSERT_EQ(Messages.Shown.size(), 1u);
  EXPECT_EQ(Messages.Shown[0].Kind, TMsgKind::Error);
  const std::string& text = Messages.Shown[0].Text;
  EXPECT_EQ(text.rfind("Не найден файл помощи: " + Globals().HelpPath + "License.rvf", 0), 0u) << text;
  EXPECT_NE(text.find("(код: 6)"), std::string::npos) << text;
  EXPECT_TRUE(TfRVHelp::Current() == nullptr || !TfRVHelp::Current()->isVisible());
  EXPECT_TRUE(Window->isVisible());
}

TEST_F(DirectoryWindowTest, AboutOpensModallyAndIsDestroyedWhenClosed) {
  Globals().Title = "Зорвана Справочник";
  OpenWindow();
  QPointer<TfAboutKRT> about;
  QString caption;
  bool modal = false;
  QTimer::singleShot(0, Window.get(), [&] {
    about = qobject_cast<TfAboutKRT*>(QApplication::activeModalWidget());
    if (!about) return;
    caption = about->windowTitle();
    modal = about->isModal();
    QTest::keyClick(about.data(), Qt::Key_Escape);
  });
  Probe().Action("actAbout")->trigger();
  QCoreApplication::processEvents();
  EXPECT_TRUE(modal);
  EXPECT_EQ(caption, QStringLiteral("О программе. Зорвана Справочник"));
  EXPECT_TRUE(about.isNull()) << "the about window outlived its showing";
  EXPECT_TRUE(Window->isVisible());
  EXPECT_TRUE(Messages.Shown.empty());
}

TEST_F(DirectoryWindowTest, SiteButtonOpensTheSiteWithTheProductQuery) {
  OpenWindow();
  auto* button = Window->findChild<QToolButton*>(QStringLiteral("btnSite"));
  ASSERT_NE(button, nullptr);
  EXPECT_FALSE(button->text().isEmpty());
  EXPECT_TRUE(QString::fromLatin1(TfDirectory::kSiteAddress).contains(button->text()));
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_EQ(Opened.size(), 1u);
  EXPECT_EQ(Opened[0], QString::fromStdString(BuildSiteLink(TfDirectory::kSiteAddress)));
  EXPECT_TRUE(Opened[0].endsWith(QStringLiteral("r1=product&r2=zrv-dir"))) << Opened[0].toStdString();
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_EQ(Opened.size(), 2u);
  EXPECT_EQ(Opened[1], Opened[0]);
}

}  // namespace
