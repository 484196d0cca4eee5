#pragma once
// The help window: one help document at a time, above the other windows.
// The program keeps at most one; ShowHelp replaces it, carrying the place
// and size of the old one over to the new one.

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

  TfRVHelp();

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

 private:
  void rvJump(const QUrl& link);

  std::string FBackgroundFile;
};
