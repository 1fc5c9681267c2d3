// The plan view's editing commands: route and target picks, actions, delete, drops.
#include "ui/TarnwickView.h"

#include "ui/SharedWalk.h"

#include "config/MessageReporter.h"
#include "config/ModulePaths.h"
#include "app/TarnwickApp.h"
#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"
#include "engine/WGAction.h"
#include "ui/EditingDialogs.h"
#include "ui/ToolIcons.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>
#include <cstdlib>


// ---- picks and actions ---------------------------------------------------------------

void CTarnwickView::StartPick(int mode, int speedGiven)
{
    m_viewState.pickedPoints.clear();
    m_viewState.pickedPoints.push_back({m_selX, m_selY, 0.0});
    if (speedGiven >= 0)
        m_speedGiven = speedGiven;
    m_viewState.pickMode = mode;
    m_viewState.pickActive = true;
    update();
}

void CTarnwickView::AddAction(CUnitCanLoad& unit, int type, double speed, const std::vector<RoutePoint>& points,
                              const std::string& weapon, int count, int unitNo)
{
    if (unit.m_Layer)
        m_app.m_EditHistory.Record(*unit.m_Layer, std::string("添加") + DefaultActionName(type) + "动作",
                                   unit.m_UnitNo, true);
    auto action = std::make_unique<WGAction>();
    action->m_ActionNo = unit.LastActionNo() + 1;
    action->m_ActionType = type;
    action->m_ActionName = type == kActionMove     ? "移动"
                           : type == kActionStrike ? "打击"
                           : type == kActionLoad   ? "装载"
                                                   : "卸载";
    action->m_ActionTime = CurrentTime();
    action->m_ActingUnits.push_back(&unit);
    if (type == kActionMove) {
        action->m_Speed = speed;
        action->m_SpeedMapUnits = speed;
    }
    if (type == kActionStrike) {
        action->m_BulletType = weapon;
        action->m_HitTime = count;
    }
    if (type == kActionLoad || type == kActionUnload)
        action->m_UnitNo = unitNo;
    if (!points.empty()) {
        auto route = std::make_unique<WGRoute>();
        route->m_Points = points;
        action->m_Routes.push_back(std::move(route));
    }
    unit.AddNewAction(std::move(action));
}

void CTarnwickView::FinishMove()
{
    m_viewState.pickActive = false;
    m_viewState.pickMode = 0;
    double speed = m_defaultSpeed;
    if (m_speedGiven == 0) {
        bool asDefault = true;
        if (!Dialogs().speed(speed, asDefault)) {
            update();
            return;
        }
        if (asDefault)
            m_defaultSpeed = speed;
    }
    CPlanLayer* layer = m_app.GetPlan()->GetFirstLayer();
    int32_t unitNo = 0;
    {
        SharedWalk walk(layer, 10);
        if (!walk) {
            update();
            return;
        }
        if (CUnitCanLoad* unit = FirstSelected()) {
            AddAction(*unit, kActionMove, speed, m_viewState.pickedPoints, {}, 0, 0);
            unitNo = unit->m_UnitNo;
        }
    }
    if (unitNo)
        emit unitActionsChanged(unitNo);
    update();
}

void CTarnwickView::FinishStrike(double x, double y)
{
    m_viewState.pickActive = false;
    m_viewState.pickMode = 0;
    std::string weapon;
    int count = 0;
    if (!Dialogs().strike(weapon, count)) {
        update();
        return;
    }
    CPlanLayer* layer = m_app.GetPlan()->GetFirstLayer();
    int32_t unitNo = 0;
    {
        SharedWalk walk(layer, 10);
        if (!walk) {
            update();
            return;
        }
        if (CUnitCanLoad* unit = FirstSelected()) {
            AddAction(*unit, kActionStrike, 0, {{x, y, 0.0}}, weapon, count, 0);
            unitNo = unit->m_UnitNo;
        }
    }
    if (unitNo)
        emit unitActionsChanged(unitNo);
    update();
}

void CTarnwickView::FinishUnload(double x, double y)
{
    m_viewState.pickActive = false;
    m_viewState.pickMode = 0;
    int target = 0;
    if (!Dialogs().target(target)) {
        update();
        return;
    }
    CPlanLayer* layer = m_app.GetPlan()->GetFirstLayer();
    int32_t unitNo = 0;
    {
        SharedWalk walk(layer, 10);
        if (!walk) {
            update();
            return;
        }
        if (CUnitCanLoad* unit = FirstSelected()) {
            AddAction(*unit, kActionUnload, 0, {{x, y, 0.0}}, {}, 0, target);
            unitNo = unit->m_UnitNo;
        }
    }
    if (unitNo)
        emit unitActionsChanged(unitNo);
    update();
}

void CTarnwickView::OnMoveTo()
{
    StartPick(1, 0);
}

void CTarnwickView::OnMoveAtSpeed()
{
    StartPick(1, 1);
}

void CTarnwickView::OnStrike()
{
    StartPick(2, -1);  // speed given unchanged
}

void CTarnwickView::OnUnload()
{
    StartPick(5, 0);
}

void CTarnwickView::OnLoad()
{
    if (!m_app.GetPlan())
        return;
    int target = 0;
    if (!Dialogs().target(target))
        return;
    CPlanLayer* layer = m_app.GetPlan()->GetFirstLayer();
    int32_t unitNo = 0;
    {
        SharedWalk walk(layer, 10);
        if (!walk)
            return;
        if (CUnitCanLoad* unit = FirstSelected()) {
            if (unit->m_UnitNo == target) {
                ReportError(m_app.Reporter(), "不能装载自己!", "错误");
            } else {
                AddAction(*unit, kActionLoad, 0, {}, {}, 0, target);
                unitNo = unit->m_UnitNo;
            }
        }
    }
    if (unitNo)
        emit unitActionsChanged(unitNo);
    update();
}

void CTarnwickView::OnDeleteUnit()
{
    CPlan* plan = m_app.GetPlan();
    CPlanLayer* layer = plan ? plan->GetFirstLayer() : nullptr;
    const std::vector<int32_t> unitNos = SelectedUnitNos();
    if (unitNos.empty())
        return;
    const MessageAnswer answer =
        m_app.Reporter().Report({"确实要删除吗(Y/N?)", "提示", MessageIcon::Question, MessageButtons::YesNo});
    setFocus(Qt::OtherFocusReason);
    if (answer != MessageAnswer::Yes)
        return;
    // Several units go in one step, so one undo brings them all back.
    m_app.m_EditHistory.RecordUnits(*layer, "删除单位", unitNos);
    for (int32_t no : unitNos)
        layer->DeleteUnitsByNo(no);
    update();
}

// ---- drop ----------------------------------------------------------------------------

bool CTarnwickView::DropUnitClass(const QPoint& screenPoint, UnitClassInfo& info)
{
    CPlan* plan = m_app.GetPlan();
    CPlanLayer* layer = plan ? plan->GetFirstLayer() : nullptr;
    if (!layer || !rect().contains(mapFromGlobal(screenPoint)))
        return false;
    std::unique_ptr<CUnitCanLoad> unit;
    if (info.classCode == "01" || info.classCode == "02-01" || info.classCode == "02-02" || info.classCode == "03")
        unit = CreateUnitOfKind(info.classCode);
    if (!unit) {
        update();
        return false;
    }
    unit->m_UnitNo = layer->MaxUnitNo() + 1;
    unit->m_UnitName = info.name;
    unit->m_ClassId = info.id;
    unit->m_UnitBitmap = info.bitmapPath;
    unit->m_UnitBitmapMask = info.maskPath;
    unit->m_ClassInfo = &info;
    unit->LoadBitmaps(m_app.m_ModuleFolder);
    unit->m_CurX = unit->m_InitX = m_app.m_MouseX;
    unit->m_CurY = unit->m_InitY = m_app.m_MouseY;
    unit->m_AppearTime = CurrentTime();
    unit->m_RectTracker.m_handlesInside = false;
    CUnitCanLoad* added = unit.get();
    m_app.m_EditHistory.Record(*layer, "放置单位", added->m_UnitNo);
    if (!layer->AddUnit(std::move(unit))) {
        update();
        return false;
    }
    ShowUnitInPanels(*added);
    update();
    return true;
}
