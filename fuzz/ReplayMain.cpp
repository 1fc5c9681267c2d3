// Feeds every file of the folders (or the files) named on the command line to
// a fuzz harness once, as the normal test run does with the seed and
// regression corpora. Exit status 0 when every input ran through.

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv)
{
    std::vector<QString> files;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo info(QString::fromLocal8Bit(argv[i]));
        if (info.isDir()) {
            for (const QFileInfo& f : QDir(info.absoluteFilePath()).entryInfoList(QDir::Files, QDir::Name))
                files.push_back(f.absoluteFilePath());
        } else if (info.isFile()) {
            files.push_back(info.absoluteFilePath());
        } else {
            fprintf(stderr, "no such file or folder: %s\n", argv[i]);
            return 2;
        }
    }
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    for (const QString& name : files) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly)) {
            fprintf(stderr, "cannot read %s\n", qPrintable(name));
            return 2;
        }
        const QByteArray bytes = file.readAll();
        fprintf(stderr, "%s (%lld bytes)\n", qPrintable(name), static_cast<long long>(bytes.size()));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    }
    printf("%zu inputs ran\n", files.size());
    return 0;
}
