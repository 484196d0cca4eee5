#pragma once
// Colours that stay readable under the desktop's colour scheme. On a light
// palette the program keeps its fixed colours (cream and white list stripes,
// a green folder chain, a red filter label, blue links); on a dark palette
// they are derived from the palette, each keeping a contrast of at least
// 4.5:1 (WCAG 2) against the backgrounds it is shown on.

#include <QColor>
#include <QImage>
#include <QPalette>
#include <vector>

// The least contrast for text, WCAG 2 level AA for normal text.
inline constexpr double kMinimumTextContrast = 4.5;
// What derived colours aim at: antialiased thin and italic strokes never
// reach the full colour on the screen, and must still keep the minimum.
inline constexpr double kDerivedTextContrast = 5.0;

// WCAG 2 relative luminance, 0 (black) to 1 (white).
double RelativeLuminance(const QColor& color);
// WCAG 2 contrast ratio, 1 to 21, the same whichever colour comes first.
double ContrastRatio(const QColor& a, const QColor& b);
// The smallest contrast of a colour against any of the backgrounds.
double LeastContrast(const QColor& color, const std::vector<QColor>& backgrounds);

// True when the palette shows light text on a dark window.
bool IsDarkPalette(const QPalette& palette);

// The colour nearest to wanted, of the same hue, whose lightness is moved
// just far enough from the backgrounds to keep the contrast; wanted itself
// when it already does. When no lightness reaches it (backgrounds both very
// light and very dark), the lightness with the best contrast.
QColor ReadableOn(const QColor& wanted, const std::vector<QColor>& backgrounds,
                  double minimum = kMinimumTextContrast);

// The darkest and the lightest colour of a picture: the backgrounds that text
// drawn over it meets at worst.
std::vector<QColor> ExtremeColors(const QImage& picture);

// a mixed with b: amount 0 gives a, 1 gives b.
QColor MixColors(const QColor& a, const QColor& b, double amount);

struct TThemeColors {
  bool Dark = false;
  QColor Row;       // even rows of a list (white on a light palette)
  QColor Stripe;    // odd rows of a list (cream on a light palette)
  QColor Chain;     // the folder chain above the list (green)
  QColor Filter;    // the filter label (red)
  QColor Link;      // a link such as the site address (blue)
};

// Light palette: the fixed colours; dark palette: rows from the palette's
// Base and AlternateBase (a visible shade of Base when the two are too
// alike) and green, red and blue readable on both rows and on the window
// (kDerivedTextContrast).
TThemeColors ThemeColors(const QPalette& palette);

// A style sheet that sets only the text colour, for a label.
QString TextColorStyleSheet(const QColor& color);
