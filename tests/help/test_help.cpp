// The help window on real widgets: documents by code, failures with their
// place, backgrounds, the kept window and its bounds, keys and links.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QColor>
#include <QImage>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <climits>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "uAssert.h"
#include "uDesktop.h"
#include "uGlobals.h"
#include "ufRVHelp.h"

// Readable failure messages for texts of the window.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

std::string Page(const std::string& body, const std::string& bodyAttributes = "") {
  return "<html><head><meta charset=\"utf-8\"></head><body" + bodyAttributes + ">" + body +
         "</body></html>";
}

// A picture of one colour, saved as JPEG.
void WritePicture(const std::string& path, QColor color, QSize size = QSize(16, 16)) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(color);
  ASSERT_TRUE(image.save(QString::fromStdString(path), "JPG", 95));
}

bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
         std::abs(a.blue() - b.blue()) < 24;
}

QBrush RootBackground(const TfRVHelp* help) {
  return help->rv->document()->rootFrame()->frameFormat().background();
}

// Catches what ShowHelp raises; fails the test when it raises nothing.
EAssertionFailed ShowHelpFailure(int code) {
  try {
    TfRVHelp::ShowHelp(code);
  } catch (const EAssertionFailed& error) {
    return error;
  }
  ADD_FAILURE() << "ShowHelp(" << code << ") raised nothing";
  return EAssertionFailed("", "", 0);
}

class HelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ComputeLocations(FDir.Path() + "zorvana-directory");
    Globals().ID = "ZRV-Справка";
    std::filesystem::create_directories(Globals().HelpPath);
    FPreviousOpener = SetUrlOpener([this](const QUrl& url) {
      Opened.push_back(url.toString().toStdString());
      return true;
    });
  }
  void TearDown() override {
    TfRVHelp::DestroyHelp();
    SetUrlOpener(std::move(FPreviousOpener));
    ResetGlobals();
  }

  std::string HelpFile(const std::string& name) const { return Globals().HelpPath + name; }
  void WriteHelp(const std::string& name, const std::string& content) const {
    WriteFile(HelpFile(name), content);
  }

  // Shows help and waits until the window is on the screen.
  TfRVHelp* Show(int code) {
    TfRVHelp::ShowHelp(code);
    TfRVHelp* help = TfRVHelp::Current();
    EXPECT_TRUE(help && QTest::qWaitForWindowExposed(help));
    return help;
  }

  std::vector<std::string> Opened;

 private:
  TTempDir FDir;
  TUrlOpener FPreviousOpener;
};

TEST_F(HelpTest, CodesOutsideTheTableAreAssertionFailuresWithTheirPlace) {
  WriteHelp("DirectoryForm.rvf", Page("<p>x</p>"));
  int firstLine = 0;
  for (int code : {8, 0, -1, INT_MIN}) {
    SCOPED_TRACE(code);
    // A shown window is replaced even when the new one fails.
    QPointer<TfRVHelp> previous = Show(5);
    const EAssertionFailed error = ShowHelpFailure(code);

    const std::string message = "На найден код файла помощи: " + std::to_string(code);
    EXPECT_EQ(error.Message(), message);
    EXPECT_EQ(error.what(),
              message + " (Form/ufRVHelp, line " + std::to_string(error.Line()) + ")");
    if (firstLine == 0) firstLine = error.Line();
    EXPECT_EQ(error.Line(), firstLine) << "one place raises this failure";

    EXPECT_TRUE(previous.isNull());
    ASSERT_NE(TfRVHelp::Current(), nullptr);
    EXPECT_FALSE(TfRVHelp::Current()->isVisible());
  }
  EXPECT_GT(firstLine, 0) << "the report names a line of the source";
}

TEST_F(HelpTest, MissingDocumentNamesItsFullPathAndCode) {
  const EAssertionFailed error = ShowHelpFailure(6);
  const std::string message = "Не найден файл помощи: " + HelpFile("License.rvf") + " (код: 6)";
  EXPECT_EQ(error.Message(), message);
  EXPECT_EQ(error.what(), message + " (Form/ufRVHelp, line " + std::to_string(error.Line()) + ")");
  EXPECT_GT(error.Line(), 0);
  EXPECT_NE(error.Line(), ShowHelpFailure(8).Line()) << "each failure names its own place";
  ASSERT_NE(TfRVHelp::Current(), nullptr);
  EXPECT_FALSE(TfRVHelp::Current()->isVisible());
}

TEST_F(HelpTest, DocumentsMapByCode) {
  const std::vector<std::string> names = {"MainForm.rvf",      "PrintUMKForm.rvf",  "UMKForm.rvf",
                                          "About.rvf",         "DirectoryForm.rvf", "License.rvf",
                                          "UserParamsForm.rvf"};
  for (size_t i = 0; i < names.size(); ++i)
    WriteHelp(names[i], Page("<p>page " + names[i] + "</p>"));
  for (size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i]);
    TfRVHelp* help = Show(static_cast<int>(i) + 1);
    EXPECT_EQ(help->rv->toPlainText().toStdString(), "page " + names[i]);
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Справка"));
  }
}

TEST_F(HelpTest, BackgroundPictureOfTheDocumentElseTheCommonOneElseNone) {
  const QColor own(0, 200, 0), specific(220, 0, 0), common(0, 0, 220);
  struct TCase {
    const char* Name;
    bool Specific;
    bool Common;
    bool OwnColour;  // the document brings a background of its own
    const char* ExpectedFile;
    QColor Expected;
  };
  const TCase cases[] = {
      {"both pictures", true, true, false, "DirectoryForm.jpg", specific},
      {"document's picture", true, false, false, "DirectoryForm.jpg", specific},
      {"common picture", false, true, false, "background.jpg", common},
      {"picture over the document's own", false, true, true, "background.jpg", common},
      {"document's own", false, false, true, "", own},
      {"none", false, false, false, "", QColor()},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::filesystem::remove(HelpFile("DirectoryForm.jpg"));
    std::filesystem::remove(HelpFile("background.jpg"));
    if (c.Specific) WritePicture(HelpFile("DirectoryForm.jpg"), specific);
    if (c.Common) WritePicture(HelpFile("background.jpg"), common);
    WriteHelp("DirectoryForm.rvf",
              Page("<p>text</p>", c.OwnColour ? " style=\"background-color: #00c800\"" : ""));

    TfRVHelp* help = Show(5);
    const QBrush brush = RootBackground(help);
    EXPECT_EQ(help->BackgroundFile(), *c.ExpectedFile ? HelpFile(c.ExpectedFile) : "");
    if (*c.ExpectedFile) {
      ASSERT_EQ(brush.style(), Qt::TexturePattern);
      EXPECT_TRUE(Near(brush.textureImage().pixelColor(0, 0), c.Expected));
    } else if (c.Expected.isValid()) {
      EXPECT_EQ(brush.style(), Qt::SolidPattern);
      EXPECT_EQ(brush.color(), c.Expected);
    } else {
      EXPECT_EQ(brush.style(), Qt::NoBrush);
    }
  }
}

TEST_F(HelpTest, BackgroundThatIsNoPictureIsSkipped) {
  WriteHelp("DirectoryForm.rvf", Page("<p>text</p>"));
  WriteFile(HelpFile("DirectoryForm.jpg"), "not a picture");
  WritePicture(HelpFile("background.jpg"), QColor(0, 0, 220));
  TfRVHelp* help = Show(5);
  EXPECT_EQ(help->BackgroundFile(), HelpFile("background.jpg"));
  EXPECT_FALSE(help->LoadBackground(HelpFile("missing.jpg")));
  EXPECT_EQ(help->BackgroundFile(), HelpFile("background.jpg")) << "a failed load changes nothing";
}

TEST_F(HelpTest, BackgroundScrollsWithTheText) {
  // Tiles of 64 pixels: red above, blue below. A fixed background would show
  // the same colour at one place of the viewport whatever the scrolling.
  QImage tile(64, 64, QImage::Format_RGB32);
  tile.fill(QColor(220, 0, 0));
  for (int y = 32; y < 64; ++y)
    for (int x = 0; x < 64; ++x) tile.setPixelColor(x, y, QColor(0, 0, 220));
  ASSERT_TRUE(tile.save(QString::fromStdString(HelpFile("DirectoryForm.jpg")), "JPG", 95));
  std::string lines;
  for (int i = 0; i < 200; ++i) lines += "<p>" + std::to_string(i) + "</p>";
  WriteHelp("DirectoryForm.rvf", Page(lines));

  TfRVHelp* help = Show(5);
  QScrollBar* bar = help->rv->verticalScrollBar();
  ASSERT_GT(bar->maximum(), 64);
  const QPoint probe(help->rv->viewport()->width() - 3, 8);
  auto colourAt = [&](int scroll) {
    bar->setValue(scroll);
    return help->rv->viewport()->grab().toImage().pixelColor(probe);
  };
  const int base = colourAt(0).red() > 128 ? 0 : 32;
  EXPECT_TRUE(Near(colourAt(base), QColor(220, 0, 0)));
  EXPECT_TRUE(Near(colourAt(base + 32), QColor(0, 0, 220)));
  EXPECT_TRUE(Near(colourAt(base + 64), QColor(220, 0, 0)));
}

TEST_F(HelpTest, FirstWindowOpensCentredInItsDefaultSize) {
  WriteHelp("DirectoryForm.rvf", Page("<p>x</p>"));
  TfRVHelp* help = Show(5);
  EXPECT_EQ(help->size(), QSize(782, 535));
  const QPoint screenCentre = help->screen()->availableGeometry().center();
  EXPECT_LE((help->geometry().center() - screenCentre).manhattanLength(), 4);
  EXPECT_FALSE(help->isModal());

  const Qt::WindowFlags flags = help->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
}

TEST_F(HelpTest, NextWindowTakesThePlaceAndSizeOfTheOneItReplaces) {
  WriteHelp("DirectoryForm.rvf", Page("<p>x</p>"));
  WriteHelp("License.rvf", Page("<p>y</p>"));
  QPointer<TfRVHelp> first = Show(5);
  first->move(100, 120);
  first->resize(600, 400);
  QTest::keyClick(first->rv, Qt::Key_Escape);
  ASSERT_FALSE(first->isVisible());
  ASSERT_EQ(TfRVHelp::Current(), first.data()) << "Esc only hides";

  TfRVHelp* second = Show(6);
  EXPECT_TRUE(first.isNull()) << "the hidden window is destroyed";
  EXPECT_TRUE(second->isVisible());
  EXPECT_EQ(second->pos(), QPoint(100, 120));
  EXPECT_EQ(second->size(), QSize(600, 400));
}

TEST_F(HelpTest, FailedWindowPassesOnItsDefaultBoundsNotTheOlderOnes) {
  WriteHelp("DirectoryForm.rvf", Page("<p>x</p>"));
  TfRVHelp* first = Show(5);
  const QPoint defaultPlace = first->pos();
  first->move(defaultPlace + QPoint(40, 30));
  first->resize(500, 300);
  ShowHelpFailure(0);

  TfRVHelp* next = Show(5);
  EXPECT_EQ(next->pos(), defaultPlace);
  EXPECT_EQ(next->size(), QSize(782, 535));
}

TEST_F(HelpTest, KeysThatCloseTheWindow) {
  WriteHelp("DirectoryForm.rvf", Page("<p>x</p>"));
  struct TCase {
    const char* Name;
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    bool Closes;
  };
  const TCase cases[] = {
      {"Esc", Qt::Key_Escape, Qt::NoModifier, true},
      {"Shift+Esc", Qt::Key_Escape, Qt::ShiftModifier, false},
      {"Ctrl+Esc", Qt::Key_Escape, Qt::ControlModifier, false},
      {"Ctrl+W", Qt::Key_W, Qt::ControlModifier, true},
      {"Ctrl+Shift+W", Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier, false},
      {"Ctrl+Alt+W", Qt::Key_W, Qt::ControlModifier | Qt::AltModifier, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TfRVHelp* help = Show(5);
    QTest::keyClick(help->rv, c.Key, c.Modifiers);
    EXPECT_EQ(help->isVisible(), !c.Closes);
    EXPECT_EQ(TfRVHelp::Current(), help) << "closing never destroys the window";
  }
}

TEST_F(HelpTest, LinksOpenTheirTargetThroughTheSiteLink) {
  struct TCase {
    const char* Target;
    const char* Expected;
  };
  const TCase cases[] = {
      {"https://zorvana.example.org/directory/",
       "https://zorvana.example.org/directory/?r1=product&r2=zrv-справка"},
      {"https://zorvana.example.org/find?q=1",
       "https://zorvana.example.org/find?q=1&r1=product&r2=zrv-справка"},
      {"https://zorvana.example.org/?r1=mail", "https://zorvana.example.org/?r1=mail"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Target);
    Opened.clear();
    WriteHelp("DirectoryForm.rvf", Page(std::string("<p>before <a class=\"jump\" href=\"") +
                                        c.Target + "\">LINK</a> after</p>"));
    TfRVHelp* help = Show(5);
    const QString textBefore = help->rv->toPlainText();

    QTextCursor link = help->rv->document()->find(QStringLiteral("LINK"));
    ASSERT_FALSE(link.isNull());
    link.setPosition(link.selectionStart() + 2);
    const QPoint at = help->rv->cursorRect(link).center();
    QTest::mouseClick(help->rv->viewport(), Qt::LeftButton, Qt::NoModifier, at);

    ASSERT_EQ(Opened.size(), 1u);
    EXPECT_EQ(Opened[0], c.Expected);
    EXPECT_EQ(help->rv->toPlainText(), textBefore) << "the viewer follows no link itself";
  }
}

TEST_F(HelpTest, NamedStylesComeFromTheDocumentsClasses) {
  WriteHelp("DirectoryForm.rvf",
            Page("<p class=\"normal\">N</p><p class=\"heading\">H</p><p class=\"subheading\">S</p>"
                 "<p><span class=\"keywords\">K</span></p><p><a class=\"jump\" href=\"x\">J</a></p>"
                 "<p class=\"centered\">C</p>"));
  TfRVHelp* help = Show(5);
  struct TCase {
    const char* Text;
    QColor Colour;  // invalid: the default
    bool Bold;
    bool Italic;
    bool Underline;
  };
  const TCase cases[] = {
      {"N", QColor(), false, false, false},         {"H", QColor(0, 0, 255), true, false, false},
      {"S", QColor(0, 0, 128), true, false, false}, {"K", QColor(128, 0, 0), false, true, false},
      {"J", QColor(0, 128, 0), false, false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    QTextCursor cursor = help->rv->document()->find(QString::fromUtf8(c.Text));
    ASSERT_FALSE(cursor.isNull());
    const QTextCharFormat format = cursor.charFormat();
    EXPECT_TRUE(format.fontFamilies().toStringList().contains(QStringLiteral("Arial")));
    if (c.Colour.isValid()) {
      EXPECT_EQ(format.foreground().color(), c.Colour);
    }
    EXPECT_EQ(format.fontWeight() >= QFont::Bold, c.Bold);
    EXPECT_EQ(format.fontItalic(), c.Italic);
    EXPECT_EQ(format.fontUnderline(), c.Underline);
  }
  QTextCursor centred = help->rv->document()->find(
      QStringLiteral("C"), 0, QTextDocument::FindCaseSensitively | QTextDocument::FindWholeWords);
  ASSERT_FALSE(centred.isNull());
  EXPECT_EQ(centred.block().blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
}

TEST_F(HelpTest, SelectedTextCanBeCopied) {
  WriteHelp("DirectoryForm.rvf", Page("<p>Копируемый текст</p>"));
  TfRVHelp* help = Show(5);
  help->rv->selectAll();
  help->rv->copy();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Копируемый текст"));
}

TEST_F(HelpTest, DestroyHelpRemovesTheKeptWindow) {
  WriteHelp("DirectoryForm.rvf", Page("<p>x</p>"));
  QPointer<TfRVHelp> help = Show(5);
  TfRVHelp::DestroyHelp();
  EXPECT_TRUE(help.isNull());
  EXPECT_EQ(TfRVHelp::Current(), nullptr);
  TfRVHelp::DestroyHelp();  // nothing left: no harm
}

// The documents that come with the program lie in Help/ beside it.
TEST_F(HelpTest, ShippedDocumentsOpen) {
  ComputeLocations(std::string(ZORVANA_BIN_DIR) + "/zorvana-directory");
  struct TCase {
    int Code;
    std::vector<const char*> Phrases;
  };
  const TCase cases[] = {
      {5,
       {"Копировать",
        "Ctrl+Enter",
        "Войти",
        "Ctrl+PgDn",
        "Выйти",
        "Ctrl+PgUp",
        "Создать папку",
        "Ctrl+Shift+N",
        "Изменить",
        "F4",
        "Удалить",
        "Вверх",
        "Ctrl+Up",
        "Вниз",
        "Ctrl+Down",
        "Экспорт в буфер обмена",
        "Импорт из буфера обмена",
        "Перенос слов",
        "Надписи к кнопкам",
        "Справка",
        "F1",
        "Лицензионное соглашение",
        "О программе",
        "Backspace",
        "Esc"}},
      {6, {"MIT", "Copyright (c) 2026 the authors of Zorvana Directory", "Tango Desktop Project"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Code);
    TfRVHelp* help = Show(c.Code);
    const QString text = help->rv->toPlainText();
    for (const char* phrase : c.Phrases)
      EXPECT_TRUE(text.contains(QString::fromUtf8(phrase))) << phrase;
    EXPECT_EQ(help->BackgroundFile(), Globals().HelpPath + "background.jpg");
  }
}

}  // namespace
