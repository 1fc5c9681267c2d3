#include "ui/panels/TimelinePanel.h"

#include "ui/panels/TimelineChart.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>

CTimelinePanel::CTimelinePanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("查找单位:", this));
    m_search = new QLineEdit(this);
    m_search->setClearButtonEnabled(true);
    m_search->setPlaceholderText("单位名称");
    m_search->setMaximumWidth(180);
    top->addWidget(m_search);
    m_status = new QLabel(this);
    top->addWidget(m_status, 1);
    top->addWidget(new QLabel("滚轮缩放, Shift+滚轮平移, F 显示全部", this));
    layout->addLayout(top);
    auto* body = new QHBoxLayout;
    body->setSpacing(0);
    m_chart = new CTimelineChart(this);
    m_rows = new QScrollBar(Qt::Vertical, this);
    body->addWidget(m_chart, 1);
    body->addWidget(m_rows);
    layout->addLayout(body, 1);

    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_chart->SetFilter(text);
        SyncScrollBar();
    });
    connect(m_rows, &QScrollBar::valueChanged, m_chart, &CTimelineChart::SetScrollY);
    connect(m_chart, &CTimelineChart::viewChanged, this, &CTimelinePanel::SyncScrollBar);
}

void CTimelinePanel::SyncScrollBar()
{
    const int page = std::max(1, m_chart->height() - CTimelineChart::kAxisHeight);
    const QSignalBlocker block(m_rows);
    m_rows->setRange(0, std::max(0, m_chart->ContentHeight() - page));
    m_rows->setPageStep(page);
    m_rows->setSingleStep(CTimelineChart::kRowHeight);
    m_rows->setValue(m_chart->ScrollY());
}
