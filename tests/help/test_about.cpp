// The about window on real widgets: the texts it takes from Global.ini, the
// logo, its keys, and what its links open.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "uDesktop.h"
#include "uGlobals.h"
#include "uText.h"
#include "ufAboutKRT.h"

// Readable failure messages for texts of the window.
void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

class AboutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetGlobals();
    ComputeLocations(Dir.Path() + "zorvana-directory");
    FPreviousOpener = SetUrlOpener([this](const QUrl& url) {
      Opened.push_back(url.toString());
      return true;
    });
  }

  void TearDown() override {
    About.reset();
    SetUrlOpener(std::move(FPreviousOpener));
    ResetGlobals();
  }

  // Global.ini as a Windows machine writes it: Windows-1251, CR LF.
  void WriteGlobalIni(const std::vector<std::string>& lines) {
    std::string text = "[Main]\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    WriteFile(Globals().AppPath + "Global.ini", Utf8ToWin1251(text));
  }

  TfAboutKRT* Open() {
    About = std::make_unique<TfAboutKRT>();
    About->show();
    About->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(About.get()));
    return About.get();
  }

  TTempDir Dir;
  std::vector<QString> Opened;
  std::unique_ptr<TfAboutKRT> About;

 private:
  TUrlOpener FPreviousOpener;
};

TEST_F(AboutTest, TextsFollowGlobalIni) {
  struct TCase {
    const char* Name;
    std::optional<std::vector<std::string>> Ini;  // none: no Global.ini at all
    QString Caption;
    QString ProductLine;
    QString SiteHint;
    QString LogoHint;
  };
  const TCase cases[] = {
      {"full",
       std::vector<std::string>{"Title=ЗОРВАНА-ТЕК|Справочник|формулировок", "Type=ЗОРВАНА-ТЕК",
                                "URL=https://zorvana.example.org/spravochnik", "ID=KRT-Spr"},
       QStringLiteral("О программе. ЗОРВАНА-ТЕК Справочник формулировок"),
       QStringLiteral("\"ЗОРВАНА-ТЕК\", 2011 г."),
       QStringLiteral("Сайт программы: https://zorvana.example.org/spravochnik"),
       QStringLiteral("Перетий на сайт программы: https://zorvana.example.org/spravochnik")},
      {"title without bars, per-cent signs",
       std::vector<std::string>{"Title=Справочник 100%", "Type=Тип %s", "URL=http://site.example/?a=%d"},
       QStringLiteral("О программе. Справочник 100%"),
       QStringLiteral("\"Тип %s\", 2011 г."),
       QStringLiteral("Сайт программы: http://site.example/?a=%d"),
       QStringLiteral("Перетий на сайт программы: http://site.example/?a=%d")},
      {"no Global.ini",
       std::nullopt,
       QStringLiteral("О программе. "),
       QStringLiteral("\"ЗОРВАНА\", 2011 г."),
       QStringLiteral("Сайт программы: "),
       QStringLiteral("Перетий на сайт программы: ")},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ResetGlobals();
    ComputeLocations(Dir.Path() + "zorvana-directory");
    std::error_code ignored;
    std::filesystem::remove(Globals().AppPath + "Global.ini", ignored);
    if (c.Ini) WriteGlobalIni(*c.Ini);
    LoadSettings();

    TfAboutKRT* about = Open();
    EXPECT_EQ(about->windowTitle(), c.Caption);
    EXPECT_EQ(about->txtAppType->text(), c.ProductLine);
    EXPECT_EQ(about->lblSite->toolTip(), c.SiteHint);
    EXPECT_EQ(about->imgLogo->toolTip(), c.LogoHint);
    EXPECT_EQ(about->lblContactEmail->toolTip(),
              QStringLiteral("Связаться с разработчиками: ") + about->lblContactEmail->text());
    EXPECT_TRUE(about->lblSiteURL->toolTip().isEmpty());
    // The shown site address is fixed, whatever URL says.
    EXPECT_EQ(about->lblSiteURL->text(), QString::fromLatin1(TfAboutKRT::kSiteText));
    EXPECT_EQ(about->lblContactEmail->text(), QString::fromLatin1(TfAboutKRT::kSupportEmail));
  }
}

TEST_F(AboutTest, LayoutLogoAndFixedTexts) {
  TfAboutKRT* about = Open();
  EXPECT_EQ(about->size(), QSize(605, 279));
  EXPECT_EQ(about->minimumSize(), about->maximumSize()) << "the frame is not sizable";

  const QPixmap logo = about->imgLogo->pixmap();
  ASSERT_FALSE(logo.isNull()) << "the logo picture did not load";
  EXPECT_EQ(logo.size(), QSize(295, 112));
  EXPECT_EQ(about->imgLogo->geometry(), QRect(0, 0, 295, 112));
  EXPECT_EQ(about->imgLogo->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(about->lblSiteURL->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(about->lblContactEmail->cursor().shape(), Qt::PointingHandCursor);

  struct TPlace {
    const QLabel* Label;
    QPoint At;
  };
  const TPlace places[] = {
      {about->lblSite, {319, 8}},      {about->lblSiteURL, {398, 6}},  {about->lblContact, {319, 38}},
      {about->lblContactEmail, {398, 86}}, {about->lblCredit2, {16, 180}}, {about->lblCredit1, {16, 132}},
      {about->lblSite2, {319, 86}},   {about->txtAppType, {8, 225}},
  };
  for (const TPlace& p : places) {
    SCOPED_TRACE(p.Label->text().toStdString());
    EXPECT_EQ(p.Label->pos(), p.At);
  }
  EXPECT_EQ(about->lblSite->text(), QStringLiteral("Cайт:"));
  EXPECT_EQ(about->lblSite2->text(), QStringLiteral("Пишите:"));
  EXPECT_EQ(about->lblContact->text().split(QLatin1Char('\n')).size(), 2);
  EXPECT_TRUE(about->lblContact->text().startsWith(QStringLiteral("Мы ждем Ваших отзывов и")));
  EXPECT_TRUE(about->txtAppType->font().bold());
  EXPECT_TRUE(about->lblSiteURL->font().underline());
  EXPECT_TRUE(about->lblContactEmail->font().underline());
  EXPECT_FALSE(about->lblCredit1->text().isEmpty());
  EXPECT_FALSE(about->lblCredit2->text().isEmpty());
}

TEST_F(AboutTest, EscAndCtrlWCloseOtherKeysDoNot) {
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
      {"W", Qt::Key_W, Qt::NoModifier, false},
      {"Enter", Qt::Key_Return, Qt::NoModifier, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TfAboutKRT* about = Open();
    QTest::keyClick(about, c.Key, c.Modifiers);
    EXPECT_EQ(about->isVisible(), !c.Closes);
  }
}

TEST_F(AboutTest, ShownModallyItEndsOnEscAndIsDestroyed) {
  QPointer<TfAboutKRT> shown;
  bool wasModal = false;
  // Answered once the modal loop runs: a window hidden before its loop
  // starts would leave the loop waiting.
  QTimer::singleShot(50, qApp, [&shown, &wasModal] {
    shown = qobject_cast<TfAboutKRT*>(QApplication::activeModalWidget());
    if (!shown) return;
    wasModal = shown->isModal() && shown->isVisible();
    QTest::keyClick(shown.data(), Qt::Key_Escape);
  });
  const int result = TfSimpleForm::ExecuteModal<TfAboutKRT>();
  EXPECT_TRUE(wasModal);
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_TRUE(shown.isNull()) << "the window outlived its showing";
}

TEST_F(AboutTest, LogoAndSiteAddressOpenTheSameLinkAndTheMailLinkOpensMail) {
  struct TCase {
    const char* Name;
    std::string Url;
    std::string Id;
    QString Expected;
  };
  const TCase cases[] = {
      {"plain address", "https://zorvana.example.org/", "KRT-Spr",
       QStringLiteral("https://zorvana.example.org/?r1=product&r2=krt-spr")},
      {"address with a query", "https://zorvana.example.org/page?lang=ru", "KRT",
       QStringLiteral("https://zorvana.example.org/page?lang=ru&r1=product&r2=krt")},
      {"address already with r1=", "https://zorvana.example.org/?r1=partner&r2=X", "KRT",
       QStringLiteral("https://zorvana.example.org/?r1=partner&r2=X")},
      {"empty address", "", "KRT", QStringLiteral("?r1=product&r2=krt")},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Globals().URL = c.Url;
    Globals().ID = c.Id;
    TfAboutKRT* about = Open();
    Opened.clear();
    QTest::mouseClick(about->imgLogo, Qt::LeftButton);
    QTest::mouseClick(about->lblSiteURL, Qt::LeftButton);
    ASSERT_EQ(Opened.size(), 2u);
    EXPECT_EQ(Opened[0], c.Expected);
    EXPECT_EQ(Opened[1], c.Expected);
    EXPECT_TRUE(about->isVisible()) << "a link click does not close the window";
  }

  TfAboutKRT* about = Open();
  Opened.clear();
  QTest::mouseClick(about->lblContactEmail, Qt::LeftButton);
  ASSERT_EQ(Opened.size(), 1u);
  EXPECT_EQ(Opened[0], QStringLiteral("mailto:") + QString::fromLatin1(TfAboutKRT::kSupportEmail));
  EXPECT_EQ(Opened[0], QStringLiteral("mailto:") + about->lblContactEmail->text());

  // A click on a caption opens nothing.
  Opened.clear();
  QTest::mouseClick(about->lblSite, Qt::LeftButton);
  QTest::mouseClick(about->txtAppType, Qt::LeftButton);
  EXPECT_TRUE(Opened.empty());
}

}  // namespace
