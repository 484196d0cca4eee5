#include "udmRes.h"

#include <stdexcept>

TdmRes* dmRes = nullptr;

// Outside any namespace: the resource initialiser has external linkage.
static void EnsureIconsLoaded() {
  // The images are compiled into the library; make sure its resources are
  // registered even when the linker kept no other reference to them.
  static const bool loaded = [] {
    Q_INIT_RESOURCE(icons);
    return true;
  }();
  (void)loaded;
}

TImageList::TImageList(int size, int count) : FSize(size) {
  EnsureIconsLoaded();
  FImages.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    FImages.emplace_back(QStringLiteral(":/icons/%1/%2.png").arg(size).arg(i));
  }
}

const QPixmap& TImageList::Image(int index) const {
  if (index < 0 || index >= Count()) throw std::out_of_range("TImageList::Image");
  return FImages[static_cast<size_t>(index)];
}

TdmRes::TdmRes() : il32(32, kImageCount), il24(24, kImageCount) {}

QIcon TdmRes::Icon(int index) const {
  QIcon icon;
  icon.addPixmap(il24.Image(index));
  icon.addPixmap(il32.Image(index));
  return icon;
}
