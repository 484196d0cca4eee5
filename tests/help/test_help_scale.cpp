// The help background at screen scales above 1: the tiles meet without a
// seam. Run at the default scale and again at QT_SCALE_FACTOR 1.5 and 2
// (CTest), where every logical pixel of a tile covers several device pixels.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>

#include "TestSupport.h"
#include "uGlobals.h"
#include "ufRVHelp.h"

namespace {

constexpr int kAmplitude = 90;

// A tile whose colour runs as a full sine wave across it in both
// directions, so that tiles laid side by side continue each other smoothly:
// every jump between neighbouring pixels larger than the wave's own slope is
// a seam.
QImage WaveTile(int size) {
  QImage tile(size, size, QImage::Format_RGB32);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double across = std::sin(2 * std::numbers::pi * (x + 0.5) / size);
      const double down = std::cos(2 * std::numbers::pi * (y + 0.5) / size);
      tile.setPixelColor(x, y, QColor(128 + int(kAmplitude * across), 128 + int(kAmplitude * down), 128));
    }
  }
  return tile;
}

int Jump(QColor a, QColor b) { return std::max(std::abs(a.red() - b.red()), std::abs(a.green() - b.green())); }

struct TSeams {
  int LargestJump = 0;
  int Range = 0;  // of the red channel: the wave is there at all
};

TSeams Measure(const QImage& shot, int margin) {
  TSeams result;
  int low = 255, high = 0;
  for (int y = margin; y + 1 < shot.height() - margin; ++y) {
    for (int x = margin; x + 1 < shot.width() - margin; ++x) {
      const QColor here = shot.pixelColor(x, y);
      result.LargestJump = std::max({result.LargestJump, Jump(here, shot.pixelColor(x + 1, y)),
                                     Jump(here, shot.pixelColor(x, y + 1))});
      low = std::min(low, here.red());
      high = std::max(high, here.red());
    }
  }
  result.Range = high - low;
  return result;
}

class HelpScaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ComputeLocations(FDir.Path() + "zorvana-directory");
    std::filesystem::create_directories(Globals().HelpPath);
    WriteFile(Globals().HelpPath + "DirectoryForm.rvf",
              "<html><head><meta charset=\"utf-8\"></head><body><p></p></body></html>");
  }
  void TearDown() override {
    TfRVHelp::DestroyHelp();
    ResetGlobals();
  }

 private:
  TTempDir FDir;
};

TEST_F(HelpScaleTest, BackgroundIsSmoothedForTheScaleAndTilesMeetWithoutSeams) {
  for (int size : {64, 33}) {
    SCOPED_TRACE(testing::Message() << "tile of " << size << " pixels");
    // Saved losslessly (the viewer reads a picture by its content, not its
    // name), so that every jump in the page comes from the tiling.
    ASSERT_TRUE(WaveTile(size).save(QString::fromStdString(Globals().HelpPath + "background.jpg"), "PNG"));
    TfRVHelp::ShowHelp(TfRVHelp::kDirectoryHelp);
    TfRVHelp* help = TfRVHelp::Current();
    ASSERT_TRUE(help && QTest::qWaitForWindowExposed(help));

    const QImage shot = help->rv->viewport()->grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    EXPECT_DOUBLE_EQ(ratio, help->devicePixelRatioF());
    ASSERT_GT(shot.width(), 3 * size * ratio) << "several tiles side by side";

    // The wave's steepest step per device pixel, with room for rounding;
    // a seam, or a tile blown up without smoothing, jumps by more.
    const double slope = kAmplitude * 2 * std::numbers::pi / (size * ratio);
    const TSeams seams = Measure(shot, static_cast<int>(std::ceil(ratio)));
    EXPECT_GT(seams.Range, kAmplitude) << "the tiled picture is shown";
    EXPECT_LE(seams.LargestJump, slope + 3) << "a seam between tiles";
  }
}

}  // namespace
