#pragma once

// A main frame with a new bitmap plan, edit mode on, and helpers to put units
// and actions on its first layer, for the tests of the property panels.
#include "../ShellTestSupport.h"

#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"
#include "engine/WGAction.h"
#include "map/MapLoader.h"
#include "ui/TarnwickView.h"

#include <QPainter>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

struct PanelShell : Shell {
    CTarnwickView* view = nullptr;
    CPlanLayer* layer = nullptr;

    PanelShell()
    {
        layer = NewEditablePlan("属性");
        view = frame->View();
        // A paint settles the map's source rectangle, which conversions use.
        QImage image(800, 600, QImage::Format_RGB32);
        QPainter painter(&image);
        view->Render(painter, image.size());
    }

    // A 20x20 unit at a view point.
    CUnitCanLoad* AddUnit(int unitNo, QPoint at = {200, 200}, int appear = 60, const char* classId = "02-02.01")
    {
        return AddUnitAt(unitNo, at, appear, classId);
    }

    // An action as a plan file would hold it (number given, not derived).
    static WGAction* AddAction(CUnitCanLoad& unit, int actionNo, int type, std::vector<RoutePoint> points = {})
    {
        auto action = std::make_unique<WGAction>();
        action->m_ActionNo = actionNo;
        action->m_ActionType = type;
        action->m_ActionTime = 10 * actionNo;
        action->m_ActingUnits.push_back(&unit);
        if (!points.empty()) {
            auto route = std::make_unique<WGRoute>();
            route->m_Points = std::move(points);
            action->m_Routes.push_back(std::move(route));
        }
        unit.m_Actions.push_back(std::move(action));
        return unit.m_Actions.back().get();
    }
};

// Holds the gate of a layer exclusively on another thread, as a deletion
// during playback would, until destroyed.
class ExclusiveGateHolder {
public:
    explicit ExclusiveGateHolder(CPlanLayer* layer)
        : m_thread([this, layer] {
              layer->LockExclusive();
              m_held = true;
              while (!m_release)
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              layer->UnlockExclusive();
          })
    {
        while (!m_held)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~ExclusiveGateHolder()
    {
        m_release = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_held{false};
    std::atomic<bool> m_release{false};
    std::thread m_thread;
};
