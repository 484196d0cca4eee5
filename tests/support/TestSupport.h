#pragma once
// Shared fixtures of the tests: temporary folders, fresh database files and
// child processes.

#include <string>
#include <vector>

#include "uMessages.h"

// A fresh folder under the system's temporary folder, removed with all its
// content at scope end.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::string& Path() const { return FPath; }  // ends with "/"
  std::string File(const std::string& name) const { return FPath + name; }

 private:
  std::string FPath;
};

// A new reference book file with the schema (the program's, or the given
// statements), in a temporary folder of its own.
class TTempDatabase {
 public:
  TTempDatabase();
  explicit TTempDatabase(const std::vector<std::string>& schema);
  const std::string& Path() const { return FPath; }
  const TTempDir& Dir() const { return FDir; }

 private:
  TTempDir FDir;
  std::string FPath;
};

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// Records every message box shown while it lives and answers with Answer.
class TMessageRecorder {
 public:
  TMessageRecorder();
  std::vector<TMessageRequest> Shown;
  TMsgResult Answer = TMsgResult::Ok;

 private:
  TScopedMessageHandler FHandler;
};

// A child process with a pipe to its standard input and one from its
// standard output; killed and reaped at scope end.
class TChildProcess {
 public:
  explicit TChildProcess(const std::vector<std::string>& argv);
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // Reads one line from the child's output; empty at end of output.
  std::string ReadLine();
  // Closes the child's input and waits for it; returns its exit code.
  int Finish();

 private:
  int FPid = -1;
  int FToChild = -1;
  int FFromChild = -1;
};

// The folder the test programs lie in (beside the helper programs).
std::string TestProgramDir();
