// The program's icons: every index draws, and at a screen scale above 1 the
// pixels come from the vector picture drawn at the larger size, never from
// a small bitmap blown up. Also run at QT_SCALE_FACTOR 1.5 and 2 (CTest).

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QToolButton>
#include <cmath>

#include "udmRes.h"

namespace {

QImage Straight(const QPixmap& pixmap) {
  return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Mean difference per channel and pixel of two pictures of the same size.
double MeanDifference(const QImage& a, const QImage& b) {
  double sum = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
      sum += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue()) +
             std::abs(p.alpha() - q.alpha());
    }
  }
  return sum / (4.0 * a.width() * a.height());
}

// Energy of the steps between neighbouring pixels: an upscaled copy spreads
// each edge over more pixels in smaller steps and scores lower than a
// drawing made at the size.
double EdgeEnergy(const QImage& image) {
  double sum = 0;
  auto step = [](int a, int b) { return double(a - b) * double(a - b); };
  for (int y = 0; y + 1 < image.height(); ++y) {
    for (int x = 0; x + 1 < image.width(); ++x) {
      const QColor p = image.pixelColor(x, y);
      for (const QColor& q : {image.pixelColor(x + 1, y), image.pixelColor(x, y + 1)}) {
        sum += step(p.red(), q.red()) + step(p.green(), q.green()) + step(p.blue(), q.blue()) +
               step(p.alpha(), q.alpha());
      }
    }
  }
  return sum;
}

int OpaquePixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y).alpha() > 128 ? 1 : 0;
  return count;
}

class IconsTest : public ::testing::Test {
 protected:
  TdmRes Res;
  // The pictures drawn straight from the vector files, past every cache.
  TIconPictures Pictures{TdmRes::kImageCount};
};

TEST_F(IconsTest, EveryIndexDrawsInBothLists) {
  ASSERT_EQ(Res.il24.Count(), TdmRes::kImageCount);
  ASSERT_EQ(Res.il32.Count(), TdmRes::kImageCount);
  const qreal ratio = qApp->devicePixelRatio();
  for (int i = 0; i < TdmRes::kImageCount; ++i) {
    SCOPED_TRACE(i);
    for (const TImageList* list : {&Res.il24, &Res.il32}) {
      const QPixmap image = list->Image(i);
      EXPECT_EQ(image.deviceIndependentSize().toSize(), QSize(list->Size(), list->Size()));
      EXPECT_EQ(image.width(), std::lround(list->Size() * ratio)) << "drawn for the screen's scale";
      EXPECT_GT(OpaquePixels(Straight(image)), image.width() * image.height() / 10) << "an empty picture";
    }
    EXPECT_FALSE(Res.Icon(i).isNull());
  }
  EXPECT_THROW(Res.il24.Image(TdmRes::kImageCount), std::out_of_range);
  EXPECT_THROW(Res.Icon(-1), std::out_of_range);
}

TEST_F(IconsTest, ScaledPixmapsAreDrawnAtTheirSizeNotBlownUp) {
  struct TCase {
    int Size;
    qreal Ratio;
  };
  const TCase cases[] = {{24, 2.0}, {32, 2.0}, {24, 1.5}, {32, 1.5}, {24, 1.0}};
  // The copy, the status bar, the folder and the help icons.
  for (int index : {5, 2, 36, 11}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(testing::Message() << "icon " << index << ", " << c.Size << " at " << c.Ratio);
      const int pixels = static_cast<int>(std::lround(c.Size * c.Ratio));
      const QPixmap pixmap = Res.Icon(index).pixmap(QSize(c.Size, c.Size), c.Ratio);
      EXPECT_EQ(pixmap.size(), QSize(pixels, pixels));
      EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), c.Ratio);

      const QImage shown = Straight(pixmap);
      const QImage vector = Straight(Pictures.Render(index, pixels));
      EXPECT_LT(MeanDifference(shown, vector), 0.5) << "the same as drawing the picture at that size";
      if (c.Ratio == 1.0) continue;

      const QImage small = Straight(Res.Icon(index).pixmap(QSize(c.Size, c.Size), 1.0));
      const QImage blownUp = small.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      EXPECT_GT(MeanDifference(shown, blownUp), 4.0) << "looks like an upscaled copy";
      EXPECT_GT(EdgeEnergy(shown), 1.3 * EdgeEnergy(blownUp)) << "softer than a drawing at the size";
    }
  }
}

TEST_F(IconsTest, PaintingFollowsTheDevicePixelRatioOfTheTarget) {
  // A tool button paints its icon into a surface of the screen's ratio; a
  // 24-point square there gets the 48-pixel drawing.
  QImage target(96, 96, QImage::Format_ARGB32_Premultiplied);
  target.setDevicePixelRatio(2.0);
  target.fill(Qt::transparent);
  {
    QPainter painter(&target);
    Res.Icon(5).paint(&painter, QRect(0, 0, 24, 24));
  }
  const QImage painted = target.copy(0, 0, 48, 48);
  const QImage vector = Straight(Pictures.Render(5, 48));
  EXPECT_LT(MeanDifference(painted, vector), 0.5);
}

TEST_F(IconsTest, DisabledLookIsMadeFromTheSameDrawing) {
  const QImage normal = Straight(Res.Icon(5).pixmap(QSize(32, 32), 2.0, QIcon::Normal));
  const QImage disabled = Straight(Res.Icon(5).pixmap(QSize(32, 32), 2.0, QIcon::Disabled));
  EXPECT_EQ(disabled.size(), QSize(64, 64));
  EXPECT_GT(MeanDifference(normal, disabled), 2.0) << "a disabled icon looks different";
  EXPECT_EQ(OpaquePixels(normal) > 0, OpaquePixels(disabled) > 0);
}

TEST_F(IconsTest, ButtonsOfTheScreenScaleGetSharpIcons) {
  // Whatever QT_SCALE_FACTOR the test runs at, the pixmap a button asks
  // for without naming a ratio is drawn for the screen's one.
  QToolButton button;
  button.setIcon(Res.Icon(36));
  button.setIconSize(QSize(32, 32));
  const qreal ratio = button.devicePixelRatioF();
  const QPixmap pixmap = button.icon().pixmap(button.iconSize(), ratio);
  EXPECT_EQ(pixmap.width(), std::lround(32 * ratio));
  EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), QSize(32, 32));
}

}  // namespace
