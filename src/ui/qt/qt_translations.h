#pragma once

#include <QLibraryInfo>
#include <QString>
#include <QTranslator>
#include <memory>

namespace leafward::ui {

// Installs Qt's own Simplified Chinese texts (qtbase_zh_CN.qm from `folder`), so that the
// standard dialogs, the file box and the buttons Qt labels itself, speak the window's
// language. The translator stays in use while the returned object lives; nothing is installed
// and nothing returned when the file is missing or unreadable.
std::unique_ptr<QTranslator> installQtChineseTexts(
    const QString& folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath));

}  // namespace leafward::ui
