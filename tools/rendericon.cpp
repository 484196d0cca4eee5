// zorvana-directory-rendericon SVG FOLDER
// Lays the program's icon out as an icon theme folder for the desktop:
// FOLDER/hicolor/scalable/apps/NAME.svg and FOLDER/hicolor/NxN/apps/NAME.png
// for the sizes desktops ask for, each drawn from the vector picture.

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <iostream>

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

bool RenderPng(QSvgRenderer& renderer, int size, const QString& file) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter, QRectF(0, 0, size, size));
  painter.end();
  return QDir().mkpath(QFileInfo(file).path()) && image.save(file, "PNG");
}

bool CopySvg(const QString& source, const QString& file) {
  QDir().mkpath(QFileInfo(file).path());
  QFile::remove(file);
  return QFile::copy(source, file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "Использование: zorvana-directory-rendericon ЗНАЧОК.svg ПАПКА\n";
    return 2;
  }
  const QString source = QString::fromLocal8Bit(argv[1]);
  const QString root = QString::fromLocal8Bit(argv[2]) + QStringLiteral("/hicolor/");
  const QString name = QFileInfo(source).completeBaseName();
  QSvgRenderer renderer(source);
  if (!renderer.isValid()) {
    std::cerr << "Не удается прочитать значок: " << argv[1] << "\n";
    return 1;
  }
  bool ok = CopySvg(source, root + QStringLiteral("scalable/apps/") + name + QStringLiteral(".svg"));
  for (int size : kSizes) {
    ok = RenderPng(renderer, size, root + QStringLiteral("%1x%1/apps/").arg(size) + name + QStringLiteral(".png")) && ok;
  }
  if (!ok) std::cerr << "Не удается записать значки в " << argv[2] << "\n";
  return ok ? 0 : 1;
}
