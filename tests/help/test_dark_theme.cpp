// The help and about windows under a dark colour scheme: shown offscreen,
// grabbed, and every piece of text measured against what lies behind it
// (WCAG contrast of at least 4.5:1). A light scheme keeps today's colours.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QAbstractTextDocumentLayout>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "uGlobals.h"
#include "uThemeColors.h"
#include "ufAboutKRT.h"
#include "ufRVHelp.h"

namespace {

QPalette DarkPalette() {
  QPalette palette = QApplication::palette();
  const QColor window(0x2a, 0x2e, 0x32), base(0x1b, 0x1e, 0x20), text(0xfc, 0xfc, 0xfc);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Window, window);
    palette.setColor(group, QPalette::Button, window);
    palette.setColor(group, QPalette::Base, base);
    palette.setColor(group, QPalette::AlternateBase, QColor(0x23, 0x26, 0x29));
    palette.setColor(group, QPalette::WindowText, text);
    palette.setColor(group, QPalette::ButtonText, text);
    palette.setColor(group, QPalette::Text, text);
    palette.setColor(group, QPalette::Link, QColor(0x1d, 0x99, 0xf3));
  }
  return palette;
}

// The contrast of the text inside a region of a grabbed picture: the
// strongest ink (the pixel farthest from the region's middle brightness)
// against the region's middle, which is its background.
struct TMeasure {
  double Contrast = 0;
  QColor Ink;
  QColor Background;
};

TMeasure MeasureText(const QImage& shot, const QRect& region) {
  std::vector<QColor> pixels;
  const QRect inside = region.intersected(shot.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y)
    for (int x = inside.left(); x <= inside.right(); ++x) pixels.push_back(shot.pixelColor(x, y));
  TMeasure measure;
  if (pixels.empty()) return measure;
  std::sort(pixels.begin(), pixels.end(),
            [](const QColor& a, const QColor& b) { return RelativeLuminance(a) < RelativeLuminance(b); });
  measure.Background = pixels[pixels.size() / 2];
  for (const QColor& pixel : pixels) {
    const double contrast = ContrastRatio(pixel, measure.Background);
    if (contrast > measure.Contrast) {
      measure.Contrast = contrast;
      measure.Ink = pixel;
    }
  }
  return measure;
}

std::string Describe(const TMeasure& m) {
  return m.Ink.name().toStdString() + " on " + m.Background.name().toStdString() + ": " +
         std::to_string(m.Contrast);
}

// Every line piece of every fragment of text in the viewer's visible part,
// in viewport coordinates, with its text.
struct TTextPiece {
  QRect Rect;
  QString Text;
};

std::vector<TTextPiece> VisibleTextPieces(const QTextBrowser* viewer) {
  std::vector<TTextPiece> pieces;
  QTextDocument* document = viewer->document();
  const QPoint scroll(viewer->horizontalScrollBar()->value(), viewer->verticalScrollBar()->value());
  const QRect visible = viewer->viewport()->rect();
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    const QPointF origin = document->documentLayout()->blockBoundingRect(block).topLeft() - QPointF(scroll);
    const QTextLayout* layout = block.layout();
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const int start = fragment.position() - block.position();
      const int end = start + fragment.length();
      for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        const int from = std::max(start, line.textStart());
        const int to = std::min(end, line.textStart() + line.textLength());
        if (from >= to) continue;
        const QString text = block.text().mid(from, to - from);
        if (text.trimmed().isEmpty()) continue;
        const qreal left = line.cursorToX(from), right = line.cursorToX(to);
        const QRect rect = QRectF(origin.x() + left, origin.y() + line.y(), right - left, line.height())
                               .toAlignedRect();
        if (visible.contains(rect)) pieces.push_back({rect, text});
      }
    }
  }
  return pieces;
}

class DarkThemeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FLightPalette = QApplication::palette();
    ComputeLocations(FDir.Path() + "zorvana-directory");
    std::filesystem::create_directories(Globals().HelpPath);
  }
  void TearDown() override {
    TfRVHelp::DestroyHelp();
    QApplication::setPalette(FLightPalette);
    ResetGlobals();
  }

  // Every visible piece of text of the help window keeps the contrast.
  void ExpectReadableHelp(TfRVHelp* help, size_t atLeastPieces) {
    const QImage shot = help->rv->viewport()->grab().toImage();
    const std::vector<TTextPiece> pieces = VisibleTextPieces(help->rv);
    EXPECT_GE(pieces.size(), atLeastPieces);
    for (const TTextPiece& piece : pieces) {
      const TMeasure measure = MeasureText(shot, piece.Rect);
      EXPECT_GE(measure.Contrast, kMinimumTextContrast)
          << piece.Text.toStdString() << ": " << Describe(measure);
    }
  }

  TfRVHelp* ShowHelp(int code) {
    TfRVHelp::ShowHelp(code);
    TfRVHelp* help = TfRVHelp::Current();
    EXPECT_TRUE(help && QTest::qWaitForWindowExposed(help));
    return help;
  }

  QPalette FLightPalette;
  TTempDir FDir;
};

TEST_F(DarkThemeTest, ShippedHelpPagesAreReadableOnADarkPalette) {
  ComputeLocations(std::string(ZORVANA_BIN_DIR) + "/zorvana-directory");
  QApplication::setPalette(DarkPalette());
  for (int code : {TfRVHelp::kDirectoryHelp, TfRVHelp::kLicenseHelp}) {
    SCOPED_TRACE(code);
    TfRVHelp* help = ShowHelp(code);
    // Headings, keywords, links and body text, down the whole page.
    QScrollBar* bar = help->rv->verticalScrollBar();
    for (int page = 0; page <= bar->maximum() / std::max(1, bar->pageStep()); ++page) {
      bar->setValue(page * bar->pageStep());
      ExpectReadableHelp(help, 1);
    }
    // The background picture is still there, made dark.
    const QBrush background = help->rv->document()->rootFrame()->frameFormat().background();
    ASSERT_EQ(background.style(), Qt::TexturePattern);
    for (const QColor& colour : ExtremeColors(background.textureImage()))
      EXPECT_GE(ContrastRatio(colour, QApplication::palette().color(QPalette::Text)), kMinimumTextContrast);
  }
}

TEST_F(DarkThemeTest, ColoursOfTheDocumentsOwnAreMadeReadable) {
  // Colours a document brings itself: dark text, navy and maroon, a light
  // table cell and a marked span that keep the palette's light text.
  WriteFile(Globals().HelpPath + "DirectoryForm.rvf",
            "<html><head><meta charset=\"utf-8\"></head><body>"
            "<p class=\"heading\">Заголовок</p><p class=\"subheading\">Подзаголовок</p>"
            "<p><span style=\"color: #202020\">Тёмный текст</span> и "
            "<span class=\"keywords\">ключевое слово</span> и <a class=\"jump\" href=\"x\">ссылка</a></p>"
            "<p><font color=\"#000080\">Тёмно-синий</font></p>"
            "<table><tr><td style=\"background-color: #f0f0e0\">Светлая ячейка</td></tr></table>"
            "<p><span style=\"background-color: #ffff80\">Выделение</span></p>"
            "</body></html>");
  QImage paper(32, 32, QImage::Format_RGB32);
  paper.fill(QColor(250, 245, 230));
  ASSERT_TRUE(paper.save(QString::fromStdString(Globals().HelpPath + "background.jpg"), "JPG"));
  QApplication::setPalette(DarkPalette());
  TfRVHelp* help = ShowHelp(TfRVHelp::kDirectoryHelp);
  ExpectReadableHelp(help, 8);
}

TEST_F(DarkThemeTest, SwitchingTheSchemeWhileShownFollowsAndComesBack) {
  WriteFile(Globals().HelpPath + "DirectoryForm.rvf",
            "<html><head><meta charset=\"utf-8\"></head><body><p class=\"heading\">H</p>"
            "<p>Текст <a class=\"jump\" href=\"x\">ссылка</a></p></body></html>");
  QImage paper(32, 32, QImage::Format_RGB32);
  paper.fill(QColor(250, 245, 230));
  ASSERT_TRUE(paper.save(QString::fromStdString(Globals().HelpPath + "background.jpg"), "JPG"));
  TfRVHelp* help = ShowHelp(TfRVHelp::kDirectoryHelp);
  auto headingColour = [help] {
    return help->rv->document()->find(QStringLiteral("H")).charFormat().foreground().color();
  };
  auto paperColour = [help] {
    return help->rv->document()->rootFrame()->frameFormat().background().textureImage().pixelColor(0, 0);
  };
  EXPECT_EQ(headingColour(), QColor(0, 0, 255)) << "a light scheme keeps the documents' colours";
  EXPECT_GT(RelativeLuminance(paperColour()), 0.8);

  QApplication::setPalette(DarkPalette());
  QCoreApplication::processEvents();
  EXPECT_NE(headingColour(), QColor(0, 0, 255));
  EXPECT_LT(RelativeLuminance(paperColour()), 0.1);
  ExpectReadableHelp(help, 3);

  QApplication::setPalette(FLightPalette);
  QCoreApplication::processEvents();
  EXPECT_EQ(headingColour(), QColor(0, 0, 255)) << "the light colours come back";
  EXPECT_GT(RelativeLuminance(paperColour()), 0.8);
}

TEST_F(DarkThemeTest, AboutWindowTextsAreReadableOnEitherScheme) {
  struct TCase {
    const char* Name;
    bool Dark;
  };
  for (const TCase& c : {TCase{"light", false}, TCase{"dark", true}}) {
    SCOPED_TRACE(c.Name);
    QApplication::setPalette(c.Dark ? DarkPalette() : FLightPalette);
    auto about = std::make_unique<TfAboutKRT>();
    about->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about.get()));
    const QImage shot = about->grab().toImage();
    for (QLabel* label : {about->lblSite, about->lblSiteURL, about->lblContact, about->lblContactEmail,
                          about->lblCredit1, about->lblCredit2, about->lblSite2, about->txtAppType}) {
      SCOPED_TRACE(label->text().toStdString());
      const QRect rect(label->mapTo(about.get(), QPoint(0, 0)), label->size());
      const TMeasure measure = MeasureText(shot, rect);
      if (c.Dark) {
        EXPECT_GE(measure.Contrast, kMinimumTextContrast) << Describe(measure);
      } else {
        EXPECT_GT(measure.Contrast, 3.0) << Describe(measure);
      }
    }
    const QColor link = about->lblSiteURL->palette().color(about->lblSiteURL->foregroundRole());
    if (c.Dark) {
      EXPECT_GT(link.blue(), std::max(link.red(), link.green())) << "the site link stays blue";
    } else {
      EXPECT_EQ(link, QColor(0, 0, 255)) << "a light scheme keeps today's blue";
    }
  }
}

}  // namespace
