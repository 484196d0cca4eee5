#pragma once
// The help window: one help document at a time, above the other windows.
// The program keeps at most one; ShowHelp replaces it, carrying the place
// and size of the old one over to the new one.

#include <QImage>
#include <QTextBrowser>
#include <QUrl>
#include <memory>
#include <string>

#include "ufSimpleForm.h"

class TfRVHelp : public TfSimpleForm {
  Q_OBJECT

 public:
  // Help codes of the documents that the program opens itself.
  static constexpr int kDirectoryHelp = 5;
  static constexpr int kLicenseHelp = 6;

  // The way to open help. Raises EAssertionFailed (uAssert.h) for a code
  // without a document and for a missing document file; the window then
  // exists but is not shown.
  static void ShowHelp(int code);
  // The help window the program keeps, or nullptr.
  static TfRVHelp* Current();
  // Destroys the kept window; the program's shutdown calls it while the
  // application object still exists.
  static void DestroyHelp();

  // Owned by owner, or by the main window when none is given: it opens
  // above that window and goes with it.
  explicit TfRVHelp(QWidget* owner = nullptr);
  ~TfRVHelp() override;

  QTextBrowser* rv;

  // Loads the document of the code with its background and shows the
  // window.
  void LoadHelpDocument(int code);
  // Tiles the picture under the text when the file exists and reads as a
  // picture; otherwise returns false and leaves the background as it was.
  bool LoadBackground(const std::string& path);
  // The picture file of the background, empty when there is none.
  const std::string& BackgroundFile() const { return FBackgroundFile; }

 protected:
  bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers) override;
  // A new colour scheme shows the page again in colours readable on it.
  void changeEvent(QEvent* event) override;
  // A screen of another scale gets the background drawn for it.
  bool event(QEvent* event) override;

 private:
  void rvJump(const QUrl& link);
  // Puts the loaded page into the viewer with the background and, on a dark
  // palette, a darkened background and text colours readable on it.
  void ShowPage();
  void ApplyBackground();
  void ApplyTheme();

  std::string FBackgroundFile;
  QString FPage;             // the document as loaded
  QImage FBackgroundPicture; // as read from its file
  qreal FBackgroundRatio = 0;
};
