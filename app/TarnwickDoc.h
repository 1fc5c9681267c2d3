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

signals:
    void titleChanged(QString title);

private:
    CTarnwickApp& m_app;
    QString m_title;
    QString m_path;
};
