// Helper of the crash-safe save test. Writes a large plan, SysConfig.cfg and
// UnitClassInfo.cfg the way the program saves them, in two versions A and B.
//
//   tw-save-loop reference DIR   writes version A into DIR/A and B into DIR/B
//   tw-save-loop loop DIR        prints "ready", then saves A, B, A, B ... into
//                                DIR until it is killed
#include "config/MessageReporter.h"
#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanFile.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

class QuietReporter : public IMessageReporter {
public:
    MessageAnswer Report(const ReportedMessage& m) override
    {
        std::fprintf(stderr, "tw-save-loop: %s\n", m.text.c_str());
        return MessageAnswer::Ok;
    }
};

struct Version {
    CSysConfig config;
    CUnitClassCatalog catalog;
    std::unique_ptr<CPlan> plan;
};

std::string CatalogText(char v)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unitinfo>\r\n<unitclass>";
    for (int c = 0; c < 50; ++c)
        text += "<node name=\"类别" + std::to_string(c) + v + "\" id=\"" + std::to_string(c) + "\"/>";
    text += "</unitclass><unit>";
    for (int i = 0; i < 2000; ++i)
        text += "<node name=\"装备" + std::to_string(i) + v + "\" id=\"02-02." + std::to_string(i) +
                "\" class=\"02-02\" width=\"4\" height=\"10\" exploderadius=\"" + std::to_string(i % 90) +
                "\" visible_min=\"0\" visible_max=\"100\"/>";
    return text + "</unit></unitinfo>";
}

bool Build(Version& out, char v, const std::string& scratch, IMessageReporter& reporter)
{
    for (int i = 0; i < 3000; ++i)
        out.config.SetParam("参数" + std::to_string(i), std::string("值") + v + std::to_string(i * 7));
    const std::string source = scratch + "/catalog-" + v + ".cfg";
    QFile f(QString::fromStdString(source));
    const std::string text = CatalogText(v);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.data(), qint64(text.size())) != qint64(text.size()))
        return false;
    f.close();
    if (!out.catalog.Load(source, CSysConfig()))
        return false;

    PlanContext context;
    context.reporter = &reporter;
    out.plan = std::make_unique<CPlan>(context);
    out.plan->m_StartTime = 1714521600;
    out.plan->m_EndTime = 1714521600 + 3600 + (v == 'A' ? 0 : 60);
    auto layer = std::make_unique<CPlanLayer>();
    layer->m_Name = std::string("图层") + v;
    layer->m_MapName = "演习地图";
    layer->m_MapSource = "map.bmp";
    layer->m_MapType = 0;
    layer->m_WidthKm = 40;
    layer->m_HeightKm = 30;
    CPlanLayer* raw = layer.get();
    out.plan->m_Layers.push_back(std::move(layer));
    out.plan->AdoptLayers();
    for (int no = 1; no <= 1500; ++no) {
        auto unit = CreateUnitForClassId("02-02.1");
        unit->m_ClassId = "02-02." + std::to_string(no % 2000);
        unit->m_UnitNo = no;
        unit->m_UnitName = "单位" + std::to_string(no) + v;
        unit->m_InitX = unit->m_CurX = no * 0.01;
        unit->m_InitY = unit->m_CurY = no * 0.02;
        unit->m_AppearTime = no % 60;
        for (int a = 0; a < 4; ++a) {
            auto action = std::make_unique<WGAction>();
            action->m_ActionType = kActionMove;
            action->m_ActionTime = 10 * a + no % 10;
            action->m_Speed = 30 + a;
            auto route = std::make_unique<WGRoute>();
            for (int p = 0; p < 4; ++p)
                route->m_Points.push_back({no * 0.01 + p, no * 0.02 + a, 0});
            action->m_Routes.push_back(std::move(route));
            unit->AddNewAction(std::move(action));
        }
        if (!raw->AddUnit(std::move(unit)))
            return false;
    }
    return true;
}

bool SaveAll(const Version& v, const std::string& dir)
{
    return SavePlan(*v.plan, dir + "/plan.pln") && v.config.Save(dir + "/SysConfig.cfg") &&
           v.catalog.Save(dir + "/UnitClassInfo.cfg");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "reference") != 0 && std::strcmp(argv[1], "loop") != 0)) {
        std::fprintf(stderr, "usage: tw-save-loop reference|loop DIR\n");
        return 2;
    }
    const std::string dir = argv[2];
    const std::string scratch = dir + "/.scratch";
    QDir().mkpath(QString::fromStdString(scratch));
    QuietReporter reporter;
    Version a, b;
    if (!Build(a, 'A', scratch, reporter) || !Build(b, 'B', scratch, reporter)) {
        std::fprintf(stderr, "tw-save-loop: cannot build the files\n");
        return 1;
    }
    QDir(QString::fromStdString(scratch)).removeRecursively();
    if (std::strcmp(argv[1], "reference") == 0) {
        QDir().mkpath(QString::fromStdString(dir + "/A"));
        QDir().mkpath(QString::fromStdString(dir + "/B"));
        return SaveAll(a, dir + "/A") && SaveAll(b, dir + "/B") ? 0 : 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;)
        if (!SaveAll(a, dir) || !SaveAll(b, dir))
            return 1;
}
