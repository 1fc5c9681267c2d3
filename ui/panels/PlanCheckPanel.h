#pragma once

#include "engine/PlanChecker.h"

#include <QWidget>

#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

// "预案检查": the findings of the last check, one row each (级别, 单位, 动作,
// 说明), errors first within the plan's order; a double-click asks to show the
// unit and its action.
class CPlanCheckPanel : public QWidget {
    Q_OBJECT
public:
    explicit CPlanCheckPanel(QWidget* parent = nullptr);

    void ShowFindings(const std::vector<PlanFinding>& findings);
    // No plan, or a check in progress.
    void ShowMessage(const QString& text);
    const std::vector<PlanFinding>& Findings() const { return m_findings; }

    QTreeWidget* List() const { return m_list; }
    QLabel* Summary() const { return m_summary; }
    QPushButton* CheckButton() const { return m_check; }

signals:
    void findingActivated(const PlanFinding& finding);
    void checkRequested();

private:
    std::vector<PlanFinding> m_findings;
    QTreeWidget* m_list;
    QLabel* m_summary;
    QPushButton* m_check;
};
