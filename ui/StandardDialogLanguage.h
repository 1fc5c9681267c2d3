#pragma once

class QCoreApplication;

// The program speaks Chinese; Qt's own standard dialogs (file choosers,
// Yes/No/Cancel, the overwrite question) must too, whatever the desktop's
// locale. Loads Qt's translations for zh_CN from Qt's translation folder and
// installs them on `app`. False when they are not installed (the Debian
// package qt6-translations-l10n has them); the dialogs then stay in English.
bool InstallChineseStandardDialogs(QCoreApplication& app);
