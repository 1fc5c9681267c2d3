#include "ui/panels/DialogExpandProperty.h"

#include "config/MessageReporter.h"
#include "app/TarnwickApp.h"
#include "config/UnitClassCatalog.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"
#include "engine/WGAction.h"
#include "engine/WGRoute.h"
#include "ui/EditingDialogs.h"
#include "ui/UndoRedoCommands.h"
#include "ui/panels/PanelAccess.h"

#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

using namespace panels;

namespace {

constexpr std::array<const char*, 6> kActionTypeNames = {"空闲", "移动", "打击", "转向", "装载", "卸载"};

const char* const kNoActionText = "未选择要添加路线的动作点,\n请先选择动作。";
const char* const kNoActionCaption = "提示信息";

QTreeWidget* ReportList(QWidget* parent, const QStringList& headers, std::initializer_list<int> widths)
{
    auto* list = new QTreeWidget(parent);
    list->setColumnCount(headers.size());
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setUniformRowHeights(true);
    list->header()->setStretchLastSection(true);
    int column = 0;
    for (int w : widths)
        list->setColumnWidth(column++, w);
    return list;
}

QLabel* FieldLabel(const char* text, QWidget* parent)
{
    return new QLabel(QString::fromUtf8(text), parent);
}

// The small pictures of the action list, one per type, drawn here because the
// program ships no icon files.
QPixmap DrawTypeIcon(int type)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (type) {
    case 0:  // idle: an empty ring
        p.setPen(QPen(QColor(120, 120, 120), 1.6));
        p.drawEllipse(QRectF(3, 3, 10, 10));
        break;
    case kActionMove: {  // an arrow to the right
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 100, 200));
        QPainterPath arrow;
        arrow.moveTo(1, 6);
        arrow.lineTo(9, 6);
        arrow.lineTo(9, 2);
        arrow.lineTo(15, 8);
        arrow.lineTo(9, 14);
        arrow.lineTo(9, 10);
        arrow.lineTo(1, 10);
        arrow.closeSubpath();
        p.drawPath(arrow);
        break;
    }
    case kActionStrike:  // cross hairs
        p.setPen(QPen(QColor(200, 30, 30), 1.6));
        p.drawEllipse(QRectF(3, 3, 10, 10));
        p.drawLine(QPointF(8, 0.5), QPointF(8, 5));
        p.drawLine(QPointF(8, 11), QPointF(8, 15.5));
        p.drawLine(QPointF(0.5, 8), QPointF(5, 8));
        p.drawLine(QPointF(11, 8), QPointF(15.5, 8));
        p.setBrush(QColor(200, 30, 30));
        p.drawEllipse(QPointF(8, 8), 1.2, 1.2);
        break;
    case kActionTurn: {  // a curved arrow
        p.setPen(QPen(QColor(20, 140, 60), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(2.5, 2.5, 11, 11), 90 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(20, 140, 60));
        QPolygonF head;
        head << QPointF(8, 0) << QPointF(12, 3) << QPointF(8, 6);
        p.drawPolygon(head);
        break;
    }
    case kActionLoad:
    case kActionUnload: {  // a box with an arrow going in or coming out
        const QColor colour(210, 120, 20);
        p.setPen(QPen(colour, 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2.5, 8.5, 11, 6));
        p.setPen(QPen(colour, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 1.5), QPointF(8, 10));
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        QPolygonF head;
        if (type == kActionLoad)
            head << QPointF(4.5, 7) << QPointF(11.5, 7) << QPointF(8, 11);
        else
            head << QPointF(4.5, 4) << QPointF(11.5, 4) << QPointF(8, 0);
        p.drawPolygon(head);
        break;
    }
    default:
        break;
    }
    return pixmap;
}

}  // namespace

CDialogExpandProperty::CDialogExpandProperty(CTarnwickApp& app, QWidget* parent) : QWidget(parent), m_app(app)
{
    setObjectName("ExpandProperty");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    m_actionList = ReportList(this, {QString(), "出现时间", "动作类型"}, {40, 100, 100});
    layout->addWidget(m_actionList, 3);

    auto* buttons = new QHBoxLayout;
    m_addButton = new QPushButton("新增", this);
    m_modifyButton = new QPushButton("修改", this);
    m_deleteButton = new QPushButton("删除", this);
    buttons->addWidget(m_addButton);
    buttons->addWidget(m_modifyButton);
    buttons->addWidget(m_deleteButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    m_speedEdit = new QLineEdit(this);
    m_weaponList = new QComboBox(this);
    m_countEdit = new QLineEdit(this);
    m_targetList = new QComboBox(this);
    m_angleEdit = new QLineEdit(this);
    m_pickButton = new QPushButton("+ 选择 +", this);
    grid->addWidget(FieldLabel("速度(Km/H)", this), 0, 0);
    grid->addWidget(m_speedEdit, 0, 1, 1, 2);
    grid->addWidget(FieldLabel("武器类型", this), 1, 0);
    grid->addWidget(m_weaponList, 1, 1, 1, 2);
    grid->addWidget(FieldLabel("打击次数", this), 2, 0);
    grid->addWidget(m_countEdit, 2, 1, 1, 2);
    grid->addWidget(FieldLabel("目标单位", this), 3, 0);
    grid->addWidget(m_targetList, 3, 1, 1, 2);
    grid->addWidget(FieldLabel("转向角度", this), 4, 0);
    grid->addWidget(m_angleEdit, 4, 1);
    grid->addWidget(FieldLabel("度", this), 4, 2);
    grid->addWidget(FieldLabel("目标点:", this), 5, 0);
    grid->addWidget(m_pickButton, 5, 1, 1, 2, Qt::AlignLeft);
    layout->addLayout(grid);

    m_routeList = ReportList(this, {"X", "Y"}, {110, 100});
    m_routeList->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(m_routeList, 2);

    m_speedEdit->setText(NumberText(kInitialSpeed));
    m_countEdit->setText("0");
    m_angleEdit->setText(NumberText(0.0));
    FillWeapons();

    connect(m_actionList, &QTreeWidget::itemSelectionChanged, this, &CDialogExpandProperty::OnActionSelected);
    connect(m_routeList, &QWidget::customContextMenuRequested, this, &CDialogExpandProperty::OnRouteContextMenu);
    connect(m_addButton, &QPushButton::clicked, this, &CDialogExpandProperty::OnAddButton);
    connect(m_modifyButton, &QPushButton::clicked, this, &CDialogExpandProperty::OnModify);
    connect(m_deleteButton, &QPushButton::clicked, this, &CDialogExpandProperty::OnDelete);
    // The target point is given as a route point, typed in or picked.
    connect(m_pickButton, &QPushButton::clicked, this, &CDialogExpandProperty::OnRouteAdd);
}

CDialogExpandProperty::~CDialogExpandProperty()
{
    ClosePointDialog();
}

QString CDialogExpandProperty::ActionTypeName(int actionType)
{
    if (actionType < 0 || actionType >= int(kActionTypeNames.size()))
        return {};
    return QString::fromUtf8(kActionTypeNames[size_t(actionType)]);
}

QIcon CDialogExpandProperty::ActionTypeIcon(int actionType)
{
    if (actionType < 0 || actionType >= int(kActionTypeNames.size()))
        return {};
    return QIcon(DrawTypeIcon(actionType));
}

// ---- lists -----------------------------------------------------------------------------

void CDialogExpandProperty::AppendActionRow(const WGAction& action)
{
    auto* item = new QTreeWidgetItem(m_actionList);
    item->setText(0, QString::number(action.m_ActionNo));
    item->setText(1, QString::number(action.m_ActionTime));
    item->setText(2, ActionTypeName(action.m_ActionType));
    item->setIcon(0, ActionTypeIcon(action.m_ActionType));
}

void CDialogExpandProperty::AppendRouteRow(double x, double y)
{
    auto* item = new QTreeWidgetItem(m_routeList);
    item->setText(0, FixedText(x));
    item->setText(1, FixedText(y));
}

void CDialogExpandProperty::ShowRoutePoints(const WGAction& action)
{
    m_routeList->clear();
    for (const auto& route : action.m_Routes)
        for (const RoutePoint& p : route->m_Points)
            AppendRouteRow(p.X, p.Y);
}

void CDialogExpandProperty::FillWeapons()
{
    // Ids, not record pointers: the catalogue may be reloaded while the panel lives.
    const QString chosen = m_weaponList->currentData().toString();
    m_weaponList->clear();
    for (const auto& info : m_app.m_UnitClassCatalog.GetUnitClasses())
        if (info->IsWeapon())
            m_weaponList->addItem(QString::fromStdString(info->name), QString::fromStdString(info->id));
    const int keep = chosen.isEmpty() ? -1 : m_weaponList->findData(chosen);
    m_weaponList->setCurrentIndex(keep >= 0 ? keep : (m_weaponList->count() ? 0 : -1));
}

void CDialogExpandProperty::FillTargets(const CFirstLayerAccess& access)
{
    m_targetList->clear();
    CPlanLayer* layer = access.Layer();
    if (!layer)
        return;
    for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
        const CUnitCanLoad* unit = layer->GetUnitAt(i);
        // Fire units are transient strike effects, nothing to load.
        if (unit->m_UnitNo == kFireUnitNo)
            continue;
        m_targetList->addItem(QString::fromStdString(unit->m_UnitName), unit->m_UnitNo);
    }
    m_targetList->setCurrentIndex(m_targetList->count() ? 0 : -1);
}

int CDialogExpandProperty::SelectedRow() const
{
    const QList<QTreeWidgetItem*> items = m_actionList->selectedItems();
    return items.isEmpty() ? -1 : m_actionList->indexOfTopLevelItem(items.front());
}

WGAction* CDialogExpandProperty::SelectedAction(CUnitCanLoad& unit) const
{
    if (m_SelectedActionNo == -1)
        return nullptr;
    const int row = SelectedRow();
    if (row >= 0 && size_t(row) < unit.m_Actions.size() && unit.m_Actions[size_t(row)]->m_ActionNo == m_SelectedActionNo)
        return unit.m_Actions[size_t(row)].get();
    for (const auto& action : unit.m_Actions)
        if (action->m_ActionNo == m_SelectedActionNo)
            return action.get();
    return nullptr;
}

void CDialogExpandProperty::EnableFields(bool speed, bool weapon, bool count, bool target, bool angle, bool pick)
{
    m_speedEdit->setEnabled(speed);
    m_weaponList->setEnabled(weapon);
    m_countEdit->setEnabled(count);
    m_targetList->setEnabled(target);
    m_angleEdit->setEnabled(angle);
    m_pickButton->setEnabled(pick);
}

void CDialogExpandProperty::OnUnitActionsChanged(int unitNo)
{
    const bool sameUnit = unitNo == m_UnitNo;
    m_UnitNo = unitNo;
    CFirstLayerAccess access(m_app);
    // A busy gate leaves the list as it is, unless it belongs to another unit.
    if (!access && sameUnit)
        return;
    m_SelectedActionNo = -1;
    {
        const QSignalBlocker block(m_actionList);
        m_actionList->clear();
    }
    m_routeList->clear();
    // Nothing selected: every field is free for the next new action.
    EnableFields(true, true, true, true, true, true);
    FillWeapons();
    FillTargets(access);
    CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
    if (!unit)
        return;
    for (const auto& action : unit->m_Actions)
        AppendActionRow(*action);
}

void CDialogExpandProperty::OnActionSelected()
{
    const QList<QTreeWidgetItem*> items = m_actionList->selectedItems();
    if (items.isEmpty())
        return;
    m_SelectedActionNo = items.front()->text(0).toInt();
    m_routeList->clear();
    CFirstLayerAccess access(m_app);
    if (!access)
        return;
    FillTargets(access);
    CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
    WGAction* action = unit ? SelectedAction(*unit) : nullptr;
    if (!action)
        return;
    switch (action->m_ActionType) {
    case kActionMove:
        m_speedEdit->setText(NumberText(action->m_Speed));
        EnableFields(true, false, false, false, false, true);
        break;
    case kActionStrike:
        m_countEdit->setText(QString::number(action->m_HitTime));
        // A weapon that is not in the catalogue selects none, so "修改"
        // cannot swap it for another one unnoticed.
        m_weaponList->setCurrentIndex(m_weaponList->findData(QString::fromStdString(action->m_BulletType)));
        EnableFields(false, true, true, false, false, true);
        break;
    case kActionLoad:
    case kActionUnload:
        // Likewise a target that is gone selects no unit.
        m_targetList->setCurrentIndex(m_targetList->findData(action->m_UnitNo));
        EnableFields(false, false, false, true, false, action->m_ActionType == kActionUnload);
        break;
    case kActionTurn:
        m_angleEdit->setText(NumberText(action->m_Angle));
        EnableFields(false, false, false, false, true, false);
        break;
    default:
        EnableFields(false, false, false, false, false, false);
        break;
    }
    ShowRoutePoints(*action);
}

// ---- adding, changing and removing actions -----------------------------------------------

QAction* CDialogExpandProperty::ShowMenu(QMenu& menu, const QPoint& globalPos)
{
    return m_menuHook ? m_menuHook(menu, globalPos) : menu.exec(globalPos);
}

void CDialogExpandProperty::BuildAddMenu(QMenu& menu) const
{
    const bool enabled = m_UnitNo != -1 && m_app.m_EditMode != 0;
    auto add = [&](int command, const char* text) {
        QAction* action = menu.addAction(QString::fromUtf8(text));
        action->setData(command);
        action->setEnabled(enabled);
    };
    add(ID_ADD_MOVE, "移动");
    add(ID_ADD_STRIKE, "打击");
    menu.addSeparator();
    add(ID_ADD_TURN, "转向");
    menu.addSeparator();
    add(ID_ADD_LOAD, "装载");
    add(ID_ADD_UNLOAD, "卸载");
}

void CDialogExpandProperty::BuildRouteMenu(QMenu& menu) const
{
    for (auto [command, text] : {std::pair{ID_ROUTE_ADD, "新增"}, {ID_ROUTE_MODIFY, "修改"}, {ID_ROUTE_DELETE, "删除"}})
        menu.addAction(QString::fromUtf8(text))->setData(int(command));
}

void CDialogExpandProperty::OnAddButton()
{
    QMenu menu(this);
    BuildAddMenu(menu);
    if (QAction* chosen = ShowMenu(menu, QCursor::pos()); chosen && chosen->isEnabled())
        OnCommand(chosen->data().toInt());
}

void CDialogExpandProperty::OnRouteContextMenu(const QPoint& pos)
{
    QMenu menu(this);
    BuildRouteMenu(menu);
    if (QAction* chosen = ShowMenu(menu, m_routeList->viewport()->mapToGlobal(pos)))
        OnCommand(chosen->data().toInt());
}

void CDialogExpandProperty::OnCommand(int command)
{
    switch (command) {
    case ID_ADD_MOVE: OnAddAction(kActionMove); break;
    case ID_ADD_STRIKE: OnAddAction(kActionStrike); break;
    case ID_ADD_TURN: OnAddAction(kActionTurn); break;
    case ID_ADD_LOAD: OnAddAction(kActionLoad); break;
    case ID_ADD_UNLOAD: OnAddAction(kActionUnload); break;
    case ID_ROUTE_ADD: OnRouteAdd(); break;
    case ID_ROUTE_MODIFY: OnRouteModify(); break;
    case ID_ROUTE_DELETE: OnRouteDelete(); break;
    default: break;
    }
}

void CDialogExpandProperty::OnAddAction(int actionType)
{
    // The same conditions that grey the popup's items.
    if (m_UnitNo == -1 || m_app.m_EditMode == 0 || actionType < kActionMove || actionType > kActionUnload)
        return;
    auto action = std::make_unique<WGAction>();
    action->m_ActionType = actionType;
    action->m_ActionName = ActionTypeName(actionType).toStdString();
    action->m_ActionTime = m_currentTime ? m_currentTime() : 0;
    switch (actionType) {
    case kActionMove: {
        const auto speed = ReadDouble(m_app, m_speedEdit);
        if (!speed)
            return;
        action->m_Speed = *speed;
        // It starts where the mouse last was over the map.
        auto route = std::make_unique<WGRoute>();
        route->m_Points.push_back({m_app.m_MouseX, m_app.m_MouseY, 0.0});
        action->m_Routes.push_back(std::move(route));
        break;
    }
    case kActionStrike: {
        if (m_weaponList->currentIndex() < 0)
            return;
        const auto count = ReadInt(m_app, m_countEdit);
        if (!count)
            return;
        action->m_HitTime = *count;
        action->m_BulletType = m_weaponList->currentData().toString().toStdString();
        break;
    }
    case kActionLoad:
    case kActionUnload:
        if (m_targetList->currentIndex() < 0)
            return;
        action->m_UnitNo = m_targetList->currentData().toInt();
        if (actionType == kActionLoad && action->m_UnitNo == m_UnitNo) {
            ReportError(m_app.Reporter(), "不能装载自己!", "错误");  // as the view refuses it
            return;
        }
        break;
    default:  // a turn keeps the angle it was built with
        break;
    }
    if (!ModelEditable(m_app))
        return;
    CUndoRedoCommands::RecordEdit(m_app, "添加" + action->m_ActionName + "动作", m_UnitNo);
    {
        CFirstLayerAccess access(m_app);
        CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
        if (!unit)
            return;
        const WGAction* added = unit->AddNewAction(std::move(action));
        AppendActionRow(*added);
    }
    // Selecting the new row shows its parameters and route.
    const int last = m_actionList->topLevelItemCount() - 1;
    m_actionList->clearSelection();
    m_actionList->setCurrentItem(m_actionList->topLevelItem(last));
    m_actionList->topLevelItem(last)->setSelected(true);
    emit repaintRequested();
}

void CDialogExpandProperty::OnModify()
{
    const auto speed = ReadDouble(m_app, m_speedEdit);
    if (!speed)
        return;
    const auto count = ReadInt(m_app, m_countEdit);
    if (!count)
        return;
    const auto angle = ReadAngle(m_app, m_angleEdit);
    if (!angle)
        return;
    if (SelectedRow() < 0 || !ModelEditable(m_app))
        return;
    {
        CFirstLayerAccess access(m_app);
        CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
        const WGAction* action = unit ? SelectedAction(*unit) : nullptr;
        if (action && action->m_ActionType == kActionLoad && m_targetList->currentIndex() >= 0 &&
            m_targetList->currentData().toInt() == m_UnitNo) {
            ReportError(m_app.Reporter(), "不能装载自己!", "错误");
            return;
        }
    }
    CUndoRedoCommands::RecordEdit(m_app, "修改动作", m_UnitNo);
    CFirstLayerAccess access(m_app);
    CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
    WGAction* action = unit ? SelectedAction(*unit) : nullptr;
    if (!action)
        return;
    // Every field is written whatever the type; playback reads only its own.
    action->m_Speed = *speed;
    if (m_weaponList->currentIndex() >= 0)
        action->m_BulletType = m_weaponList->currentData().toString().toStdString();
    action->m_HitTime = *count;
    action->m_Angle = *angle;
    if (m_targetList->currentIndex() >= 0)
        action->m_UnitNo = m_targetList->currentData().toInt();
}

void CDialogExpandProperty::OnDelete()
{
    const int row = SelectedRow();
    if (row < 0 || !ModelEditable(m_app))
        return;
    CUndoRedoCommands::RecordEdit(m_app, "删除动作", m_UnitNo);
    {
        CFirstLayerAccess access(m_app);
        if (!access)
            return;
        if (CUnitCanLoad* unit = access.FindUnit(m_UnitNo)) {
            if (WGAction* action = SelectedAction(*unit)) {
                // Nothing may keep pointing into the action once it is gone: the
                // unit's route being followed, and a paused strike's fire unit.
                for (const auto& route : action->m_Routes)
                    if (unit->m_CurrentRoute == route.get())
                        unit->m_CurrentRoute = nullptr;
                if (action->m_FireUnit)
                    action->m_FireUnit->m_Removed = 1;
                auto it = std::find_if(unit->m_Actions.begin(), unit->m_Actions.end(),
                                       [action](const auto& a) { return a.get() == action; });
                unit->m_Actions.erase(it);
            }
        }
        const QSignalBlocker block(m_actionList);
        delete m_actionList->takeTopLevelItem(row);
        m_actionList->clearSelection();
    }
    m_SelectedActionNo = -1;
    m_routeList->clear();
    emit repaintRequested();
}

// ---- route points ---------------------------------------------------------------------------

CDialogRouteSelect* CDialogExpandProperty::PointDialog() const
{
    return m_pointDialog.data();
}

bool CDialogExpandProperty::RequireSelectedAction()
{
    if (m_SelectedActionNo != -1)
        return true;
    m_app.Reporter().Report({kNoActionText, kNoActionCaption, MessageIcon::Information, MessageButtons::Ok});
    return false;
}

void CDialogExpandProperty::OnRouteAdd()
{
    if (RequireSelectedAction())
        OpenPointDialog();
}

void CDialogExpandProperty::OnRouteModify()
{
    if (RequireSelectedAction())
        OpenPointDialog();
}

void CDialogExpandProperty::OpenPointDialog()
{
    ClosePointDialog();
    m_pointDialog = new CDialogRouteSelect(m_app, 0.0, 0.0, this);
    m_pointDialog->installEventFilter(this);
    connect(m_pointDialog, &CDialogRouteSelect::pointChosen, this, &CDialogExpandProperty::OnPointChosen);
    m_pointDialog->show();
}

void CDialogExpandProperty::ClosePointDialog()
{
    if (!m_pointDialog)
        return;
    // The view must stop handing clicks to a dialog that is gone.
    m_app.m_RouteSelectPick = 0;
    // The hide event of a dialog being destroyed must not reach the filter:
    // by then it is no longer a CDialogRouteSelect.
    m_pointDialog->removeEventFilter(this);
    delete m_pointDialog.data();
    m_pointDialog = nullptr;
}

bool CDialogExpandProperty::eventFilter(QObject* watched, QEvent* event)
{
    // Closed from its title bar while picking: the view would otherwise keep
    // sending clicks to a hidden dialog and never select a unit again.
    if (watched == m_pointDialog && event->type() == QEvent::Hide)
        m_app.m_RouteSelectPick = 0;
    return QWidget::eventFilter(watched, event);
}

void CDialogExpandProperty::OnRoutePointPicked(double x, double y, double z)
{
    if (m_pointDialog && m_pointDialog->isVisible())
        m_pointDialog->OnPointPicked(x, y, z);
}

void CDialogExpandProperty::OnPointChosen(double x, double y, double z)
{
    if (!ModelEditable(m_app))
        return;
    CUndoRedoCommands::RecordEdit(m_app, "添加路线点", m_UnitNo);
    {
        CFirstLayerAccess access(m_app);
        CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
        WGAction* action = unit ? SelectedAction(*unit) : nullptr;
        if (!action)
            return;
        if (action->m_Routes.empty())
            action->m_Routes.push_back(std::make_unique<WGRoute>());
        action->m_Routes.front()->m_Points.push_back({x, y, z});
    }
    AppendRouteRow(x, y);
    emit repaintRequested();
}

void CDialogExpandProperty::OnRouteDelete()
{
    if (!RequireSelectedAction())
        return;
    const QList<QTreeWidgetItem*> items = m_routeList->selectedItems();
    if (items.isEmpty() || !ModelEditable(m_app))
        return;
    CUndoRedoCommands::RecordEdit(m_app, "删除路线点", m_UnitNo);
    // The list shows "%f", which may round the stored coordinates: the point
    // is the one whose rounded form is the text in the row.
    const QString xText = items.front()->text(0);
    const QString yText = items.front()->text(1);
    CFirstLayerAccess access(m_app);
    CUnitCanLoad* unit = access.FindUnit(m_UnitNo);
    WGAction* action = unit ? SelectedAction(*unit) : nullptr;
    if (!action)
        return;
    for (const auto& route : action->m_Routes) {
        auto& points = route->m_Points;
        points.erase(std::remove_if(points.begin(), points.end(),
                                    [&](const RoutePoint& p) { return FixedText(p.X) == xText && FixedText(p.Y) == yText; }),
                     points.end());
    }
    // Every point with that text is gone, so the list is shown again from the
    // route rather than losing just the one row.
    ShowRoutePoints(*action);
    emit repaintRequested();
}
