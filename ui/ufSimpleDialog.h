#pragma once
// The base of the program's OK/Cancel dialogs: the derived dialog puts its
// controls into grp, fills them in LoadData whenever the dialog is shown and
// takes them back into the edited object in SaveData when OK is pressed.

#include <QGroupBox>
#include <QPushButton>

#include "ufSimpleForm.h"

class QShowEvent;

class TfSimpleDialog : public TfSimpleForm {
  Q_OBJECT

 public:
  explicit TfSimpleDialog(QWidget* parent = nullptr);

  QGroupBox* grp;
  QPushButton* btnOk;
  QPushButton* btnCancel;

 protected:
  // Fill the controls from the edited object.
  virtual void LoadData() {}
  // Take the controls' contents into the edited object.
  virtual void SaveData() {}

  void showEvent(QShowEvent* event) override;

 private:
  void btnOkClick();
};
