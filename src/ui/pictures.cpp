#include "ui/pictures.h"

#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QSvgRenderer>
#include <array>

namespace leafward::ui {
namespace {

constexpr std::array<const char*, kToolbarPictureCount> kToolbarFiles = {
    ":/pictures/open.svg",   ":/pictures/link.svg", ":/pictures/check.svg",
    ":/pictures/update.svg", ":/pictures/help.svg", ":/pictures/whats-this.svg",
};

// The drawing at its design size and at twice that for dense screens. Rendered here rather
// than through an image plugin, so the pictures show wherever Qt SVG is linked.
QIcon render(const QString& file, int designSize) {
  QSvgRenderer drawing(file);
  QIcon icon;
  if (!drawing.isValid()) return icon;
  for (int scale : {1, 2}) {
    QPixmap pixmap(designSize * scale, designSize * scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    drawing.render(&painter);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

QIcon toolbarPicture(int position) {
  if (position < 1 || position > kToolbarPictureCount) return {};
  return render(QString::fromLatin1(kToolbarFiles[position - 1]), 16);
}

QIcon leafwardIcon() {
  return render(QStringLiteral(":/pictures/leafward.svg"), 32);
}

}  // namespace leafward::ui
