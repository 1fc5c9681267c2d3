#pragma once

// What the main frame's files share: the stored settings and the plan file chooser's filter.
#include <QSettings>
#include <QString>

namespace mainframe {

inline const QString kPlanFilter = QStringLiteral("(*.pln)|*.pln|All Files (*.*)|*.*||");
constexpr int kRecentFiles = 4;

// Recent files and the dock layout, under the program's registry names.
inline QSettings Settings()
{
    return QSettings(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Tarnwick"));
}

}  // namespace mainframe
