#include "ufRVHelp.h"

#include <QBrush>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextFrame>
#include <QVBoxLayout>
#include <array>
#include <cstdlib>
#include <exception>
#include <source_location>

#include "uAssert.h"
#include "uDesktop.h"
#include "uGlobals.h"
#include "uMessages.h"
#include "uRVUtils.h"
#include "uThemeColors.h"

namespace {

// The place a failure report names.
constexpr const char* kSource = "Form/ufRVHelp";

[[noreturn]] void Fail(const std::string& message,
                       std::source_location where = std::source_location::current()) {
  throw EAssertionFailed(message, kSource, static_cast<int>(where.line()));
}

// Document files by help code, from 1.
constexpr std::array<const char*, 7> kDocuments = {
    "MainForm.rvf",      "PrintUMKForm.rvf", "UMKForm.rvf",        "About.rvf",
    "DirectoryForm.rvf", "License.rvf",      "UserParamsForm.rvf",
};

std::unique_ptr<TfRVHelp>& HelpWindow() {
  static std::unique_ptr<TfRVHelp> window;
  return window;
}

bool IsFile(const std::string& path) { return QFileInfo(QString::fromStdString(path)).isFile(); }

// The extension after the last dot of the file name is replaced; a name
// without one gets the extension appended.
std::string ChangeFileExt(const std::string& path, const std::string& extension) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return path + extension;
  return path.substr(0, dot) + extension;
}

// The window's bounds as left, top, right and bottom; all 0 when there was
// no window before.
struct TBounds {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool IsEmpty() const { return Left == 0 && Top == 0 && Right == 0 && Bottom == 0; }
};

}  // namespace

TfRVHelp::TfRVHelp(QWidget* owner) : TfSimpleForm(DialogOwner(owner)) {
  setWindowTitle(QStringLiteral("Справка"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);

  rv = new QTextBrowser(this);
  rv->setObjectName(QStringLiteral("rv"));
  rv->setFrameShape(QFrame::NoFrame);
  PrepareRichView(rv);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(rv);

  connect(rv, &QTextBrowser::anchorClicked, this, &TfRVHelp::rvJump);

  resize(782, 535);
  // Centred now rather than at the first showing, so that a window which
  // never got shown still has a sensible place to hand on to the next one.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

TfRVHelp::~TfRVHelp() {
  // Destroyed with its owner: the kept reference lets go without a second
  // destruction. (ShowHelp and DestroyHelp clear it before destroying.)
  if (HelpWindow().get() == this) (void)HelpWindow().release();
}

TfRVHelp* TfRVHelp::Current() { return HelpWindow().get(); }

void TfRVHelp::DestroyHelp() { HelpWindow().reset(); }

void TfRVHelp::ShowHelp(int code) {
  std::unique_ptr<TfRVHelp>& window = HelpWindow();
  TBounds bounds;
  if (window) {
    // pos() is the outer top-left corner and size() the client size: the
    // replacement has the same frame, so the pair restores the same bounds.
    bounds = {window->x(), window->y(), window->x() + window->width(),
              window->y() + window->height()};
    window.reset();
  }
  window = std::make_unique<TfRVHelp>();
  window->LoadHelpDocument(code);
  if (!bounds.IsEmpty()) {
    window->move(bounds.Left, bounds.Top);
    window->resize(std::abs(bounds.Right - bounds.Left), std::abs(bounds.Bottom - bounds.Top));
  }
}

void TfRVHelp::LoadHelpDocument(int code) {
  if (code < 1 || code > static_cast<int>(kDocuments.size())) {
    Fail("На найден код файла помощи: " + std::to_string(code));
  }
  const std::string& helpPath = Globals().HelpPath;
  const std::string path = helpPath + kDocuments[static_cast<size_t>(code - 1)];
  if (!IsFile(path)) {
    Fail("Не найден файл помощи: " + path + " (код: " + std::to_string(code) + ")");
  }

  // A document that cannot be read in full shows as far as it was read.
  QFile file(QString::fromStdString(path));
  QByteArray content;
  if (file.open(QIODevice::ReadOnly)) content = file.readAll();
  // Pictures of a document are named relative to the help folder.
  rv->setSearchPaths({QString::fromStdString(helpPath)});
  FPage = QString::fromUtf8(content);
  rv->setHtml(FPage);

  if (!LoadBackground(ChangeFileExt(path, ".jpg")) && !LoadBackground(helpPath + "background.jpg")) {
    ApplyBackground();  // the document's own background, in the colour scheme
  }
  show();
}

void TfRVHelp::ShowPage() {
  rv->setHtml(FPage);
  ApplyBackground();
}

bool TfRVHelp::LoadBackground(const std::string& path) {
  if (!IsFile(path)) return false;
  const QImage picture(QString::fromStdString(path));
  if (picture.isNull()) return false;
  FBackgroundPicture = picture;
  FBackgroundFile = path;
  ApplyBackground();
  return true;
}

void TfRVHelp::ApplyBackground() {
  // The window's palette: on a change of scheme it is new before the
  // viewer inside has taken it over.
  const QPalette& colours = palette();
  const bool dark = IsDarkPalette(colours);
  if (!FBackgroundPicture.isNull()) {
    const QImage tile = dark ? DarkTile(FBackgroundPicture, colours.color(QPalette::Base)) : FBackgroundPicture;
    FBackgroundRatio = devicePixelRatioF();
    // The root frame's background is painted as part of the document, so
    // the tiles scroll with the text; it also replaces the document's own
    // one.
    QTextFrame* root = rv->document()->rootFrame();
    QTextFrameFormat format = root->frameFormat();
    format.setBackground(QBrush(TileForScale(tile, FBackgroundRatio)));
    root->setFrameFormat(format);
  }
  // A light palette keeps the documents' own colours.
  if (dark) ApplyTheme();
}

void TfRVHelp::ApplyTheme() {
  const QBrush page = rv->document()->rootFrame()->frameFormat().background();
  std::vector<QColor> behind;
  if (page.style() == Qt::TexturePattern) {
    behind = ExtremeColors(page.textureImage());
  } else if (page.style() == Qt::SolidPattern) {
    behind = {page.color()};
  } else {
    behind = {palette().color(QPalette::Base)};
  }
  MakeTextReadable(rv->document(), behind, palette().color(QPalette::Text));
}

void TfRVHelp::changeEvent(QEvent* event) {
  TfSimpleForm::changeEvent(event);
  if (event->type() != QEvent::PaletteChange || FPage.isEmpty()) return;
  // Shown again from the document as loaded, so colours made for the old
  // scheme do not stay; the reader keeps the place.
  const int scrolled = rv->verticalScrollBar()->value();
  ShowPage();
  rv->verticalScrollBar()->setValue(scrolled);
}

bool TfRVHelp::event(QEvent* event) {
  const bool handled = TfSimpleForm::event(event);
  if ((event->type() == QEvent::ScreenChangeInternal || event->type() == QEvent::Show) &&
      !FBackgroundPicture.isNull() && !qFuzzyCompare(FBackgroundRatio, devicePixelRatioF())) {
    ApplyBackground();
  }
  return handled;
}

bool TfRVHelp::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (TfSimpleForm::FormKeyDown(key, modifiers)) return true;
  if (IsPlainEscape(key, modifiers)) {
    close();  // hides; the window object stays until the next ShowHelp
    return true;
  }
  return false;
}

void TfRVHelp::rvJump(const QUrl& link) {
  // A slot: whatever goes wrong is shown here and goes no further.
  try {
    const std::string target = link.toString().toStdString();
    OpenAddress(QString::fromStdString(BuildSiteLink(target)));
  } catch (const std::exception& error) {
    ReportUnhandledError(&error);
  } catch (...) {
    ReportUnhandledError(nullptr);
  }
}
