#include "uStartup.h"

#include <QIcon>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>
#include <functional>
#include <memory>

#include "uDebug.h"
#include "uDisplayPlatform.h"
#include "uGlobals.h"
#include "uMessages.h"
#include "uQmCSV.h"
#include "uDB.h"
#include "uOpenBook.h"
#include "udmDB.h"
#include "udmRes.h"
#include "ufDirectory.h"
#include "ufRVHelp.h"
#include "ufSimpleForm.h"
#include "uQmControlFunctions.h"

namespace {

// Runs a step of the shutdown when its scope ends, on every path.
class TScopeExit {
 public:
  explicit TScopeExit(std::function<void()> action) : FAction(std::move(action)) {}
  ~TScopeExit() { FAction(); }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;

 private:
  std::function<void()> FAction;
};

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
  // Owned by the main window while it is up, so a box never opens behind
  // that window, which stays on top.
  QMessageBox box(icon, Caption(), text, buttons, MainWindow());
  return box.exec() == QMessageBox::Ok ? TMsgResult::Ok : TMsgResult::Cancel;
}

}  // namespace

namespace {
int gSignalFd = -1;
bool gQuitRequested = false;

sigset_t TerminationSignals() {
  sigset_t endSignals;
  sigemptyset(&endSignals);
  sigaddset(&endSignals, SIGTERM);
  sigaddset(&endSignals, SIGINT);
  return endSignals;
}
}  // namespace

// The endSignals stay blocked in every thread (threads inherit the mask of the
// thread that starts them, and this runs before any other starts) and are
// read as data by the message loop: no thread, the database engine's least
// of all, is ever interrupted by them.
TTerminationWatch::TTerminationWatch() {
  sigset_t endSignals = TerminationSignals();
  pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
  gSignalFd = signalfd(-1, &endSignals, SFD_NONBLOCK | SFD_CLOEXEC);
}

void TTerminationWatch::Watch() {
  if (gSignalFd < 0) return;
  auto* notifier = new QSocketNotifier(gSignalFd, QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [] {
    signalfd_siginfo info;
    while (::read(gSignalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    gQuitRequested = true;  // also when it arrives in a nested loop before the main one runs
    QCoreApplication::exit(0);
  });
}

bool TTerminationWatch::QuitRequested() { return gQuitRequested; }

TTerminationWatch::~TTerminationWatch() {
  gQuitRequested = false;
  if (gSignalFd >= 0) ::close(gSignalFd);
  gSignalFd = -1;
  sigset_t endSignals = TerminationSignals();
  pthread_sigmask(SIG_UNBLOCK, &endSignals, nullptr);
}

// Outside any namespace: the resource initialiser has external linkage.
static void EnsureAppResourcesLoaded() {
  static const bool loaded = [] {
    Q_INIT_RESOURCE(app);
    return true;
  }();
  (void)loaded;
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // The desktop matches the windows to the launcher entry by these names:
  // the X11 window class and the Wayland application id.
  setApplicationName(QString::fromLatin1(kDesktopId));
  setDesktopFileName(QString::fromLatin1(kDesktopId));
  EnsureAppResourcesLoaded();
  setWindowIcon(QIcon(QStringLiteral(":/app/zorvana-directory.svg")));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ReportUnhandledError(&error);
  } catch (...) {
    ReportUnhandledError(nullptr);
  }
  return false;
}

int RunProgram(int& argc, char** argv, const std::string& programFile,
               const std::function<void()>& onRunning) {
  // Unit start steps; their objects end in reverse order at shutdown.
  TGlobalsUnit globals(programFile);
  TDebugUnit debug(Globals().AppPath);
  CSVUtils();  // the CSV helper exists from start-up on, before any window

  TTerminationWatch termination;  // before any thread starts
  TApplication application(argc, argv);
  ForgetPreferredPlatform();  // read by now; programs started from here choose their own
  termination.Watch();
  TControlEvents controlEvents;
  // Tests answer message boxes themselves; the program shows real ones.
  std::unique_ptr<TScopedMessageHandler> qtBoxes;
  if (!HasMessageHandler()) qtBoxes = std::make_unique<TScopedMessageHandler>(ShowQtMessageBox);
  if (!Globals().SettingsWarning.empty()) ShowMessageBox(Globals().SettingsWarning, TMsgKind::Warning);

  // Owned by the application part of start-up; destroyed in reverse order:
  // the main window, the icons, then the connection.
  auto dmDB = std::make_unique<TdmDB>();
  TCredentialLookup credentials(DesktopSecretStore(), AskWithSignInDialog);
  if (!OpenBook(*dmDB, credentials)) return 1;
  AssignDatabase(&dmDB->DB);
  TScopeExit unassign([] { AssignDatabase(nullptr); });  // no command may outlive the connection

  auto res = std::make_unique<TdmRes>();
  dmRes = res.get();
  TScopeExit forgetRes([] { dmRes = nullptr; });

  auto window = std::make_unique<TfDirectory>(*dmDB);
  // The dialogs, help and about windows open owned by the main window.
  SetMainWindow(window.get());
  TScopeExit closeHelp([] {
    TfRVHelp::DestroyHelp();
    SetMainWindow(nullptr);
  });
  window->ShowDirectory();
  window->show();
  if (onRunning) QTimer::singleShot(0, &application, onRunning);
  if (TTerminationWatch::QuitRequested()) return 0;
  return QApplication::exec();
}
