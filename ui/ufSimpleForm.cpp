#include "ufSimpleForm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>

namespace {
// Keypad state is no modifier a user chose.
Qt::KeyboardModifiers ChosenModifiers(Qt::KeyboardModifiers modifiers) {
  return modifiers & ~Qt::KeypadModifier;
}

// Cleared by itself when the window is destroyed.
QPointer<QWidget>& MainWindowPointer() {
  static QPointer<QWidget> window;
  return window;
}
}  // namespace

void SetMainWindow(QWidget* window) { MainWindowPointer() = window; }

QWidget* MainWindow() { return MainWindowPointer().data(); }

QWidget* DialogOwner(QWidget* parent) { return parent ? parent : MainWindow(); }

bool IsCloseWindowKey(int key, Qt::KeyboardModifiers modifiers) {
  return key == Qt::Key_W && ChosenModifiers(modifiers) == Qt::ControlModifier &&
         QApplication::mouseButtons() == Qt::NoButton;
}

bool IsPlainEscape(int key, Qt::KeyboardModifiers modifiers) {
  return key == Qt::Key_Escape && ChosenModifiers(modifiers) == Qt::NoModifier;
}

TfSimpleForm::TfSimpleForm(QWidget* parent) : QDialog(parent) {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  setFont(font);
  qApp->installEventFilter(this);
}

TfSimpleForm::~TfSimpleForm() { qApp->removeEventFilter(this); }

bool TfSimpleForm::IsOwnKeyEvent(QObject* watched) const {
  auto* widget = qobject_cast<QWidget*>(watched);
  return widget && widget->window() == this;
}

bool TfSimpleForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && IsOwnKeyEvent(watched)) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (FormKeyDown(key->key(), key->modifiers())) return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TfSimpleForm::showEvent(QShowEvent* event) {
  const bool placed = testAttribute(Qt::WA_Moved);
  // QDialog centres an owned window over its owner; this program's windows
  // open in the middle of the screen, wherever the small main window is.
  QDialog::showEvent(event);
  if (event->spontaneous() || placed || !parentWidget()) return;
  const QScreen* screen = parentWidget()->screen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  const QRect frame = frameGeometry();
  move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
  setAttribute(Qt::WA_Moved, false);  // no place of the user's
}

bool TfSimpleForm::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (IsCloseWindowKey(key, modifiers)) {
    close();  // a modal dialog closed this way ends as Cancel
    return true;
  }
  return false;
}
