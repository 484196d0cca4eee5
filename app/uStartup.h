#pragma once
// The program's start and shutdown, in their fixed order.

#include <QApplication>
#include <string>

// The application object: an exception that reaches the event loop is shown
// in the standard error box and the loop goes on.
class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// The standard error box for an exception no handler caught.
void ShowUnhandledException(const std::exception* error);

// Runs the program as if started from programFile (its folder holds DB/,
// Help/ and the settings). Returns the process exit code: 0 after an orderly
// run, 1 when the database could not be opened.
int RunProgram(int& argc, char** argv, const std::string& programFile);
