#pragma once

#include <QObject>
#include <QString>

class CTarnwickApp;

// The document of the single-document window. It holds no plan (the
// application does): its title is the current plan's map name, empty before
// any plan, and the frame caption is "Tarnwick - <title>". It also keeps the
// path of the last document save, so Ctrl+S saves there again.
class CTarnwickDoc : public QObject {
    Q_OBJECT
public:
    explicit CTarnwickDoc(CTarnwickApp& app) : m_app(app) {}

    QString GetTitle() const { return m_title; }
    void SetTitle(const QString& title);
    QString GetPathName() const { return m_path; }
    void SetPathName(const QString& path) { m_path = path; }

    // The framework's save: false without a plan; otherwise SavePlan(path)
    // and true whatever it returned (SavePlan reports its own failure).
    bool OnSaveDocument(const QString& path);

    // The plan differs from its file (or, for a new plan, has unsaved work).
    // Edits set it; opening and saving clear it.
    bool IsModified() const { return m_modified; }
    void SetModifiedFlag(bool modified = true);

    // The file the current plan was opened from or last saved to; empty for a
    // new plan. Not the framework path above, which only Ctrl+S keeps.
    QString GetPlanFile() const { return m_planFile; }
    void SetPlanFile(const QString& path);
    // A save of the current plan to `path` succeeded.
    void NotifySaved(const QString& path);

signals:
    void planFileChanged(QString path);
    void saved(QString path);
    void titleChanged(QString title);
    void modifiedChanged(bool modified);

private:
    CTarnwickApp& m_app;
    QString m_title;
    QString m_path;
    bool m_modified = false;
    QString m_planFile;
};
