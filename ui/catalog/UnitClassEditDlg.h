#pragma once

#include <QDialog>

#include <functional>
#include <string>

class CTarnwickApp;
class IMessageReporter;
class QLabel;
class QLineEdit;
struct UnitCategory;
struct UnitClassInfo;

// "单位种类信息编辑": the editable fields of one unit class. The caller fills
// the fields and the class code before exec(); on OK they hold the entries.
// Weapons (code "03") edit only the kill radius, other classes everything
// but the kill radius.
class CDialogUnitClassEdit : public QDialog {
    Q_OBJECT
public:
    // Messages about unreadable numbers go to `reporter` (null: the program's default).
    explicit CDialogUnitClassEdit(IMessageReporter* reporter = nullptr, QWidget* parent = nullptr);

    // Puts the fields into the controls and enables them by class code.
    void InitDialog();
    int exec() override;
    // Reads the controls back; stays open on text that is not a number.
    void accept() override;

    QString m_Name;
    double m_Width = 0;   // metres
    double m_Height = 0;  // metres
    double m_KillRadius = 0;
    double m_VisibleMin = 0;
    double m_VisibleMax = 0;
    std::string m_ClassCode;  // decides the enabling; not shown

    QLineEdit* NameEdit() const { return m_nameEdit; }
    QLineEdit* WidthEdit() const { return m_widthEdit; }
    QLineEdit* HeightEdit() const { return m_heightEdit; }
    QLineEdit* KillRadiusEdit() const { return m_killRadiusEdit; }
    QLineEdit* VisibleMinEdit() const { return m_visibleMinEdit; }
    QLineEdit* VisibleMaxEdit() const { return m_visibleMaxEdit; }

private:
    IMessageReporter& Reporter() const;

    IMessageReporter* m_reporter;
    QLineEdit* m_nameEdit;
    QLineEdit* m_widthEdit;
    QLineEdit* m_heightEdit;
    QLineEdit* m_killRadiusEdit;
    QLineEdit* m_visibleMinEdit;
    QLineEdit* m_visibleMaxEdit;
};

// Runs the class editor on the filled dialog (controls already initialised);
// true on OK. Tests replace the modal run so that nothing blocks.
using UnitClassEditor = std::function<bool(CDialogUnitClassEdit& dialog)>;

// What a catalogue tree item stands for: a category, a unit class, or nothing.
struct CatalogueRecord {
    UnitCategory* category = nullptr;
    UnitClassInfo* unitClass = nullptr;
};

enum class ClassEditOutcome { ClockRunning, NoSelection, NotAClass, Cancelled, Saved, SaveFailed };

// Editing the selected catalogue entry: refused while the clock runs and for
// categories; on OK the record takes the entries (width and height truncated
// to whole metres), the catalogue is saved and `repaint` runs.
ClassEditOutcome EditUnitClass(CTarnwickApp& app, const CatalogueRecord* selection, const UnitClassEditor& editor,
                               const std::function<void()>& repaint, QWidget* dialogParent = nullptr);
