#include "uElidedLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace {
// Room enough for "…" and a letter or two, whatever the text.
constexpr int kMinimumCharacters = 3;
}  // namespace

TElidedLabel::TElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), FMode(mode) {
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  setTextFormat(Qt::PlainText);
}

QSize TElidedLabel::minimumSizeHint() const {
  const QMargins margins = contentsMargins();
  return QSize(fontMetrics().averageCharWidth() * kMinimumCharacters + margins.left() + margins.right(),
               QLabel::minimumSizeHint().height());
}

QSize TElidedLabel::sizeHint() const {
  const QMargins margins = contentsMargins();
  return QSize(fontMetrics().horizontalAdvance(text()) + margins.left() + margins.right(),
               QLabel::sizeHint().height());
}

QString TElidedLabel::ShownText() const {
  // One line: line breaks of the text show as blanks.
  QString line = text();
  line.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
  return fontMetrics().elidedText(line, FMode, std::max(contentsRect().width(), 0));
}

void TElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = contentsRect();
  style()->drawItemText(&painter, area, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), ShownText(),
                        foregroundRole());
}

bool TElidedLabel::event(QEvent* event) {
  // A shortened text shows whole in the tooltip; a whole one keeps the
  // label's own tooltip.
  if (event->type() == QEvent::ToolTip && ShownText() != text()) {
    auto* help = static_cast<QHelpEvent*>(event);
    QToolTip::showText(help->globalPos(), text(), this);
    return true;
  }
  return QLabel::event(event);
}
