#include "export/GisExport.h"

#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cctype>
#include <ctime>
#include <memory>
#include <set>

namespace {

const std::array<GisFormatInfo, 4> kFormats = {{
    {GisFormat::GeoPackage, "gpkg", "GPKG", "gpkg", "GeoPackage (*.gpkg)"},
    {GisFormat::GeoJson, "geojson", "GeoJSON", "geojson", "GeoJSON (*.geojson)"},
    {GisFormat::Kml, "kml", "LIBKML", "kml", "Google Earth KML (*.kml)"},
    {GisFormat::Shapefile, "shp", "ESRI Shapefile", "shp", "ESRI Shapefile (*.shp)"},
}};

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

struct FieldSpec {
    const char* name;
    OGRFieldType type;
};

// A value of one field; the field's type says which member is used.
struct FieldValue {
    const char* name;
    int64_t integer = 0;
    double real = 0;
    std::string text;
    bool isTime = false;  // `integer` holds seconds since 1970 (UTC)
};
FieldValue Int(const char* name, int64_t v) { return {name, v, 0, {}, false}; }
FieldValue Real(const char* name, double v) { return {name, 0, v, {}, false}; }
FieldValue Text(const char* name, std::string v) { return {name, 0, 0, std::move(v), false}; }
FieldValue Time(const char* name, int64_t epoch) { return {name, epoch, 0, {}, true}; }

// Writes the layers through one GDAL data source. GeoJSON has a single
// collection: every logical layer goes into it with its name in "layer".
class GisWriter {
public:
    GisWriter(GisFormat format, bool gisMap, double heightKm) : m_format(format), m_gisMap(gisMap), m_heightKm(heightKm)
    {
        if (gisMap) {
            m_srs.SetWellKnownGeogCS("WGS84");
            m_srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        }
    }

    std::string Open(const std::string& path, double widthKm)
    {
        GDALAllRegister();
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(GisFormatInfoOf(m_format).driver);
        if (!driver)
            return std::string("GDAL没有") + GisFormatInfoOf(m_format).driver + "驱动";
        if (!m_gisMap) {
            const std::string title = QStringLiteral("Tarnwick map %1 x %2 km").arg(widthKm).arg(m_heightKm).toStdString();
            m_srs.SetLocalCS(title.c_str());
            m_srs.SetLinearUnits("kilometre", 1000.0);
        }
        CPLErrorReset();
        m_ds.reset(driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        if (!m_ds)
            return "无法创建 " + path + ": " + CPLGetLastErrorMsg();
        return {};
    }

    // KML carries only longitude and latitude; kilometres go in without a system.
    const OGRSpatialReference* Srs() const
    {
        return (m_format == GisFormat::Kml && !m_gisMap) ? nullptr : &m_srs;
    }

    std::string AddLayer(const char* name, OGRwkbGeometryType geometry, const std::vector<FieldSpec>& fields)
    {
        OGRLayer* layer = nullptr;
        if (m_format == GisFormat::GeoJson) {
            if (!m_shared) {
                m_shared = m_ds->CreateLayer("tarnwick", const_cast<OGRSpatialReference*>(Srs()), wkbUnknown, nullptr);
                if (!m_shared)
                    return std::string("无法创建图层: ") + CPLGetLastErrorMsg();
                if (std::string e = AddFields(m_shared, {{"layer", OFTString}}); !e.empty())
                    return e;
            }
            layer = m_shared;
        } else {
            char** options = nullptr;
            if (m_format == GisFormat::Shapefile)
                options = CSLSetNameValue(options, "ENCODING", "UTF-8");
            layer = m_ds->CreateLayer(name, const_cast<OGRSpatialReference*>(Srs()), geometry, options);
            CSLDestroy(options);
            if (!layer)
                return std::string("无法创建图层 ") + name + ": " + CPLGetLastErrorMsg();
        }
        m_layers[name] = layer;
        return AddFields(layer, fields);
    }

    // Map coordinates to the output's: bitmap map y runs down from the top.
    void Point(double x, double y, double& ox, double& oy) const
    {
        ox = x;
        oy = m_gisMap ? y : m_heightKm - y;
    }

    std::string Write(const char* layerName, std::unique_ptr<OGRGeometry> geometry, const std::vector<FieldValue>& values)
    {
        OGRLayer* layer = m_layers.at(layerName);
        OGRFeature feature(layer->GetLayerDefn());
        if (m_format == GisFormat::GeoJson)
            feature.SetField("layer", layerName);
        for (const FieldValue& v : values) {
            const int index = feature.GetFieldIndex(v.name);
            if (index < 0)
                continue;
            const OGRFieldType type = feature.GetFieldDefnRef(index)->GetType();
            if (v.isTime) {
                std::tm tm{};
                const std::time_t t = std::time_t(v.integer);
                gmtime_r(&t, &tm);
                if (type == OFTDateTime) {
                    feature.SetField(index, tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                                     float(tm.tm_sec), 100);
                } else {
                    char text[32];
                    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
                    feature.SetField(index, text);
                }
            } else if (type == OFTInteger || type == OFTInteger64) {
                feature.SetField(index, GIntBig(v.integer));
            } else if (type == OFTReal) {
                feature.SetField(index, v.real);
            } else {
                feature.SetField(index, v.text.c_str());
            }
        }
        if (geometry)
            feature.SetGeometryDirectly(geometry.release());
        if (layer->CreateFeature(&feature) != OGRERR_NONE)
            return std::string("写入 ") + layerName + " 失败: " + CPLGetLastErrorMsg();
        return {};
    }

    std::string StartTransaction() { return m_ds->StartTransaction() == OGRERR_FAILURE ? "无法开始写入" : ""; }
    std::string Commit() { return m_ds->CommitTransaction() == OGRERR_FAILURE ? CPLGetLastErrorMsg() : ""; }
    std::string Close()
    {
        CPLErrorReset();
        m_ds.reset();
        return CPLGetLastErrorType() >= CE_Failure ? CPLGetLastErrorMsg() : "";
    }
    bool TimesAsText() const { return m_format == GisFormat::Shapefile; }

private:
    std::string AddFields(OGRLayer* layer, const std::vector<FieldSpec>& fields)
    {
        for (const FieldSpec& f : fields) {
            if (layer->GetLayerDefn()->GetFieldIndex(f.name) >= 0)
                continue;  // the shared GeoJSON collection already has it
            // Shapefiles have dates but no times of day: keep the full stamp as ISO text.
            const OGRFieldType type = (f.type == OFTDateTime && TimesAsText()) ? OFTString : f.type;
            OGRFieldDefn defn(f.name, type);
            if (type == OFTString && m_format == GisFormat::Shapefile)
                defn.SetWidth(254);
            if (layer->CreateField(&defn) != OGRERR_NONE)
                return std::string("无法创建字段 ") + f.name + ": " + CPLGetLastErrorMsg();
        }
        return {};
    }

    struct DatasetClose {
        void operator()(GDALDataset* ds) const { GDALClose(ds); }
    };
    GisFormat m_format;
    bool m_gisMap;
    double m_heightKm;
    OGRSpatialReference m_srs;
    std::unique_ptr<GDALDataset, DatasetClose> m_ds;
    OGRLayer* m_shared = nullptr;
    std::map<std::string, OGRLayer*> m_layers;
};

const char* const kLayerNames[] = {"map", "units", "routes", "targets", "track_points", "tracks", "events", "hits"};

// Removes what an earlier export left at `path`, so the new one starts clean.
void RemoveOld(const std::string& path, GisFormat format)
{
    if (format == GisFormat::Shapefile) {
        QDir dir(QString::fromStdString(path));
        for (const char* layer : kLayerNames)
            for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg"})
                dir.remove(QString::fromUtf8(layer) + ext);
    } else {
        QFile::remove(QString::fromStdString(path));
    }
}

}  // namespace

const GisFormatInfo& GisFormatInfoOf(GisFormat format)
{
    return kFormats[size_t(format)];
}

std::optional<GisFormat> GisFormatByName(const std::string& name)
{
    const std::string n = Lower(name);
    for (const GisFormatInfo& f : kFormats)
        if (n == f.name || n == Lower(f.driver))
            return f.format;
    if (n == "json")
        return GisFormat::GeoJson;
    if (n == "shapefile")
        return GisFormat::Shapefile;
    if (n == "geopackage")
        return GisFormat::GeoPackage;
    return std::nullopt;
}

GisFormat GisFormatForPath(const std::string& path)
{
    const std::string ext = Lower(QFileInfo(QString::fromStdString(path)).suffix().toStdString());
    if (ext == "json")
        return GisFormat::GeoJson;
    for (const GisFormatInfo& f : kFormats)
        if (ext == f.extension)
            return f.format;
    return GisFormat::GeoPackage;
}

namespace {

std::string WriteAll(GisWriter& out, const CPlan& plan, const PlayRecord& play)
{
    const CPlanLayer& layer = *plan.GetFirstLayer();
    const CUnitClassCatalog* catalog = plan.GetContext().catalog;
    const OGRFieldType timeType = OFTDateTime;
    auto point = [&](double x, double y) {
        double ox = 0, oy = 0;
        out.Point(x, y, ox, oy);
        return std::make_unique<OGRPoint>(ox, oy);
    };
    auto line = [&](const auto& points, auto xy) {
        auto l = std::make_unique<OGRLineString>();
        for (const auto& p : points) {
            auto [x, y] = xy(p);
            double ox = 0, oy = 0;
            out.Point(x, y, ox, oy);
            l->addPoint(ox, oy);
        }
        return l;
    };
    std::string e;
#define TRY(expr) \
    if (!(e = (expr)).empty()) return e

    TRY(out.AddLayer("map", wkbPolygon, {{"name", OFTString}, {"source", OFTString}, {"map_type", OFTInteger},
                                         {"width_km", OFTReal}, {"height_km", OFTReal}}));
    TRY(out.AddLayer("units", wkbPoint, {{"name", OFTString}, {"number", OFTInteger}, {"class_id", OFTString},
                                         {"class_name", OFTString}, {"kind", OFTString}, {"appear", OFTInteger},
                                         {"angle", OFTReal}, {"begin", timeType}}));
    TRY(out.AddLayer("routes", wkbLineString, {{"unit_no", OFTInteger}, {"unit_name", OFTString},
                                               {"action_no", OFTInteger}, {"action", OFTString},
                                               {"time", OFTInteger}, {"speed", OFTReal}}));
    TRY(out.AddLayer("targets", wkbPoint, {{"unit_no", OFTInteger}, {"unit_name", OFTString}, {"action_no", OFTInteger},
                                           {"time", OFTInteger}, {"weapon", OFTString}, {"weapon_nm", OFTString},
                                           {"count", OFTInteger}}));
    TRY(out.AddLayer("track_points", wkbPoint, {{"unit_no", OFTInteger}, {"name", OFTString}, {"time", OFTInteger},
                                                {"timestamp", timeType}, {"loaded", OFTInteger}}));
    TRY(out.AddLayer("tracks", wkbLineString, {{"unit_no", OFTInteger}, {"name", OFTString}, {"begin", timeType},
                                               {"end", timeType}}));
    TRY(out.AddLayer("events", wkbPoint, {{"unit_no", OFTInteger}, {"time", OFTInteger}, {"timestamp", timeType},
                                          {"text", OFTString}, {"located", OFTInteger}}));
    TRY(out.AddLayer("hits", wkbPoint, {{"unit_no", OFTInteger}, {"time", OFTInteger}, {"timestamp", timeType},
                                        {"text", OFTString}, {"victim", OFTString}, {"attacker", OFTString},
                                        {"distance", OFTReal}, {"located", OFTInteger}}));
    TRY(out.StartTransaction());

    std::unique_ptr<OGRGeometry> area;
    if (layer.m_MapType == 0) {
        auto ring = std::make_unique<OGRLinearRing>();
        const double w = layer.m_WidthKm, h = layer.m_HeightKm;
        for (auto [x, y] : {std::pair{0.0, 0.0}, {w, 0.0}, {w, h}, {0.0, h}, {0.0, 0.0}})
            ring->addPoint(x, y);
        auto polygon = std::make_unique<OGRPolygon>();
        polygon->addRingDirectly(ring.release());
        area = std::move(polygon);
    }
    TRY(out.Write("map", std::move(area), {Text("name", layer.m_MapName), Text("source", layer.m_MapSource),
                                           Int("map_type", layer.m_MapType), Real("width_km", layer.m_WidthKm),
                                           Real("height_km", layer.m_HeightKm)}));

    layer.LockSharedWait();
    struct Unlock {
        const CPlanLayer& l;
        ~Unlock() { l.UnlockShared(); }
    } unlock{layer};
    for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
        const CUnitCanLoad& u = *layer.GetUnitAt(i);
        if (u.AsFire())
            continue;
        TRY(out.Write("units", point(u.m_InitX, u.m_InitY),
                      {Text("name", u.m_UnitName), Int("number", u.m_UnitNo), Text("class_id", u.m_ClassId),
                       Text("class_name", u.m_ClassInfo ? u.m_ClassInfo->name : std::string()),
                       Text("kind", std::string(UnitKindText(u.m_ClassId))), Int("appear", u.m_AppearTime),
                       Real("angle", u.m_InitAngle), Time("begin", plan.m_StartTime + u.m_AppearTime)}));
        for (const auto& action : u.m_Actions) {
            const WGRoute* route = action->GetFirstRoute();
            if (!route || route->m_Points.empty())
                continue;
            if (action->m_ActionType == kActionMove && route->m_Points.size() >= 2) {
                TRY(out.Write("routes", line(route->m_Points, [](const RoutePoint& p) { return std::pair{p.X, p.Y}; }),
                              {Int("unit_no", u.m_UnitNo), Text("unit_name", u.m_UnitName),
                               Int("action_no", action->m_ActionNo), Text("action", action->m_ActionName),
                               Int("time", action->m_ActionTime), Real("speed", action->m_Speed)}));
            } else if (action->m_ActionType == kActionStrike) {
                const UnitClassInfo* weapon = catalog ? catalog->FindUnitClassById(action->m_BulletType) : nullptr;
                const RoutePoint& p = route->m_Points.front();
                TRY(out.Write("targets", point(p.X, p.Y),
                              {Int("unit_no", u.m_UnitNo), Text("unit_name", u.m_UnitName),
                               Int("action_no", action->m_ActionNo), Int("time", action->m_ActionTime),
                               Text("weapon", action->m_BulletType),
                               Text("weapon_nm", weapon ? weapon->name : std::string()),
                               Int("count", action->m_HitTime)}));
            }
        }
    }

    for (const UnitTrack& track : play.tracks) {
        for (const TrackSample& s : track.samples)
            TRY(out.Write("track_points", point(s.x, s.y),
                          {Int("unit_no", track.unitNo), Text("name", track.unitName), Int("time", s.second),
                           Time("timestamp", plan.m_StartTime + s.second), Int("loaded", s.loaded ? 1 : 0)}));
        if (track.samples.size() >= 2)
            TRY(out.Write("tracks", line(track.samples, [](const TrackSample& s) { return std::pair{s.x, s.y}; }),
                          {Int("unit_no", track.unitNo), Text("name", track.unitName),
                           Time("begin", plan.m_StartTime + track.samples.front().second),
                           Time("end", plan.m_StartTime + track.samples.back().second)}));
    }
    for (const auto* list : {&play.events, &play.hits}) {
        const char* name = list == &play.events ? "events" : "hits";
        for (const PlacedRecord& r : *list) {
            std::vector<FieldValue> values = {Int("unit_no", r.unitNo), Int("time", r.tickMs / 1000),
                                              Time("timestamp", r.epoch), Text("text", r.text),
                                              Int("located", r.located ? 1 : 0)};
            if (list == &play.hits) {
                values.push_back(Text("victim", r.victim));
                values.push_back(Text("attacker", r.attacker));
                values.push_back(Real("distance", r.distance));
            }
            TRY(out.Write(name, r.located ? point(r.x, r.y) : nullptr, values));
        }
    }
    return out.Commit();
#undef TRY
}

}  // namespace

std::string GisOutputPath(const std::string& path, GisFormat format)
{
    if (format == GisFormat::Shapefile && path.size() > 4 && Lower(path.substr(path.size() - 4)) == ".shp")
        return path.substr(0, path.size() - 4);
    return path;
}

ExportResult ExportGis(const CPlan& plan, const PlayRecord& play, const std::string& requested, GisFormat format)
{
    const std::string path = GisOutputPath(requested, format);
    const CPlanLayer* layer = plan.GetFirstLayer();
    if (!layer)
        return ExportResult::Failed("预案没有图层");
    RemoveOld(path, format);
    GisWriter out(format, layer->m_MapType != 0, layer->m_HeightKm);
    std::string error = out.Open(path, layer->m_WidthKm);
    if (error.empty())
        error = WriteAll(out, plan, play);
    const std::string closeError = out.Close();
    if (error.empty())
        error = closeError;
    if (!error.empty()) {
        RemoveOld(path, format);
        return ExportResult::Failed("导出GIS数据失败: " + error);
    }
    return ExportResult::Done("已导出GIS数据到 " + path);
}
