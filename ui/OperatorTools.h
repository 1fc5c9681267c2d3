#pragma once

#include "engine/EventSink.h"

#include <QObject>
#include <QString>

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CMainFrame;
class CRecoveryFile;
class CTarnwickApp;
class QAction;
class QTimer;

// The seconds after the plan start that the operator typed into "转到时间...":
// a relative time "H:MM:SS" (hours may exceed 23) or a number of seconds, or a
// date-time "YYYY-MM-DD HH:MM:SS" (local time; the seconds may be left out).
// Full-width colons and surrounding blanks are accepted. nullopt when the
// text is none of these; the range is the caller's to check.
std::optional<long long> ParseGoToTime(const QString& text, std::time_t planStart);

// Event log export as CSV (RFC 4180): UTF-8 with a byte order mark, so that
// spreadsheet programs show the Chinese text; CR LF line ends; a field with a
// comma, quote, CR or LF is quoted and its quotes doubled.
struct ExportedEvent {
    QString timeText;
    QString message;
};
QString CsvField(const QString& field);
QByteArray BuildEventCsv(const std::vector<ExportedEvent>& events, const std::vector<HitRecord>& hits);

// The operator's conveniences around the main frame: crash recovery, precise
// seeking ("转到时间...", one-second steps, Space and +/- anywhere in the
// window), and the export of the event log. Owned by the frame.
class COperatorTools : public QObject {
    Q_OBJECT
public:
    static constexpr int kRecoveryIntervalMs = 60 * 1000;

    COperatorTools(CTarnwickApp& app, CMainFrame& frame);
    ~COperatorTools() override;

    // What the go-to command asks; defaults to an input dialog. Returns
    // nullopt when cancelled. Tests replace it.
    std::function<std::optional<QString>(const QString& current)> askTime;

    QAction* GoToTimeAction() const { return m_goTo; }
    QAction* StepForwardAction() const { return m_stepForward; }
    QAction* StepBackAction() const { return m_stepBack; }
    QAction* PlayPauseAction() const { return m_playPause; }
    QAction* ExportAction() const { return m_export; }

    // ---- seeking ------------------------------------------------------------
    void OnGoToTime();
    // Seeks to the typed time; false (with the message shown) when it is not
    // understood or lies outside the plan.
    bool GoToText(const QString& text);
    void OnStep(int seconds);
    void OnPlayPause();
    void OnEventActivated(qint64 epoch);

    // ---- event log ------------------------------------------------------------
    void OnExportEvents();
    // Writes the event list (oldest first) and the hits of this session; a
    // failure is reported and leaves an existing file as it was.
    bool ExportEvents(const QString& path);

    // ---- crash recovery --------------------------------------------------------
    // At start-up: takes the recovery folder (empty: the user's data folder),
    // offers "恢复上次未保存的预案?" when a previous run left a copy, opens
    // it on Yes and starts the minute timer. True when a plan was recovered.
    bool StartRecovery(const QString& folder);
    // The minute timer's step: writes the copy when the plan has changes that
    // the copy does not hold yet. True when it wrote.
    bool WriteRecovery();
    // A normal end: removes the copy and stops the timer.
    void EndRecovery();
    CRecoveryFile* Recovery() const { return m_recovery.get(); }
    QTimer* RecoveryTimer() const { return m_timer; }

private:
    void AddToMenus();
    void OnPlanFileChanged();
    void OnSaved();
    bool WriteRecoveryText(const std::string& text);
    void Warn(const QString& text);

    CTarnwickApp& m_app;
    CMainFrame& m_frame;
    QAction* m_goTo;
    QAction* m_stepForward;
    QAction* m_stepBack;
    QAction* m_playPause;
    QAction* m_export;

    std::unique_ptr<CRecoveryFile> m_recovery;
    QTimer* m_timer;
    size_t m_baseline = 0;     // hash of the plan's text when it was opened or saved
    size_t m_lastWritten = 0;  // hash of the text in the copy
    bool m_haveCopy = false;
};
