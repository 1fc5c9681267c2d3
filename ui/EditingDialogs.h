#pragma once

#include <QDialog>

#include <cstdint>
#include <string>

class CPlan;
class CTarnwickApp;
class CUnitClassCatalog;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

// "输入速度": the speed of a move and whether it becomes the default speed.
// The caller presets both before exec().
class CDialogSpeedInput : public QDialog {
    Q_OBJECT
public:
    explicit CDialogSpeedInput(QWidget* parent = nullptr);
    int exec() override;
    void accept() override;

    double m_Speed = 0;      // km/h
    int32_t m_Default = 0;   // 1: "做为默认值" checked

    QLineEdit* SpeedEdit() const { return m_speedEdit; }
    QCheckBox* DefaultBox() const { return m_defaultBox; }

private:
    QLineEdit* m_speedEdit;
    QCheckBox* m_defaultBox;
};

// "打击参数": the weapon (a class of code "03") and the number of strikes.
// The last weapon and count are remembered for the whole run.
class CDialogStrikeParam : public QDialog {
    Q_OBJECT
public:
    explicit CDialogStrikeParam(const CUnitClassCatalog& catalogue, QWidget* parent = nullptr);
    void accept() override;

    std::string m_ResultWeaponId;  // empty when no weapon was selected
    int32_t m_ResultCount = 0;

    static const std::string& LastWeaponId() { return s_lastWeaponId; }
    static int32_t LastStrikeCount() { return s_lastStrikeCount; }

    QComboBox* WeaponList() const { return m_weapons; }
    QLineEdit* CountEdit() const { return m_countEdit; }

private:
    static inline std::string s_lastWeaponId;
    static inline int32_t s_lastStrikeCount = 10;
    QComboBox* m_weapons;
    QLineEdit* m_countEdit;
};

// "选择目标对象": one unit of the first layer, fire units and class id "03"
// left out.
class CDialogTargetSelect : public QDialog {
    Q_OBJECT
public:
    // `plan` may be null (empty list).
    explicit CDialogTargetSelect(const CPlan* plan, QWidget* parent = nullptr);
    void accept() override;

    int32_t m_ResultUnitNo = 0;  // unchanged when nothing is chosen

    QComboBox* UnitList() const { return m_units; }

private:
    QComboBox* m_units;
};

// "选择路线": modeless; shows a point typed in or picked on the map and hands
// one point per "确定" to its owner. "选择" toggles the application's
// route-select pick flag.
class CDialogRouteSelect : public QDialog {
    Q_OBJECT
public:
    CDialogRouteSelect(CTarnwickApp& app, double x, double y, QWidget* parent = nullptr);

    QPushButton* PickButton() const { return m_pickButton; }
    QPushButton* OkButton() const { return m_okButton; }
    QLineEdit* XEdit() const { return m_xEdit; }
    QLineEdit* YEdit() const { return m_yEdit; }

public slots:
    // A point picked on the map while picking.
    void OnPointPicked(double x, double y, double z);
    void OnTogglePick();
    void OnOk();

signals:
    // One point per "确定", z always 0.
    void pointChosen(double x, double y, double z);

private:
    CTarnwickApp& m_app;
    double m_X = 0, m_Y = 0;
    QLineEdit* m_xEdit;
    QLineEdit* m_yEdit;
    QPushButton* m_pickButton;
    QPushButton* m_okButton;
};
