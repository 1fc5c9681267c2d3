#include "ui/panels/DialogCustomProperty.h"

#include "app/TarnwickApp.h"
#include "engine/Units.h"
#include "ui/UndoRedoCommands.h"
#include "ui/panels/PanelAccess.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTreeWidget>

#include <algorithm>
#include <climits>
#include <set>

using namespace panels;

CDialogCustomProperty::CDialogCustomProperty(CTarnwickApp& app, QWidget* parent) : QWidget(parent), m_app(app)
{
    setObjectName("CustomProperty");
    m_title = new QLabel("自定义属性列表:", this);
    m_list = new QTreeWidget(this);
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({QString(), "属性名称", "属性值"});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    m_list->setUniformRowHeights(true);
    m_list->header()->setStretchLastSection(true);
    // The ID column is the records' key, not something to read.
    m_list->setColumnWidth(0, 0);
    m_list->setColumnHidden(0, true);
    m_list->setColumnWidth(1, 80);
    m_list->setColumnWidth(2, 200);

    m_nameLabel = new QLabel("属性名称", this);
    m_valueLabel = new QLabel("属性值", this);
    m_nameBox = new QComboBox(this);
    m_nameBox->setEditable(true);
    m_nameBox->setInsertPolicy(QComboBox::NoInsert);
    m_nameBox->lineEdit()->setMaxLength(kMaxNameLength);
    m_valueEdit = new QLineEdit(this);
    m_addButton = new QPushButton("新增", this);
    m_modifyButton = new QPushButton("修改", this);
    m_modifyButton->hide();
    m_deleteButton = new QPushButton("删除", this);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CDialogCustomProperty::OnSelected);
    connect(m_addButton, &QPushButton::clicked, this, &CDialogCustomProperty::OnAdd);
    connect(m_modifyButton, &QPushButton::clicked, this, &CDialogCustomProperty::OnModify);
    connect(m_deleteButton, &QPushButton::clicked, this, &CDialogCustomProperty::OnDelete);
    resize(220, 300);
    LayOut();
}

void CDialogCustomProperty::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayOut();
}

void CDialogCustomProperty::LayOut()
{
    // Fixed places measured from the bottom: the list takes what is left above.
    const int w = width(), h = height();
    m_title->setGeometry(2, 6, std::max(0, w - 4), 20);
    m_list->setGeometry(2, 30, std::max(0, w - 2), std::max(0, h - 150));
    m_nameLabel->setGeometry(2, h - 110, 60, 20);
    m_valueLabel->setGeometry(2, h - 80, 60, 20);
    m_nameBox->setGeometry(70, h - 110, 140, 20);
    m_valueEdit->setGeometry(70, h - 80, 140, 20);
    m_addButton->setGeometry(2, h - 40, 50, 20);
    m_modifyButton->setGeometry(80, h - 40, 50, 20);
    m_deleteButton->setGeometry(160, h - 40, 50, 20);
}

void CDialogCustomProperty::AppendRow(const CustomProperty& property)
{
    auto* item = new QTreeWidgetItem(m_list);
    item->setText(0, QString::number(property.ID));
    item->setText(1, QString::fromStdString(property.name));
    item->setText(2, QString::fromStdString(property.value));
}

int CDialogCustomProperty::SelectedRow() const
{
    const QList<QTreeWidgetItem*> items = m_list->selectedItems();
    return items.isEmpty() ? -1 : m_list->indexOfTopLevelItem(items.front());
}

CustomProperty* CDialogCustomProperty::SelectedRecord(CUnitCanLoad& unit) const
{
    const int row = SelectedRow();
    if (row < 0)
        return nullptr;
    const int32_t id = m_list->topLevelItem(row)->text(0).toInt();
    int position = 0;
    CustomProperty* first = nullptr;
    for (CustomPropertyList& list : unit.m_CustomProperties) {
        for (CustomProperty& property : list.m_Properties) {
            if (property.ID == id) {
                if (position == row)
                    return &property;
                if (!first)
                    first = &property;
            }
            ++position;
        }
    }
    return first;
}

void CDialogCustomProperty::OnUnitPropertiesShown(int unitNo)
{
    const bool sameUnit = unitNo == m_UnitNo;
    m_UnitNo = unitNo;
    CFirstLayerAccess access(m_app);
    // A busy gate leaves the list as it is, unless it belongs to another unit.
    if (!access && sameUnit)
        return;
    {
        const QSignalBlocker block(m_list);
        m_list->clear();
    }
    CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
    if (!unit)
        return;
    // The names in use are offered in the name box.
    const QString typed = m_nameBox->currentText();
    std::set<QString> names;
    m_nameBox->clear();
    for (const CustomPropertyList& list : unit->m_CustomProperties) {
        for (const CustomProperty& property : list.m_Properties) {
            AppendRow(property);
            const QString name = QString::fromStdString(property.name);
            if (!name.isEmpty() && names.insert(name).second)
                m_nameBox->addItem(name);
        }
    }
    m_nameBox->setCurrentIndex(-1);
    m_nameBox->setEditText(typed);
}

void CDialogCustomProperty::OnAdd()
{
    if (!ModelEditable(m_app))
        return;
    CUndoRedoCommands::RecordEdit(m_app, "添加自定义属性", m_UnitNo);
    const std::string name = m_nameBox->currentText().left(kMaxNameLength).toStdString();
    const std::string value = m_valueEdit->text().toStdString();
    CustomProperty record;
    {
        CFirstLayerAccess access(m_app);
        CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
        if (!unit)
            return;
        int32_t id = 1;
        if (!unit->m_CustomProperties.empty()) {
            std::set<int32_t> shown;
            for (int i = 0; i < m_list->topLevelItemCount(); ++i)
                shown.insert(m_list->topLevelItem(i)->text(0).toInt());
            if (!shown.empty()) {
                const int32_t largest = *shown.rbegin();
                if (largest < INT32_MAX) {
                    id = largest + 1;
                } else {
                    // One more than the largest would overflow: the smallest free ID instead.
                    while (shown.count(id))
                        ++id;
                }
            }
        }
        record = {id, name, value};
        unit->FirstCustomPropertyList().m_Properties.push_back(record);
    }
    AppendRow(record);
}

void CDialogCustomProperty::OnSelected()
{
    if (SelectedRow() < 0)
        return;
    CFirstLayerAccess access(m_app);
    CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
    const CustomProperty* record = unit ? SelectedRecord(*unit) : nullptr;
    if (!record)
        return;
    m_nameBox->setEditText(QString::fromStdString(record->name));
    m_valueEdit->setText(QString::fromStdString(record->value));
}

void CDialogCustomProperty::OnModify()
{
    const int row = SelectedRow();
    if (row < 0 || !ModelEditable(m_app))
        return;
    CUndoRedoCommands::RecordEdit(m_app, "修改自定义属性", m_UnitNo);
    const std::string name = m_nameBox->currentText().left(kMaxNameLength).toStdString();
    const std::string value = m_valueEdit->text().toStdString();
    {
        CFirstLayerAccess access(m_app);
        CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
        CustomProperty* record = unit ? SelectedRecord(*unit) : nullptr;
        if (!record)
            return;
        record->name = name;
        record->value = value;
    }
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    item->setText(1, QString::fromStdString(name));
    item->setText(2, QString::fromStdString(value));
}

void CDialogCustomProperty::OnDelete()
{
    const int row = SelectedRow();
    if (row < 0 || !ModelEditable(m_app))
        return;
    CUndoRedoCommands::RecordEdit(m_app, "删除自定义属性", m_UnitNo);
    CFirstLayerAccess access(m_app);
    if (!access)
        return;
    if (CUnitCanLoad* unit = access.FindUnit(m_UnitNo)) {
        if (const CustomProperty* record = SelectedRecord(*unit)) {
            for (CustomPropertyList& list : unit->m_CustomProperties) {
                auto& props = list.m_Properties;
                auto it = std::find_if(props.begin(), props.end(), [record](const CustomProperty& p) { return &p == record; });
                if (it != props.end()) {
                    props.erase(it);
                    break;
                }
            }
        }
    }
    const QSignalBlocker block(m_list);
    delete m_list->takeTopLevelItem(row);
    m_list->clearSelection();
}
