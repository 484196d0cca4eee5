#include "TestSupport.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "uSchema.h"

namespace fs = std::filesystem;

TTempDir::TTempDir() {
  std::string pattern = (fs::temp_directory_path() / "zorvana-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  FPath = pattern + "/";
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  fs::remove_all(FPath, ignored);
}

TTempDatabase::TTempDatabase() : FPath(FDir.File("DB.fdb")) { CreateDirectoryDatabase(FPath); }

TTempDatabase::TTempDatabase(const std::vector<std::string>& schema) : FPath(FDir.File("DB.fdb")) {
  CreateDatabaseWithSchema(FPath, schema);
}

void WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream data;
  data << in.rdbuf();
  return data.str();
}

bool FileExists(const std::string& path) { return fs::exists(path); }

TMessageRecorder::TMessageRecorder()
    : FHandler([this](const TMessageRequest& request) {
        Shown.push_back(request);
        return Answer;
      }) {}

TChildProcess::TChildProcess(const std::vector<std::string>& argv) {
  int toChild[2], fromChild[2];
  if (pipe(toChild) != 0 || pipe(fromChild) != 0) throw std::runtime_error("pipe failed");
  FPid = fork();
  if (FPid < 0) throw std::runtime_error("fork failed");
  if (FPid == 0) {
    dup2(toChild[0], STDIN_FILENO);
    dup2(fromChild[1], STDOUT_FILENO);
    close(toChild[0]); close(toChild[1]); close(fromChild[0]); close(fromChild[1]);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  FToChild = toChild[1];
  FFromChild = fromChild[0];
}

TChildProcess::~TChildProcess() {
  if (FPid > 0) {
    kill(FPid, SIGKILL);
    waitpid(FPid, nullptr, 0);
  }
  if (FToChild >= 0) close(FToChild);
  if (FFromChild >= 0) close(FFromChild);
}

std::string TChildProcess::ReadLine() {
  std::string line;
  char c;
  while (read(FFromChild, &c, 1) == 1) {
    if (c == '\n') break;
    line += c;
  }
  return line;
}

int TChildProcess::Finish() {
  if (FToChild >= 0) {
    close(FToChild);
    FToChild = -1;
  }
  int status = 0;
  waitpid(FPid, &status, 0);
  FPid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string TestProgramDir() {
  return fs::canonical("/proc/self/exe").parent_path().string() + "/";
}
