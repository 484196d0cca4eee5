#pragma once
// A one-line label that never asks for more room than it is given: a text
// wider than the label is drawn shortened with "…" (at the end, or at the
// start where the end is what matters) and shown whole in its tooltip.
// text() stays the whole text.

#include <QLabel>

class TElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TElidedLabel(Qt::TextElideMode mode, QWidget* parent = nullptr);

  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;
  // The text as drawn at the label's present width.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  Qt::TextElideMode FMode;
};
