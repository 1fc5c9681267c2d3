#pragma once

#include <QDialog>

#include <cstddef>
#include <optional>

class CHitList;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// "火力击中告警": the modeless dialog that shows the pending hits one at a
// time. Created hidden by the main window, which calls PopUp() from its
// one-second timer. "确定" empties the hit list and hides the dialog; it is
// never destroyed while the main window lives. Reads the hit list only for
// a moment at a time (the list has its own lock).
class CHitAlarmDlg : public QDialog {
    Q_OBJECT
public:
    explicit CHitAlarmDlg(CHitList& hits, QWidget* parent = nullptr);

    // The record shown; empty while none is.
    std::optional<size_t> CurrentPosition() const { return m_position; }
    void SetCurrentPosition(std::optional<size_t> position) { m_position = position; }

    // The main window's timer step: when hits are pending and the dialog is
    // hidden, point it at the first one and, when `frame` (screen rectangle
    // of the main window) is at least as large as the dialog, show it in the
    // frame's bottom-right corner. Returns true when it was shown.
    bool PopUp(const QRect& frame);

    QString CounterText() const;
    QString VictimText() const;
    QString AttackerText() const;
    QString DistanceText() const;
    QString TimeText() const;
    QPushButton* PreviousButton() const { return m_previous; }
    QPushButton* NextButton() const { return m_next; }
    QPushButton* OkButton() const { return m_ok; }

public slots:
    // The one-second update: counter, and the navigation buttons when a record is shown.
    void OnTimerTick();
    void OnNext();
    void OnPrevious();
    void OnAcknowledge();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void DisplayRecord();

    CHitList& m_hits;
    std::optional<size_t> m_position;
    QTimer* m_timer;
    QGroupBox* m_frame;
    QLineEdit* m_victim;
    QLineEdit* m_attacker;
    QLineEdit* m_distance;
    QLabel* m_counter;
    QPushButton* m_previous;
    QPushButton* m_next;
    QPushButton* m_ok;
};
