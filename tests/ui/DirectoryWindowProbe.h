#pragma once
// Reads the main window the way a person sees it: its actions, list rows,
// labels and bars found by their names, and the folder shown through its
// browser. Tests drive the window through its actions and keys and read it
// here, so the window needs no members of its own for them.

#include <QAction>
#include <QLabel>
#include <QTimer>
#include <QToolBar>
#include <QWidget>

#include "uDirectoryBrowser.h"
#include "uVTVUtils.h"
#include "ufDirectory.h"

class TDirectoryWindowProbe {
 public:
  explicit TDirectoryWindowProbe(const TfDirectory& window) : FWindow(window) {}

  QAction* Action(const QString& name) const { return Find<QAction>(name); }
  TVirtualList* List() const { return Find<TVirtualList>(QStringLiteral("vst")); }
  QLabel* ChainLabel() const { return Find<QLabel>(QStringLiteral("lblDirChain")); }
  QWidget* ChainBar() const { return Find<QWidget>(QStringLiteral("tbDirChain")); }
  QLabel* CountLabel() const { return Find<QLabel>(QStringLiteral("lblCount")); }
  QLabel* FilterLabel() const { return Find<QLabel>(QStringLiteral("lblFilter")); }
  QToolBar* MainToolBar() const { return Find<QToolBar>(QStringLiteral("tb")); }
  QToolBar* StatusBar() const { return Find<QToolBar>(QStringLiteral("sb1")); }
  QTimer* CopyTimer() const { return Find<QTimer>(QStringLiteral("tmrCopy")); }
  QTimer* StartTimer() const { return Find<QTimer>(QStringLiteral("tmrStart")); }

  // The folder shown and its listing.
  const TDirectoryBrowser& Browser() const { return *Find<TDirectoryBrowser>(QStringLiteral("browser")); }
  int32_t CurrentId() const { return Browser().CurrentId(); }
  const TDirectory& CurrentFolder() const { return Browser().CurrentFolder(); }
  const TDirectoryList& Entries() const { return Browser().Entries(); }
  const TDirectoryList& Chain() const { return Browser().Chain(); }
  TDirectory* FocusedDirectory() const { return TVTV::GetFocusedObject(List()); }

  // A row's text as the list shows it; empty for no row.
  QString RowText(int row) const {
    if (row < 0 || row >= List()->RowCount()) return {};
    return List()->model()->index(row, 0).data(Qt::DisplayRole).toString();
  }
  // The filter as its label shows it (not while the label tells of a copy).
  QString Filter() const {
    const QString prefix = QStringLiteral("Фильтр: ");
    const QString text = FilterLabel()->text();
    return text.startsWith(prefix) ? text.mid(prefix.size()) : QString();
  }

 private:
  template <typename T>
  T* Find(const QString& name) const {
    T* found = FWindow.findChild<T*>(name);
    if (!found) throw std::logic_error("the main window has no " + name.toStdString());
    return found;
  }

  const TfDirectory& FWindow;
};
