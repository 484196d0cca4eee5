#pragma once
// The sign-in dialog for a book on a Firebird server: user name, password
// and "Запомнить пароль". It names the server and the book, and the reason
// when it comes back after a refusal.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <string>

#include "ufSimpleDialog.h"

struct TSignInRequest {
  std::string Server;
  std::string Book;
  std::string Reason;  // why it asks again; empty the first time
  std::string User;
  std::string Password;
  bool Remember = false;
};

class TfSignIn : public TfSimpleDialog {
  Q_OBJECT

 public:
  explicit TfSignIn(QWidget* parent = nullptr);

  QLabel* lblBook;
  QLabel* lblReason;
  QLineEdit* eUser;
  QLineEdit* ePassword;
  QCheckBox* cbRemember;

  // The request to show and fill; not owned. Set before the dialog shows.
  void SetRequest(TSignInRequest* request) { FRequest = request; }

  // Shows the dialog modally; true when OK filled the request.
  static bool Ask(TSignInRequest& request);

 protected:
  void LoadData() override;
  void SaveData() override;

 private:
  TSignInRequest* FRequest = nullptr;
};
