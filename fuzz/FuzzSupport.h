#pragma once

// Set-up shared by the fuzz harnesses and their replay driver: a headless
// application object (some readers create hidden widgets or ask for the
// screen), a scratch folder, and a reporter that swallows message boxes.

#include "config/MessageReporter.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzsupport {

inline void QuietMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

inline void EnsureApplication()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tarnwick-fuzz";
    static char* argv[] = {name, nullptr};
    // Never destroyed: harness state may hold widgets until the process ends.
    new QApplication(argc, argv);
    qInstallMessageHandler(QuietMessages);
}

// One scratch folder per process; inputs are written into it because the
// readers take paths.
inline const std::string& ScratchDir()
{
    static QTemporaryDir* dir = new QTemporaryDir();
    static const std::string path = dir->path().toStdString();
    return path;
}

inline std::string ScratchFile(const QString& name)
{
    return ScratchDir() + "/" + name.toStdString();
}

inline std::string WriteScratch(const QString& name, const uint8_t* data, size_t size)
{
    const std::string path = ScratchFile(name);
    QFile file(QString::fromStdString(path));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    return path;
}

// A small bitmap file for readers that need a loadable image.
inline std::string WriteSmallBitmap(const QString& name, int width = 8, int height = 6)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    const std::string path = ScratchFile(name);
    const QString qpath = QString::fromStdString(path);
    QDir().mkpath(QFileInfo(qpath).absolutePath());
    image.save(qpath, "BMP");
    return path;
}

class SilentReporter : public IMessageReporter {
public:
    MessageAnswer Report(const ReportedMessage&) override { return MessageAnswer::Ok; }
};

// The harness broke an invariant of its own: make the fuzzer keep the input.
[[noreturn]] inline void Broken(const char* what)
{
    fprintf(stderr, "invariant broken: %s\n", what);
    abort();
}

}  // namespace fuzzsupport
