#include "ui/qt/qt_translations.h"

#include <QCoreApplication>

namespace leafward::ui {

std::unique_ptr<QTranslator> installQtChineseTexts(const QString& folder) {
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), folder) ||
      !QCoreApplication::installTranslator(translator.get())) {
    return nullptr;
  }
  return translator;
}

}  // namespace leafward::ui
