#pragma once
// The entry editor: one entry's title, description and folder flag. It edits
// the entry in memory only; storing it is the caller's business.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "ufSimpleDialog.h"

class TDirectory;

class TfDirectoryParams : public TfSimpleDialog {
  Q_OBJECT

 public:
  // Owned by parent, or by the main window when none is given.
  explicit TfDirectoryParams(QWidget* parent = nullptr);

  QLineEdit* eTitle;
  QPlainTextEdit* eDesc;
  QLabel* lblTitle;
  QLabel* lblDesc;
  QCheckBox* cbIsFolder;

  // The entry to edit; not owned. Must be set before the dialog is shown.
  void SetDirectory(TDirectory* directory) { FDirectory = directory; }

 protected:
  void LoadData() override;
  void SaveData() override;

 private:
  TDirectory* FDirectory = nullptr;
};
