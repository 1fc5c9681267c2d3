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

#include <csignal>
#include <sys/resource.h>

FileSizeLimit::FileSizeLimit(unsigned long bytes)
{
    rlimit rl{};
    getrlimit(RLIMIT_FSIZE, &rl);
    m_oldSoft = rl.rlim_cur;
    rl.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &rl);
    // Without this the process is killed instead of the write failing.
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit rl{};
    getrlimit(RLIMIT_FSIZE, &rl);
    rl.rlim_cur = m_oldSoft;
    setrlimit(RLIMIT_FSIZE, &rl);
    std::signal(SIGXFSZ, m_oldHandler);
}
