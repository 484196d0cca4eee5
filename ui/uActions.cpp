#include "uActions.h"

#include <exception>

#include "udmRes.h"
#include "uMessages.h"

void RunGuarded(const std::function<void()>& work) {
  try {
    work();
  } catch (const std::exception& error) {
    ReportUnhandledError(&error);
  } catch (...) {
    ReportUnhandledError(nullptr);
  }
}

QAction* CreateAction(QObject* parent, const TActionInfo& info) {
  auto* action = new QAction(QString::fromUtf8(info.Caption), parent);
  action->setObjectName(QString::fromLatin1(info.Name));
  if (info.Hint) {
    action->setToolTip(QString::fromUtf8(info.Hint));
    action->setStatusTip(QString::fromUtf8(info.Hint));
  }
  QList<QKeySequence> shortcuts;
  for (QKeyCombination combination : {info.Shortcut1, info.Shortcut2}) {
    if (combination.key() == Qt::Key_unknown) continue;
    shortcuts << QKeySequence(combination);
    // The keypad's Enter does what Enter does.
    if (combination.key() == Qt::Key_Return)
      shortcuts << QKeySequence(QKeyCombination(combination.keyboardModifiers() | Qt::KeypadModifier, Qt::Key_Enter));
  }
  action->setShortcuts(shortcuts);
  action->setShortcutContext(Qt::WindowShortcut);
  if (info.Icon >= 0 && dmRes) action->setIcon(dmRes->Icon(info.Icon));
  action->setData(info.Tag);
  action->setCheckable(info.Checkable);
  return action;
}
