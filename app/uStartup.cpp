#include "uStartup.h"

#include <QMessageBox>
#include <memory>

#include "uGlobals.h"
#include "uMessages.h"
#include "uQmCSV.h"
#include "uDB.h"
#include "udmDB.h"

namespace {

QString Caption() {
  QString title = QString::fromStdString(Globals().Title).trimmed();
  return title.isEmpty() ? QStringLiteral("Справочник") : title;
}

TMsgResult ShowQtMessageBox(const TMessageRequest& request) {
  QMessageBox::Icon icon = QMessageBox::Information;
  switch (request.Kind) {
    case TMsgKind::Error: icon = QMessageBox::Critical; break;
    case TMsgKind::Warning: icon = QMessageBox::Warning; break;
    case TMsgKind::Confirmation: icon = QMessageBox::Question; break;
    case TMsgKind::Information: icon = QMessageBox::Information; break;
  }
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  if (request.Buttons == TMsgButtons::OkCancel) buttons |= QMessageBox::Cancel;
  QString text = QString::fromStdString(request.Text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(icon, Caption(), text, buttons);
  return box.exec() == QMessageBox::Ok ? TMsgResult::Ok : TMsgResult::Cancel;
}

}  // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowUnhandledException(&error);
  } catch (...) {
    ShowUnhandledException(nullptr);
  }
  return false;
}

void ShowUnhandledException(const std::exception* error) {
  std::string text = error ? error->what() : "Неизвестная ошибка.";
  try {
    ShowMessageBox(text, TMsgKind::Error, TMsgButtons::Ok);
  } catch (...) {
    // Nothing sensible is left to do when even the box fails.
  }
}

int RunProgram(int& argc, char** argv, const std::string& programFile) {
  // Unit start steps; their objects end in reverse order at shutdown.
  TGlobalsUnit globals(programFile);
  TQmCSVUnit csv;

  TApplication application(argc, argv);
  // Tests answer message boxes themselves; the program shows real ones.
  std::unique_ptr<TScopedMessageHandler> qtBoxes;
  if (!HasMessageHandler()) qtBoxes = std::make_unique<TScopedMessageHandler>(ShowQtMessageBox);

  auto dmDB = std::make_unique<TdmDB>();
  if (!dmDB->OpenDatabase()) return 1;
  AssignDatabase(&dmDB->DB);
  struct TUnassign {
    ~TUnassign() { AssignDatabase(nullptr); }
  } unassign;  // no command may reach the connection once it is gone

  // The main window arrives with the window subsystem; until then an
  // orderly run ends here, through the shutdown.
  return 0;
}
