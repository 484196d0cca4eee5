#pragma once
// The program's start and shutdown, in their fixed order.

#include <QApplication>
#include <functional>
#include <string>

// The application object: an exception that reaches the event loop is shown
// in the standard error box and the loop goes on.
class TApplication : public QApplication {
 public:
  // The name of the launcher entry (zorvana-directory.desktop), the X11
  // window class and the Wayland application id alike.
  static constexpr const char* kDesktopId = "zorvana-directory";

  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Runs the program as if started from programFile (its folder holds DB/,
// Help/ and the settings). Returns the process exit code: 0 after an orderly
// run, 1 when the database could not be opened.
// onRunning, when given, runs once the message loop runs with the main
// window shown (tests look at the window and close it from there).
int RunProgram(int& argc, char** argv, const std::string& programFile,
               const std::function<void()>& onRunning = nullptr);

// Ends the message loop in an orderly way when the desktop asks the program
// to end (SIGTERM at logout, SIGINT from a terminal), so that the settings
// are still written back. Created before the application object, so that
// no thread of the program is ever interrupted by these signals.
class TTerminationWatch : public QObject {
 public:
  TTerminationWatch();
  ~TTerminationWatch() override;
  TTerminationWatch(const TTerminationWatch&) = delete;
  static bool QuitRequested();
  // Starts reading the signals in the message loop (needs the application).
  void Watch();
  TTerminationWatch& operator=(const TTerminationWatch&) = delete;
};
