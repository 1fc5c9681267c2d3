#include "ui/panels/PlanCheckPanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

CPlanCheckPanel::CPlanCheckPanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* top = new QHBoxLayout;
    m_summary = new QLabel("尚未检查", this);
    m_check = new QPushButton("检查预案", this);
    top->addWidget(m_summary, 1);
    top->addWidget(m_check);
    layout->addLayout(top);
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({"级别", "单位", "动作", "说明"});
    m_list->header()->setSectionResizeMode(3, QHeaderView::Stretch);
    m_list->setColumnWidth(0, 56);
    m_list->setColumnWidth(1, 120);
    m_list->setColumnWidth(2, 44);
    layout->addWidget(m_list, 1);

    connect(m_check, &QPushButton::clicked, this, &CPlanCheckPanel::checkRequested);
    connect(m_list, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item, int) {
        const int i = item ? item->data(0, Qt::UserRole).toInt() : -1;
        if (i >= 0 && size_t(i) < m_findings.size())
            emit findingActivated(m_findings[size_t(i)]);
    });
}

void CPlanCheckPanel::ShowFindings(const std::vector<PlanFinding>& findings)
{
    // The same list again (a play after an edit that changed nothing here) keeps the selection.
    std::vector<std::string> lines, shown;
    for (const PlanFinding& f : findings)
        lines.push_back(FindingLine(f));
    for (const PlanFinding& f : m_findings)
        shown.push_back(FindingLine(f));
    std::sort(lines.begin(), lines.end());
    std::sort(shown.begin(), shown.end());
    if (lines == shown && m_list->topLevelItemCount() == int(findings.size()) && !findings.empty())
        return;
    m_findings = findings;
    // Errors first, then warnings, then information; the plan's order within each.
    std::stable_sort(m_findings.begin(), m_findings.end(),
                     [](const PlanFinding& a, const PlanFinding& b) { return a.severity < b.severity; });
    m_list->clear();
    int counts[3] = {};
    QList<QTreeWidgetItem*> items;
    for (size_t i = 0; i < m_findings.size(); ++i) {
        const PlanFinding& f = m_findings[i];
        ++counts[int(f.severity)];
        auto* item = new QTreeWidgetItem;
        item->setText(0, QString::fromUtf8(SeverityText(f.severity)));
        item->setText(1, QString::fromStdString(f.unitName) + QString("[%1]").arg(f.unitNo));
        item->setText(2, f.action >= 0 ? QString::number(f.actionNo) : QString());
        item->setText(3, QString::fromStdString(f.message));
        item->setToolTip(3, item->text(3));
        const QStyle::StandardPixmap icon = f.severity == FindingSeverity::Error     ? QStyle::SP_MessageBoxCritical
                                            : f.severity == FindingSeverity::Warning ? QStyle::SP_MessageBoxWarning
                                                                                     : QStyle::SP_MessageBoxInformation;
        item->setIcon(0, style()->standardIcon(icon));
        item->setData(0, Qt::UserRole, int(i));
        items.push_back(item);
    }
    m_list->addTopLevelItems(items);
    if (m_findings.empty())
        m_summary->setText("未发现问题");
    else
        m_summary->setText(QString("%1 个错误, %2 个警告, %3 条信息").arg(counts[0]).arg(counts[1]).arg(counts[2]));
}

void CPlanCheckPanel::ShowMessage(const QString& text)
{
    m_summary->setText(text);
}
