#include "uThemeColors.h"

#include <algorithm>
#include <cmath>

namespace {

// The fixed colours of a light palette.
const QColor kWhite(255, 255, 255);
const QColor kCream(255, 251, 240);
const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

double Linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

// The colour as it reaches the screen: 8 bits per channel.
QColor Opaque8Bit(const QColor& color) { return QColor(color.toRgb().rgb()); }

QColor WithLightness(const QColor& color, double lightness) {
  const QColor hsl = color.toHsl();
  return Opaque8Bit(QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), static_cast<float>(lightness)));
}

}  // namespace

double RelativeLuminance(const QColor& color) {
  const QColor rgb = color.toRgb();
  return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

double LeastContrast(const QColor& color, const std::vector<QColor>& backgrounds) {
  double least = 21.0;
  for (const QColor& background : backgrounds) least = std::min(least, ContrastRatio(color, background));
  return least;
}

bool IsDarkPalette(const QPalette& palette) {
  return RelativeLuminance(palette.color(QPalette::Window)) <
         RelativeLuminance(palette.color(QPalette::WindowText));
}

QColor ReadableOn(const QColor& wanted, const std::vector<QColor>& backgrounds, double minimum) {
  const QColor start = Opaque8Bit(wanted);
  if (backgrounds.empty() || LeastContrast(start, backgrounds) >= minimum) return start;
  // Walk the lightness away from the wanted one in both directions at once;
  // the first that reaches the contrast is the nearest.
  constexpr int kSteps = 200;
  const double lightness = start.toHsl().lightnessF();
  QColor best = start;
  double bestContrast = LeastContrast(start, backgrounds);
  for (int step = 1; step <= kSteps; ++step) {
    for (int direction : {+1, -1}) {
      const double candidate = lightness + direction * double(step) / kSteps;
      if (candidate < 0.0 || candidate > 1.0) continue;
      const QColor color = WithLightness(start, candidate);
      const double contrast = LeastContrast(color, backgrounds);
      if (contrast >= minimum) return color;
      if (contrast > bestContrast) {
        best = color;
        bestContrast = contrast;
      }
    }
  }
  return best;
}

std::vector<QColor> ExtremeColors(const QImage& picture) {
  if (picture.isNull()) return {};
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  QColor darkest, lightest;
  double low = 2.0, high = -1.0;
  for (int y = 0; y < rgb.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) {
      const QColor color(line[x]);
      const double luminance = RelativeLuminance(color);
      if (luminance < low) {
        low = luminance;
        darkest = color;
      }
      if (luminance > high) {
        high = luminance;
        lightest = color;
      }
    }
  }
  return {darkest, lightest};
}

QColor MixColors(const QColor& a, const QColor& b, double amount) {
  const QColor x = a.toRgb(), y = b.toRgb();
  auto mix = [amount](int p, int q) { return std::clamp(int(std::lround(p + (q - p) * amount)), 0, 255); };
  return QColor(mix(x.red(), y.red()), mix(x.green(), y.green()), mix(x.blue(), y.blue()));
}

TThemeColors ThemeColors(const QPalette& palette) {
  TThemeColors colors;
  colors.Dark = IsDarkPalette(palette);
  if (!colors.Dark) {
    colors.Row = kWhite;
    colors.Stripe = kCream;
    colors.Chain = kGreen;
    colors.Filter = kRed;
    colors.Link = kBlue;
    return colors;
  }
  colors.Row = Opaque8Bit(palette.color(QPalette::Base));
  const QColor alternate = Opaque8Bit(palette.color(QPalette::AlternateBase));
  // A stripe must be seen, and the list's text must stay readable on it.
  const bool alternateFits = ContrastRatio(alternate, colors.Row) >= 1.06 &&
                             ContrastRatio(alternate, palette.color(QPalette::Text)) >= kMinimumTextContrast;
  colors.Stripe = alternateFits ? alternate : MixColors(colors.Row, palette.color(QPalette::Text), 0.08);
  const std::vector<QColor> backgrounds = {colors.Row, colors.Stripe, palette.color(QPalette::Window),
                                           palette.color(QPalette::Button)};
  colors.Chain = ReadableOn(kGreen, backgrounds, kDerivedTextContrast);
  colors.Filter = ReadableOn(kRed, backgrounds, kDerivedTextContrast);
  colors.Link = ReadableOn(kBlue, backgrounds, kDerivedTextContrast);
  return colors;
}

QString TextColorStyleSheet(const QColor& color) {
  return QStringLiteral("color: %1;").arg(color.name(QColor::HexRgb));
}
