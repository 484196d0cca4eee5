#include "ufSimpleDialog.h"

#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>
#include <exception>

#include "uMessages.h"

namespace {
constexpr int kMargin = 8;
const QSize kButtonSize(75, 25);
}  // namespace

TfSimpleDialog::TfSimpleDialog(QWidget* parent) : TfSimpleForm(parent) {
  grp = new QGroupBox(this);

  btnOk = new QPushButton(QStringLiteral("ОК"), this);
  btnOk->setObjectName(QStringLiteral("btnOk"));
  btnOk->setFixedSize(kButtonSize);
  btnOk->setDefault(true);

  btnCancel = new QPushButton(QStringLiteral("Отмена"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setFixedSize(kButtonSize);

  // The group box takes every change of the window's size; the buttons keep
  // to the bottom corners.
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnOk);
  buttons->addStretch(1);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout->addWidget(grp, 1);
  layout->addLayout(buttons);

  connect(btnOk, &QPushButton::clicked, this, &TfSimpleDialog::btnOkClick);
  // Esc reaches QDialog::reject as well; both end with the Cancel result.
  connect(btnCancel, &QPushButton::clicked, this, &TfSimpleDialog::reject);
}

void TfSimpleDialog::showEvent(QShowEvent* event) {
  TfSimpleForm::showEvent(event);
  // A spontaneous show is the window system restoring the window, not the
  // dialog being opened: the user's edits stay.
  if (!event->spontaneous()) LoadData();
}

void TfSimpleDialog::btnOkClick() {
  // OK is final: the dialog closes with OK even when SaveData fails, and
  // the failure is shown like any unhandled error. Nothing may leave this
  // slot.
  try {
    SaveData();
  } catch (const std::exception& error) {
    accept();
    ReportUnhandledError(&error);
    return;
  } catch (...) {
    accept();
    ReportUnhandledError(nullptr);
    return;
  }
  accept();
}
