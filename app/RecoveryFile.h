#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <string>

class CPlan;
class QLockFile;

// A copy of unsaved plan work in the user's data folder, so an abnormal end
// of the program loses at most the edits of the last minute.
//
// The copy is an ordinary plan file ("recovery.pln") written as safely as a
// save (temporary file renamed over the old copy), with the path of the
// plan's own file, if it has one, in a comment after the root element. A
// normal end of the program removes it; finding it at start-up means the
// previous run ended abnormally.
//
// Two programs running at once must not take each other's copy: the first
// one holds a lock file in the folder and only the holder reads, writes or
// removes the copy. A lock left by a process that no longer runs is taken over.
class CRecoveryFile {
public:
    // `folder` empty: the application's data folder (QStandardPaths::AppDataLocation).
    explicit CRecoveryFile(QString folder = QString());
    ~CRecoveryFile();
    CRecoveryFile(const CRecoveryFile&) = delete;
    CRecoveryFile& operator=(const CRecoveryFile&) = delete;

    // Takes the folder's lock (creating the folder). False when another
    // running program holds it or the folder cannot be made; every other
    // operation then does nothing.
    bool Acquire();
    bool IsActive() const { return m_lock != nullptr; }

    QString Folder() const { return m_folder; }
    QString PlanPath() const;

    // What a previous run left behind.
    struct Found {
        QString planPath;      // the copy, loadable as a plan file
        QString originalPath;  // the plan's own file then, empty when it had none
    };
    std::optional<Found> Find() const;

    // Replaces the copy with `planText` (a whole plan file). False with
    // `error` when it cannot be written; the previous copy then stays.
    bool Write(const std::string& planText, const QString& originalPath, std::string* error = nullptr);
    // Removes the copy (normal end, or the operator declined it).
    void Discard();
    // Renames a copy that cannot be opened to "recovery-unreadable.pln", so
    // it is kept but not offered again.
    void SetAside();
    // The copy holds exactly what its original file holds (saved, then the
    // program ended abnormally without further changes): nothing to recover.
    bool MatchesOriginal(const Found& found) const;

    // The original path recorded in a copy's bytes; empty when none.
    static QString OriginalPathIn(const QByteArray& bytes);

private:
    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
};

// The plan file's bytes, exactly as SavePlan would write them. The layers'
// gates are held shared only while their units are written into memory.
std::string PlanToText(const CPlan& plan);
