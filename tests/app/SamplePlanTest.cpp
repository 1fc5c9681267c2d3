// The sample plan the run command opens: it loads on the program's data and
// holds what a demonstration needs.
#include "config/MessageReporter.h"
#include "config/StartupConfig.h"
#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "engine/PlanFile.h"

#include <gtest/gtest.h>

#include <set>

namespace {
class Recording : public IMessageReporter {
public:
    MessageAnswer Report(const ReportedMessage& m) override
    {
        texts.push_back(m.text);
        return MessageAnswer::Ok;
    }
    std::vector<std::string> texts;
};
}  // namespace

TEST(SamplePlan, LoadsWithUnitsOfTheCatalogueAndEveryActionKind)
{
    CSysConfig config;
    CUnitClassCatalog catalog;
    ASSERT_TRUE(LoadStartupConfig(TARNWICK_BIN_DIR, config, catalog).ok);
    Recording reporter;
    std::string error;
    auto plan = LoadPlan(TARNWICK_SOURCE_DIR "/samples/演习示例.pln", PlanContext{&catalog, TARNWICK_BIN_DIR, &reporter},
                         &error);
    ASSERT_TRUE(plan) << error;
    EXPECT_TRUE(reporter.texts.empty());
    ASSERT_EQ(plan->m_Layers.size(), 1u);
    CPlanLayer& layer = *plan->m_Layers[0];
    EXPECT_TRUE(layer.m_Map.IsLoaded()) << "the map comes from DefaultMapImage";
    EXPECT_EQ(layer.m_MapName, "演习示例");
    EXPECT_GE(layer.GetUnitCount(), 18u);
    EXPECT_LE(plan->m_EndTime - plan->m_StartTime, 3600);

    std::set<int> kinds;
    int latestAppear = 0;
    for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
        const CUnitCanLoad* unit = layer.GetUnitAt(i);
        EXPECT_NE(unit->m_ClassInfo, nullptr) << unit->m_UnitName;
        EXPECT_FALSE(unit->m_Image.isNull()) << unit->m_UnitName;
        latestAppear = std::max(latestAppear, unit->m_AppearTime);
        for (const auto& action : unit->m_Actions) {
            kinds.insert(action->m_ActionType);
            EXPECT_GE(action->m_ActionTime, unit->m_AppearTime) << unit->m_UnitName;
        }
    }
    EXPECT_EQ(kinds, (std::set<int>{1, 2, 3, 4, 5}));
    EXPECT_GE(latestAppear, 300);
    EXPECT_LE(latestAppear, 600);
}
