#pragma once

#include <QWidget>

#include <cstdint>

class CTarnwickApp;
class CUnitCanLoad;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
struct CustomProperty;

// "自定义属性": the free name/value pairs of the unit last selected in the
// plan view. The list shows the records of all the unit's property lists in
// order (the first column, the record's ID, is hidden); new records go to the
// first list, created when the unit has none.
class CDialogCustomProperty : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxNameLength = 1000;

    explicit CDialogCustomProperty(CTarnwickApp& app, QWidget* parent = nullptr);

    int32_t UnitNo() const { return m_UnitNo; }

    QTreeWidget* PropertyList() const { return m_list; }
    QComboBox* NameBox() const { return m_nameBox; }
    QLineEdit* ValueEdit() const { return m_valueEdit; }
    QPushButton* AddButton() const { return m_addButton; }
    QPushButton* ModifyButton() const { return m_modifyButton; }
    QPushButton* DeleteButton() const { return m_deleteButton; }

public slots:
    // Shows the properties of this unit.
    void OnUnitPropertiesShown(int unitNo);
    void OnAdd();
    void OnSelected();
    // Present but hidden in the panel: the selected record takes the fields.
    void OnModify();
    void OnDelete();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void AppendRow(const CustomProperty& property);
    // The record of the selected row: by its position among the unit's
    // records when the ID there matches (IDs may repeat in a plan file), else
    // the first record with the row's ID. Null when there is none.
    CustomProperty* SelectedRecord(CUnitCanLoad& unit) const;
    int SelectedRow() const;
    void LayOut();

    CTarnwickApp& m_app;
    int32_t m_UnitNo = -1;
    QLabel* m_title;
    QTreeWidget* m_list;
    QLabel* m_nameLabel;
    QLabel* m_valueLabel;
    QComboBox* m_nameBox;
    QLineEdit* m_valueEdit;
    QPushButton* m_addButton;
    QPushButton* m_modifyButton;
    QPushButton* m_deleteButton;
};
