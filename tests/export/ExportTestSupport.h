#pragma once

#include "engine/EngineTestSupport.h"
#include "engine/PlanTime.h"
#include "engine/PlayState.h"

#include <QByteArray>
#include <cstdio>
#include <string>

// A small bitmap plan (64 x 48 pixels for 10 x 8 km) with every kind of
// action: a move, a strike that hits, a turn, a load and an unload, and a
// unit that appears late. Plays for `seconds`.
struct ExportPlanEnv : PlanFileEnv {
    long long start = MakeLocalTime(2024, 5, 1, 8, 0, 0);

    static std::string Unit(int no, const char* name, const char* cls, double x, double y, const std::string& actions,
                            int appear = 0)
    {
        char head[512];
        std::snprintf(head, sizeof head,
                      "<unit name=\"%s\" class=\"%s\"><UnitNo>%d</UnitNo><UnitName>%s</UnitName>"
                      "<RelativeCoordinateX>%.6f</RelativeCoordinateX><RelativeCoordinateY>%.6f</RelativeCoordinateY>"
                      "<AppearTime>%d</AppearTime><Angle>15</Angle>",
                      name, cls, no, name, x, y, appear);
        return std::string(head) + "<actionlist>" + actions + "</actionlist></unit>";
    }
    static std::string Action(int no, int type, int time, const std::string& fields, const std::string& points)
    {
        return "<action class=\"" + std::to_string(type) + "\"><ActionNo>" + std::to_string(no) +
               "</ActionNo><ActionName>a" + std::to_string(no) + "</ActionName><ActionType>" + std::to_string(type) +
               "</ActionType><ActionTime>" + std::to_string(time) + "</ActionTime>" + fields + "<Route>" + points +
               "</Route></action>";
    }
    static std::string Point(double x, double y)
    {
        char text[128];
        std::snprintf(text, sizeof text, "<Coordinate X=\"%.9f\" Y=\"%.9f\" Z=\"0\"/>", x, y);
        return text;
    }
    QByteArray PlanText(long long seconds = 8) const
    {
        const std::string units =
            Unit(1, "甲", "02-02.01", 1, 1,
                 Action(1, 2, 0, "<BulletType>03.01</BulletType><HitTime>2</HitTime>", Point(5, 1)) +
                     Action(2, 3, 2, "<Angle>30</Angle>", "") +
                     Action(3, 1, 1, "<Speed>3600</Speed>", Point(1, 1) + Point(4, 2) + Point(4, 6))) +
            Unit(2, "乙", "02-02.01", 5, 1, "") +
            Unit(3, "运", "02-01.01", 2, 2,
                 Action(1, 4, 1, "<UnitNo>4</UnitNo>", "") + Action(2, 5, 3, "<UnitNo>4</UnitNo>", Point(6, 6))) +
            Unit(4, "货", "02-02.01", 2, 3, "") + Unit(5, "迟", "02-02.01", 7, 7, "", 5);
        return QByteArray::fromStdString("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<plan StartTime=\"" +
                                         std::to_string(start) + "\" EndTime=\"" + std::to_string(start + seconds) +
                                         "\">\r\n<Layer name=\"一\"><map name=\"演练图\" source=\"" + mapPath +
                                         "\" maptype=\"0\" WidthKm=\"10\" HeightKm=\"8\"/><unitlist>" + units +
                                         "</unitlist></Layer></plan>");
    }
    // A loaded plan with a play state that checks hits within 60 m.
    std::unique_ptr<CPlan> LoadPlayable(CPlayState& play, long long seconds = 8)
    {
        play.SetHitDistance(0.06 * 0.008952465548919113);
        play.SetCheckBeenHit(1);
        context.play = &play;
        std::unique_ptr<CPlan> plan = LoadText(PlanText(seconds));
        context.play = nullptr;
        return plan;
    }
};
