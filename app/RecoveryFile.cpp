#include "app/RecoveryFile.h"

#include "engine/Plan.h"
#include "engine/PlanXmlWriter.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// The path goes into an XML comment, where "--" is not allowed; base64 has no '-'.
constexpr char kPathMark[] = "<!-- tarnwick-original-path:";
constexpr char kPathEnd[] = " -->";

}  // namespace

CRecoveryFile::CRecoveryFile(QString folder) : m_folder(std::move(folder))
{
    if (m_folder.isEmpty())
        m_folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

CRecoveryFile::~CRecoveryFile() = default;

QString CRecoveryFile::PlanPath() const
{
    return QDir(m_folder).filePath(QStringLiteral("recovery.pln"));
}

bool CRecoveryFile::Acquire()
{
    if (m_lock)
        return true;
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder))
        return false;
    auto lock = std::make_unique<QLockFile>(QDir(m_folder).filePath(QStringLiteral("recovery.lock")));
    // Only a dead owner makes the lock stale, never its age: a program may run for days.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    m_lock = std::move(lock);
    return true;
}

std::optional<CRecoveryFile::Found> CRecoveryFile::Find() const
{
    if (!m_lock)
        return std::nullopt;
    QFile file(PlanPath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The comment is the last thing in the file; the tail is enough.
    const qint64 size = file.size();
    if (size > 64 * 1024)
        file.seek(size - 64 * 1024);
    return Found{PlanPath(), OriginalPathIn(file.readAll())};
}

QString CRecoveryFile::OriginalPathIn(const QByteArray& bytes)
{
    const qsizetype at = bytes.lastIndexOf(kPathMark);
    if (at < 0)
        return QString();
    const qsizetype from = at + qsizetype(sizeof kPathMark - 1);
    const qsizetype end = bytes.indexOf(kPathEnd, from);
    if (end < 0)
        return QString();
    return QString::fromUtf8(QByteArray::fromBase64(bytes.mid(from, end - from)));
}

bool CRecoveryFile::Write(const std::string& planText, const QString& originalPath, std::string* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why.toStdString();
        return false;
    };
    if (!m_lock)
        return fail(QStringLiteral("the recovery folder belongs to another running program"));
    QSaveFile file(PlanPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    QByteArray tail;
    if (!originalPath.isEmpty())
        tail = QByteArray("\r\n") + kPathMark + originalPath.toUtf8().toBase64() + kPathEnd;
    if (file.write(planText.data(), qint64(planText.size())) != qint64(planText.size()) ||
        file.write(tail) != tail.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return fail(why);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

void CRecoveryFile::Discard()
{
    if (m_lock)
        QFile::remove(PlanPath());
}

void CRecoveryFile::SetAside()
{
    if (!m_lock)
        return;
    const QString aside = QDir(m_folder).filePath(QStringLiteral("recovery-unreadable.pln"));
    QFile::remove(aside);
    if (!QFile::rename(PlanPath(), aside))
        QFile::remove(PlanPath());
}

bool CRecoveryFile::MatchesOriginal(const Found& found) const
{
    if (found.originalPath.isEmpty())
        return false;
    QFile copy(found.planPath), original(found.originalPath);
    if (!copy.open(QIODevice::ReadOnly) || !original.open(QIODevice::ReadOnly))
        return false;
    const qsizetype size = qsizetype(original.size());
    // The copy is the plan's bytes followed by the line with the path comment.
    if (copy.size() <= size)
        return false;
    const QByteArray head = copy.read(size);
    if (copy.read(2) != "\r\n" || !copy.read(sizeof kPathMark - 1).startsWith(kPathMark))
        return false;
    return head == original.readAll();
}

std::string PlanToText(const CPlan& plan)
{
    std::string text;
    PlanXmlWriter out([&text](const char* bytes, size_t n) {
        text.append(bytes, n);
        return true;
    });
    plan.Save(out);
    out.Flush();
    return text;
}
