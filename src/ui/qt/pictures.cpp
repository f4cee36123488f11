#include "ui/qt/pictures.h"

#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QSvgRenderer>

#include "app/layout.h"

namespace leafward::ui {
namespace {

// The drawing at its design size and at twice that for dense screens. Rendered here rather
// than through an image plugin, so the pictures show wherever Qt SVG is linked.
QIcon render(const QString& name, int designSize) {
  QSvgRenderer drawing(QStringLiteral(":/pictures/%1.svg").arg(name));
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
  if (position < 1 || position > static_cast<int>(app::kPictures.size())) return {};
  const std::string_view name = app::kPictures[position - 1];
  return render(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())),
                app::kPictureSize);
}

QIcon leafwardIcon() {
  return render(QStringLiteral("leafward"), 32);
}

}  // namespace leafward::ui
