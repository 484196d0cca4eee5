#pragma once
// The about window: the product, the maker's site and support address as
// links, and two credit lines.

#include "ufSimpleForm.h"

class QLabel;

class TfAboutKRT : public TfSimpleForm {
  Q_OBJECT

 public:
  // Owned by parent, or by the main window when none is given.
  explicit TfAboutKRT(QWidget* parent = nullptr);

  static const char* const kSiteText;      // the site as the window shows it
  static const char* const kSupportEmail;

  void lblSiteURLClick();
  void imgLogoClick();
  void lblContactEmailClick();

  QLabel* imgLogo = nullptr;
  QLabel* lblSite = nullptr;
  QLabel* lblSiteURL = nullptr;
  QLabel* lblContact = nullptr;
  QLabel* lblContactEmail = nullptr;
  QLabel* lblCredit2 = nullptr;
  QLabel* lblCredit1 = nullptr;
  QLabel* lblSite2 = nullptr;
  QLabel* txtAppType = nullptr;

 protected:
  bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers) override;
  // A new colour scheme gets link colours readable on it.
  void changeEvent(QEvent* event) override;

 private:
  void FormCreate();
  void ApplyLinkColours();
};
