#include "ui/catalog/SysParamDlg.h"

#include "config/MessageReporter.h"
#include "app/TarnwickApp.h"
#include "config/TextNumber.h"
#include "config/UnitClassCatalog.h"
#include "ui/PlanAids.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

CSysParamDlg::CSysParamDlg(CTarnwickApp& app, QWidget* parent) : QDialog(parent), m_app(app)
{
    setWindowTitle("系统参数设置");
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(10);

    // ---- fire detection ----
    auto* detection = new QGroupBox("火力检测", this);
    auto* detectionLayout = new QVBoxLayout(detection);
    m_crossCheck = new QCheckBox("火力交叉告警", detection);
    m_crossCheck->setEnabled(false);  // offered by the layout, not implemented by the hit check
    m_hitCheck = new QCheckBox("火力击中告警", detection);
    detectionLayout->addWidget(m_crossCheck);
    detectionLayout->addWidget(m_hitCheck);
    auto* distanceRow = new QHBoxLayout;
    distanceRow->addSpacing(18);
    distanceRow->addWidget(new QLabel("火力线距离单位在", detection));
    m_distanceEdit = new QLineEdit(detection);
    m_distanceEdit->setAlignment(Qt::AlignRight);
    m_distanceEdit->setFixedWidth(80);
    distanceRow->addWidget(m_distanceEdit);
    distanceRow->addWidget(new QLabel("米以内认为单位被击中", detection));
    distanceRow->addStretch();
    detectionLayout->addLayout(distanceRow);
    auto* applyRow = new QHBoxLayout;
    applyRow->addStretch();
    m_applyButton = new QPushButton("设置", detection);
    applyRow->addWidget(m_applyButton);
    detectionLayout->addLayout(applyRow);
    layout->addWidget(detection);

    // ---- fire-line colours ----
    auto* colours = new QGroupBox("火力线颜色设置", this);
    auto* colourLayout = new QGridLayout(colours);
    colourLayout->addWidget(new QLabel("攻击火器:", colours), 0, 0);
    m_weapons = new QComboBox(colours);
    m_weapons->setMinimumWidth(160);
    colourLayout->addWidget(m_weapons, 0, 1, 1, 2);
    colourLayout->addWidget(new QLabel("颜色:", colours), 1, 0);
    m_swatch = new QPushButton(colours);
    m_swatch->setFixedSize(60, 22);
    m_swatch->setToolTip("单击选择颜色");
    colourLayout->addWidget(m_swatch, 1, 1, Qt::AlignLeft);
    m_chooseButton = new QPushButton("选择", colours);
    colourLayout->addWidget(m_chooseButton, 1, 2, Qt::AlignRight);
    colourLayout->setColumnStretch(1, 1);
    layout->addWidget(colours);

    // ---- scale of bitmap maps ----
    auto* scale = new QGroupBox("地图比例", this);
    auto* scaleLayout = new QVBoxLayout(scale);
    m_realKmCheck = new QCheckBox("位图地图按实际公里计算速度和距离", scale);
    m_realKmCheck->setToolTip("关闭时按经纬度系数换算 (默认, 已有预案按此编写); "
                              "打开时位图地图上一个地图单位即一公里");
    scaleLayout->addWidget(m_realKmCheck);
    layout->addWidget(scale);
    // ---- plan check ----
    auto* checking = new QGroupBox("预案检查", this);
    auto* checkingLayout = new QVBoxLayout(checking);
    m_checkBeforePlay = new QCheckBox("播放修改过的预案前先检查预案", checking);
    checkingLayout->addWidget(m_checkBeforePlay);
    layout->addWidget(checking);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_okButton = new QPushButton("确定", this);
    m_okButton->setDefault(true);
    buttons->addWidget(m_okButton);
    layout->addLayout(buttons);

    // Weapons are inserted at the top, so the list reads in reverse catalogue order.
    for (const auto& info : m_app.m_UnitClassCatalog.GetUnitClasses())
        if (info->classCode == "03")
            m_weapons->insertItem(0, QString::fromStdString(info->name),
                                  QVariant::fromValue(reinterpret_cast<quintptr>(info.get())));
    m_weapons->setCurrentIndex(-1);
    ShowSwatch(QColor());

    m_hitCheck->setChecked(m_app.m_CheckBeenHit != 0);
    m_distanceEdit->setText(QString::number(m_app.m_DistWhenBeenHit, 'g', 15));
    m_distanceEdit->setEnabled(m_hitCheck->isChecked());
    m_realKmCheck->setChecked(m_app.m_PlayState.BitmapRealKm());
    m_checkBeforePlay->setChecked(CPlanAids::CheckBeforePlayEnabled(m_app));

    connect(m_checkBeforePlay, &QCheckBox::toggled, this,
            [this](bool on) { CPlanAids::SetCheckBeforePlay(m_app, on); });
    connect(m_hitCheck, &QCheckBox::clicked, this, &CSysParamDlg::OnHitCheckClicked);
    connect(m_weapons, &QComboBox::currentIndexChanged, this, &CSysParamDlg::OnWeaponSelected);
    connect(m_swatch, &QPushButton::clicked, this, &CSysParamDlg::OnChooseColor);
    connect(m_chooseButton, &QPushButton::clicked, this, &CSysParamDlg::OnChooseColor);
    connect(m_applyButton, &QPushButton::clicked, this, &CSysParamDlg::OnApply);
    connect(m_realKmCheck, &QCheckBox::clicked, this, [this](bool on) {
        m_app.m_PlayState.SetBitmapRealKm(on);
        m_app.m_SysConfig.SetParamInt("BitmapMapRealKm", on ? 1 : 0);
    });
    connect(m_okButton, &QPushButton::clicked, this, &CSysParamDlg::accept);
}

bool CSysParamDlg::Open(CTarnwickApp& app, QWidget* parent, ColorChooser chooser,
                        const std::function<void(CSysParamDlg&)>& run)
{
    // The clock thread reads the hit values and fire colours while a plan plays.
    if (app.GetPlan() && app.m_ClockService.IsRunning()) {
        app.Reporter().Report(
            {"配置系统参数前请先暂停预案的推演!", "提示", MessageIcon::Information, MessageButtons::Ok});
        return false;
    }
    CSysParamDlg dialog(app, parent);
    if (chooser)
        dialog.SetColorChooser(std::move(chooser));
    if (run)
        run(dialog);
    else
        dialog.exec();
    return true;
}

QColor CSysParamDlg::ColorFromColorRef(uint32_t colorRef)
{
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

uint32_t CSysParamDlg::ColorRefFromColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return uint32_t(rgb.red()) | (uint32_t(rgb.green()) << 8) | (uint32_t(rgb.blue()) << 16);
}

UnitClassInfo* CSysParamDlg::SelectedWeapon() const
{
    if (m_weapons->currentIndex() < 0)
        return nullptr;
    return reinterpret_cast<UnitClassInfo*>(m_weapons->currentData().value<quintptr>());
}

void CSysParamDlg::ShowSwatch(const QColor& color)
{
    m_swatchColor = color;
    if (color.isValid())
        m_swatch->setStyleSheet(QString("QPushButton { background-color: %1; border: 1px solid #606060; }")
                                    .arg(color.name()));
    else
        m_swatch->setStyleSheet("QPushButton { border: 1px solid #a0a0a0; }");
}

void CSysParamDlg::OnHitCheckClicked()
{
    m_distanceEdit->setEnabled(m_hitCheck->isChecked());
}

void CSysParamDlg::OnWeaponSelected(int)
{
    const UnitClassInfo* weapon = SelectedWeapon();
    ShowSwatch(weapon ? ColorFromColorRef(weapon->fireColor) : QColor());
}

void CSysParamDlg::OnChooseColor()
{
    UnitClassInfo* weapon = SelectedWeapon();
    if (!weapon)
        return;
    std::optional<QColor> chosen;
    if (m_chooser) {
        chosen = m_chooser(Qt::black, this);
    } else {
        const QColor c = QColorDialog::getColor(Qt::black, this, "颜色");
        if (c.isValid())
            chosen = c;
    }
    if (!chosen || !chosen->isValid())
        return;
    const uint32_t colorRef = ColorRefFromColor(*chosen);
    ShowSwatch(ColorFromColorRef(colorRef));
    m_app.m_SysConfig.SetParam("FireUnitColor_" + weapon->id, textnum::FormatHex(colorRef));
    // Fire lines drawn from now on take the new colour.
    weapon->fireColor = colorRef;
}

bool CSysParamDlg::ReadDistance(double& distance)
{
    bool ok = false;
    const double value = m_distanceEdit->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        m_app.Reporter().Report({"请键入一个数。", "系统参数设置", MessageIcon::Warning, MessageButtons::Ok});
        m_distanceEdit->setFocus();
        m_distanceEdit->selectAll();
        return false;
    }
    distance = value;
    return true;
}

void CSysParamDlg::OnApply()
{
    double distance = 0;
    if (!ReadDistance(distance))
        return;
    const int check = m_hitCheck->isChecked() ? 1 : 0;
    m_app.SetHitCheckValues(check, distance);
    m_app.m_SysConfig.SetParamInt("CheckBeenHit", check);
    m_app.m_SysConfig.SetParamDouble("DistWhenBeenHit", distance);
}

void CSysParamDlg::accept()
{
    m_app.SaveSysConfig();
    double distance = 0;
    if (!ReadDistance(distance))
        return;
    QDialog::accept();
}
