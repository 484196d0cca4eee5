#include "FirebirdServer.h"

#include <arpa/inet.h>
#include <firebird/Interface.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

#include "uSchema.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kServerProgram = "/usr/sbin/firebird";
constexpr const char* kIsqlProgram = "/usr/bin/isql-fb";
constexpr auto kStartTimeout = std::chrono::seconds(20);

// The client library's root folder: plugins, character sets and messages
// that the private server shares.
std::string SystemRoot() {
  return Firebird::fb_get_master_interface()->getConfigManager()->getRootDirectory();
}

// Starts program with FIREBIRD (and its lock folder) pointing at root;
// input, when given, is written to its standard input.
int Spawn(const std::string& program, const std::vector<std::string>& args, const std::string& root,
          const std::string& input, bool wait) {
  int in[2];
  if (pipe(in) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    // A test program that dies or is killed takes its server with it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    dup2(in[0], STDIN_FILENO);
    close(in[0]);
    close(in[1]);
    std::string log = root + "child.log";
    FILE* out = freopen(log.c_str(), "a", stdout);
    if (out) dup2(fileno(stdout), STDERR_FILENO);
    setenv("FIREBIRD", root.c_str(), 1);
    setenv("FIREBIRD_LOCK", (root + "lock").c_str(), 1);
    setenv("FIREBIRD_TMP", (root + "tmp").c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  if (!input.empty() && write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
    close(in[1]);
    throw std::runtime_error("cannot feed " + program);
  }
  close(in[1]);
  if (!wait) return pid;
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error(program + " failed; see " + root + "child.log");
  return 0;
}

bool PortAnswers(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool answers = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return answers;
}

}  // namespace

int FreeLocalPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    throw std::runtime_error("no free port");
  }
  close(fd);
  return ntohs(address.sin_port);
}

std::vector<std::string> TFirebirdServer::Params(const std::string& user, const std::string& password) {
  return {"user_name=" + user, "password=" + password, "lc_ctype=WIN1251"};
}

TFirebirdServer::TFirebirdServer() : FPort(FreeLocalPort()) {
  PrepareRoot();
  Start();
}

TFirebirdServer::~TFirebirdServer() { Stop(); }

void TFirebirdServer::PrepareRoot() {
  const std::string root = FRoot.Path();
  const std::string system = SystemRoot();
  for (const char* shared : {"plugins", "UDF", "firebird.msg", "plugins.conf", "lib"}) {
    std::error_code ignored;
    fs::create_symlink(fs::path(system) / shared, root + shared, ignored);
  }
  // The server loads the character sets only from a module that really
  // lies in its own intl folder: copies, not links.
  fs::create_directories(root + "intl");
  for (const auto& file : fs::directory_iterator(fs::path(system) / "intl"))
    fs::copy_file(fs::canonical(file.path()), root + "intl/" + file.path().filename().string());
  fs::create_directories(root + "lock");
  fs::create_directories(root + "tmp");
  fs::create_directories(root + "books");
  WriteFile(root + "databases.conf", "");
  WriteFile(root + "firebird.conf",
            "RemoteServicePort = " + std::to_string(FPort) + "\n"
            "RemoteBindAddress = 127.0.0.1\n"
            "SecurityDatabase = " + root + "security3.fdb\n"
            "AuthServer = Srp\nUserManager = Srp\n");
  // The embedded isql makes the security database and its users; the
  // server reads it through SecurityDatabase.
  Spawn(kIsqlProgram, {"-q", "-user", kAdmin}, root,
        "create database '" + root + "security3.fdb';\n"
        "create user " + kAdmin + " password '" + kAdminPassword + "';\n"
        "create user " + kUser + " password '" + kPassword + "';\n"
        "grant create database to user " + kUser + ";\n"
        "commit;\n",
        true);
}

void TFirebirdServer::Start() {
  if (FPid > 0) return;
  FPid = Spawn(kServerProgram, {}, FRoot.Path(), "", false);
  const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (!PortAnswers(FPort)) {
    if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("the test server did not start");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void TFirebirdServer::Stop() {
  if (FPid <= 0) return;
  kill(FPid, SIGTERM);
  for (int i = 0; i < 500; ++i) {
    if (waitpid(FPid, nullptr, WNOHANG) == FPid) {
      FPid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(FPid, SIGKILL);
  waitpid(FPid, nullptr, 0);
  FPid = -1;
}

std::string TFirebirdServer::CreateBook(const std::string& name) {
  const std::string path = BookFile(name);
  CreateDirectoryDatabaseOnServer(Connection(path), Params());  // the test user owns the book
  return path;
}

TFirebirdServer& SharedServer() {
  static TFirebirdServer server;
  return server;
}
