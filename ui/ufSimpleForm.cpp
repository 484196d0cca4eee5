#include "ufSimpleForm.h"

#include <QApplication>
#include <QKeyEvent>

namespace {
// Keypad state is no modifier a user chose.
Qt::KeyboardModifiers ChosenModifiers(Qt::KeyboardModifiers modifiers) {
  return modifiers & ~Qt::KeypadModifier;
}
}  // namespace

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

bool TfSimpleForm::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (IsCloseWindowKey(key, modifiers)) {
    close();  // a modal dialog closed this way ends as Cancel
    return true;
  }
  return false;
}
