// Renders the three property panels, showing a unit with actions, route points
// and custom properties, into PNG files for a look at them:
// ui_props_shots [OUTPUT_PREFIX]   (default /tmp/props-)
#include "PanelTestSupport.h"

#include "config/UnitClassCatalog.h"
#include "ui/EditingDialogs.h"
#include "ui/panels/DialogCustomProperty.h"
#include "ui/panels/DialogExpandProperty.h"
#include "ui/panels/DialogUnitCombination.h"

#include <QApplication>
#include <QTabWidget>
#include <QTreeWidget>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qapp(argc, argv);
    const QString prefix = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/props-");

    PanelShell s;
    if (!s.layer)
        return 1;
    CUnitCanLoad* tank = s.AddUnit(3, {200, 200}, 75);
    tank->m_UnitName = "坦克一连";
    tank->m_Angle = 45;
    s.AddUnit(5, {400, 300})->m_UnitName = "步兵二排";
    s.AddUnit(6, {500, 100})->m_UnitName = "运输直升机";
    WGAction* move = PanelShell::AddAction(*tank, 1, kActionMove,
                                           {{12.5, 8.25, 0}, {14.031250, 9.5, 0}, {16.75, 9.875, 0}});
    move->m_Speed = 45;
    WGAction* strike = PanelShell::AddAction(*tank, 2, kActionStrike, {{18.2, 10.4, 0}});
    strike->m_HitTime = 3;
    for (const auto& info : s.app->m_UnitClassCatalog.GetUnitClasses())
        if (info->IsWeapon())
            strike->m_BulletType = info->id;
    PanelShell::AddAction(*tank, 3, kActionTurn)->m_Angle = 90;
    PanelShell::AddAction(*tank, 5, kActionLoad)->m_UnitNo = 5;
    PanelShell::AddAction(*tank, 7, kActionUnload, {{20, 11, 0}})->m_UnitNo = 5;
    tank->FirstCustomPropertyList().m_Properties = {
        {1, "呼号", "猎鹰"}, {2, "编制", "加强连"}, {4, "油料", "80%"}, {5, "弹药基数", "1.5"}};

    const QSize size(260, 520);
    CDialogUnitCombination general(*s.app);
    CDialogExpandProperty actions(*s.app);
    CDialogCustomProperty custom(*s.app);
    for (QWidget* w : std::initializer_list<QWidget*>{&general, &actions, &custom}) {
        w->resize(size);
        w->show();
    }
    general.OnUnitShown(3, "坦克一连", 75, tank->m_InitX, tank->m_InitY, tank->m_CurX + 0.5, tank->m_CurY);
    actions.OnUnitActionsChanged(3);
    actions.ActionList()->setCurrentItem(actions.ActionList()->topLevelItem(0));
    custom.OnUnitPropertiesShown(3);
    custom.PropertyList()->setCurrentItem(custom.PropertyList()->topLevelItem(1));
    QCoreApplication::processEvents();

    general.grab().save(prefix + "general.png");
    actions.grab().save(prefix + "actions.png");
    custom.grab().save(prefix + "custom.png");
    actions.ActionList()->setCurrentItem(actions.ActionList()->topLevelItem(1));
    QCoreApplication::processEvents();
    actions.grab().save(prefix + "actions-strike.png");

    // The dock as the main frame holds it: three tabs.
    QTabWidget tabs;
    tabs.addTab(new CDialogUnitCombination(*s.app), "常规属性");
    tabs.addTab(new CDialogExpandProperty(*s.app), "动作");
    tabs.addTab(new CDialogCustomProperty(*s.app), "自定义属性");
    tabs.resize(size);
    tabs.show();
    QCoreApplication::processEvents();
    tabs.grab().save(prefix + "tabs.png");

    actions.OnRouteAdd();
    if (CDialogRouteSelect* dialog = actions.PointDialog()) {
        QCoreApplication::processEvents();
        dialog->grab().save(prefix + "route-dialog.png");
    }
    return 0;
}
