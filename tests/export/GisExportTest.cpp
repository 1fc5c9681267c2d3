// The GIS export read back through GDAL in every format: each feature's
// fields and geometry against the plan and its play.
#include "ExportTestSupport.h"

#include "export/GisExport.h"
#include "export/PlayRecorder.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <variant>

namespace {

struct Epoch {
    int64_t seconds;
};
using Value = std::variant<int64_t, double, std::string, Epoch>;
struct Expected {
    std::vector<std::pair<const char*, Value>> fields;
    std::vector<std::pair<double, double>> points;  // a point, a line's points, or a polygon's envelope corners
};
using Features = std::vector<std::unique_ptr<OGRFeature>>;

int64_t EpochOf(const OGRFeature& f, int index)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, tz = 0;
    float s = 0;
    if (f.GetFieldDefnRef(index)->GetType() == OFTString) {
        OGRField parsed;
        if (!OGRParseDate(f.GetFieldAsString(index), &parsed, 0))
            return -1;
        y = parsed.Date.Year, mo = parsed.Date.Month, d = parsed.Date.Day, h = parsed.Date.Hour;
        mi = parsed.Date.Minute, s = parsed.Date.Second, tz = parsed.Date.TZFlag;
    } else if (!const_cast<OGRFeature&>(f).GetFieldAsDateTime(index, &y, &mo, &d, &h, &mi, &s, &tz)) {
        return -1;
    }
    std::tm tm{};
    tm.tm_year = y - 1900, tm.tm_mon = mo - 1, tm.tm_mday = d, tm.tm_hour = h, tm.tm_min = mi, tm.tm_sec = int(s);
    const int64_t offset = tz > 1 ? int64_t(tz - 100) * 15 * 60 : 0;
    return int64_t(timegm(&tm)) - offset;
}

std::vector<std::pair<double, double>> PointsOf(const OGRGeometry* g)
{
    std::vector<std::pair<double, double>> out;
    if (!g)
        return out;
    switch (wkbFlatten(g->getGeometryType())) {
    case wkbPoint:
        out.emplace_back(g->toPoint()->getX(), g->toPoint()->getY());
        break;
    case wkbLineString:
        for (const OGRPoint& p : *g->toLineString())
            out.emplace_back(p.getX(), p.getY());
        break;
    default: {
        OGREnvelope e;
        g->getEnvelope(&e);
        out = {{e.MinX, e.MinY}, {e.MaxX, e.MaxY}};
    }
    }
    return out;
}

void ExpectFeature(const OGRFeature& f, const Expected& e, const std::string& where)
{
    for (const auto& [name, value] : e.fields) {
        const int i = f.GetFieldIndex(name);
        ASSERT_GE(i, 0) << where << ": no field " << name;
        ASSERT_TRUE(f.IsFieldSetAndNotNull(i)) << where << ": " << name << " unset";
        if (auto* n = std::get_if<int64_t>(&value))
            EXPECT_EQ(f.GetFieldAsInteger64(i), *n) << where << "." << name;
        else if (auto* r = std::get_if<double>(&value))
            EXPECT_NEAR(f.GetFieldAsDouble(i), *r, 1e-9) << where << "." << name;
        else if (auto* t = std::get_if<std::string>(&value))
            EXPECT_EQ(std::string(f.GetFieldAsString(i)), *t) << where << "." << name;
        else
            EXPECT_EQ(EpochOf(f, i), std::get<Epoch>(value).seconds) << where << "." << name;
    }
    const auto points = PointsOf(f.GetGeometryRef());
    ASSERT_EQ(points.size(), e.points.size()) << where;
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(points[i].first, e.points[i].first, 1e-7) << where << " point " << i;
        EXPECT_NEAR(points[i].second, e.points[i].second, 1e-7) << where << " point " << i;
    }
}

// Every feature of the written file by logical layer (GeoJSON: its "layer" field).
std::map<std::string, Features> ReadBack(const std::string& path, GisFormat format)
{
    std::map<std::string, Features> out;
    GDALAllRegister();
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!ds) {
        ADD_FAILURE() << "GDAL cannot open " << path;
        return out;
    }
    for (OGRLayer* layer : ds->GetLayers()) {
        for (auto& feature : *layer) {
            const std::string name =
                format == GisFormat::GeoJson ? feature->GetFieldAsString("layer") : layer->GetName();
            out[name].emplace_back(feature.release());
        }
    }
    return out;
}

}  // namespace

class GisExport : public ::testing::TestWithParam<GisFormat> {};

TEST_P(GisExport, EveryFeatureReadsBackWithItsFieldsAndGeometry)
{
    const GisFormat format = GetParam();
    ExportPlanEnv env;
    CPlayState state;
    auto plan = env.LoadPlayable(state);
    ASSERT_TRUE(plan);
    const PlayRecord play = RecordPlay(*plan, 8, CPlan::kTickMs);
    const std::string path = env.dir.file(QStringLiteral("plan.") + GisFormatInfoOf(format).extension);
    // Twice: the second export replaces the first.
    for (int round = 0; round < 2; ++round) {
        const ExportResult result = ExportGis(*plan, play, path, format);
        ASSERT_TRUE(result.ok) << result.description;
    }
    auto layers = ReadBack(GisOutputPath(path, format), format);

    const double h = 8;  // bitmap map y runs down; the export's y runs up
    auto check = [&](const std::string& layer, const std::vector<Expected>& expected) {
        const Features& features = layers[layer];
        ASSERT_EQ(features.size(), expected.size()) << layer;
        for (size_t i = 0; i < expected.size(); ++i)
            ExpectFeature(*features[i], expected[i], layer + "[" + std::to_string(i) + "]");
    };

    check("map", {{{{"name", std::string("演练图")}, {"source", env.mapPath}, {"map_type", int64_t(0)},
                    {"width_km", 10.0}, {"height_km", 8.0}},
                   {{0, 0}, {10, 8}}}});

    struct U { int no; const char* name; const char* cls; const char* className; double x, y; int appear; };
    const U units[] = {{1, "甲", "02-02.01", "主战坦克", 1, 1, 0}, {2, "乙", "02-02.01", "主战坦克", 5, 1, 0},
                       {3, "运", "02-01.01", "步兵战车", 2, 2, 0}, {4, "货", "02-02.01", "主战坦克", 2, 3, 0},
                       {5, "迟", "02-02.01", "主战坦克", 7, 7, 5}};
    std::vector<Expected> expectedUnits;
    for (const U& u : units)
        expectedUnits.push_back({{{"name", std::string(u.name)}, {"number", int64_t(u.no)},
                                  {"class_id", std::string(u.cls)}, {"class_name", std::string(u.className)},
                                  {"kind", std::string(u.cls).substr(0, std::string(u.cls).find('.'))},
                                  {"appear", int64_t(u.appear)}, {"angle", 15.0},
                                  {"begin", Epoch{env.start + u.appear}}},
                                 {{u.x, h - u.y}}});
    check("units", expectedUnits);
    check("routes", {{{{"unit_no", int64_t(1)}, {"unit_name", std::string("甲")}, {"action_no", int64_t(3)},
                       {"action", std::string("a3")}, {"time", int64_t(1)}, {"speed", 3600.0}},
                      {{1, h - 1}, {4, h - 2}, {4, h - 6}}}});
    check("targets", {{{{"unit_no", int64_t(1)}, {"unit_name", std::string("甲")}, {"action_no", int64_t(1)},
                        {"time", int64_t(0)}, {"weapon", std::string("03.01")}, {"weapon_nm", std::string("榴弹炮")},
                        {"count", int64_t(2)}},
                       {{5, h - 1}}}});

    std::vector<Expected> points, lines;
    for (const UnitTrack& t : play.tracks) {
        Expected line{{{"unit_no", int64_t(t.unitNo)}, {"name", t.unitName},
                       {"begin", Epoch{env.start + t.samples.front().second}},
                       {"end", Epoch{env.start + t.samples.back().second}}},
                      {}};
        for (const TrackSample& s : t.samples) {
            points.push_back({{{"unit_no", int64_t(t.unitNo)}, {"name", t.unitName}, {"time", int64_t(s.second)},
                               {"timestamp", Epoch{env.start + s.second}}, {"loaded", int64_t(s.loaded)}},
                              {{s.x, h - s.y}}});
            line.points.emplace_back(s.x, h - s.y);
        }
        lines.push_back(line);
    }
    ASSERT_EQ(points.size(), 9u * 4 + 4) << "four units for 0..8 s, one from 5 s";
    check("track_points", points);
    check("tracks", lines);

    std::vector<Expected> events, hits;
    for (const PlacedRecord& r : play.events)
        events.push_back({{{"unit_no", int64_t(r.unitNo)}, {"time", int64_t(r.tickMs / 1000)},
                           {"timestamp", Epoch{r.epoch}}, {"text", r.text}, {"located", int64_t(1)}},
                          {{r.x, h - r.y}}});
    for (const PlacedRecord& r : play.hits)
        hits.push_back({{{"unit_no", int64_t(2)}, {"time", int64_t(r.tickMs / 1000)}, {"timestamp", Epoch{r.epoch}},
                         {"victim", r.victim}, {"attacker", r.attacker}, {"distance", r.distance},
                         {"located", int64_t(1)}},
                        {{5, h - 1}}});
    ASSERT_GE(events.size(), 6u);
    ASSERT_GE(hits.size(), 1u);
    check("events", events);
    check("hits", hits);
    EXPECT_EQ(layers.size(), 8u);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, GisExport,
                         ::testing::Values(GisFormat::GeoPackage, GisFormat::GeoJson, GisFormat::Kml,
                                           GisFormat::Shapefile),
                         [](const auto& info) { return std::string(GisFormatInfoOf(info.param).name); });

TEST(GisExportFormat, NamesAndExtensionsChooseTheFormat)
{
    EXPECT_EQ(GisFormatByName("GPKG"), GisFormat::GeoPackage);
    EXPECT_EQ(GisFormatByName("geojson"), GisFormat::GeoJson);
    EXPECT_EQ(GisFormatByName("KML"), GisFormat::Kml);
    EXPECT_EQ(GisFormatByName("ESRI Shapefile"), GisFormat::Shapefile);
    EXPECT_EQ(GisFormatByName("shp"), GisFormat::Shapefile);
    EXPECT_FALSE(GisFormatByName("dxf"));
    EXPECT_FALSE(GisFormatByName(""));
    EXPECT_EQ(GisFormatForPath("/a/b.GeoJSON"), GisFormat::GeoJson);
    EXPECT_EQ(GisFormatForPath("b.json"), GisFormat::GeoJson);
    EXPECT_EQ(GisFormatForPath("b.kml"), GisFormat::Kml);
    EXPECT_EQ(GisFormatForPath("dir/b.shp"), GisFormat::Shapefile);
    EXPECT_EQ(GisFormatForPath("b.gpkg"), GisFormat::GeoPackage);
    EXPECT_EQ(GisFormatForPath("noextension"), GisFormat::GeoPackage);
}

TEST(GisExportFailure, AnUnwritablePlaceOrAPlanWithoutLayersIsAClearError)
{
    ExportPlanEnv env;
    auto plan = env.LoadText(env.PlanText());
    ASSERT_TRUE(plan);
    const PlayRecord play = RecordPlay(*plan, 2, CPlan::kTickMs);
    const ExportResult bad = ExportGis(*plan, play, env.dir.file("missing/dir/x.gpkg"), GisFormat::GeoPackage);
    EXPECT_FALSE(bad.ok);
    EXPECT_NE(bad.description.find("导出GIS数据失败"), std::string::npos) << bad.description;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(env.dir.file("missing/dir/x.gpkg"))));

    CPlan empty;
    EXPECT_FALSE(ExportGis(empty, {}, env.dir.file("e.gpkg"), GisFormat::GeoPackage).ok);
}

TEST(GisExportTool, ReplayWritesTheChosenFormatAndRefusesUnknownOnes)
{
    ExportPlanEnv env;
    env.dir.write("SysConfig.cfg", "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<sysconfig>\r\n"
                                   "<param name=\"CheckBeenHit\">1</param><param name=\"DistWhenBeenHit\">60</param>"
                                   "</sysconfig>");
    const std::string plan = env.dir.write("plan.pln", env.PlanText(4));
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(TARNWICK_REPLAY, QStringList{"--home", env.dir.path()} + args + QStringList{QString::fromStdString(plan)});
        p.waitForFinished(60000);
        return std::pair{p.exitCode(), p.readAllStandardError().toStdString()};
    };
    const QString out = env.dir.path() + "/out.data";
    auto [code, err] = run({"--export-gis", out, "--format", "geojson"});
    ASSERT_EQ(code, 0) << err;
    auto layers = ReadBack(out.toStdString(), GisFormat::GeoJson);
    EXPECT_EQ(layers["units"].size(), 5u);
    EXPECT_EQ(layers["track_points"].size(), 4u * 5) << "four units for 0..4 s; the late one never appears";

    auto [bad, badErr] = run({"--export-gis", out, "--format", "dxf"});
    EXPECT_EQ(bad, 2);
    EXPECT_NE(badErr.find("unknown --format"), std::string::npos);
}

TEST(GisExportGisMap, LongitudeAndLatitudeGoOutUnchangedInWgs84)
{
    ExportPlanEnv env;
    const std::string gst = TARNWICK_SOURCE_DIR "/samples/gis/exercise/exercise.gst";
    const std::string units =
        ExportPlanEnv::Unit(1, "甲", "02-02.01", 117.1, 36.1,
                            ExportPlanEnv::Action(1, 1, 0, "<Speed>50</Speed>",
                                                  ExportPlanEnv::Point(117.1, 36.1) + ExportPlanEnv::Point(117.2, 36.25)));
    auto plan = env.LoadText(QByteArray::fromStdString(
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<plan StartTime=\"" + std::to_string(env.start) +
        "\" EndTime=\"" + std::to_string(env.start + 3) + "\">\r\n<Layer name=\"一\"><map name=\"gis\" source=\"" + gst +
        "\" maptype=\"1\" WidthKm=\"0\" HeightKm=\"0\"/><unitlist>" + units + "</unitlist></Layer></plan>"));
    ASSERT_TRUE(plan && plan->GetFirstLayer());
    const PlayRecord play = RecordPlay(*plan, 3, CPlan::kTickMs);
    for (GisFormat format : {GisFormat::GeoPackage, GisFormat::Kml}) {
        const std::string path = env.dir.file(QStringLiteral("gis.") + GisFormatInfoOf(format).extension);
        const ExportResult result = ExportGis(*plan, play, path, format);
        ASSERT_TRUE(result.ok) << result.description;
        std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
        ASSERT_TRUE(ds);
        OGRLayer* unitLayer = ds->GetLayerByName("units");
        ASSERT_TRUE(unitLayer);
        const OGRSpatialReference* srs = unitLayer->GetSpatialRef();
        ASSERT_TRUE(srs);
        EXPECT_TRUE(srs->IsGeographic());
        OGRSpatialReference wgs84;
        wgs84.importFromEPSG(4326);
        EXPECT_TRUE(srs->IsSameGeogCS(&wgs84));
        auto layers = ReadBack(path, format);
        ASSERT_EQ(layers["units"].size(), 1u);
        ExpectFeature(*layers["units"][0], {{{"name", std::string("甲")}}, {{117.1, 36.1}}}, "units");
        ASSERT_EQ(layers["routes"].size(), 1u);
        ExpectFeature(*layers["routes"][0], {{}, {{117.1, 36.1}, {117.2, 36.25}}}, "routes");
        ASSERT_EQ(layers["track_points"].size(), 4u);
        const auto last = PointsOf(layers["track_points"][3]->GetGeometryRef());
        EXPECT_GT(last[0].first, 117.1) << "moving north-east";
        EXPECT_GT(last[0].second, 36.1);
        ASSERT_EQ(layers["map"].size(), 1u);
        ExpectFeature(*layers["map"][0], {{{"map_type", int64_t(1)}}, {}}, "map");
    }
}
