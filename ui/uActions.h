#pragma once
// Actions of a window as one table, and the guard every action handler runs
// in: an exception never crosses the toolkit's signal boundary.

#include <QAction>
#include <QKeyCombination>
#include <functional>

// One row of a window's action table; a literal type, so that a window can
// check its table against its action ids when it compiles.
struct TActionInfo {
  const char* Name;  // object name, e.g. "actCopyToClipboard"
  const char* Caption;
  const char* Hint;  // nullptr: none
  QKeyCombination Shortcut1;  // {} (Qt::Key_unknown): none
  QKeyCombination Shortcut2;
  int Icon;  // index in the icon lists, -1 for none
  int Tag;
  bool Checkable;
};

// Runs an action's work; an exception is shown in the standard error box.
void RunGuarded(const std::function<void()>& work);

// Creates an action from its table row, owned by parent.
QAction* CreateAction(QObject* parent, const TActionInfo& info);
