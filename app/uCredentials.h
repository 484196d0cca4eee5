#pragma once
// Who signs in on a server: the user of "DatabaseUser" with a password
// from, in this order, the desktop's secret service, the environment's
// ISC_USER/ISC_PASSWORD, or the sign-in dialog. Passwords are never
// written to a file; one the user asks to remember goes to the secret
// service, or stays in memory for this run when none runs.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "uBookLocation.h"

// The place where remembered passwords live.
class ISecretStore {
 public:
  virtual ~ISecretStore() = default;
  // nullopt: nothing stored, or no store runs.
  virtual std::optional<std::string> Read(const std::string& key) = 0;
  // false with a reason when the password could not be stored.
  virtual bool Write(const std::string& key, const std::string& secret, std::string* reason) = 0;
};

// The desktop's secret service through QtKeychain (libsecret, KWallet).
class TKeychainStore : public ISecretStore {
 public:
  std::optional<std::string> Read(const std::string& key) override;
  bool Write(const std::string& key, const std::string& secret, std::string* reason) override;
};

// The store the program uses; tests put one of their own in its place.
ISecretStore& DesktopSecretStore();
class TScopedSecretStore {
 public:
  explicit TScopedSecretStore(ISecretStore* store);
  ~TScopedSecretStore();
  TScopedSecretStore(const TScopedSecretStore&) = delete;
  TScopedSecretStore& operator=(const TScopedSecretStore&) = delete;

 private:
  ISecretStore* FPrevious;
};

struct TCredentials {
  std::string User;
  std::string Password;
  bool Remember = false;  // asked for in the dialog
};

// What the sign-in dialog is asked: fills the credentials, false on Cancel.
struct TSignInQuestion {
  const TBookLocation* Book;
  std::string Reason;
  TCredentials* Answer;
};
using TSignInPrompt = std::function<bool(const TSignInQuestion&)>;

class TCredentialLookup {
 public:
  TCredentialLookup(ISecretStore& store, TSignInPrompt prompt,
                    std::function<std::string(const char*)> environment = nullptr);

  // The next credentials to try for the book: the stored password, then
  // the environment's, then the dialog (with refusal, the reason of the
  // last attempt, shown in it). nullopt when the user cancelled.
  std::optional<TCredentials> Next(const TBookLocation& book, const std::string& user, const std::string& refusal);

  // After a successful attach: a password the user asked to remember goes
  // to the store; the text returned tells when it could not (empty: fine).
  std::string Succeeded(const TBookLocation& book, const TCredentials& credentials);

  // The key a password is stored under: user and connection string.
  static std::string Key(const TBookLocation& book, const std::string& user);

 private:
  enum class TSource { Store, Environment, Dialog };
  ISecretStore& FStore;
  TSignInPrompt FPrompt;
  std::function<std::string(const char*)> FEnvironment;
  TSource FNext = TSource::Store;
  std::string FLastUser;
};

extern const char* const kPasswordNotRememberedMessage;
