// Qt's own dialogs speak the program's language.
#include "ui/StandardDialogLanguage.h"

#include <QApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(StandardDialogLanguage, ButtonsAndFileDialogsAreChinese)
{
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_zh_CN.qm"))
        GTEST_SKIP() << "qt6-translations-l10n is not installed";
    ASSERT_TRUE(InstallChineseStandardDialogs(*qApp));
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_TRUE(box.button(QMessageBox::Cancel)->text().contains(QStringLiteral("取消")))
        << box.button(QMessageBox::Cancel)->text().toStdString();
    EXPECT_TRUE(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("是")))
        << box.button(QMessageBox::Yes)->text().toStdString();
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("File &name:"));
}
