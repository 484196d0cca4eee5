#include "uQmControlFunctions.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyle>

namespace {
THintPauses gPauses;

// Answers the toolkit's tooltip-delay questions with the program's timing.
class THintTimingStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == QStyle::SH_ToolTip_WakeUpDelay) return gPauses.Pause;
    if (hint == QStyle::SH_ToolTip_FallAsleepDelay) return gPauses.ShortPause;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};
}  // namespace

void SetHintPauses(int pause, int shortPause, int hidePause) {
  gPauses = {pause, shortPause, hidePause};
  if (qApp && !dynamic_cast<THintTimingStyle*>(qApp->style())) {
    QApplication::setStyle(new THintTimingStyle);  // the application owns its style
  }
}

const THintPauses& HintPauses() { return gPauses; }

TControlEvents::TControlEvents(QObject* parent) : QObject(parent) {}
