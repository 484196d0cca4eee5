// Readable colours under light and dark palettes: the WCAG contrast figure,
// the fixed colours of a light palette, and derived colours of dark ones
// that keep 4.5:1 against every background they are shown on.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QStyle>

#include "uThemeColors.h"

namespace {

QPalette Palette(QColor window, QColor windowText, QColor base, QColor alternateBase, QColor text) {
  QPalette palette;
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::Button, window);
  palette.setColor(QPalette::WindowText, windowText);
  palette.setColor(QPalette::ButtonText, windowText);
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::AlternateBase, alternateBase);
  palette.setColor(QPalette::Text, text);
  return palette;
}

TEST(ThemeColors, ContrastRatioFollowsWcag) {
  struct TCase {
    QColor A;
    QColor B;
    double Expected;
  };
  const TCase cases[] = {
      {Qt::white, Qt::black, 21.0},
      {Qt::black, Qt::white, 21.0},
      {QColor(0x77, 0x77, 0x77), Qt::white, 4.48},  // just below AA
      {QColor(0x76, 0x76, 0x76), Qt::white, 4.54},  // just above
      {QColor(0, 0, 255), Qt::white, 8.59},
      {QColor(255, 0, 0), Qt::white, 4.00},
      {QColor(0, 128, 0), Qt::white, 5.14},
      {QColor(40, 40, 40), QColor(40, 40, 40), 1.0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.A.name().toStdString() + " on " + c.B.name().toStdString());
    EXPECT_NEAR(ContrastRatio(c.A, c.B), c.Expected, 0.01);
  }
}

TEST(ThemeColors, LightPalettesKeepTheFixedColours) {
  for (const QPalette& palette :
       {QApplication::style()->standardPalette(),
        Palette(QColor(239, 239, 239), Qt::black, Qt::white, QColor(247, 247, 247), Qt::black),
        Palette(QColor(255, 255, 220), QColor(30, 30, 30), QColor(250, 250, 240), QColor(240, 240, 230), Qt::black)}) {
    const TThemeColors colors = ThemeColors(palette);
    EXPECT_FALSE(colors.Dark);
    EXPECT_EQ(colors.Row, QColor(255, 255, 255));
    EXPECT_EQ(colors.Stripe, QColor(255, 251, 240));
    EXPECT_EQ(colors.Chain, QColor(0, 128, 0));
    EXPECT_EQ(colors.Filter, QColor(255, 0, 0));
    EXPECT_EQ(colors.Link, QColor(0, 0, 255));
  }
}

TEST(ThemeColors, DarkPalettesGetReadableColoursOfTheSameHue) {
  struct TCase {
    const char* Name;
    QPalette Palette;
  };
  const TCase cases[] = {
      {"Breeze Dark", Palette(QColor(0x2a, 0x2e, 0x32), QColor(0xfc, 0xfc, 0xfc), QColor(0x1b, 0x1e, 0x20),
                              QColor(0x23, 0x26, 0x29), QColor(0xfc, 0xfc, 0xfc))},
      {"Adwaita dark, alternate rows like the base",
       Palette(QColor(0x35, 0x35, 0x35), QColor(0xee, 0xee, 0xec), QColor(0x2d, 0x2d, 0x2d),
               QColor(0x2d, 0x2d, 0x2d), QColor(0xee, 0xee, 0xec))},
      {"black", Palette(Qt::black, Qt::white, Qt::black, Qt::black, Qt::white)},
      {"dark blue", Palette(QColor(0, 0, 60), QColor(220, 220, 255), QColor(0, 0, 40), QColor(0, 0, 90),
                            QColor(220, 220, 255))},
      {"grey on mid grey", Palette(QColor(90, 90, 90), QColor(250, 250, 250), QColor(80, 80, 80),
                                   QColor(95, 95, 95), QColor(250, 250, 250))},
      {"light alternate rows are not used", Palette(QColor(0x30, 0x30, 0x30), Qt::white, QColor(0x20, 0x20, 0x20),
                                                    QColor(0xf0, 0xf0, 0xf0), Qt::white)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TThemeColors colors = ThemeColors(c.Palette);
    EXPECT_TRUE(colors.Dark);
    EXPECT_EQ(colors.Row, c.Palette.color(QPalette::Base));
    EXPECT_GE(ContrastRatio(colors.Row, colors.Stripe), 1.06) << "the stripes are seen";
    EXPECT_GE(ContrastRatio(colors.Stripe, c.Palette.color(QPalette::Text)), kMinimumTextContrast)
        << "the list's text stays readable on a stripe";
    const std::vector<QColor> backgrounds = {colors.Row, colors.Stripe, c.Palette.color(QPalette::Window)};
    struct TText {
      const char* Name;
      QColor Color;
      int Hue;  // the strongest channel: 0 red, 1 green, 2 blue
    };
    for (const TText& text : {TText{"chain", colors.Chain, 1}, TText{"filter", colors.Filter, 0},
                              TText{"link", colors.Link, 2}}) {
      SCOPED_TRACE(text.Name);
      EXPECT_GE(LeastContrast(text.Color, backgrounds), kMinimumTextContrast);
      const int channels[] = {text.Color.red(), text.Color.green(), text.Color.blue()};
      for (int i = 0; i < 3; ++i) {
        if (i != text.Hue) {
          EXPECT_GT(channels[text.Hue], channels[i]) << "keeps its hue";
        }
      }
    }
  }
}

TEST(ThemeColors, ReadableOnMovesOnlyAsFarAsNeeded) {
  const QColor navy(0, 0, 128);
  EXPECT_EQ(ReadableOn(navy, {Qt::white}), navy) << "already readable";
  EXPECT_EQ(ReadableOn(navy, {}), navy);

  const QColor dark(0x20, 0x20, 0x20);
  const QColor lifted = ReadableOn(navy, {dark});
  EXPECT_GE(ContrastRatio(lifted, dark), kMinimumTextContrast);
  EXPECT_LT(ContrastRatio(lifted, dark), kMinimumTextContrast + 0.4) << "no further than needed";
  EXPECT_EQ(lifted.hslHue(), navy.hslHue());

  // Nothing is readable on both black and white; the best is taken.
  const QColor compromise = ReadableOn(QColor(255, 0, 0), {Qt::black, Qt::white});
  EXPECT_GE(LeastContrast(compromise, {Qt::black, Qt::white}), 4.0);
}

TEST(ThemeColors, ExtremeColoursAndMixing) {
  QImage picture(4, 1, QImage::Format_RGB32);
  picture.setPixelColor(0, 0, QColor(100, 100, 100));
  picture.setPixelColor(1, 0, QColor(10, 20, 30));
  picture.setPixelColor(2, 0, QColor(240, 230, 220));
  picture.setPixelColor(3, 0, QColor(120, 0, 0));
  EXPECT_EQ(ExtremeColors(picture), (std::vector<QColor>{QColor(10, 20, 30), QColor(240, 230, 220)}));
  EXPECT_TRUE(ExtremeColors(QImage()).empty());

  EXPECT_EQ(MixColors(Qt::black, Qt::white, 0.0), QColor(Qt::black));
  EXPECT_EQ(MixColors(Qt::black, Qt::white, 1.0), QColor(Qt::white));
  EXPECT_EQ(MixColors(QColor(0, 100, 200), QColor(100, 100, 0), 0.5), QColor(50, 100, 100));
  EXPECT_EQ(TextColorStyleSheet(QColor(0, 0, 255)), QStringLiteral("color: #0000ff;"));
}

}  // namespace
