#include "config/ConfigLocation.h"

#include "config/ModulePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

CConfigLocation::CConfigLocation(std::string moduleFolder, std::string userFolder, WritableTest writable)
    : m_moduleFolder(std::move(moduleFolder)), m_userFolder(std::move(userFolder)),
      m_writable(writable ? std::move(writable) : WritableTest(&CConfigLocation::FolderIsWritable))
{
}

CConfigLocation CConfigLocation::ForModuleFolder(const std::string& moduleFolder)
{
    return CConfigLocation(moduleFolder, DefaultUserFolder());
}

std::string CConfigLocation::DefaultUserFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + "/.config";
    return (base + "/tarnwick").toStdString();
}

bool CConfigLocation::FolderIsWritable(const std::string& folder)
{
    return !folder.empty() && access(folder.c_str(), W_OK) == 0;
}

bool CConfigLocation::ModuleFolderWritable() const
{
    return m_writable(m_moduleFolder);
}

std::string CConfigLocation::ReadPath(const std::string& name) const
{
    if (!ModuleFolderWritable() && !m_userFolder.empty()) {
        const std::string user = modulepaths::InModuleFolder(m_userFolder, name);
        if (QFileInfo(QString::fromStdString(user)).isFile())
            return user;
    }
    return modulepaths::InModuleFolder(m_moduleFolder, name);
}

std::string CConfigLocation::SavePath(const std::string& name) const
{
    if (ModuleFolderWritable() || m_userFolder.empty())
        return modulepaths::InModuleFolder(m_moduleFolder, name);
    // A folder that cannot be made shows as the save's own failure.
    QDir().mkpath(QString::fromStdString(m_userFolder));
    return modulepaths::InModuleFolder(m_userFolder, name);
}
