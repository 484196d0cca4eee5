#include "udmRes.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
#include <cmath>
#include <stdexcept>

TdmRes* dmRes = nullptr;

// Outside any namespace: the resource initialiser has external linkage.
static void EnsureIconsLoaded() {
  // The pictures are compiled into the library; make sure its resources are
  // registered even when the linker kept no other reference to them.
  static const bool loaded = [] {
    Q_INIT_RESOURCE(icons);
    return true;
  }();
  (void)loaded;
}

namespace {

QPixmap Draw(QSvgRenderer& renderer, QSize pixels) {
  QPixmap pixmap(pixels);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(QPointF(0, 0), pixels));
  return pixmap;
}

// An icon drawn from its vector picture at exactly the pixel size asked
// for; a disabled or selected look is made from that drawing by the style,
// as for any other icon.
class TSvgIconEngine : public QIconEngine {
 public:
  TSvgIconEngine(std::shared_ptr<QSvgRenderer> renderer, int index)
      : FRenderer(std::move(renderer)), FIndex(index) {}

  QIconEngine* clone() const override { return new TSvgIconEngine(FRenderer, FIndex); }
  QString key() const override { return QStringLiteral("zorvana-svg"); }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    if (size.isEmpty()) return QPixmap();
    const QString cacheKey = QStringLiteral("zorvana-icon-%1-%2x%3-%4-%5")
                                 .arg(FIndex)
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(int(mode))
                                 .arg(int(state));
    QPixmap pixmap;
    if (QPixmapCache::find(cacheKey, &pixmap)) return pixmap;
    pixmap = Draw(*FRenderer, size);
    if (mode != QIcon::Normal) pixmap = Styled(mode, pixmap);
    QPixmapCache::insert(cacheKey, pixmap);
    return pixmap;
  }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    // The painter's device decides the pixels: a 24-point rectangle on a
    // screen of scale 2 gets a 48-pixel drawing.
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QSize pixels(qRound(rect.width() * ratio), qRound(rect.height() * ratio));
    painter->drawPixmap(rect, pixmap(pixels, mode, state));
  }

 private:
  static QPixmap Styled(QIcon::Mode mode, const QPixmap& pixmap) {
    const QStyle* style = QApplication::style();
    if (!style) return pixmap;
    QStyleOption option;
    option.palette = QGuiApplication::palette();
    const QPixmap styled = style->generatedIconPixmap(mode, pixmap, &option);
    return styled.isNull() ? pixmap : styled;
  }

  std::shared_ptr<QSvgRenderer> FRenderer;
  int FIndex;
};

}  // namespace

// ---- TIconPictures ----------------------------------------------------------

TIconPictures::TIconPictures(int count) : FRenderers(static_cast<size_t>(count)) { EnsureIconsLoaded(); }

TIconPictures::~TIconPictures() = default;

QString TIconPictures::File(int index) { return QStringLiteral(":/icons/%1.svg").arg(index); }

void TIconPictures::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw std::out_of_range("TIconPictures: no icon " + std::to_string(index));
}

std::shared_ptr<QSvgRenderer> TIconPictures::Renderer(int index) const {
  CheckIndex(index);
  std::shared_ptr<QSvgRenderer>& renderer = FRenderers[static_cast<size_t>(index)];
  if (!renderer) {
    renderer = std::make_shared<QSvgRenderer>(File(index));
    if (!renderer->isValid()) {
      renderer.reset();
      throw std::runtime_error("TIconPictures: the picture " + File(index).toStdString() + " does not read");
    }
  }
  return renderer;
}

QPixmap TIconPictures::Render(int index, int pixelSize) const {
  return Draw(*Renderer(index), QSize(pixelSize, pixelSize));
}

// ---- TImageList -------------------------------------------------------------

TImageList::TImageList(std::shared_ptr<const TIconPictures> pictures, int size)
    : FPictures(std::move(pictures)), FSize(size) {}

QPixmap TImageList::Image(int index) const {
  const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
  QPixmap image = FPictures->Render(index, static_cast<int>(std::lround(FSize * ratio)));
  image.setDevicePixelRatio(ratio);
  return image;
}

// ---- TdmRes -----------------------------------------------------------------

TdmRes::TdmRes()
    : FPictures(std::make_shared<TIconPictures>(kImageCount)), il32(FPictures, 32), il24(FPictures, 24) {}

QIcon TdmRes::Icon(int index) const { return QIcon(new TSvgIconEngine(FPictures->Renderer(index), index)); }
