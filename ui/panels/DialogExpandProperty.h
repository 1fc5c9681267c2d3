#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>

class CDialogRouteSelect;
class CTarnwickApp;
class CUnitCanLoad;
class QAction;
class QComboBox;
class QIcon;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;
class WGAction;

namespace panels {
class CFirstLayerAccess;
}

// "动作": the action list of the unit last selected in the plan view, the
// parameters of the selected action and the points of its route. Actions are
// added from the "新增" popup, changed with "修改" and removed with "删除";
// route points come from the route-select dialog ("选择路线"), typed in or
// picked on the map, and are removed from the route list's popup.
//
// Every change goes straight into the unit of the plan's first layer, under
// the layer gate held shared for at most 20 ms; a busy gate drops the change.
class CDialogExpandProperty : public QWidget {
    Q_OBJECT
public:
    // Items of the "新增" popup and of the route list's popup.
    enum Command {
        ID_ADD_MOVE = 32805, ID_ADD_STRIKE = 32806, ID_ADD_TURN = 32810, ID_ADD_LOAD = 32811,
        ID_ADD_UNLOAD = 32812, ID_ROUTE_ADD = 32813, ID_ROUTE_MODIFY = 32814, ID_ROUTE_DELETE = 32815,
    };
    static constexpr double kInitialSpeed = 30.0;  // km/h

    // Shows a popup menu at a screen point and returns the chosen item (null:
    // dismissed). Replaceable so that tests never block on a menu.
    using MenuHook = std::function<QAction*(QMenu& menu, const QPoint& globalPos)>;

    explicit CDialogExpandProperty(CTarnwickApp& app, QWidget* parent = nullptr);
    ~CDialogExpandProperty() override;

    // The time panel's current time in seconds from the plan start, stamped on new actions.
    void SetCurrentTimeSource(std::function<int()> source) { m_currentTime = std::move(source); }
    void SetMenuHook(MenuHook hook) { m_menuHook = std::move(hook); }

    // Name and list icon of an action type ("空闲", "移动", "打击", "转向",
    // "装载", "卸载"); empty name and icon for any other type.
    static QString ActionTypeName(int actionType);
    static QIcon ActionTypeIcon(int actionType);

    // The "新增" popup; its items are enabled only with a unit shown in edit mode.
    void BuildAddMenu(QMenu& menu) const;
    // The route list's popup: "新增", "修改", "删除".
    void BuildRouteMenu(QMenu& menu) const;

    int32_t UnitNo() const { return m_UnitNo; }
    // ActionNo of the selected action, -1 when none.
    int32_t SelectedActionNo() const { return m_SelectedActionNo; }

    QTreeWidget* ActionList() const { return m_actionList; }
    QTreeWidget* RouteList() const { return m_routeList; }
    QLineEdit* SpeedEdit() const { return m_speedEdit; }
    QComboBox* WeaponList() const { return m_weaponList; }
    QLineEdit* CountEdit() const { return m_countEdit; }
    QComboBox* TargetList() const { return m_targetList; }
    QLineEdit* AngleEdit() const { return m_angleEdit; }
    QPushButton* PickButton() const { return m_pickButton; }
    QPushButton* AddButton() const { return m_addButton; }
    QPushButton* ModifyButton() const { return m_modifyButton; }
    QPushButton* DeleteButton() const { return m_deleteButton; }
    // The open route-select dialog, or null.
    CDialogRouteSelect* PointDialog() const;

public slots:
    // Shows the actions of this unit; no action is selected afterwards.
    void OnUnitActionsChanged(int unitNo);
    // A point for the selected action's route (from the route-select dialog).
    void OnPointChosen(double x, double y, double z);
    // A map point clicked while the route-select dialog picks: shown in the dialog.
    void OnRoutePointPicked(double x, double y, double z);

    void OnAddButton();
    // Adds an action of this type (1 move .. 5 unload) to the unit shown.
    void OnAddAction(int actionType);
    void OnActionSelected();
    void OnModify();
    void OnDelete();
    void OnRouteAdd();
    void OnRouteModify();
    void OnRouteDelete();
    // Runs a command of either popup.
    void OnCommand(int command);

signals:
    // The plan view should be painted again (routes may have changed).
    void repaintRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnRouteContextMenu(const QPoint& pos);
    QAction* ShowMenu(QMenu& menu, const QPoint& globalPos);
    void AppendActionRow(const WGAction& action);
    void AppendRouteRow(double x, double y);
    // The route list from every route of the action.
    void ShowRoutePoints(const WGAction& action);
    void FillWeapons();
    void FillTargets(const panels::CFirstLayerAccess& access);
    // The action of the selected row: found by its position when the number
    // there matches (numbers may repeat in a plan file), else the first action
    // with the selected number.
    WGAction* SelectedAction(CUnitCanLoad& unit) const;
    int SelectedRow() const;
    void EnableFields(bool speed, bool weapon, bool count, bool target, bool angle, bool pick);
    bool RequireSelectedAction();
    void OpenPointDialog();
    void ClosePointDialog();

    CTarnwickApp& m_app;
    int32_t m_UnitNo = -1;
    int32_t m_SelectedActionNo = -1;
    std::function<int()> m_currentTime;
    MenuHook m_menuHook;
    QPointer<CDialogRouteSelect> m_pointDialog;

    QTreeWidget* m_actionList;
    QTreeWidget* m_routeList;
    QLineEdit* m_speedEdit;
    QComboBox* m_weaponList;
    QLineEdit* m_countEdit;
    QComboBox* m_targetList;
    QLineEdit* m_angleEdit;
    QPushButton* m_pickButton;
    QPushButton* m_addButton;
    QPushButton* m_modifyButton;
    QPushButton* m_deleteButton;
};
