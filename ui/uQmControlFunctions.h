#pragma once
// Hint timing of the application's tooltips.

#include <QObject>

// Delays of the program's tooltips in milliseconds: before one shows, when
// moving from one item to the next, and before it hides.
struct THintPauses {
  int Pause = 500;
  int ShortPause = 50;
  int HidePause = 10000;
};

// Applies the timing to every tooltip of the application.
void SetHintPauses(int pause, int shortPause, int hidePause);
const THintPauses& HintPauses();

// Applies the hint timing: the toolkit's own tooltip delay is a style hint,
// so the helper answers it with the program's values.
class TControlEvents : public QObject {
  Q_OBJECT
 public:
  explicit TControlEvents(QObject* parent = nullptr);
};
