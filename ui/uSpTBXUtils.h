#pragma once
// Font scaling of toolbar items: the items of the bars follow the window's
// font size as a percentage of the toolkit's normal item font.

class QWidget;

// The toolkit's normal item font size, in points, that 100 per cent means.
inline constexpr double kNormalItemPointSize = 8.0;

// trunc(fontSize × 100 / 8): 100 for 8 points, 125 for 10, 150 for 12.
int ItemFontScale(int fontSize);

// Sets one item's font to scale per cent of the normal item font; touches
// the item only when its scale differs.
void SetItemFontSize(QWidget* item, int scalePercent);

// SetItemFontSize for every toolbar item of the window (the buttons and
// labels on its toolbars).
void SetItemsFontSize(QWidget* window, int fontSize);

// The scale an item was last given, 100 when never.
int ItemFontScaleOf(const QWidget* item);
