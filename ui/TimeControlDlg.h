#pragma once

#include "engine/ClockReceiver.h"

#include <QWidget>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

class CClockService;
class CTimeBarCtrl;
class IMessageReporter;
class QDateEdit;
class QLabel;
class QPushButton;
class QTimeEdit;

// The time panel of the "时间栏" dock: start, current and end date-times of the
// plan with their ">>" apply buttons, the play-rate and relative-time texts,
// and the time bar that follows the clock and seeks when dragged.
//
// The panel does not own the clock, the plan or the reporter. Its clock
// receiver (ClockReceiver()) must be registered with the clock by the owner;
// it is called on the clock thread, posts the tick to this panel and never
// waits. The model reads the current date-time through CurrentEpoch() /
// CurrentTimeText(), which are safe from any thread.
class CTimeControlDlg : public QWidget {
    Q_OBJECT
public:
    // What the panel needs from the main window; unset hooks do nothing.
    struct Hooks {
        std::function<bool()> hasPlan;
        std::function<void(std::time_t)> setPlanStart;
        std::function<void(std::time_t)> setPlanEnd;
        // "重新计算各单位的位置": replay the plan from 0 up to
        // GetCurrentTime() - GetStartTime() seconds with the clock stopped.
        std::function<void()> recalculatePositions;
    };

    static constexpr int kWasPlayingUnknown = -1221;

    // `reporter` shows the validation messages; null means the default reporter.
    explicit CTimeControlDlg(CClockService& clock, IMessageReporter* reporter = nullptr, QWidget* parent = nullptr);
    ~CTimeControlDlg() override;

    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    IClockReceiver* ClockReceiver() { return &m_receiver; }

    // Resets every field from the wall clock: start and current = now, end =
    // now + 2 h; the bar starts at 0.
    void InitialiseTimes(std::time_t now);
    // A plan was created or opened: its start and end go into the fields and
    // the panel seeks to the start (the "apply current" step).
    void SetPlanTimes(std::time_t start, std::time_t end);
    // Undo or redo gave the plan these times back: the fields show them and
    // the bar keeps its place after the start where the new span allows.
    // No hook is called.
    void RestorePlanTimes(std::time_t start, std::time_t end);

    void SetTimeBar(int minimum, int maximum, int position);
    // Seeks to `seconds` after the start as the time bar does: the clock is
    // set, the units are replayed to that second and a running clock goes on
    // from there. False (nothing changes) outside 0 .. end - start.
    bool SeekToOffset(long long seconds);

    // Bar position in seconds from the start: the time stamped on new actions.
    int GetBarPosition() const { return m_barPos; }
    int GetBarMinimum() const { return m_barMin; }
    int GetBarMaximum() const { return m_barMax; }
    // The date-time fields (each is a full date-time; see the pickers).
    std::time_t GetStartTime() const { return m_startTime; }
    std::time_t GetCurrentTime() const { return m_curTime; }
    std::time_t GetEndTime() const { return m_endTime; }
    // S, C and E: the date of each date picker joined with its time of day.
    std::time_t StartDateTime() const;
    std::time_t CurrentDateTime() const;
    std::time_t EndDateTime() const;

    // Current date-time C and its "%H:%M:%S" text; safe from the clock thread.
    std::time_t CurrentEpoch() const { return m_currentEpoch.load(); }
    std::string CurrentTimeText() const;

    // Play-rate text beside the buttons.
    static QString RateTextFor(double rate);
    void SetRateText(const QString& text);
    QString RateText() const { return m_rateText; }
    QString RelativeText() const { return m_relativeText; }

    bool IsDragging() const { return m_dragging != 0; }
    int WasPlaying() const { return m_wasPlaying; }
    CTimeBarCtrl* TimeBar() const { return m_timeBar; }

public slots:
    void OnApplyStart();
    void OnApplyCurrent();
    void OnApplyEnd();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Receiver : public IClockReceiver {
    public:
        explicit Receiver(CTimeControlDlg& owner) : m_owner(owner) {}
        void CheckHits(FireLineList&) override {}
        int RecvClockEvent(uint32_t previousMs, uint32_t nowMs, const void* context) override;

    private:
        CTimeControlDlg& m_owner;
    };

    void OnClockThreadTick(uint32_t nowMs);
    void HandlePostedTick();
    void OnClockTick(uint32_t nowMs);
    void OnThumbMoved(int position);
    void OnPositionSet(int position);

    void BuildControls();
    void LayoutControls();
    void ReadControls();
    void WriteControls();
    void WriteCurrentControls();
    void SetCurrent(std::time_t c, bool publish);
    void ApplyTimeBar(int minimum, int maximum, int position, bool publish);
    void SeekClock(long long seconds);
    void WarnStartEnd();
    bool HasPlan() const { return m_hooks.hasPlan && m_hooks.hasPlan(); }

    CClockService& m_clock;
    IMessageReporter* m_reporter;
    Hooks m_hooks;
    Receiver m_receiver{*this};

    QString m_rateText;
    int m_barMax = 0;
    int m_barMin = 0;
    int m_barPos = 0;
    CTimeBarCtrl* m_timeBar = nullptr;
    std::time_t m_startTime = 0;
    std::time_t m_curTime = 0;
    std::time_t m_endTime = 0;
    QString m_relativeText;
    std::time_t m_startDate = 0;
    std::time_t m_curDate = 0;
    std::time_t m_endDate = 0;
    int m_dragging = 0;
    int m_wasPlaying = kWasPlayingUnknown;

    // Shared with the clock thread.
    std::atomic<long long> m_startShared{0};    // S as last written to the controls
    std::atomic<long long> m_currentEpoch{0};   // C
    std::atomic<uint32_t> m_seekGeneration{0};  // ticks posted before a seek are dropped
    std::atomic<uint64_t> m_latestTick{0};      // generation << 32 | now ms
    std::atomic<bool> m_tickPosted{false};

    QDateEdit* m_startDateEdit = nullptr;
    QTimeEdit* m_startTimeEdit = nullptr;
    QPushButton* m_applyStartButton = nullptr;
    QLabel* m_rateLabel = nullptr;
    QDateEdit* m_curDateEdit = nullptr;
    QTimeEdit* m_curTimeEdit = nullptr;
    QPushButton* m_applyCurrentButton = nullptr;
    QLabel* m_relativeLabel = nullptr;
    QDateEdit* m_endDateEdit = nullptr;
    QTimeEdit* m_endTimeEdit = nullptr;
    QPushButton* m_applyEndButton = nullptr;
};
