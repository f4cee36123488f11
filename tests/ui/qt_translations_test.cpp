#include "ui/qt_translations.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTemporaryDir>

namespace leafward::ui {
namespace {

// The test program's one QApplication is set up by frm_main_test.cpp.

QString fileBoxLabel() {
  return QCoreApplication::translate("QFileDialog", "Look in:");
}
QString cancelButton() {
  return QCoreApplication::translate("QPlatformTheme", "Cancel");
}

TEST(QtTranslationsTest, QtsOwnDialogTextsComeOutInChinese) {
  {
    const auto translator = installQtChineseTexts();
    ASSERT_TRUE(translator) << "qtbase_zh_CN.qm not found (package qt6-translations-l10n)";
    EXPECT_EQ(fileBoxLabel(), QStringLiteral("查找范围："));
    EXPECT_EQ(cancelButton(), QStringLiteral("取消"));
  }
  EXPECT_EQ(fileBoxLabel(), "Look in:");  // removed with the translator
}

TEST(QtTranslationsTest, AMissingFileInstallsNothing) {
  const QTemporaryDir empty;
  EXPECT_FALSE(installQtChineseTexts(empty.path()));
  EXPECT_EQ(cancelButton(), "Cancel");
}

}  // namespace
}  // namespace leafward::ui
