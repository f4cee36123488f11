// Renders an SVG picture into a Windows icon file with the sizes Explorer and the taskbar use,
// each stored as PNG (which Windows reads inside .ico files since Vista):
//   svg_to_ico leafward.svg leafward.ico
// The build runs it to give leafward.exe its icon.
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>
#include <cstdio>
#include <vector>

namespace {

void appendU16(QByteArray& bytes, quint16 value) {
  const quint16 little = qToLittleEndian(value);
  bytes.append(reinterpret_cast<const char*>(&little), sizeof little);
}

void appendU32(QByteArray& bytes, quint32 value) {
  const quint32 little = qToLittleEndian(value);
  bytes.append(reinterpret_cast<const char*>(&little), sizeof little);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: svg_to_ico PICTURE.svg ICON.ico\n", stderr);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
  if (!renderer.isValid()) {
    std::fprintf(stderr, "svg_to_ico: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::vector<int> sizes = {16, 24, 32, 48, 64, 256};
  std::vector<QByteArray> images;
  for (const int size : sizes) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    images.push_back(png);
  }

  // ICONDIR, then one ICONDIRENTRY per image, then the images.
  QByteArray icon;
  appendU16(icon, 0);
  appendU16(icon, 1);  // an icon, not a cursor
  appendU16(icon, static_cast<quint16>(sizes.size()));
  quint32 offset = 6 + 16 * static_cast<quint32>(sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    icon.append(static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]));  // 0 means 256
    icon.append(static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]));
    icon.append('\0');  // no palette
    icon.append('\0');
    appendU16(icon, 1);   // planes
    appendU16(icon, 32);  // bits per pixel
    appendU32(icon, static_cast<quint32>(images[i].size()));
    appendU32(icon, offset);
    offset += static_cast<quint32>(images[i].size());
  }
  for (const QByteArray& image : images) icon.append(image);

  QFile out(QString::fromLocal8Bit(argv[2]));
  if (!out.open(QIODevice::WriteOnly) || out.write(icon) != icon.size()) {
    std::fprintf(stderr, "svg_to_ico: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
