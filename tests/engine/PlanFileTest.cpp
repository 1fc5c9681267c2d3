#include "EngineTestSupport.h"

#include "engine/PlanFile.h"

#include <QFile>
#include <QDir>
#include <gtest/gtest.h>

#include <limits>

namespace {

using Env = PlanFileEnv;

std::unique_ptr<WGAction> MakeAction(int type, int time, std::vector<RoutePoint> points = {})
{
    auto a = std::make_unique<WGAction>();
    a->m_ActionType = type;
    a->m_ActionTime = time;
    a->m_ActionName = DefaultActionName(type);
    if (!points.empty()) {
        auto route = std::make_unique<WGRoute>();
        route->m_Points = std::move(points);
        a->m_Routes.push_back(std::move(route));
    }
    return a;
}

// A plan exercising every kind, every action type (and an unknown one), routes
// and custom properties. Its layer's map is not loaded (saving does not need it).
std::unique_ptr<CPlan> MakeRichPlan(const Env& env)
{
    auto plan = std::make_unique<CPlan>(env.context);
    plan->m_StartTime = 1700000000;
    plan->m_EndTime = 1700086400;
    auto layer = std::make_unique<CPlanLayer>();
    layer->m_Name = "层<1>";
    layer->m_MapName = "演习地图";
    layer->m_MapSource = env.mapPath;
    layer->m_MapType = 0;
    layer->m_WidthKm = 120.125;
    layer->m_HeightKm = 0.1;

    auto carrier = CreateUnitForClassId("01.01");
    carrier->m_UnitNo = 1;
    carrier->m_ClassId = "01.01";
    carrier->m_UnitName = "直升机 \"甲\" & <乙>";
    carrier->m_UnitBitmap = "NormalBitmap\\运输直升机.bmp";
    carrier->m_UnitBitmapMask = "NormalBitmap\\运输直升机_Mask.bmp";
    carrier->m_InitX = carrier->m_CurX = 12.345678;
    carrier->m_InitY = carrier->m_CurY = -3.5;
    carrier->m_AppearTime = 7;
    carrier->m_InitAngle = carrier->m_Angle = 270.25;
    carrier->FirstCustomPropertyList().m_Properties = {{1, "呼号", "鹰\t1\r\n"}, {-2, "", ""}, {3, "x", "a&b"}};
    {
        auto move = MakeAction(kActionMove, 10, {{1, 2, 0}, {3.25, -4, 0}, {5, 6, 0.5}});
        move->m_Speed = 42.5;
        move->m_AllTime = 99;
        carrier->AddNewAction(std::move(move));
        auto strike = MakeAction(kActionStrike, 20, {{7, 8, 0}});
        strike->m_BulletType = "03.01";
        strike->m_HitTime = 3;
        carrier->AddNewAction(std::move(strike));
        auto turn = MakeAction(kActionTurn, 30);
        turn->m_Angle = -45.125;
        carrier->AddNewAction(std::move(turn));
        auto load = MakeAction(kActionLoad, 40);
        load->m_UnitNo = 2;
        carrier->AddNewAction(std::move(load));
        auto unload = MakeAction(kActionUnload, 50, {{9, 10, 0}});
        unload->m_UnitNo = 2;
        carrier->AddNewAction(std::move(unload));
        auto odd = MakeAction(6, 60);
        odd->m_ActionName = "其他";
        carrier->AddNewAction(std::move(odd));
    }
    layer->AddUnit(std::move(carrier));

    auto ifv = CreateUnitForClassId("02-01.01");
    ifv->m_UnitNo = 2;
    ifv->m_ClassId = "02-01.01";
    ifv->m_UnitName = "步战车";
    ifv->m_InitX = ifv->m_CurX = 0.000001;
    ifv->m_InitY = ifv->m_CurY = 1e6;
    layer->AddUnit(std::move(ifv));

    auto tank = CreateUnitForClassId("02-02.01");
    tank->m_UnitNo = 25599;
    tank->m_ClassId = "02-02.01";
    tank->m_UnitName = "坦克";
    tank->m_UnitType = 99;  // saved as it is, not as the kind's value
    layer->AddUnit(std::move(tank));
    plan->m_Layers.push_back(std::move(layer));
    return plan;
}

void ExpectSameAction(const WGAction& a, const WGAction& b)
{
    EXPECT_EQ(a.m_ActionNo, b.m_ActionNo);
    EXPECT_EQ(a.m_ActionName, b.m_ActionName);
    EXPECT_EQ(a.m_ActionType, b.m_ActionType);
    EXPECT_EQ(a.m_ActionTime, b.m_ActionTime);
    // Type-specific fields are saved only for their type; the others come back as constructed.
    EXPECT_EQ(b.m_Speed, a.m_ActionType == kActionMove ? a.m_Speed : 0.0);
    EXPECT_EQ(b.m_AllTime, a.m_ActionType == kActionMove ? a.m_AllTime : 0);
    EXPECT_EQ(b.m_BulletType, a.m_ActionType == kActionStrike ? a.m_BulletType : "");
    EXPECT_EQ(b.m_HitTime, a.m_ActionType == kActionStrike ? a.m_HitTime : 1);
    EXPECT_EQ(b.m_Angle, a.m_ActionType == kActionTurn ? a.m_Angle : 0.0);
    const bool hasUnitNo = a.m_ActionType == kActionLoad || a.m_ActionType == kActionUnload;
    EXPECT_EQ(b.m_UnitNo, hasUnitNo ? a.m_UnitNo : 0);
    ASSERT_EQ(a.m_Routes.size(), b.m_Routes.size());
    for (size_t i = 0; i < a.m_Routes.size(); ++i)
        EXPECT_EQ(a.m_Routes[i]->m_Points, b.m_Routes[i]->m_Points);
}

void ExpectSameUnit(const CUnitCanLoad& a, const CUnitCanLoad& b)
{
    SCOPED_TRACE("unit " + std::to_string(a.m_UnitNo));
    EXPECT_EQ(typeid(a), typeid(b));
    EXPECT_EQ(a.m_UnitNo, b.m_UnitNo);
    EXPECT_EQ(a.m_ClassId, b.m_ClassId);
    EXPECT_EQ(a.m_UnitType, b.m_UnitType);
    EXPECT_EQ(a.m_UnitName, b.m_UnitName);
    EXPECT_EQ(a.m_UnitBitmap, b.m_UnitBitmap);
    EXPECT_EQ(a.m_UnitBitmapMask, b.m_UnitBitmapMask);
    EXPECT_EQ(a.m_InitX, b.m_InitX);
    EXPECT_EQ(a.m_InitY, b.m_InitY);
    EXPECT_EQ(b.m_CurX, b.m_InitX);
    EXPECT_EQ(b.m_CurY, b.m_InitY);
    EXPECT_EQ(a.m_AppearTime, b.m_AppearTime);
    EXPECT_EQ(a.m_Angle, b.m_Angle);
    ASSERT_EQ(a.m_CustomProperties.size(), b.m_CustomProperties.size());
    for (size_t i = 0; i < a.m_CustomProperties.size(); ++i)
        EXPECT_EQ(a.m_CustomProperties[i].m_Properties, b.m_CustomProperties[i].m_Properties);
    ASSERT_EQ(a.m_Actions.size(), b.m_Actions.size());
    for (size_t i = 0; i < a.m_Actions.size(); ++i) {
        SCOPED_TRACE("action " + std::to_string(i));
        ExpectSameAction(*a.m_Actions[i], *b.m_Actions[i]);
        ASSERT_EQ(b.m_Actions[i]->m_ActingUnits.size(), 1u);
        EXPECT_EQ(b.m_Actions[i]->m_ActingUnits[0], &b);
    }
}

}  // namespace

TEST(PlanFile, RoundTripKeepsEveryField)
{
    Env env;
    auto plan = MakeRichPlan(env);
    const std::string path = env.dir.file("rich.pln");
    ASSERT_TRUE(SavePlan(*plan, path));

    std::string error;
    auto back = env.Load(path, &error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(env.reporter.messages.empty());
    EXPECT_EQ(back->m_StartTime, plan->m_StartTime);
    EXPECT_EQ(back->m_EndTime, plan->m_EndTime);
    ASSERT_EQ(back->m_Layers.size(), 1u);
    const CPlanLayer& a = *plan->m_Layers[0];
    const CPlanLayer& b = *back->m_Layers[0];
    EXPECT_EQ(b.m_Name, a.m_Name);
    EXPECT_EQ(b.m_MapName, a.m_MapName);
    EXPECT_EQ(b.m_MapSource, a.m_MapSource);
    EXPECT_EQ(b.m_MapType, 0);
    EXPECT_EQ(b.m_WidthKm, a.m_WidthKm);
    EXPECT_EQ(b.m_HeightKm, a.m_HeightKm);
    EXPECT_TRUE(b.m_Map.IsLoaded());
    EXPECT_EQ(b.m_Map.GetImageWidth(), 64);

    ASSERT_EQ(b.GetUnitCount(), a.GetUnitCount());
    for (size_t i = 0; i < a.GetUnitCount(); ++i) {
        ExpectSameUnit(*a.GetUnitAt(i), *b.GetUnitAt(i));
        EXPECT_EQ(b.GetUnitAt(i)->m_Layer, &b);
    }
    EXPECT_EQ(b.GetUnitByNo(25599), b.GetUnitAt(2));
    ASSERT_NE(b.GetUnitAt(0)->m_ClassInfo, nullptr);
    EXPECT_EQ(b.GetUnitAt(0)->m_ClassInfo->name, "运输直升机");

    // Saving what was read gives the same bytes.
    const std::string again = env.dir.file("again.pln");
    ASSERT_TRUE(SavePlan(*back, again));
    EXPECT_EQ(TestDir::read(again), TestDir::read(path));
}

TEST(PlanFile, SavedTextMatchesTheFixture)
{
    Env env;
    CPlan plan(env.context);
    plan.m_StartTime = 1700000000;
    plan.m_EndTime = -1;
    auto layer = std::make_unique<CPlanLayer>();
    layer->m_Name = "第一层";
    layer->m_MapName = "演习";
    layer->m_MapSource = "maps\\a.bmp";
    layer->m_MapType = 0;
    layer->m_WidthKm = 120.5;
    layer->m_HeightKm = 80;
    auto tank = CreateUnitForClassId("02-02.01");
    tank->m_UnitNo = 1;
    tank->m_ClassId = "02-02.01";
    tank->m_UnitName = "坦克1";
    tank->m_UnitBitmap = "NormalBitmap\\主战坦克.bmp";
    tank->m_InitX = 12.5;
    tank->m_InitY = -0.25;
    tank->m_CurX = 99;  // moved by playback: not what is saved
    tank->m_CurY = 99;
    tank->m_AppearTime = 5;
    tank->m_InitAngle = tank->m_Angle = 90;
    tank->FirstCustomPropertyList().m_Properties = {{1, "口令", "a<b\"c"}};
    auto move = MakeAction(kActionMove, 10, {{1, 2, 0}, {3.25, 4, 0}});
    move->m_Speed = 30;
    tank->AddNewAction(std::move(move));
    auto turn = MakeAction(kActionTurn, 20);
    turn->m_ActionName.clear();
    turn->m_Angle = 45.5;
    tank->AddNewAction(std::move(turn));
    layer->AddUnit(std::move(tank));
    auto fire = std::make_unique<UnitFire>();
    fire->m_UnitNo = kFireUnitNo;
    fire->m_UnitName = "榴弹炮";
    fire->m_ClassId = "03.01";
    layer->AddUnit(std::move(fire));
    plan.m_Layers.push_back(std::move(layer));

    const std::string path = env.dir.file("small.pln");
    ASSERT_TRUE(SavePlan(plan, path));
    const char* expected =
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n"
        "<plan StartTime=\"1700000000\" EndTime=\"-1\">\r\n"
        "<Layer name=\"第一层\"><map name=\"演习\" source=\"maps\\a.bmp\" maptype=\"0\" WidthKm=\"120.5\" "
        "HeightKm=\"80\"/><unitlist>"
        "<unit name=\"坦克1\" class=\"02-02.01\"><UnitNo>1</UnitNo><UnitType>22</UnitType>"
        "<UnitName>坦克1</UnitName><UnitBitmap>NormalBitmap\\主战坦克.bmp</UnitBitmap><UnitBitmapMask/>"
        "<RelativeCoordinateX>12.500000</RelativeCoordinateX><RelativeCoordinateY>-0.250000</RelativeCoordinateY>"
        "<AppearTime>5</AppearTime><Angle>90.000000</Angle>"
        "<CustomPropertyList><Property ID=\"1\" name=\"口令\" value=\"a&lt;b&quot;c\"/></CustomPropertyList>"
        "<actionlist>"
        "<action class=\"1\"><ActionNo>1</ActionNo><ActionName>移动</ActionName><ActionType>1</ActionType>"
        "<ActionTime>10</ActionTime><Speed>30.000000</Speed><AllTime>0</AllTime>"
        "<Route><Coordinate X=\"1.000000\" Y=\"2.000000\" Z=\"0.000000\"/>"
        "<Coordinate X=\"3.250000\" Y=\"4.000000\" Z=\"0.000000\"/></Route></action>"
        "<action class=\"3\"><ActionNo>2</ActionNo><ActionName/><ActionType>3</ActionType>"
        "<ActionTime>20</ActionTime><Angle>45.500000</Angle><Route/></action>"
        "</actionlist></unit>"
        "</unitlist></Layer></plan>";
    EXPECT_EQ(TestDir::read(path).toStdString(), expected);
}

TEST(PlanFile, ElementNamesMatchInAnyLetterCase)
{
    Env env;
    const QByteArray text = "<PLAN StartTime='5' EndTime='6'><lAyEr name='x'><MAP name='m' source='" +
                            QByteArray::fromStdString(env.mapPath) +
                            "' maptype='0' WidthKm='10' HeightKm='20'/><UnitList>"
                            "<item class='02-02.01' name='ignored'><unitno>4</unitno><UNITNAME>甲</UNITNAME>"
                            "<relativecoordinatex>1.5</relativecoordinatex><RELATIVECOORDINATEY>2.5</RELATIVECOORDINATEY>"
                            "<customPropertyList><PROPERTY ID='3' name='n' value='v'/></customPropertyList>"
                            "<ACTIONLIST><anything><actionno>4</actionno><ACTIONTYPE>1</ACTIONTYPE>"
                            "<route><COORDINATE X='1' Y='2' Z='3'/></route></anything></ACTIONLIST>"
                            "</item></UnitList></lAyEr></PLAN>";
    auto plan = env.LoadText(text);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->m_StartTime, 5);
    ASSERT_EQ(plan->m_Layers.size(), 1u);
    const CPlanLayer& layer = *plan->m_Layers[0];
    EXPECT_EQ(layer.m_WidthKm, 10);
    ASSERT_EQ(layer.GetUnitCount(), 1u);
    const CUnitCanLoad& u = *layer.GetUnitAt(0);
    EXPECT_EQ(u.m_UnitNo, 4);
    EXPECT_EQ(u.m_UnitName, "甲");
    EXPECT_EQ(u.m_UnitType, kUnitTypeSingleSimple) << "missing elements keep the kind's value";
    EXPECT_EQ(u.m_CurX, 1.5);
    EXPECT_EQ(u.m_InitY, 2.5);
    ASSERT_EQ(u.m_CustomProperties.size(), 1u);
    EXPECT_EQ(u.m_CustomProperties[0].m_Properties, (std::vector<CustomProperty>{{3, "n", "v"}}));
    ASSERT_EQ(u.m_Actions.size(), 1u);
    EXPECT_EQ(u.m_Actions[0]->m_ActionNo, 4);
    ASSERT_EQ(u.m_Actions[0]->m_Routes.size(), 1u);
    EXPECT_EQ(u.m_Actions[0]->m_Routes[0]->m_Points, (std::vector<RoutePoint>{{1, 2, 3}}));
}

TEST(PlanFile, AttributeNamesAreCaseSensitiveAndNumbersUseCConversion)
{
    Env env;
    const QByteArray text = "<plan starttime='5' EndTime=' -12xyz'><Layer NAME='n'><map name='m' source='" +
                            QByteArray::fromStdString(env.mapPath) +
                            "' maptype=' 0junk' widthkm='3' HeightKm='1e1'/><unitlist>"
                            "<unit class='02-02.x'><UnitNo>  17abc</UnitNo><AppearTime>abc</AppearTime>"
                            "<Angle>+.5e1</Angle><actionlist><action><Speed>-inf</Speed><HitTime>0x10</HitTime>"
                            "</action></actionlist></unit></unitlist></Layer></plan>";
    auto plan = env.LoadText(text);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->m_StartTime, 0) << "starttime is not StartTime";
    EXPECT_EQ(plan->m_EndTime, -12);
    const CPlanLayer& layer = *plan->m_Layers[0];
    EXPECT_EQ(layer.m_Name, "");
    EXPECT_EQ(layer.m_MapType, 0);
    EXPECT_EQ(layer.m_WidthKm, 0);
    EXPECT_EQ(layer.m_HeightKm, 10);
    const CUnitCanLoad& u = *layer.GetUnitAt(0);
    EXPECT_EQ(u.m_UnitNo, 17);
    EXPECT_EQ(u.m_AppearTime, 0);
    EXPECT_EQ(u.m_Angle, 5);
    EXPECT_EQ(u.m_Actions[0]->m_Speed, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(u.m_Actions[0]->m_HitTime, 0);
}

TEST(PlanFile, UnitsOfUnknownKindAreSkipped)
{
    Env env;
    const QByteArray text = "<plan><Layer><map source='" + QByteArray::fromStdString(env.mapPath) +
                            "' maptype='0'/><unitlist>"
                            "<unit class='02-01'><UnitNo>1</UnitNo></unit>"           // no "."
                            "<unit class='04.01'><UnitNo>2</UnitNo></unit>"           // unknown kind
                            "<unit class='02-01x.01'><UnitNo>3</UnitNo></unit>"       // exact compare
                            "<unit><UnitNo>4</UnitNo></unit>"                         // no class
                            "<unit/>"                                                 // a saved fire unit
                            "<unit class='02-01.7.8'><UnitNo>5</UnitNo></unit>"       // first "." counts
                            "<unit class='01.'><UnitNo>6</UnitNo></unit>"
                            "<unit class='03.01'><UnitNo>7</UnitNo></unit>"
                            "</unitlist></Layer></plan>";
    auto plan = env.LoadText(text);
    ASSERT_TRUE(plan);
    const CPlanLayer& layer = *plan->m_Layers[0];
    ASSERT_EQ(layer.GetUnitCount(), 3u);
    EXPECT_NE(dynamic_cast<UnitSingleCarrier*>(layer.GetUnitAt(0)), nullptr);
    EXPECT_EQ(layer.GetUnitAt(0)->m_ClassId, "02-01.7.8");
    EXPECT_EQ(layer.GetUnitAt(0)->m_ClassInfo, nullptr) << "not in the catalogue";
    EXPECT_NE(dynamic_cast<UnitCarrier*>(layer.GetUnitAt(1)), nullptr);
    EXPECT_NE(dynamic_cast<UnitFire*>(layer.GetUnitAt(2)), nullptr) << "kind 03 in a file is a fire unit";
    EXPECT_EQ(layer.GetUnitAt(2)->m_UnitType, kUnitTypeFire);
}

TEST(PlanFile, ClassRecordAndImagesAreLookedUp)
{
    Env env;
    WriteBitmap(env.dir, "NormalBitmap/tank.bmp", 12, 9);
    const QByteArray text = "<plan><Layer><map source='" + QByteArray::fromStdString(env.mapPath) +
                            "' maptype='0'/><unitlist>"
                            "<unit class='02-02.01'><UnitBitmap>NormalBitmap\\tank.bmp</UnitBitmap>"
                            "<UnitBitmapMask>NormalBitmap/missing.bmp</UnitBitmapMask></unit>"
                            "<unit class='02-02.01'/>"
                            "</unitlist></Layer></plan>";
    auto plan = env.LoadText(text);
    ASSERT_TRUE(plan);
    const CPlanLayer& layer = *plan->m_Layers[0];
    const CUnitCanLoad& u = *layer.GetUnitAt(0);
    ASSERT_NE(u.m_ClassInfo, nullptr);
    EXPECT_EQ(u.m_ClassInfo->name, "主战坦克");
    EXPECT_EQ(u.m_ImageWidth, 12);
    EXPECT_EQ(u.m_ImageHeight, 9);
    EXPECT_TRUE(u.m_Mask.isNull());
    EXPECT_EQ(layer.GetUnitAt(1)->m_ClassInfo, nullptr) << "the record is looked up after a child element";
}

TEST(PlanFile, CustomPropertyListsAndRoutesFollowTheirChildren)
{
    Env env;
    const QByteArray text = "<plan><Layer><map source='" + QByteArray::fromStdString(env.mapPath) +
                            "' maptype='0'/><unitlist><unit class='01.01'>"
                            "<CustomPropertyList/>"
                            "<CustomPropertyList><note/></CustomPropertyList>"
                            "<CustomPropertyList><Property ID='1' name='a'/><x/><Property value='v'/></CustomPropertyList>"
                            "<ActionList>"
                            "<action><ActionType>3</ActionType><Route/></action>"
                            "<action><Route><x/></Route></action>"
                            "<action><Route><Coordinate X='1' Y='2' Z='3'/><p/><Coordinate Y='4'/></Route>"
                            "<Route><Coordinate X='9'/></Route></action>"
                            "</ActionList></unit></unitlist></Layer></plan>";
    auto plan = env.LoadText(text);
    ASSERT_TRUE(plan);
    const CUnitCanLoad& u = *plan->m_Layers[0]->GetUnitAt(0);
    ASSERT_EQ(u.m_CustomProperties.size(), 2u) << "a list without children adds no list";
    EXPECT_TRUE(u.m_CustomProperties[0].m_Properties.empty());
    EXPECT_EQ(u.m_CustomProperties[1].m_Properties,
              (std::vector<CustomProperty>{{1, "a", ""}, {0, "", "v"}}));
    ASSERT_EQ(u.m_Actions.size(), 3u);
    EXPECT_TRUE(u.m_Actions[0]->m_Routes.empty());
    ASSERT_EQ(u.m_Actions[1]->m_Routes.size(), 1u);
    EXPECT_TRUE(u.m_Actions[1]->m_Routes[0]->m_Points.empty());
    ASSERT_EQ(u.m_Actions[2]->m_Routes.size(), 2u);
    EXPECT_EQ(u.m_Actions[2]->m_Routes[0]->m_Points, (std::vector<RoutePoint>{{1, 2, 3}, {0, 4, 0}}));

    // Saved, the points of all routes share one Route element, and the
    // property records of all lists one CustomPropertyList.
    const std::string path = env.dir.file("out.pln");
    ASSERT_TRUE(SavePlan(*plan, path));
    auto back = env.Load(path);
    ASSERT_TRUE(back);
    const CUnitCanLoad& v = *back->m_Layers[0]->GetUnitAt(0);
    ASSERT_EQ(v.m_CustomProperties.size(), 1u);
    EXPECT_EQ(v.m_CustomProperties[0].m_Properties.size(), 2u);
    EXPECT_TRUE(v.m_Actions[1]->m_Routes.empty()) << "an empty route is saved as an empty Route";
    ASSERT_EQ(v.m_Actions[2]->m_Routes.size(), 1u);
    EXPECT_EQ(v.m_Actions[2]->m_Routes[0]->m_Points.size(), 3u);
}

TEST(PlanFile, RootWithoutChildElementsFails)
{
    Env env;
    std::string error;
    EXPECT_FALSE(env.LoadText("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<plan>\r\n</plan>", &error));
    EXPECT_NE(error.find("没有子元素"), std::string::npos) << error;
    EXPECT_FALSE(env.LoadText("<plan StartTime='1'>text<!-- c --><?pi x?></plan>"));
    EXPECT_FALSE(env.LoadText("<plan/>"));
    EXPECT_TRUE(env.reporter.messages.empty());
}

TEST(PlanFile, ChildrenThatAreNotLayersAreReportedAfterTheLayers)
{
    Env env;
    const QByteArray layer = "<Layer><map source='" + QByteArray::fromStdString(env.mapPath) + "' maptype='0'/></Layer>";
    const QByteArray badLayer = "<Layer name='bad'><map source='missing.bmp' maptype='0'/></Layer>";
    auto plan = env.LoadText("<plan><junk/>" + layer + badLayer + "<other/>" + layer + "</plan>");
    ASSERT_TRUE(plan) << "a plan loads even when some layers do not";
    EXPECT_EQ(plan->m_Layers.size(), 2u);
    EXPECT_EQ(env.reporter.Seen(), (std::vector<std::string>{"图层加载地图失败|加载错误信息", "加载图层失败|错误提示",
                                                             "加载图层失败|错误提示"}));
}

// A layer whose map is missing here, written the way other hands write:
// single quotes, references, a line end in a value, a comment, CDATA, a unit.
const QByteArray kUnshownLayer =
    "<layer name='&#x5C42;&lt;2&gt;'>\r\n  <map source='gone\\nowhere.bmp' maptype='0' WidthKm='7' HeightKm='9'/>\r\n"
    "  <!-- kept -->\r\n  <unitlist><unit class='01.01' name=\"a&amp;b\r\nc\"><UnitNo>4</UnitNo>"
    "<UnitName><![CDATA[甲\r\n]]>&#x4E59;</UnitName></unit></unitlist>\r\n</layer>";
const QByteArray kStray = "<notes by='x'>a &lt; b<!-- c --><n/></notes>";

TEST(PlanFile, ElementsThatAreNotShownAreSavedBackByteForByteInTheirPlace)
{
    Env env;
    const QByteArray good = "<Layer name='甲'><map source='" + QByteArray::fromStdString(env.mapPath) +
                            "' maptype='0'/><unitlist><unit class='01.01'><UnitNo>1</UnitNo></unit></unitlist></Layer>";
    const std::string path =
        env.dir.write("mixed.pln", "<?xml version='1.0'?>\n<plan StartTime='5'>\n" + kStray + good + "\n" +
                                       kUnshownLayer + "\n</plan>\n");
    auto plan = env.Load(path);
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->m_Layers.size(), 1u) << "only the layer whose map loads is shown";
    EXPECT_EQ(env.reporter.Seen(), (std::vector<std::string>{"图层加载地图失败|加载错误信息", "加载图层失败|错误提示"}))
        << "the same messages as ever";
    ASSERT_EQ(plan->m_KeptElements.size(), 2u);
    EXPECT_EQ(plan->m_KeptElements[0].beforeLayer, 0u);
    EXPECT_EQ(plan->m_KeptElements[0].text, kStray.toStdString());
    EXPECT_EQ(plan->m_KeptElements[1].beforeLayer, 1u);
    EXPECT_EQ(plan->m_KeptElements[1].text, kUnshownLayer.toStdString());

    const std::string saved = env.dir.file("saved.pln");
    ASSERT_TRUE(SavePlan(*plan, saved));
    const QByteArray bytes = TestDir::read(saved);
    const qsizetype stray = bytes.indexOf(kStray), shown = bytes.indexOf("<Layer name=\"甲\">"),
                    unshown = bytes.indexOf(kUnshownLayer);
    ASSERT_NE(stray, -1);
    ASSERT_NE(unshown, -1) << bytes.toStdString();
    EXPECT_LT(stray, shown);
    EXPECT_LT(shown, unshown) << "document order";

    // Reopened, the file is the same plan, and saving it again changes nothing.
    env.reporter.messages.clear();
    auto back = env.Load(saved);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->m_Layers.size(), 1u);
    EXPECT_EQ(back->m_Layers[0]->GetUnitCount(), 1u);
    EXPECT_EQ(back->m_StartTime, 5);
    ASSERT_EQ(back->m_KeptElements.size(), 2u);
    EXPECT_EQ(back->m_KeptElements[1].text, kUnshownLayer.toStdString());
    EXPECT_EQ(env.reporter.messages.size(), 2u);
    const std::string twice = env.dir.file("twice.pln");
    ASSERT_TRUE(SavePlan(*back, twice));
    EXPECT_EQ(TestDir::read(twice), bytes);

    // Once the map is there, the kept layer is shown with its unit.
    WriteBitmap(env.dir, "DefaultMapImage/gone/nowhere.bmp", 8, 8);
    auto found = env.Load(twice);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->m_Layers.size(), 2u);
    EXPECT_EQ(found->m_Layers[1]->m_Name, "层<2>");
    ASSERT_EQ(found->m_Layers[1]->GetUnitCount(), 1u);
    EXPECT_EQ(found->m_Layers[1]->GetUnitAt(0)->m_UnitName, "甲\n乙");
}

TEST(PlanFile, SavingAPlanRightAfterOpeningItGivesItsBytesBack)
{
    // Our own writer's text, with a second layer; the writer normalises
    // quotes, numbers, the declaration and the space between elements, so
    // the file to compare with is one it wrote.
    Env env;
    auto plan = MakeRichPlan(env);
    auto second = std::make_unique<CPlanLayer>();
    second->m_Name = "二";
    second->m_MapSource = env.mapPath;
    second->m_MapType = 0;
    second->m_WidthKm = 10;
    second->m_HeightKm = 5;
    plan->m_Layers.push_back(std::move(second));
    const std::string path = env.dir.file("two.pln");
    ASSERT_TRUE(SavePlan(*plan, path));
    const QByteArray written = TestDir::read(path);

    auto back = env.Load(path);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->m_Layers.size(), 2u);
    EXPECT_TRUE(back->m_KeptElements.empty());
    const std::string again = env.dir.file("again.pln");
    ASSERT_TRUE(SavePlan(*back, again));
    EXPECT_EQ(TestDir::read(again), written);

    // The same with elements that are not shown before, between and after the layers.
    QByteArray mixed = written;
    mixed.insert(mixed.indexOf("</plan>"), kUnshownLayer);
    mixed.insert(mixed.lastIndexOf("<Layer name=\"二\""), kStray);
    mixed.insert(mixed.indexOf("<Layer"), kUnshownLayer + kStray);
    auto kept = env.LoadText(mixed);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->m_Layers.size(), 2u);
    EXPECT_EQ(kept->m_KeptElements.size(), 4u);
    ASSERT_TRUE(SavePlan(*kept, again));
    EXPECT_EQ(TestDir::read(again), mixed);
}

TEST(PlanFile, HundredsOfLayersLoad)
{
    Env env;
    QByteArray text = "<plan>";
    for (int i = 0; i < 200; ++i)
        text += "<Layer name='" + QByteArray::number(i) + "'><map source='" + QByteArray::fromStdString(env.mapPath) +
                "' maptype='0'/></Layer>";
    text += "</plan>";
    std::string error;
    auto plan = env.LoadText(text, &error);
    ASSERT_TRUE(plan) << error;
    ASSERT_EQ(plan->m_Layers.size(), 200u);
    EXPECT_EQ(plan->m_Layers[199]->m_Name, "199");
    EXPECT_TRUE(env.reporter.messages.empty());
}

TEST(PlanFile, MapTypeTwoDropsTheLayer)
{
    Env env;
    auto plan = env.LoadText("<plan><Layer><map source='" + QByteArray::fromStdString(env.mapPath) +
                             "' maptype='2'/></Layer></plan>");
    ASSERT_TRUE(plan);
    EXPECT_TRUE(plan->m_Layers.empty());
    EXPECT_EQ(env.reporter.Seen(),
              (std::vector<std::string>{"不支持的地图类型!|地图加载器错误信息", "图层加载地图失败|加载错误信息"}));
}

TEST(PlanFile, MissingBitmapMapFallsBackToDefaultMapImage)
{
    Env env;
    WriteBitmap(env.dir, "DefaultMapImage/gone/world.bmp", 20, 10);
    auto plan = env.LoadText("<plan><Layer><map source='gone\\world.bmp' maptype='0' WidthKm='5'/></Layer></plan>");
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->m_Layers.size(), 1u);
    EXPECT_EQ(plan->m_Layers[0]->m_Map.GetImageWidth(), 20);
    EXPECT_TRUE(env.reporter.messages.empty());
    // The stored text is what a save writes, not this folder's path.
    EXPECT_EQ(plan->m_Layers[0]->m_MapSource, "gone\\world.bmp");
    const std::string saved = env.dir.file("fallback.pln");
    ASSERT_TRUE(SavePlan(*plan, saved));
    EXPECT_TRUE(TestDir::read(saved).contains("source=\"gone\\world.bmp\""));
    EXPECT_FALSE(TestDir::read(saved).contains("DefaultMapImage"));
    auto again = env.Load(saved);
    ASSERT_TRUE(again);
    ASSERT_EQ(again->m_Layers.size(), 1u) << "found through the fallback once more";
    EXPECT_EQ(again->m_Layers[0]->m_MapSource, "gone\\world.bmp");

    // Missing there as well: the layer is dropped after the message.
    auto none = env.LoadText("<plan><Layer><map source='nowhere.bmp' maptype='0'/></Layer></plan>");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->m_Layers.empty());
    EXPECT_EQ(env.reporter.Seen(), (std::vector<std::string>{"图层加载地图失败|加载错误信息"}));
}

TEST(PlanFile, SaveWritesTheInitialPositionNotThePlaybackPosition)
{
    Env env;
    auto plan = MakeRichPlan(env);
    CUnitCanLoad* u = plan->m_Layers[0]->GetUnitAt(0);
    u->m_CurX = 500;
    u->m_CurY = 600;
    const std::string path = env.dir.file("playing.pln");
    ASSERT_TRUE(SavePlan(*plan, path));
    auto back = env.Load(path);
    ASSERT_TRUE(back);
    const CUnitCanLoad* v = back->m_Layers[0]->GetUnitAt(0);
    EXPECT_EQ(v->m_CurX, 12.345678);
    EXPECT_EQ(v->m_CurY, -3.5);
}

// The fire of a strike in progress is playback state: a save during play
// writes the plan as it was before the strike. A weapon-class unit read from
// a file keeps its old empty element.
TEST(PlanFile, AStrikesFireIsNotSavedAndAFireUnitFromAFileIsSavedEmpty)
{
    Env env;
    auto plan = MakeRichPlan(env);
    const std::string before = env.dir.file("before.pln");
    ASSERT_TRUE(SavePlan(*plan, before));
    auto fire = std::make_unique<UnitFire>();
    fire->m_UnitNo = kFireUnitNo;
    fire->m_ClassId = "03.01";
    fire->m_UnitName = "榴弹炮";
    plan->m_Layers[0]->AddUnit(std::move(fire));
    const std::string path = env.dir.file("strike.pln");
    ASSERT_TRUE(SavePlan(*plan, path));
    EXPECT_EQ(TestDir::read(path), TestDir::read(before));

    QByteArray text = TestDir::read(path);
    text.replace("</unitlist>", "<unit class=\"03.01\"><UnitNo>25600</UnitNo></unit></unitlist>");
    const std::string withFire = env.dir.write("file-fire.pln", text);
    auto back = env.Load(withFire);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->m_Layers[0]->GetUnitCount(), plan->m_Layers[0]->GetUnitCount());
    ASSERT_TRUE(SavePlan(*back, path));
    EXPECT_TRUE(TestDir::read(path).contains("<unit/></unitlist>"));
}

TEST(PlanFile, DamagedFilesFailWithoutMessages)
{
    Env env;
    auto plan = MakeRichPlan(env);
    const std::string good = env.dir.file("good.pln");
    ASSERT_TRUE(SavePlan(*plan, good));
    const QByteArray bytes = TestDir::read(good);

    // Cut anywhere before the root's end tag is complete.
    for (qsizetype cut : {qsizetype(0), qsizetype(10), qsizetype(45), bytes.size() / 3, bytes.size() / 2,
                          bytes.size() - 8, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(env.LoadText(bytes.left(cut)));
    }
    QByteArray latin1 = bytes;
    latin1.replace("直升机", "\xd6\xb1\xc9\xfd\xbb\xfa");  // the same name in GBK
    std::string error;
    EXPECT_FALSE(env.LoadText(latin1, &error));
    EXPECT_NE(error.find("不是 UTF-8"), std::string::npos) << error;
    QByteArray control = bytes;
    control.replace("步战车", QByteArray("步\x01战车", 10));
    EXPECT_FALSE(env.LoadText(control));
    QByteArray nul = bytes;
    nul[nul.indexOf("<Layer")] = '\0';
    EXPECT_FALSE(env.LoadText(nul));
    EXPECT_FALSE(env.LoadText(QByteArray("<!DOCTYPE plan [<!ENTITY a 'b'>]>") + bytes.mid(bytes.indexOf("<plan"))));
    EXPECT_FALSE(env.LoadText(bytes + "<plan/>")) << "a second root";
    EXPECT_FALSE(env.LoadText(QByteArray(bytes).replace("</unitlist>", "</UNITLIST>"))) << "end tags match exactly";
    EXPECT_FALSE(env.Load(env.dir.file("does-not-exist.pln")));
    EXPECT_FALSE(env.Load(env.dir.path().toStdString()));
    EXPECT_TRUE(env.reporter.messages.empty());
    EXPECT_TRUE(env.LoadText(bytes + "\r\n<!-- after -->\r\n")) << "comments and space may follow the root";
}

TEST(PlanFile, AbsurdFilesAreRefused)
{
    Env env;
    // Nesting: far deeper than any plan, inside an element the reader skips.
    QByteArray deep = "<plan><Layer><map source='" + QByteArray::fromStdString(env.mapPath) + "' maptype='0'/><x>";
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    std::string error;
    EXPECT_FALSE(env.LoadText(deep, &error));
    EXPECT_NE(error.find("嵌套层数过多"), std::string::npos) << error;

    EXPECT_TRUE(env.reporter.messages.empty());

    // Size: checked before anything is read.
    const std::string path = env.dir.write("big.pln", QByteArray(4096, ' '));
    PlanLoadLimits limits;
    limits.maxBytes = 4095;
    EXPECT_FALSE(LoadPlan(path, env.context, &error, limits));
    EXPECT_NE(error.find("太大"), std::string::npos) << error;
}

TEST(PlanFile, UnitNumbersOutsideTheTableAreKeptWithoutAnEntry)
{
    Env env;
    const QByteArray text = "<plan><Layer><map source='" + QByteArray::fromStdString(env.mapPath) +
                            "' maptype='0'/><unitlist>"
                            "<unit class='01.01'><UnitNo>-1</UnitNo></unit>"
                            "<unit class='01.01'><UnitNo>25601</UnitNo></unit>"
                            "<unit class='01.01'><UnitNo>99999999999</UnitNo></unit>"
                            "<unit class='01.01'><UnitNo>25600</UnitNo></unit>"
                            "<unit class='01.01'><UnitNo>12</UnitNo></unit>"
                            "</unitlist></Layer></plan>";
    auto plan = env.LoadText(text);
    ASSERT_TRUE(plan);
    CPlanLayer& layer = *plan->m_Layers[0];
    ASSERT_EQ(layer.GetUnitCount(), 5u);
    EXPECT_EQ(layer.GetUnitAt(2)->m_UnitNo, std::numeric_limits<int32_t>::max()) << "clamped like atoi";
    EXPECT_EQ(layer.GetUnitByNo(-1), nullptr);
    EXPECT_EQ(layer.GetUnitByNo(25601), nullptr);
    EXPECT_EQ(layer.GetUnitByNo(std::numeric_limits<int32_t>::max()), nullptr);
    EXPECT_EQ(layer.GetUnitByNo(std::numeric_limits<int32_t>::min()), nullptr);
    EXPECT_EQ(layer.GetUnitByNo(25600), layer.GetUnitAt(3));
    EXPECT_EQ(layer.MaxUnitNo(), 12) << "only numbers that new units can follow";

    // They survive a save and can be deleted by number.
    const std::string path = env.dir.file("odd.pln");
    ASSERT_TRUE(SavePlan(*plan, path));
    auto back = env.Load(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->m_Layers[0]->GetUnitCount(), 5u);
    back->m_Layers[0]->DeleteUnitsByNo(25601);
    EXPECT_EQ(back->m_Layers[0]->GetUnitCount(), 4u);
}

TEST(PlanFile, AFailedSaveKeepsThePreviousFile)
{
    Env env;
    auto plan = MakeRichPlan(env);
    const std::string path = env.dir.file("keep.pln");
    ASSERT_TRUE(SavePlan(*plan, path));
    const QByteArray before = TestDir::read(path);

    // Many more units than fit under the size limit.
    for (int i = 0; i < 2000; ++i) {
        auto u = CreateUnitForClassId("02-02.01");
        u->m_UnitNo = 100 + i;
        u->m_UnitName = std::string(200, 'x');
        plan->m_Layers[0]->AddUnit(std::move(u));
    }
    {
        FileSizeLimit limit(64 * 1024);
        std::string error;
        EXPECT_FALSE(SavePlan(*plan, path, &error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(TestDir::read(path), before);
    EXPECT_TRUE(env.reporter.messages.empty()) << "only a file that cannot be created is reported here";
    EXPECT_EQ(QDir(env.dir.path()).entryList({"keep.pln*"}, QDir::Files | QDir::Hidden).size(), 1)
        << "no temporary file is left behind";
}

TEST(PlanFile, AFileThatCannotBeCreatedIsReported)
{
    Env env;
    auto plan = MakeRichPlan(env);
    EXPECT_FALSE(SavePlan(*plan, env.dir.file("no/such/folder/x.pln")));
    EXPECT_FALSE(SavePlan(*plan, env.dir.path().toStdString()));
    EXPECT_EQ(env.reporter.Seen(), (std::vector<std::string>{"保存预案失败!|错误", "保存预案失败!|错误"}));
}

TEST(PlanFile, AddNewLayerBuildsTheSingleLayerOfANewPlan)
{
    Env env;
    CPlan plan(env.context);
    ASSERT_TRUE(plan.AddNewLayer("新预案", env.mapPath, 0, 30, 20));
    ASSERT_EQ(plan.m_Layers.size(), 1u);
    const CPlanLayer& layer = *plan.m_Layers[0];
    EXPECT_EQ(layer.m_MapName, "新预案");
    EXPECT_EQ(layer.m_Name, "");
    EXPECT_EQ(layer.m_MapType, 0);
    EXPECT_EQ(layer.m_WidthKm, 30);
    EXPECT_EQ(layer.m_HeightKm, 20);
    EXPECT_TRUE(layer.m_Map.IsLoaded());
    EXPECT_EQ(layer.GetUnitCount(), 0u);

    // No DefaultMapImage fallback here.
    WriteBitmap(env.dir, "DefaultMapImage/only-here.bmp");
    CPlan other(env.context);
    EXPECT_FALSE(other.AddNewLayer("x", "only-here.bmp", 0, 1, 1));
    EXPECT_TRUE(other.m_Layers.empty());
    EXPECT_EQ(env.reporter.Seen(), (std::vector<std::string>{"图层加载地图失败|加载错误信息"}));
}
