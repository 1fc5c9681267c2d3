#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

std::string TestDir::file(const QString& name) const
{
    return (m_dir.path() + "/" + name).toStdString();
}

std::string TestDir::write(const QString& name, const QByteArray& bytes) const
{
    const QString full = m_dir.path() + "/" + name;
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return full.toStdString();
}

QByteArray TestDir::read(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}
