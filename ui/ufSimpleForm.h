#pragma once
// The base of every window of the program: it sees every key press before
// the focused control does (FormKeyDown), and Ctrl+W closes it.

#include <QDialog>
#include <memory>

class QShowEvent;

// The window that owns the program's dialogs: they open above it, stay
// above it while it stays on top of the desktop, and go with it. Start-up
// names the main window here once it exists; nullptr clears it, and so does
// the window's end.
void SetMainWindow(QWidget* window);
QWidget* MainWindow();
// The owner of a new dialog: parent when given, else the main window (or
// none before there is one).
QWidget* DialogOwner(QWidget* parent);

class TfSimpleForm : public QDialog {
  Q_OBJECT

 public:
  explicit TfSimpleForm(QWidget* parent = nullptr);
  ~TfSimpleForm() override;

  // Creates a window of the given class (owned by the main window when the
  // class asks for its owner through DialogOwner), shows it modally,
  // destroys it when the modal loop ends (also on an error) and returns the
  // modal result.
  template <typename TForm, typename... Args>
  static int ExecuteModal(Args&&... args) {
    auto form = std::make_unique<TForm>(std::forward<Args>(args)...);
    return form->exec();
  }

 protected:
  // Sees every key press of the window first. Returns true when it handled
  // the key, which then goes no further.
  virtual bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);

  bool eventFilter(QObject* watched, QEvent* event) override;
  // A window opens centred on the screen of its owner (or the primary one),
  // unless it was placed before it was shown.
  void showEvent(QShowEvent* event) override;

 private:
  bool IsOwnKeyEvent(QObject* watched) const;
};

// True exactly for Ctrl+W with no other modifier.
bool IsCloseWindowKey(int key, Qt::KeyboardModifiers modifiers);
// True exactly for Esc with no modifier.
bool IsPlainEscape(int key, Qt::KeyboardModifiers modifiers);
