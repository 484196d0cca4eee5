#include "uRVUtils.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <algorithm>
#include <cmath>

#include "uThemeColors.h"

const char* const kHelpStyleSheet =
    "body, .normal { font-family: Arial; }\n"
    ".heading { font-family: Arial; font-weight: bold; color: #0000ff; }\n"
    ".subheading { font-family: Arial; font-weight: bold; color: #000080; }\n"
    ".keywords { font-family: Arial; font-style: italic; color: #800000; }\n"
    "a, .jump { font-family: Arial; text-decoration: underline; color: #008000; }\n"
    ".centered { text-align: center; }\n";

void PrepareRichView(QTextBrowser* viewer) {
  viewer->setReadOnly(true);
  viewer->setTextInteractionFlags(Qt::TextBrowserInteraction);
  // A link is an address for the desktop to open; the viewer never shows
  // another page itself.
  viewer->setOpenLinks(false);
  viewer->setOpenExternalLinks(false);
  viewer->document()->setDefaultStyleSheet(QString::fromUtf8(kHelpStyleSheet));
}

namespace {

// Wider than the reach of smooth scaling, so the edge pixels of a tile are
// smoothed against its neighbours.
constexpr int kTileBorder = 2;

// The tile with a border taken from the opposite edges, as the tiles around
// it would show it.
QImage WrappedTile(const QImage& tile) {
  QImage wrapped(tile.width() + 2 * kTileBorder, tile.height() + 2 * kTileBorder, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&wrapped);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      painter.drawImage(kTileBorder + dx * tile.width(), kTileBorder + dy * tile.height(), tile);
  return wrapped;
}

bool CoversWholePixels(double length) { return std::abs(length - std::round(length)) < 0.01; }

// How many copies of the tile side by side make whole device pixels in
// both directions (1 when none up to 4 do; the drift is then at most
// half a pixel per tile).
int TileRepeats(QSize size, qreal ratio) {
  for (int repeats = 1; repeats <= 4; ++repeats) {
    if (CoversWholePixels(repeats * size.width() * ratio) && CoversWholePixels(repeats * size.height() * ratio))
      return repeats;
  }
  return 1;
}

QImage Repeated(const QImage& tile, int repeats) {
  if (repeats == 1) return tile;
  QImage result(tile.width() * repeats, tile.height() * repeats, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&result);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  for (int y = 0; y < repeats; ++y)
    for (int x = 0; x < repeats; ++x) painter.drawImage(x * tile.width(), y * tile.height(), tile);
  return result;
}

bool IsSolid(const QBrush& brush) { return brush.style() == Qt::SolidPattern; }

// What lies behind the text of a block when the block or its table cell has
// a colour of its own.
std::vector<QColor> BlockBackgrounds(const QTextBlock& block, const std::vector<QColor>& page) {
  const QBrush own = block.blockFormat().background();
  if (IsSolid(own)) return {own.color()};
  if (QTextTable* table = QTextCursor(block).currentTable()) {
    const QBrush cell = table->cellAt(block.position()).format().background();
    if (IsSolid(cell)) return {cell.color()};
    const QBrush frame = table->format().background();
    if (IsSolid(frame)) return {frame.color()};
  }
  return page;
}

struct TColourFix {
  int Start;
  int End;
  QColor Colour;
};

}  // namespace

QImage TileForScale(const QImage& picture, qreal ratio) {
  if (picture.isNull() || ratio <= 0 || qFuzzyCompare(ratio, 1.0)) return picture;
  // A tile must cover whole device pixels to repeat without a drift: at
  // 150% one of 33 pixels would be 49.5, two side by side are 99.
  const int repeats = TileRepeats(picture.size(), ratio);
  const QImage tile = Repeated(picture, repeats);
  const QSize pixels(std::max(1, int(std::lround(tile.width() * ratio))),
                     std::max(1, int(std::lround(tile.height() * ratio))));
  QImage scaled(pixels, QImage::Format_ARGB32_Premultiplied);
  scaled.fill(Qt::transparent);
  {
    QPainter painter(&scaled);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(double(pixels.width()) / tile.width(), double(pixels.height()) / tile.height());
    painter.drawImage(QPointF(-kTileBorder, -kTileBorder), WrappedTile(tile));
  }
  scaled.setDevicePixelRatio(double(pixels.width()) / tile.width());
  return scaled;
}

QImage DarkTile(const QImage& tile, const QColor& base) {
  if (tile.isNull()) return tile;
  QImage result = tile.convertToFormat(QImage::Format_RGB32);
  double sum[3] = {0, 0, 0};
  for (int y = 0; y < result.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(result.constScanLine(y));
    for (int x = 0; x < result.width(); ++x) {
      sum[0] += qRed(line[x]);
      sum[1] += qGreen(line[x]);
      sum[2] += qBlue(line[x]);
    }
  }
  const double count = double(result.width()) * result.height();
  const int target[3] = {base.red(), base.green(), base.blue()};
  auto channel = [&](int value, int i) {
    // Half the picture's own variation around the base colour.
    return std::clamp(int(std::lround(target[i] + (value - sum[i] / count) * 0.5)), 0, 255);
  };
  for (int y = 0; y < result.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < result.width(); ++x) {
      line[x] = qRgb(channel(qRed(line[x]), 0), channel(qGreen(line[x]), 1), channel(qBlue(line[x]), 2));
    }
  }
  return result;
}

void MakeTextReadable(QTextDocument* document, const std::vector<QColor>& pageBackgrounds,
                      const QColor& defaultText) {
  // Collected first and applied afterwards: a changed format may split or
  // join the fragments being walked.
  std::vector<TColourFix> fixes;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    const std::vector<QColor> behindBlock = BlockBackgrounds(block, pageBackgrounds);
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QTextCharFormat format = fragment.charFormat();
      const std::vector<QColor> behind =
          IsSolid(format.background()) ? std::vector<QColor>{format.background().color()} : behindBlock;
      const QColor text =
          format.hasProperty(QTextFormat::ForegroundBrush) ? format.foreground().color() : defaultText;
      if (LeastContrast(text, behind) >= kDerivedTextContrast) continue;
      fixes.push_back({fragment.position(), fragment.position() + fragment.length(),
                       ReadableOn(text, behind, kDerivedTextContrast)});
    }
  }
  QTextCursor cursor(document);
  for (const TColourFix& fix : fixes) {
    cursor.setPosition(fix.Start);
    cursor.setPosition(fix.End, QTextCursor::KeepAnchor);
    QTextCharFormat colour;
    colour.setForeground(fix.Colour);
    cursor.mergeCharFormat(colour);
  }
}
