#pragma once
// The base of every window of the program: it sees every key press before
// the focused control does (FormKeyDown), and Ctrl+W closes it.

#include <QDialog>
#include <memory>

class TfSimpleForm : public QDialog {
  Q_OBJECT

 public:
  explicit TfSimpleForm(QWidget* parent = nullptr);
  ~TfSimpleForm() override;

  // Creates a window of the given class with no owner, shows it modally,
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

 private:
  bool IsOwnKeyEvent(QObject* watched) const;
};

// True exactly for Ctrl+W with no other modifier.
bool IsCloseWindowKey(int key, Qt::KeyboardModifiers modifiers);
// True exactly for Esc with no modifier.
bool IsPlainEscape(int key, Qt::KeyboardModifiers modifiers);
