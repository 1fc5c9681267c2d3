#pragma once

#include <QColor>
#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>

class CTarnwickApp;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
struct UnitClassInfo;

// "系统参数设置": the hit check (on/off and distance) and the fire-line colour
// of each weapon class. Works directly on the application's configuration
// store and working values: a colour choice and "设置" change them at once,
// "确定" writes SysConfig.cfg and closes, Esc closes without writing.
class CSysParamDlg : public QDialog {
    Q_OBJECT
public:
    // The colour chooser, given the initial colour; nullopt when cancelled.
    using ColorChooser = std::function<std::optional<QColor>(const QColor& initial, QWidget* parent)>;

    explicit CSysParamDlg(CTarnwickApp& app, QWidget* parent = nullptr);

    // The menu command: refuses while a plan plays, otherwise runs the dialog
    // modally. `chooser` null: the standard colour dialog. `run` null: exec();
    // tests pass their own to drive the open dialog. False when refused.
    static bool Open(CTarnwickApp& app, QWidget* parent, ColorChooser chooser = nullptr,
                     const std::function<void(CSysParamDlg&)>& run = nullptr);

    void SetColorChooser(ColorChooser chooser) { m_chooser = std::move(chooser); }

    // The fire colour as a swatch shows it (0x00BBGGRR in, RGB out) and back.
    static QColor ColorFromColorRef(uint32_t colorRef);
    static uint32_t ColorRefFromColor(const QColor& color);

    // The weapon whose colour the swatch shows; null when none is selected.
    UnitClassInfo* SelectedWeapon() const;
    QColor SwatchColor() const { return m_swatchColor; }

    QComboBox* WeaponList() const { return m_weapons; }
    QCheckBox* HitCheckBox() const { return m_hitCheck; }
    QCheckBox* CrossCheckBox() const { return m_crossCheck; }
    // "位图地图按实际公里计算速度和距离" ("BitmapMapRealKm"), applied when clicked.
    QCheckBox* RealKmCheckBox() const { return m_realKmCheck; }
    // The check of a changed plan before it plays (SysConfig "CheckPlanBeforePlay").
    QCheckBox* CheckBeforePlayBox() const { return m_checkBeforePlay; }
    QLineEdit* DistanceEdit() const { return m_distanceEdit; }
    QPushButton* SwatchButton() const { return m_swatch; }
    QPushButton* ChooseButton() const { return m_chooseButton; }
    QPushButton* ApplyButton() const { return m_applyButton; }
    QPushButton* OkButton() const { return m_okButton; }

public slots:
    void OnHitCheckClicked();
    void OnWeaponSelected(int index);
    void OnChooseColor();
    void OnApply();
    // Saves the configuration, then closes when the entries are readable.
    void accept() override;

private:
    bool ReadDistance(double& distance);
    void ShowSwatch(const QColor& color);

    CTarnwickApp& m_app;
    ColorChooser m_chooser;
    QColor m_swatchColor;
    QComboBox* m_weapons;
    QCheckBox* m_hitCheck;
    QCheckBox* m_crossCheck;
    QCheckBox* m_realKmCheck = nullptr;
    QCheckBox* m_checkBeforePlay;
    QLineEdit* m_distanceEdit;
    QPushButton* m_swatch;
    QPushButton* m_chooseButton;
    QPushButton* m_applyButton;
    QPushButton* m_okButton;
};
