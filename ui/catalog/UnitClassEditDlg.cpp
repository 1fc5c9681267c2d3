#include "ui/catalog/UnitClassEditDlg.h"

#include "config/MessageReporter.h"
#include "app/TarnwickApp.h"
#include "config/UnitClassCatalog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <cstdint>

namespace {

QString NumberText(double value)
{
    return QString::number(value, 'g', 15);
}

// Strict decimal text: the whole entry must be one finite number.
bool ReadNumber(const QLineEdit* edit, double& value)
{
    bool ok = false;
    const double v = edit->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

// Whole metres are stored as 32-bit integers; truncation must not overflow.
bool FitsInt32AfterTruncation(double value)
{
    return value > -2147483649.0 && value < 2147483648.0;
}

// The dialog refuses larger entries; the clamp only keeps the cast defined.
int32_t TruncateToInt32(double value)
{
    if (!(value > -2147483649.0))
        return INT32_MIN;
    if (!(value < 2147483648.0))
        return INT32_MAX;
    return static_cast<int32_t>(value);
}

QLineEdit* NumberEdit(QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setAlignment(Qt::AlignRight);
    edit->setFixedWidth(110);
    return edit;
}

}  // namespace

CDialogUnitClassEdit::CDialogUnitClassEdit(IMessageReporter* reporter, QWidget* parent)
    : QDialog(parent), m_reporter(reporter)
{
    setWindowTitle("单位种类信息编辑");
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(8);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setMaxLength(255);
    grid->addWidget(new QLabel("单位种类名称：", this), 0, 0, Qt::AlignRight);
    grid->addWidget(m_nameEdit, 0, 1, 1, 3);
    auto* note = new QLabel("(改名后请修改对应的图片文件的名称)", this);
    note->setStyleSheet("color: #a04000;");
    grid->addWidget(note, 1, 1, 1, 3);

    m_widthEdit = NumberEdit(this);
    m_heightEdit = NumberEdit(this);
    m_killRadiusEdit = NumberEdit(this);
    const std::pair<const char*, QLineEdit*> metres[] = {
        {"单位宽度：", m_widthEdit}, {"单位高度：", m_heightEdit}, {"杀伤半径：", m_killRadiusEdit}};
    int row = 2;
    for (const auto& [label, edit] : metres) {
        grid->addWidget(new QLabel(label, this), row, 0, Qt::AlignRight);
        grid->addWidget(edit, row, 1);
        grid->addWidget(new QLabel("米", this), row, 2);
        ++row;
    }
    grid->setColumnStretch(3, 1);
    layout->addLayout(grid);

    auto* zoom = new QHBoxLayout;
    m_visibleMinEdit = NumberEdit(this);
    m_visibleMaxEdit = NumberEdit(this);
    zoom->addWidget(new QLabel("地图的缩放比例在", this));
    zoom->addWidget(m_visibleMinEdit);
    zoom->addWidget(new QLabel("到", this));
    zoom->addWidget(m_visibleMaxEdit);
    zoom->addWidget(new QLabel("之间时单位可见", this));
    zoom->addStretch();
    layout->addLayout(zoom);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton("确定", this);
    auto* cancel = new QPushButton("取消", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}

IMessageReporter& CDialogUnitClassEdit::Reporter() const
{
    return m_reporter ? *m_reporter : DefaultMessageReporter();
}

void CDialogUnitClassEdit::InitDialog()
{
    m_nameEdit->setText(m_Name);
    m_widthEdit->setText(NumberText(m_Width));
    m_heightEdit->setText(NumberText(m_Height));
    m_killRadiusEdit->setText(NumberText(m_KillRadius));
    m_visibleMinEdit->setText(NumberText(m_VisibleMin));
    m_visibleMaxEdit->setText(NumberText(m_VisibleMax));

    const bool weapon = m_ClassCode == "03";
    m_killRadiusEdit->setEnabled(weapon);
    m_widthEdit->setEnabled(!weapon);
    m_heightEdit->setEnabled(!weapon);
    m_visibleMinEdit->setEnabled(!weapon);
    m_visibleMaxEdit->setEnabled(!weapon);
}

int CDialogUnitClassEdit::exec()
{
    InitDialog();
    return QDialog::exec();
}

void CDialogUnitClassEdit::accept()
{
    double values[5] = {};
    QLineEdit* edits[5] = {m_widthEdit, m_heightEdit, m_killRadiusEdit, m_visibleMinEdit, m_visibleMaxEdit};
    for (int i = 0; i < 5; ++i) {
        if (!ReadNumber(edits[i], values[i])) {
            Reporter().Report({"请键入一个数。", "单位种类信息编辑", MessageIcon::Warning, MessageButtons::Ok});
            edits[i]->setFocus();
            edits[i]->selectAll();
            return;
        }
        if (i < 2 && !FitsInt32AfterTruncation(values[i])) {
            Reporter().Report({"请键入一个 -2147483648 到 2147483647 之间的数。", "单位种类信息编辑",
                               MessageIcon::Warning, MessageButtons::Ok});
            edits[i]->setFocus();
            edits[i]->selectAll();
            return;
        }
    }
    m_Name = m_nameEdit->text();
    m_Width = values[0];
    m_Height = values[1];
    m_KillRadius = values[2];
    m_VisibleMin = values[3];
    m_VisibleMax = values[4];
    QDialog::accept();
}

ClassEditOutcome EditUnitClass(CTarnwickApp& app, const CatalogueRecord* selection, const UnitClassEditor& editor,
                               const std::function<void()>& repaint, QWidget* dialogParent)
{
    // The clock thread reads class records (sizes, fire colours) while it runs.
    if (app.m_ClockService.IsRunning()) {
        app.Reporter().Report({"修改配置前请先暂停推演!", "提示", MessageIcon::Information, MessageButtons::Ok});
        return ClassEditOutcome::ClockRunning;
    }
    if (!selection || (!selection->category && !selection->unitClass))
        return ClassEditOutcome::NoSelection;
    if (!selection->unitClass) {
        app.Reporter().Report({"此节点没有可设置的属性", "提示", MessageIcon::Information, MessageButtons::Ok});
        return ClassEditOutcome::NotAClass;
    }

    UnitClassInfo& info = *selection->unitClass;
    CDialogUnitClassEdit dialog(&app.Reporter(), dialogParent);
    dialog.m_Name = QString::fromStdString(info.name);
    dialog.m_Width = info.width;
    dialog.m_Height = info.height;
    dialog.m_KillRadius = info.exploderadius;
    dialog.m_VisibleMin = info.visible_min;
    dialog.m_VisibleMax = info.visible_max;
    dialog.m_ClassCode = info.classCode;
    bool accepted = false;
    if (editor) {
        dialog.InitDialog();
        accepted = editor(dialog);
    } else {
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (!accepted)
        return ClassEditOutcome::Cancelled;

    info.name = dialog.m_Name.toStdString();
    info.width = TruncateToInt32(dialog.m_Width);
    info.height = TruncateToInt32(dialog.m_Height);
    info.exploderadius = dialog.m_KillRadius;
    info.visible_min = dialog.m_VisibleMin;
    info.visible_max = dialog.m_VisibleMax;
    const bool saved = app.SaveUnitClassInfo();
    if (repaint)
        repaint();
    return saved ? ClassEditOutcome::Saved : ClassEditOutcome::SaveFailed;
}
