#pragma once

#include <QString>
#include <QTemporaryDir>
#include <string>

// A temporary folder for one test, removed when the object goes out of scope.
class TestDir {
public:
    TestDir() = default;
    QString path() const { return m_dir.path(); }
    // Full path of a file inside the folder, as UTF-8.
    std::string file(const QString& name) const;
    // Writes raw bytes to a file inside the folder (creating sub-folders) and returns its path.
    std::string write(const QString& name, const QByteArray& bytes) const;
    static QByteArray read(const std::string& path);

private:
    QTemporaryDir m_dir;
};

// Limits the size of files this process writes while the object lives, so a
// test can make a write fail half-way (works for root too).
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long m_oldSoft = 0;
    void (*m_oldHandler)(int) = nullptr;
};
