#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

class CTarnwickApp;
class QLineEdit;
class QPushButton;

// "常规属性": the fixed attributes (number, name, appear time, angle, the
// position where the unit appears) and the current position of the unit last
// selected in the plan view. Each "修改" writes its frame's fields straight
// into the unit of the plan's first layer.
class CDialogUnitCombination : public QWidget {
    Q_OBJECT
public:
    explicit CDialogUnitCombination(CTarnwickApp& app, QWidget* parent = nullptr);

    // The unit shown and the values last shown (the snapshot the view sends,
    // and the unit's angle, read when the unit is shown).
    int32_t m_UnitNo = -1;
    QString m_UnitName;
    int32_t m_AppearTime = 0;
    double m_Angle = 0;
    double m_InitX = 0, m_InitY = 0;
    double m_CurX = 0, m_CurY = 0;

    QLineEdit* NoEdit() const { return m_noEdit; }
    QLineEdit* NameEdit() const { return m_nameEdit; }
    QLineEdit* AppearTimeEdit() const { return m_appearEdit; }
    QLineEdit* AngleEdit() const { return m_angleEdit; }
    QLineEdit* InitXEdit() const { return m_initXEdit; }
    QLineEdit* InitYEdit() const { return m_initYEdit; }
    QLineEdit* CurXEdit() const { return m_curXEdit; }
    QLineEdit* CurYEdit() const { return m_curYEdit; }
    QPushButton* ModifyFixedButton() const { return m_modifyFixed; }
    QPushButton* ModifyCurrentButton() const { return m_modifyCurrent; }

public slots:
    // A unit was selected or moved in the view: (x1, y1) go to the position
    // where it appears, (x2, y2) to its current position. The unit's angle is
    // read from the model (kept as it was when the gate is busy).
    void OnUnitShown(int unitNo, QString name, int appearTime, double x1, double y1, double x2, double y2);
    // No unit (the plan was closed): the panel as it is at start.
    void OnNoUnit();
    // "修改" of "固定属性": name, angle, appear time and appear position.
    void OnModifyFixed();
    // "修改" of "当前状态": the current position.
    void OnModifyCurrent();

signals:
    // The plan view should be painted again.
    void repaintRequested();

private:
    // Fields to controls.
    void ShowFields();
    void ShowFixedFields();
    void ShowCurrentFields();

    CTarnwickApp& m_app;
    QLineEdit* m_noEdit;
    QLineEdit* m_nameEdit;
    QLineEdit* m_appearEdit;
    QLineEdit* m_angleEdit;
    QLineEdit* m_initXEdit;
    QLineEdit* m_initYEdit;
    QLineEdit* m_curXEdit;
    QLineEdit* m_curYEdit;
    QPushButton* m_modifyFixed;
    QPushButton* m_modifyCurrent;
};
