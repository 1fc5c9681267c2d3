#include "ui/panels/DialogUnitCombination.h"

#include "app/TarnwickApp.h"
#include "config/TextNumber.h"
#include "engine/Units.h"
#include "ui/UndoRedoCommands.h"
#include "ui/panels/PanelAccess.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace panels;

namespace {

QLabel* Label(const char* text, QWidget* parent, Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setAlignment(align);
    return label;
}

}  // namespace

CDialogUnitCombination::CDialogUnitCombination(CTarnwickApp& app, QWidget* parent) : QWidget(parent), m_app(app)
{
    setObjectName("UnitCombination");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    auto* fixed = new QGroupBox("固定属性", this);
    auto* grid = new QGridLayout(fixed);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    m_noEdit = new QLineEdit(fixed);
    m_noEdit->setEnabled(false);
    m_nameEdit = new QLineEdit(fixed);
    m_appearEdit = new QLineEdit(fixed);
    m_angleEdit = new QLineEdit(fixed);
    m_initXEdit = new QLineEdit(fixed);
    m_initYEdit = new QLineEdit(fixed);
    grid->addWidget(Label("编号", fixed), 0, 0);
    grid->addWidget(m_noEdit, 0, 1, 1, 3);
    grid->addWidget(Label("名称", fixed), 1, 0);
    grid->addWidget(m_nameEdit, 1, 1, 1, 3);
    grid->addWidget(Label("出现时间", fixed), 2, 0);
    grid->addWidget(m_appearEdit, 2, 1, 1, 2);
    grid->addWidget(Label("秒", fixed, Qt::AlignLeft | Qt::AlignVCenter), 2, 3);
    grid->addWidget(Label("角度", fixed), 3, 0);
    grid->addWidget(m_angleEdit, 3, 1, 1, 2);
    grid->addWidget(Label("度", fixed, Qt::AlignLeft | Qt::AlignVCenter), 3, 3);
    grid->addWidget(Label("出现时位置:", fixed, Qt::AlignLeft | Qt::AlignVCenter), 4, 0, 1, 4);
    grid->addWidget(Label("X", fixed), 5, 0);
    grid->addWidget(m_initXEdit, 5, 1, 1, 3);
    grid->addWidget(Label("Y", fixed), 6, 0);
    grid->addWidget(m_initYEdit, 6, 1, 1, 3);
    m_modifyFixed = new QPushButton("修改", fixed);
    grid->addWidget(m_modifyFixed, 7, 3, Qt::AlignRight);
    layout->addWidget(fixed);

    auto* current = new QGroupBox("当前状态", this);
    auto* grid2 = new QGridLayout(current);
    grid2->setColumnStretch(1, 1);
    m_curXEdit = new QLineEdit(current);
    m_curYEdit = new QLineEdit(current);
    grid2->addWidget(Label("X", current), 0, 0);
    grid2->addWidget(m_curXEdit, 0, 1);
    grid2->addWidget(Label("Y", current), 1, 0);
    grid2->addWidget(m_curYEdit, 1, 1);
    m_modifyCurrent = new QPushButton("修改", current);
    grid2->addWidget(m_modifyCurrent, 2, 1, Qt::AlignRight);
    layout->addWidget(current);
    layout->addStretch(1);

    connect(m_modifyFixed, &QPushButton::clicked, this, &CDialogUnitCombination::OnModifyFixed);
    connect(m_modifyCurrent, &QPushButton::clicked, this, &CDialogUnitCombination::OnModifyCurrent);
    ShowFields();
}

void CDialogUnitCombination::ShowFields()
{
    ShowFixedFields();
    ShowCurrentFields();
}

void CDialogUnitCombination::ShowFixedFields()
{
    m_noEdit->setText(m_UnitNo < 0 ? QString() : QString::number(m_UnitNo));
    m_nameEdit->setText(m_UnitName);
    m_appearEdit->setText(QString::number(m_AppearTime));
    m_angleEdit->setText(NumberText(m_Angle));
    m_initXEdit->setText(NumberText(m_InitX));
    m_initYEdit->setText(NumberText(m_InitY));
}

void CDialogUnitCombination::ShowCurrentFields()
{
    m_curXEdit->setText(NumberText(m_CurX));
    m_curYEdit->setText(NumberText(m_CurY));
}

void CDialogUnitCombination::OnUnitShown(int unitNo, QString name, int appearTime, double x1, double y1, double x2,
                                         double y2)
{
    m_UnitNo = unitNo;
    m_UnitName = std::move(name);
    m_AppearTime = appearTime;
    m_InitX = x1;
    m_InitY = y1;
    m_CurX = x2;
    m_CurY = y2;
    // The view does not send the angle; without it "修改" would write back
    // whatever the previous unit had.
    {
        CFirstLayerAccess access(m_app);
        if (CUnitCanLoad* unit = access.FindUnit(unitNo))
            m_Angle = unit->m_InitAngle;
    }
    ShowFields();
}

void CDialogUnitCombination::OnNoUnit()
{
    m_UnitNo = -1;
    m_UnitName.clear();
    m_AppearTime = 0;
    m_Angle = 0;
    m_InitX = m_InitY = m_CurX = m_CurY = 0;
    ShowFields();
}

void CDialogUnitCombination::OnModifyFixed()
{
    const auto angle = ReadAngle(m_app, m_angleEdit);
    if (!angle)
        return;
    const auto initX = ReadDouble(m_app, m_initXEdit);
    if (!initX)
        return;
    const auto initY = ReadDouble(m_app, m_initYEdit);
    if (!initY)
        return;
    if (!ModelEditable(m_app))
        return;
    CUndoRedoCommands::RecordEdit(m_app, "修改单位属性", m_UnitNo);
    const QString name = m_nameEdit->text();
    // The appear time is taken as the C library reads a number: "12abc" is 12.
    const int32_t appear = textnum::ParseInt(m_appearEdit->text().toStdString());
    {
        CFirstLayerAccess access(m_app);
        CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
        if (!unit)
            return;
        unit->m_UnitName = name.toStdString();
        unit->m_InitAngle = *angle;
        unit->m_Angle = *angle;
        unit->m_AppearTime = appear;
        unit->m_InitX = *initX;
        unit->m_InitY = *initY;
    }
    m_UnitName = name;
    m_Angle = *angle;
    m_AppearTime = appear;
    m_InitX = *initX;
    m_InitY = *initY;
    // Only this frame's fields: what is typed in the other frame stays.
    ShowFixedFields();
    emit repaintRequested();
}

void CDialogUnitCombination::OnModifyCurrent()
{
    const auto curX = ReadDouble(m_app, m_curXEdit);
    if (!curX)
        return;
    const auto curY = ReadDouble(m_app, m_curYEdit);
    if (!curY)
        return;
    if (!ModelEditable(m_app))
        return;
    CUndoRedoCommands::RecordEdit(m_app, "修改当前位置", m_UnitNo);
    {
        CFirstLayerAccess access(m_app);
        CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
        if (!unit)
            return;
        unit->m_CurX = *curX;
        unit->m_CurY = *curY;
    }
    m_CurX = *curX;
    m_CurY = *curY;
    ShowCurrentFields();
    emit repaintRequested();
}
