#include "ui/NewPlanDlg.h"

#include "uikit/SectionClickSelect.h"
#include <QCheckBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>

QString QtFilter(const QString& mfcFilter)
{
    const QStringList parts = mfcFilter.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        // Qt reads the patterns from the parentheses of the description.
        filters << (parts[i].contains('(') ? parts[i] : parts[i] + " (" + parts[i + 1] + ")");
    }
    return filters.join(";;");
}

QString ChooseFile(QWidget* parent, bool save, const QString& mfcFilter, const QString& defaultExt)
{
    QFileDialog dialog(parent);
    dialog.setNameFilter(QtFilter(mfcFilter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!defaultExt.isEmpty())
        dialog.setDefaultSuffix(defaultExt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

namespace {

QDateTime Local(std::time_t t)
{
    return QDateTime::fromSecsSinceEpoch(qint64(t));
}

std::time_t Join(const QDate& date, const QTime& time)
{
    return std::time_t(QDateTime(date, QTime(time.hour(), time.minute(), time.second())).toSecsSinceEpoch());
}

}  // namespace

CNewPlanDlg::CNewPlanDlg(std::time_t now, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("新建预案");
    auto* grid = new QGridLayout(this);
    int row = 0;
    grid->addWidget(new QLabel("预案名称:"), row, 0);
    m_planName = new QLineEdit;
    grid->addWidget(m_planName, row++, 1, 1, 3);

    auto* gisBox = new QGroupBox;
    auto* gisGrid = new QGridLayout(gisBox);
    m_useGis = new QCheckBox("使用mapinfo GIS地图");
    gisGrid->addWidget(m_useGis, 0, 0, 1, 3);
    gisGrid->addWidget(new QLabel("mapinfo地图源(GIS地图):"), 1, 0);
    m_gisSource = new QLineEdit;
    gisGrid->addWidget(m_gisSource, 1, 1);
    m_chooseGis = new QPushButton("选择...");
    gisGrid->addWidget(m_chooseGis, 1, 2);
    grid->addWidget(gisBox, row++, 0, 1, 4);

    auto* bmpBox = new QGroupBox("普通图片地图(bmp)");
    auto* bmpGrid = new QGridLayout(bmpBox);
    m_bitmapFile = new QLineEdit;
    bmpGrid->addWidget(m_bitmapFile, 0, 0, 1, 2);
    m_chooseBitmap = new QPushButton("选择...");
    bmpGrid->addWidget(m_chooseBitmap, 0, 2);
    bmpGrid->addWidget(new QLabel("地图横向总距离:"), 1, 0);
    m_width = new QLineEdit("0");
    bmpGrid->addWidget(m_width, 1, 1);
    bmpGrid->addWidget(new QLabel("公里"), 1, 2);
    bmpGrid->addWidget(new QLabel("地图纵向总距离:"), 2, 0);
    m_height = new QLineEdit("0");
    bmpGrid->addWidget(m_height, 2, 1);
    bmpGrid->addWidget(new QLabel("公里"), 2, 2);
    grid->addWidget(bmpBox, row++, 0, 1, 4);

    const QDateTime start = Local(now);
    const QDateTime endTime = start.addSecs(2 * 3600);
    grid->addWidget(new QLabel("预案开始日期时间："), row, 0);
    m_startDate = new QDateEdit(start.date());
    m_startTime = new QTimeEdit(start.time());
    grid->addWidget(m_startDate, row, 1);
    grid->addWidget(m_startTime, row++, 2);
    grid->addWidget(new QLabel("预案结束日期时间："), row, 0);
    // The end date is today's even when two hours later is tomorrow.
    m_endDate = new QDateEdit(start.date());
    m_endTime = new QTimeEdit(endTime.time());
    grid->addWidget(m_endDate, row, 1);
    grid->addWidget(m_endTime, row++, 2);
    for (QDateEdit* d : {m_startDate, m_endDate}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat("yyyy-MM-dd");
        SelectSectionOnClick(d);
    }
    for (QTimeEdit* t : {m_startTime, m_endTime}) {
        t->setDisplayFormat("HH:mm:ss");
        SelectSectionOnClick(t);
    }

    auto* buttons = new QDialogButtonBox;
    buttons->addButton("确定", QDialogButtonBox::AcceptRole);
    buttons->addButton("取消", QDialogButtonBox::RejectRole);
    grid->addWidget(buttons, row++, 0, 1, 4);
    connect(buttons, &QDialogButtonBox::accepted, this, &CNewPlanDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CNewPlanDlg::reject);

    connect(m_useGis, &QCheckBox::toggled, this, &CNewPlanDlg::UpdateEnabling);
    connect(m_chooseGis, &QPushButton::clicked, this, [this] {
        const QString path = ChooseFile(this, false, GisFilter(), "gst");
        if (!path.isEmpty())
            m_gisSource->setText(path);
    });
    connect(m_chooseBitmap, &QPushButton::clicked, this, [this] {
        const QString path = ChooseFile(this, false, BitmapFilter(), QString());
        if (!path.isEmpty())
            m_bitmapFile->setText(path);
    });
    UpdateEnabling();
}

void CNewPlanDlg::UpdateEnabling()
{
    const bool gis = m_useGis->isChecked();
    m_gisSource->setEnabled(gis);
    m_chooseGis->setEnabled(gis);
    m_bitmapFile->setEnabled(!gis);
    m_chooseBitmap->setEnabled(!gis);
    m_width->setEnabled(!gis);
    m_height->setEnabled(!gis);
}

NewPlanValues CNewPlanDlg::Values() const
{
    NewPlanValues v;
    v.planName = m_planName->text();
    v.gisSource = m_gisSource->text();
    v.useGis = m_useGis->isChecked() ? 1 : 0;
    v.bitmapFile = m_bitmapFile->text();
    v.widthKm = m_width->text().toDouble();
    v.heightKm = m_height->text().toDouble();
    v.start = Join(m_startDate->date(), m_startTime->time());
    v.end = Join(m_endDate->date(), m_endTime->time());
    return v;
}

void CNewPlanDlg::SetValues(const NewPlanValues& v)
{
    m_planName->setText(v.planName);
    m_gisSource->setText(v.gisSource);
    m_useGis->setChecked(v.useGis != 0);
    m_bitmapFile->setText(v.bitmapFile);
    m_width->setText(QString::number(v.widthKm, 'g', 17));
    m_height->setText(QString::number(v.heightKm, 'g', 17));
}

QString CNewPlanDlg::ValidationMessage() const
{
    struct Field {
        QLineEdit* edit;
        double max;
    };
    for (const Field& f : {Field{m_width, kMaxWidthKm}, Field{m_height, kMaxHeightKm}}) {
        bool ok = false;
        const double v = f.edit->text().trimmed().toDouble(&ok);
        if (!ok)
            return QStringLiteral("请输入一个数。");
        if (!(v >= 0 && v <= f.max))
            return QStringLiteral("请输入一个介于 0 和 %1 之间的数。").arg(f.max, 0, 'g', 16);
    }
    return {};
}

void CNewPlanDlg::accept()
{
    const QString message = ValidationMessage();
    if (!message.isEmpty()) {
        QMessageBox::warning(this, "Tarnwick", message);
        return;
    }
    QDialog::accept();
}
