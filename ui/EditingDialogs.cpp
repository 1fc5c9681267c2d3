#include "ui/EditingDialogs.h"

#include "app/TarnwickApp.h"
#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <cmath>

namespace {

// The decimal exchange of the controls: C locale numbers.
QString NumberText(double value)
{
    return QString::number(value, 'g', 15);
}

QHBoxLayout* OkCancel(QDialog* dialog)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* ok = new QPushButton("确定", dialog);
    auto* cancel = new QPushButton("取消", dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

}  // namespace

// ---- speed ---------------------------------------------------------------------------

CDialogSpeedInput::CDialogSpeedInput(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("输入速度");
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel("输入移动速度值: ", this), 0, 0);
    m_speedEdit = new QLineEdit(this);
    layout->addWidget(m_speedEdit, 0, 1);
    layout->addWidget(new QLabel("km/h", this), 0, 2);
    m_defaultBox = new QCheckBox("做为默认值", this);
    layout->addWidget(m_defaultBox, 1, 0, 1, 3);
    layout->addLayout(OkCancel(this), 2, 0, 1, 3);
}

int CDialogSpeedInput::exec()
{
    // The preset fields reach the controls when the dialog opens.
    m_speedEdit->setText(NumberText(m_Speed));
    m_defaultBox->setChecked(m_Default != 0);
    return QDialog::exec();
}

void CDialogSpeedInput::accept()
{
    bool ok = false;
    const double speed = m_speedEdit->text().trimmed().toDouble(&ok);
    // Qt also reads "nan" and "inf", which are no speed.
    if (!ok || !std::isfinite(speed)) {
        QMessageBox::warning(this, windowTitle(), "请键入一个数。");
        m_speedEdit->setFocus();
        return;
    }
    m_Speed = speed;
    m_Default = m_defaultBox->isChecked() ? 1 : 0;
    QDialog::accept();
}

// ---- strike --------------------------------------------------------------------------

CDialogStrikeParam::CDialogStrikeParam(const CUnitClassCatalog& catalogue, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("打击参数");
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel("使用火器选择:", this), 0, 0);
    m_weapons = new QComboBox(this);
    layout->addWidget(m_weapons, 0, 1);
    layout->addWidget(new QLabel("打击次数:", this), 1, 0);
    m_countEdit = new QLineEdit(this);
    layout->addWidget(m_countEdit, 1, 1);
    layout->addLayout(OkCancel(this), 2, 0, 1, 2);

    int selected = -1;
    for (const auto& info : catalogue.GetUnitClasses()) {
        if (info->classCode != "03")
            continue;
        m_weapons->addItem(QString::fromStdString(info->name), QString::fromStdString(info->id));
        // Repeated ids: the last one wins.
        if (info->id == s_lastWeaponId)
            selected = m_weapons->count() - 1;
    }
    m_weapons->setCurrentIndex(selected);
    m_countEdit->setText(QString::number(s_lastStrikeCount));
}

void CDialogStrikeParam::accept()
{
    bool ok = false;
    const int count = m_countEdit->text().trimmed().toInt(&ok);
    if (!ok) {
        QMessageBox::warning(this, windowTitle(), "请键入一个整数。");
        m_countEdit->setFocus();
        return;
    }
    if (m_weapons->currentIndex() >= 0) {
        m_ResultWeaponId = m_weapons->currentData().toString().toStdString();
        s_lastWeaponId = m_ResultWeaponId;
    }
    m_ResultCount = count;
    s_lastStrikeCount = count;
    QDialog::accept();
}

// ---- target --------------------------------------------------------------------------

CDialogTargetSelect::CDialogTargetSelect(const CPlan* plan, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("选择目标对象");
    auto* layout = new QVBoxLayout(this);
    m_units = new QComboBox(this);
    auto* label = new QLabel("目标对象:", this);
    label->setBuddy(m_units);
    layout->addWidget(label);
    layout->addWidget(m_units);
    layout->addLayout(OkCancel(this));

    const CPlanLayer* layer = plan ? plan->GetFirstLayer() : nullptr;
    if (!layer || !layer->LockShared(10))
        return;
    for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
        const CUnitCanLoad* unit = layer->GetUnitAt(i);
        if (unit->m_ClassId == "03" || unit->m_UnitNo == kFireUnitNo)
            continue;
        m_units->addItem(QString::asprintf("%s[编号: %d]", unit->m_UnitName.c_str(), unit->m_UnitNo),
                         unit->m_UnitNo);
    }
    layer->UnlockShared();
    m_units->setCurrentIndex(-1);
}

void CDialogTargetSelect::accept()
{
    if (m_units->currentIndex() >= 0)
        m_ResultUnitNo = m_units->currentData().toInt();
    QDialog::accept();
}

// ---- route ---------------------------------------------------------------------------

CDialogRouteSelect::CDialogRouteSelect(CTarnwickApp& app, double x, double y, QWidget* parent)
    : QDialog(parent), m_app(app), m_X(x), m_Y(y)
{
    setWindowTitle("选择路线");
    setModal(false);
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel("经度坐标", this), 0, 0);
    m_xEdit = new QLineEdit(this);
    layout->addWidget(m_xEdit, 0, 1);
    layout->addWidget(new QLabel("纬度坐标", this), 1, 0);
    m_yEdit = new QLineEdit(this);
    layout->addWidget(m_yEdit, 1, 1);
    m_pickButton = new QPushButton("选择", this);
    m_okButton = new QPushButton("确定", this);
    layout->addWidget(m_pickButton, 2, 0);
    layout->addWidget(m_okButton, 2, 1);
    connect(m_pickButton, &QPushButton::clicked, this, &CDialogRouteSelect::OnTogglePick);
    connect(m_okButton, &QPushButton::clicked, this, &CDialogRouteSelect::OnOk);

    m_app.m_RouteSelectPick = 0;
    m_xEdit->setText(NumberText(m_X));
    m_yEdit->setText(NumberText(m_Y));
}

void CDialogRouteSelect::OnTogglePick()
{
    if (m_app.m_RouteSelectPick == 1) {
        m_app.m_RouteSelectPick = 0;
        m_pickButton->setText("选择");
    } else {
        m_app.m_RouteSelectPick = 1;
        m_pickButton->setText("取消");
    }
}

void CDialogRouteSelect::OnPointPicked(double x, double y, double)
{
    m_X = x;
    m_Y = y;
    m_xEdit->setText(NumberText(m_X));
    m_yEdit->setText(NumberText(m_Y));
}

void CDialogRouteSelect::OnOk()
{
    bool okX = false, okY = false;
    const double x = m_xEdit->text().trimmed().toDouble(&okX);
    const double y = m_yEdit->text().trimmed().toDouble(&okY);
    if (!okX || !okY || !std::isfinite(x) || !std::isfinite(y)) {
        QMessageBox::warning(this, windowTitle(), "请键入一个数。");
        return;
    }
    m_X = x;
    m_Y = y;
    m_app.m_RouteSelectPick = 0;
    m_pickButton->setText("选择");
    emit pointChosen(m_X, m_Y, 0.0);
    hide();
}
