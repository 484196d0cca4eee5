#include "uSpTBXUtils.h"

#include <QToolBar>
#include <QVariant>
#include <QWidget>

namespace {
const char* const kScaleProperty = "zorvanaFontScale";
}

int ItemFontScale(int fontSize) { return fontSize * 100 / 8; }

int ItemFontScaleOf(const QWidget* item) {
  QVariant scale = item->property(kScaleProperty);
  return scale.isValid() ? scale.toInt() : 100;
}

void SetItemFontSize(QWidget* item, int scalePercent) {
  if (ItemFontScaleOf(item) == scalePercent && item->property(kScaleProperty).isValid()) return;
  QFont font = item->font();
  font.setPointSizeF(kNormalItemPointSize * scalePercent / 100.0);
  item->setFont(font);
  item->setProperty(kScaleProperty, scalePercent);
}

void SetItemsFontSize(QWidget* window, int fontSize) {
  int scale = ItemFontScale(fontSize);
  for (QToolBar* bar : window->findChildren<QToolBar*>()) {
    for (QWidget* item : bar->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      SetItemFontSize(item, scale);
    }
  }
}
