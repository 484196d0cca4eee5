#include "ufSignIn.h"

#include <QGridLayout>

TfSignIn::TfSignIn(QWidget* parent) : TfSimpleDialog(parent) {
  setObjectName(QStringLiteral("fSignIn"));
  setWindowTitle(QStringLiteral("Вход на сервер справочника"));
  lblBook = new QLabel(grp);
  lblBook->setObjectName(QStringLiteral("lblBook"));
  lblBook->setWordWrap(true);
  lblReason = new QLabel(grp);
  lblReason->setObjectName(QStringLiteral("lblReason"));
  lblReason->setWordWrap(true);
  eUser = new QLineEdit(grp);
  eUser->setObjectName(QStringLiteral("eUser"));
  eUser->setMaxLength(63);  // Firebird's longest user name
  ePassword = new QLineEdit(grp);
  ePassword->setObjectName(QStringLiteral("ePassword"));
  ePassword->setEchoMode(QLineEdit::Password);
  ePassword->setMaxLength(255);
  cbRemember = new QCheckBox(QStringLiteral("Запомнить пароль"), grp);
  cbRemember->setObjectName(QStringLiteral("cbRemember"));
  auto* userLabel = new QLabel(QStringLiteral("&Пользователь"), grp);
  userLabel->setBuddy(eUser);
  auto* passwordLabel = new QLabel(QStringLiteral("П&ароль"), grp);
  passwordLabel->setBuddy(ePassword);

  auto* layout = new QGridLayout(grp);
  layout->addWidget(lblBook, 0, 0, 1, 2);
  layout->addWidget(lblReason, 1, 0, 1, 2);
  layout->addWidget(userLabel, 2, 0);
  layout->addWidget(eUser, 2, 1);
  layout->addWidget(passwordLabel, 3, 0);
  layout->addWidget(ePassword, 3, 1);
  layout->addWidget(cbRemember, 4, 1);
  setTabOrder(eUser, ePassword);
  setTabOrder(ePassword, cbRemember);
  setTabOrder(cbRemember, btnOk);
  setTabOrder(btnOk, btnCancel);
  resize(420, 230);
}

void TfSignIn::LoadData() {
  if (!FRequest) return;
  lblBook->setText(QStringLiteral("Сервер: %1\nСправочник: %2")
                       .arg(QString::fromStdString(FRequest->Server), QString::fromStdString(FRequest->Book)));
  QString reason = QString::fromStdString(FRequest->Reason).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  lblReason->setText(reason);
  lblReason->setVisible(!reason.isEmpty());
  eUser->setText(QString::fromStdString(FRequest->User));
  ePassword->clear();
  cbRemember->setChecked(FRequest->Remember);
  // The user is usually known from the settings: the cursor waits in the
  // password field then.
  if (eUser->text().isEmpty()) {
    eUser->setFocus();
  } else {
    ePassword->setFocus();
  }
}

void TfSignIn::SaveData() {
  if (!FRequest) return;
  FRequest->User = eUser->text().trimmed().toStdString();
  FRequest->Password = ePassword->text().toStdString();
  FRequest->Remember = cbRemember->isChecked();
}

bool TfSignIn::Ask(TSignInRequest& request) {
  TfSignIn dialog;
  dialog.SetRequest(&request);
  return dialog.exec() == QDialog::Accepted;
}
