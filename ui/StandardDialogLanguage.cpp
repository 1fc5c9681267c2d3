#include "ui/StandardDialogLanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallChineseStandardDialogs(QCoreApplication& app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(&app);
    // qtbase covers the widgets' own texts: buttons, file dialogs, colour dialog.
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
        delete translator;
        return false;
    }
    app.installTranslator(translator);
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    return true;
}
