#include "uCredentials.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <cstdlib>

const char* const kPasswordNotRememberedMessage =
    "Пароль не сохранен: служба паролей рабочего стола недоступна";

namespace {

const QString kService = QStringLiteral("zorvana-directory");

// QtKeychain's jobs end in a signal; the program waits for it here, before
// any window exists or inside start-up, so a local loop is enough.
void RunJob(QKeychain::Job& job) {
  QEventLoop loop;
  QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
  job.start();
  loop.exec();
}

ISecretStore* gOverride = nullptr;

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::optional<std::string> TKeychainStore::Read(const std::string& key) {
  QKeychain::ReadPasswordJob job(kService);
  job.setAutoDelete(false);
  job.setKey(QString::fromStdString(key));
  RunJob(job);
  if (job.error() != QKeychain::NoError) return std::nullopt;
  return job.textData().toStdString();
}

bool TKeychainStore::Write(const std::string& key, const std::string& secret, std::string* reason) {
  QKeychain::WritePasswordJob job(kService);
  job.setAutoDelete(false);
  job.setKey(QString::fromStdString(key));
  job.setTextData(QString::fromStdString(secret));
  RunJob(job);
  if (job.error() == QKeychain::NoError) return true;
  if (reason) *reason = job.errorString().toStdString();
  return false;
}

ISecretStore& DesktopSecretStore() {
  static TKeychainStore desktop;
  return gOverride ? *gOverride : desktop;
}

TScopedSecretStore::TScopedSecretStore(ISecretStore* store) : FPrevious(gOverride) { gOverride = store; }
TScopedSecretStore::~TScopedSecretStore() { gOverride = FPrevious; }

TCredentialLookup::TCredentialLookup(ISecretStore& store, TSignInPrompt prompt,
                                     std::function<std::string(const char*)> environment)
    : FStore(store), FPrompt(std::move(prompt)), FEnvironment(environment ? std::move(environment) : FromEnvironment) {}

std::string TCredentialLookup::Key(const TBookLocation& book, const std::string& user) {
  return user + "@" + book.ConnectionString();
}

std::optional<TCredentials> TCredentialLookup::Next(const TBookLocation& book, const std::string& user,
                                                    const std::string& refusal) {
  if (FNext == TSource::Store) {
    FNext = TSource::Environment;
    if (!user.empty()) {
      if (std::optional<std::string> stored = FStore.Read(Key(book, user))) return TCredentials{user, *stored};
    }
  }
  if (FNext == TSource::Environment) {
    FNext = TSource::Dialog;
    const std::string envUser = FEnvironment("ISC_USER");
    const std::string envPassword = FEnvironment("ISC_PASSWORD");
    const std::string who = user.empty() ? envUser : user;
    if (!envPassword.empty() && !who.empty() && (envUser.empty() || envUser == who))
      return TCredentials{who, envPassword};
  }
  TCredentials answer{FLastUser.empty() ? user : FLastUser, ""};
  if (!FPrompt || !FPrompt(TSignInQuestion{&book, refusal, &answer})) return std::nullopt;
  FLastUser = answer.User;
  return answer;
}

std::string TCredentialLookup::Succeeded(const TBookLocation& book, const TCredentials& credentials) {
  if (!credentials.Remember) return {};
  std::string reason;
  if (FStore.Write(Key(book, credentials.User), credentials.Password, &reason)) return {};
  return std::string(kPasswordNotRememberedMessage) + (reason.empty() ? "" : " (" + reason + ")") +
         ".\r\nПароль будет запрошен при следующем запуске программы.";
}
