#include "ufAboutKRT.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>

#include "uDesktop.h"
#include "uGlobals.h"
#include "uThemeColors.h"

const char* const TfAboutKRT::kSiteText = "zorvana.example.org";
const char* const TfAboutKRT::kSupportEmail = "support@zorvana.example.org";

// Outside any namespace: the resource initialiser has external linkage.
static void EnsureLogoLoaded() {
  static const bool loaded = [] {
    Q_INIT_RESOURCE(about);
    return true;
  }();
  (void)loaded;
}

namespace {

// A label that acts on a click, like a link.
class TClickLabel : public QLabel {
 public:
  TClickLabel(QWidget* parent, std::function<void()> onClick) : QLabel(parent), FOnClick(std::move(onClick)) {
    setCursor(Qt::PointingHandCursor);
  }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) FOnClick();
    QLabel::mouseReleaseEvent(event);
  }

 private:
  std::function<void()> FOnClick;
};

QFont Tahoma(int pixels, bool bold = false) {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QLabel* PlaceLabel(QLabel* label, const QString& text, int left, int top) {
  label->setText(text);
  label->move(left, top);
  label->adjustSize();
  return label;
}

void MakeLink(QLabel* label) {
  QFont font = Tahoma(17);
  font.setUnderline(true);
  label->setFont(font);
}

}  // namespace

TfAboutKRT::TfAboutKRT(QWidget* parent) : TfSimpleForm(DialogOwner(parent)) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFont(Tahoma(16));
  setFixedSize(605, 279);

  auto* pnl = new QFrame(this);
  pnl->setObjectName(QStringLiteral("pnl"));
  pnl->setFrameShape(QFrame::StyledPanel);
  pnl->setGeometry(8, 8, width() - 16, height() - 16);

  EnsureLogoLoaded();
  imgLogo = new TClickLabel(pnl, [this] { imgLogoClick(); });
  imgLogo->setPixmap(QPixmap(QStringLiteral(":/about/logo.png")));
  imgLogo->setGeometry(0, 0, 295, 112);
  lblSite = PlaceLabel(new QLabel(pnl), QStringLiteral("Cайт:"), 319, 8);
  lblSiteURL = new TClickLabel(pnl, [this] { lblSiteURLClick(); });
  MakeLink(lblSiteURL);
  PlaceLabel(lblSiteURL, QString::fromLatin1(kSiteText), 398, 6);
  lblContact = PlaceLabel(new QLabel(pnl), QStringLiteral("Мы ждем Ваших отзывов и \nпредложений."), 319, 38);
  lblContactEmail = new TClickLabel(pnl, [this] { lblContactEmailClick(); });
  MakeLink(lblContactEmail);
  lblContactEmail->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  PlaceLabel(lblContactEmail, QString::fromLatin1(kSupportEmail), 398, 86);

  lblCredit2 = new QLabel(pnl);
  lblCredit2->setGeometry(16, 180, 553, 44);
  lblCredit2->setText(QStringLiteral("Значки: Tango Desktop Project (общественное достояние)."));
  lblCredit1 = new QLabel(pnl);
  lblCredit1->setGeometry(16, 132, 553, 54);
  lblCredit1->setText(QStringLiteral(
      "Разработка: команда «Зорвана». Программа распространяется по лицензии MIT; её текст — в разделе "
      "«Лицензионное соглашение» справки."));
  for (QLabel* credit : {lblCredit1, lblCredit2}) {
    credit->setFont(Tahoma(15));
    credit->setWordWrap(true);
    credit->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  }
  lblSite2 = PlaceLabel(new QLabel(pnl), QStringLiteral("Пишите:"), 319, 86);
  txtAppType = new QLabel(pnl);
  txtAppType->setGeometry(8, 225, 571, 23);
  txtAppType->setAlignment(Qt::AlignCenter);
  txtAppType->setFont(Tahoma(16, true));
  ApplyLinkColours();
  FormCreate();
}

void TfAboutKRT::ApplyLinkColours() {
  // Blue on a light scheme; a blue readable on the window on a dark one.
  const QString style = TextColorStyleSheet(ThemeColors(palette()).Link);
  for (QLabel* link : {lblSiteURL, lblContactEmail}) link->setStyleSheet(style);
}

void TfAboutKRT::changeEvent(QEvent* event) {
  TfSimpleForm::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) ApplyLinkColours();
}

void TfAboutKRT::FormCreate() {
  const TGlobals& globals = Globals();
  setWindowTitle(QStringLiteral("О программе. ") + QString::fromStdString(globals.Title));
  txtAppType->setText(QStringLiteral("\"%1\", 2011 г.").arg(QString::fromStdString(globals.Type)));
  lblSite->setToolTip(QStringLiteral("Сайт программы: ") + QString::fromStdString(globals.URL));
  imgLogo->setToolTip(QStringLiteral("Перетий на сайт программы: ") + QString::fromStdString(globals.URL));
  lblContactEmail->setToolTip(QStringLiteral("Связаться с разработчиками: ") + lblContactEmail->text());
}

void TfAboutKRT::lblSiteURLClick() { OpenAddress(QString::fromStdString(BuildSiteLink(Globals().URL))); }

void TfAboutKRT::imgLogoClick() { lblSiteURLClick(); }

void TfAboutKRT::lblContactEmailClick() { OpenAddress(QStringLiteral("mailto:") + lblContactEmail->text()); }

bool TfAboutKRT::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (TfSimpleForm::FormKeyDown(key, modifiers)) return true;
  if (IsPlainEscape(key, modifiers)) {
    close();
    return true;
  }
  return false;
}
