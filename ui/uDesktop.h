#pragma once
// Opening addresses with the desktop's default handler, replaceable so that
// tests see what would be opened instead of starting a browser.

#include <QUrl>
#include <functional>

using TUrlOpener = std::function<bool(const QUrl&)>;

// Opens an address (web or mailto:) with the desktop's handler; the answer
// of the desktop is passed back but callers are free to ignore it.
bool OpenAddress(const QString& address);

// Replaces the opener; returns the previous one.
TUrlOpener SetUrlOpener(TUrlOpener opener);

// Asking the user for a file through the desktop's file dialog, replaceable
// so that tests answer without a dialog. An empty answer: cancelled.
enum class TFileChoice { Save, Open };
using TFileChooser = std::function<QString(TFileChoice choice, const QString& caption)>;

class QWidget;
QString ChooseExchangeFile(QWidget* parent, TFileChoice choice, const QString& caption);
// Replaces the chooser; returns the previous one.
TFileChooser SetFileChooser(TFileChooser chooser);
