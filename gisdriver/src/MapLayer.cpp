#include "MapLayer.h"

#include "GdalHandles.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal_utils.h>

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace cartolink {

namespace {

constexpr int kMaxRasterSide = 4096;

void registerGdal()
{
    static std::once_flag once;
    std::call_once(once, [] { GDALAllRegister(); });
}

// Keeps GDAL from printing to stderr while we probe a source; the last message
// is still readable through CPLGetLastErrorMsg().
struct QuietGdalErrors {
    QuietGdalErrors()
    {
        CPLErrorReset();
        CPLPushErrorHandler(CPLQuietErrorHandler);
    }
    ~QuietGdalErrors() { CPLPopErrorHandler(); }
    QuietGdalErrors(const QuietGdalErrors&) = delete;
    QuietGdalErrors& operator=(const QuietGdalErrors&) = delete;
};

QString lastGdalError(const QString& fallback)
{
    const char* msg = CPLGetLastErrorMsg();
    return (msg && *msg) ? QString::fromUtf8(msg) : fallback;
}

void overlayStyle(FeatureStyle& s, const GeosetTable& t, const QString& prefix)
{
    auto colour = [&](const char* key, QColor& out) {
        const QString v = t.key(prefix + QLatin1String(key)).trimmed();
        if (v.isEmpty())
            return;
        if (v.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0) {
            out = QColor();
            return;
        }
        const QColor c = QColor::fromString(v);
        if (c.isValid())
            out = c;
    };
    auto number = [&](const char* key, double& out, double lo, double hi) {
        bool ok = false;
        const double v = t.key(prefix + QLatin1String(key)).toDouble(&ok);
        if (ok && std::isfinite(v))
            out = std::clamp(v, lo, hi);
    };
    colour("FILL", s.fill);
    colour("LINE", s.line);
    colour("SYMBOL", s.symbol);
    colour("TEXT", s.text);
    number("WIDTH", s.lineWidth, 0.0, 50.0);
    number("SIZE", s.symbolSize, 0.0, 100.0);
}

// Class styles of a table: the attribute values named under THEME\ (upper-cased).
std::vector<QString> themeValues(const GeosetTable& t)
{
    std::vector<QString> values;
    const QString prefix = QStringLiteral("THEME\\");
    for (const auto& [k, v] : t.keys) {
        if (!k.startsWith(prefix) || k == QLatin1String("THEME\\FIELD"))
            continue;
        const QString rest = k.mid(prefix.size());
        const qsizetype slash = rest.lastIndexOf(QLatin1Char('\\'));
        if (slash <= 0)
            continue;
        const QString value = rest.left(slash);
        if (std::find(values.begin(), values.end(), value) == values.end())
            values.push_back(value);
    }
    return values;
}

// Gathers the parts of one geometry, grouped by drawing type.
class GeometryCollector {
public:
    struct Group {
        std::vector<QPointF> pts;
        std::vector<Part> parts;
        Bounds bounds; // of the points as read, before unwrapping

        // Area group: index of the first ring of each polygon.
        std::vector<uint32_t> polyStart;
    };
    Group groups[3];

    explicit GeometryCollector(OGRCoordinateTransformationH ct) : m_ct(ct) {}

    void collect(OGRGeometryH g, int depth = 0)
    {
        if (!g || depth > 32 || OGR_G_IsEmpty(g))
            return;
        const OGRwkbGeometryType t = OGR_GT_Flatten(OGR_G_GetGeometryType(g));
        switch (t) {
        case wkbPoint:
            addPart(GeomType::Point, g);
            break;
        case wkbLineString:
        case wkbLinearRing:
            addPart(GeomType::Line, g);
            break;
        case wkbPolygon:
        case wkbTriangle:
            groups[int(GeomType::Area)].polyStart.push_back(uint32_t(groups[int(GeomType::Area)].parts.size()));
            for (int i = 0, n = OGR_G_GetGeometryCount(g); i < n; ++i)
                addPart(GeomType::Area, OGR_G_GetGeometryRef(g, i));
            break;
        case wkbMultiPoint:
        case wkbMultiLineString:
        case wkbMultiPolygon:
        case wkbGeometryCollection:
        case wkbPolyhedralSurface:
        case wkbTIN:
            for (int i = 0, n = OGR_G_GetGeometryCount(g); i < n; ++i)
                collect(OGR_G_GetGeometryRef(g, i), depth + 1);
            break;
        default:
            if (OGR_GT_IsNonLinear(t)) {
                GeometryHandle linear(OGR_G_GetLinearGeometry(g, 0, nullptr));
                if (linear)
                    collect(linear.get(), depth + 1);
            }
            break;
        }
    }

private:
    void addPart(GeomType type, OGRGeometryH g)
    {
        if (!g)
            return;
        const int n = OGR_G_GetPointCount(g);
        if (n <= 0)
            return;
        m_x.resize(n);
        m_y.resize(n);
        OGR_G_GetPoints(g, m_x.data(), sizeof(double), m_y.data(), sizeof(double), nullptr, 0);
        m_ok.assign(n, TRUE);
        if (m_ct)
            OCTTransformEx(m_ct, n, m_x.data(), m_y.data(), nullptr, m_ok.data());
        Group& grp = groups[static_cast<int>(type)];
        Part part;
        part.first = static_cast<uint32_t>(grp.pts.size());
        for (int i = 0; i < n; ++i) {
            if (!m_ok[i] || !std::isfinite(m_x[i]) || !std::isfinite(m_y[i]))
                continue;
            grp.pts.emplace_back(m_x[i], m_y[i]);
        }
        part.count = static_cast<uint32_t>(grp.pts.size()) - part.first;
        if (part.count == 0)
            return;
        for (uint32_t i = part.first; i < part.first + part.count; ++i)
            grp.bounds.add(grp.pts[i].x(), grp.pts[i].y());
        if (type != GeomType::Point)
            unwrapAntimeridian(type, grp.pts, part);
        grp.parts.push_back(part);
    }

    // Sources in degrees often jump from +180 to -180 where a shape crosses the
    // antimeridian. Making the longitudes continuous lets the shape be drawn
    // whole (the view repeats the map every 360 degrees); a ring round a pole
    // is closed along that pole.
    static void unwrapAntimeridian(GeomType type, std::vector<QPointF>& pts, Part& part)
    {
        double shift = 0.0;
        bool jumped = false;
        for (uint32_t i = part.first + 1; i < part.first + part.count; ++i) {
            const double d = pts[i].x() + shift - pts[i - 1].x();
            if (d > 180.0) {
                shift -= 360.0;
                jumped = true;
            } else if (d < -180.0) {
                shift += 360.0;
                jumped = true;
            }
            pts[i].rx() += shift;
        }
        if (!jumped || type != GeomType::Area || std::abs(shift) < 180.0)
            return;
        // A ring that went once round the globe encloses a pole.
        double sumLat = 0.0;
        for (uint32_t i = part.first; i < part.first + part.count; ++i)
            sumLat += pts[i].y();
        const double pole = sumLat >= 0.0 ? 90.0 : -90.0;
        const QPointF first = pts[part.first];
        const QPointF last = pts[part.first + part.count - 1];
        const uint32_t end = part.first + part.count;
        if (end == pts.size()) {
            pts.emplace_back(last.x(), pole);
            pts.emplace_back(first.x(), pole);
            pts.push_back(first);
            part.count += 3;
            part.polar = true;
        }
    }

    OGRCoordinateTransformationH m_ct;
    std::vector<double> m_x, m_y;
    std::vector<int> m_ok;
};

} // namespace

QPointF interiorPoint(const QPointF* ring, uint32_t n, const Bounds& bounds)
{
    // The middle of the widest inside stretch of the horizontal line through
    // the middle of the bounds: inside the ring even where the bounds' centre
    // is not (a crescent, a coast round a bay).
    const double y = bounds.centre().y();
    std::vector<double> xs;
    for (uint32_t i = 0; i + 1 < n; ++i) {
        const QPointF& a = ring[i];
        const QPointF& b = ring[i + 1];
        if ((a.y() <= y) != (b.y() <= y))
            xs.push_back(a.x() + (y - a.y()) / (b.y() - a.y()) * (b.x() - a.x()));
    }
    std::sort(xs.begin(), xs.end());
    double best = -1.0;
    QPointF at = bounds.centre();
    for (size_t i = 0; i + 1 < xs.size(); i += 2) {
        if (xs[i + 1] - xs[i] > best) {
            best = xs[i + 1] - xs[i];
            at = QPointF((xs[i] + xs[i + 1]) / 2.0, y);
        }
    }
    return at;
}

namespace {

SrsHandle wgs84()
{
    SrsHandle srs(OSRNewSpatialReference(nullptr));
    OSRSetWellKnownGeogCS(srs.get(), "WGS84");
    OSRSetAxisMappingStrategy(srs.get(), OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

// A transformation from `source` to longitude/latitude, or none when the source
// already is in degrees (or says nothing, which we take as degrees).
bool makeTransform(OGRSpatialReferenceH source, TransformHandle* out, QString* error)
{
    if (!source)
        return true;
    SrsHandle src(OSRClone(source));
    OSRSetAxisMappingStrategy(src.get(), OAMS_TRADITIONAL_GIS_ORDER);
    SrsHandle dst = wgs84();
    if (OSRIsGeographic(src.get()) && OSRIsSame(src.get(), dst.get()))
        return true;
    out->reset(OCTNewCoordinateTransformation(src.get(), dst.get()));
    if (!*out) {
        *error = lastGdalError(QStringLiteral("no transformation to longitude/latitude"));
        return false;
    }
    return true;
}

int findLabelField(OGRFeatureDefnH defn, const GeosetTable& table)
{
    const QString wanted = table.key(QStringLiteral("LABEL\\FIELD"));
    const int n = OGR_FD_GetFieldCount(defn);
    for (int i = 0; i < n; ++i) {
        const QString name = QString::fromUtf8(OGR_Fld_GetNameRef(OGR_FD_GetFieldDefn(defn, i)));
        if (wanted.isEmpty() ? name.compare(QLatin1String("name"), Qt::CaseInsensitive) == 0
                             : name.compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

std::unique_ptr<MapLayer> readVectorLayer(OGRLayerH ogr, const GeosetTable& table, QString* error)
{
    auto layer = std::make_unique<MapLayer>();
    layer->name = QString::fromUtf8(OGR_L_GetName(ogr));
    layer->source = table.file;

    TransformHandle ct;
    if (!makeTransform(OGR_L_GetSpatialRef(ogr), &ct, error))
        return nullptr;

    OGRFeatureDefnH defn = OGR_L_GetLayerDefn(ogr);
    const int labelField = findLabelField(defn, table);
    const QString themeFieldName = table.key(QStringLiteral("THEME\\FIELD"));
    const int themeField = themeFieldName.isEmpty()
        ? -1
        : OGR_FD_GetFieldIndex(defn, themeFieldName.toUtf8().constData());
    const std::vector<QString> themes = themeField >= 0 ? themeValues(table) : std::vector<QString>{};

    // styles[theme * 3 + geometry type]; theme 0 is the table's own style.
    for (size_t th = 0; th <= themes.size(); ++th) {
        for (int g = 0; g < 3; ++g) {
            FeatureStyle s = defaultStyle(static_cast<GeomType>(g));
            overlayStyle(s, table, QStringLiteral("STYLE\\"));
            if (th > 0)
                overlayStyle(s, table, QStringLiteral("THEME\\") + themes[th - 1] + QLatin1Char('\\'));
            layer->styles.push_back(s);
        }
    }

    OGR_L_ResetReading(ogr);
    for (;;) {
        FeatureHandle f(OGR_L_GetNextFeature(ogr));
        if (!f)
            break;
        GeometryCollector collector(ct.get());
        collector.collect(OGR_F_GetGeometryRef(f.get()));

        uint16_t theme = 0;
        if (themeField >= 0 && OGR_F_IsFieldSetAndNotNull(f.get(), themeField)) {
            const QString v = QString::fromUtf8(OGR_F_GetFieldAsString(f.get(), themeField)).toUpper();
            auto it = std::find(themes.begin(), themes.end(), v);
            if (it != themes.end())
                theme = static_cast<uint16_t>(it - themes.begin() + 1);
        }
        int32_t label = -1;
        if (labelField >= 0 && OGR_F_IsFieldSetAndNotNull(f.get(), labelField)) {
            const QString text = QString::fromUtf8(OGR_F_GetFieldAsString(f.get(), labelField)).trimmed();
            if (!text.isEmpty()) {
                label = static_cast<int32_t>(layer->labels.size());
                layer->labels.push_back(text);
            }
        }
        // Each polygon and each line becomes a feature of its own, so that
        // drawing can skip the pieces of a large multi-part shape that are out of view.
        const auto firstFeature = layer->features.size();
        double bestSize = -1.0;
        size_t labelled = SIZE_MAX;
        for (int g = 0; g < 3; ++g) {
            GeometryCollector::Group& grp = collector.groups[g];
            if (grp.parts.empty())
                continue;
            const auto base = static_cast<uint32_t>(layer->points.size());
            std::vector<std::pair<uint32_t, uint32_t>> units; // [first part, end part)
            if (g == int(GeomType::Area) && !grp.polyStart.empty()) {
                for (size_t i = 0; i < grp.polyStart.size(); ++i) {
                    const uint32_t b = grp.polyStart[i];
                    const uint32_t e = i + 1 < grp.polyStart.size() ? grp.polyStart[i + 1] : uint32_t(grp.parts.size());
                    if (b < e)
                        units.emplace_back(b, e);
                }
            } else if (g == int(GeomType::Line)) {
                for (uint32_t i = 0; i < grp.parts.size(); ++i)
                    units.emplace_back(i, i + 1);
            } else {
                units.emplace_back(0u, uint32_t(grp.parts.size()));
            }
            for (const auto& [b, e] : units) {
                MapFeature mf;
                mf.type = static_cast<GeomType>(g);
                mf.style = static_cast<uint16_t>(theme * 3 + g);
                mf.firstPart = static_cast<uint32_t>(layer->parts.size());
                mf.partCount = e - b;
                for (uint32_t i = b; i < e; ++i) {
                    Part p = grp.parts[i];
                    for (uint32_t j = p.first; j < p.first + p.count; ++j)
                        mf.bounds.add(grp.pts[j].x(), grp.pts[j].y());
                    p.first += base;
                    layer->parts.push_back(p);
                }
                const Part& first = grp.parts[b];
                if (g == int(GeomType::Line))
                    mf.labelAnchor = grp.pts[first.first + first.count / 2];
                else if (g == int(GeomType::Area))
                    mf.labelAnchor = interiorPoint(&grp.pts[first.first], first.count, mf.bounds);
                else
                    mf.labelAnchor = mf.bounds.centre();
                // The label goes on the biggest piece only.
                const double size = g == int(GeomType::Line) ? double(first.count) : mf.bounds.width() * mf.bounds.height();
                if (size > bestSize) {
                    bestSize = size;
                    labelled = layer->features.size();
                }
                layer->drawExtent.add(mf.bounds);
                layer->features.push_back(mf);
            }
            layer->extent.add(grp.bounds);
            layer->points.insert(layer->points.end(), grp.pts.begin(), grp.pts.end());
        }
        if (label >= 0 && labelled != SIZE_MAX && labelled >= firstFeature)
            layer->features[labelled].label = label;
    }
    return layer;
}

std::unique_ptr<MapLayer> readRaster(GDALDatasetH ds, const GeosetTable& table, QString* error)
{
    DatasetHandle warped;
    GDALDatasetH src = ds;
    OGRSpatialReferenceH srs = GDALGetSpatialRef(ds);
    double gt[6];
    const bool hasGt = GDALGetGeoTransform(ds, gt) == CE_None;
    if (!hasGt && !srs) {
        *error = QStringLiteral("the raster has no georeference");
        return nullptr;
    }
    if (srs) {
        SrsHandle dst = wgs84();
        SrsHandle srcClone(OSRClone(srs));
        OSRSetAxisMappingStrategy(srcClone.get(), OAMS_TRADITIONAL_GIS_ORDER);
        if (!(OSRIsGeographic(srcClone.get()) && OSRIsSame(srcClone.get(), dst.get()))) {
            // Reprojected with an alpha band: the parts of the new rectangle that the
            // source does not cover (its slanted edges) stay see-through, not black.
            const char* args[] = {"-of", "VRT", "-t_srs", "EPSG:4326", "-r", "bilinear", "-et", "0.125", "-dstalpha",
                                  nullptr};
            GDALWarpAppOptions* opts = GDALWarpAppOptionsNew(const_cast<char**>(args), nullptr);
            GDALDatasetH srcs[] = {ds};
            int usageError = 0;
            if (opts)
                warped.reset(GDALWarp("", nullptr, 1, srcs, opts, &usageError));
            GDALWarpAppOptionsFree(opts);
            if (!warped) {
                *error = lastGdalError(QStringLiteral("the raster cannot be reprojected"));
                return nullptr;
            }
            src = warped.get();
        }
    }
    if (GDALGetGeoTransform(src, gt) != CE_None) {
        *error = QStringLiteral("the raster has no geotransform");
        return nullptr;
    }
    const int w = GDALGetRasterXSize(src);
    const int h = GDALGetRasterYSize(src);
    const int bands = GDALGetRasterCount(src);
    if (w <= 0 || h <= 0 || bands <= 0) {
        *error = QStringLiteral("the raster is empty");
        return nullptr;
    }
    const double scale = std::min(1.0, double(kMaxRasterSide) / std::max(w, h));
    const int bw = std::max(1, int(w * scale));
    const int bh = std::max(1, int(h * scale));
    const size_t n = size_t(bw) * size_t(bh);

    std::vector<uint8_t> chan[4];
    auto readBand = [&](GDALRasterBandH band, std::vector<uint8_t>& out, bool stretch) -> bool {
        out.resize(n);
        if (!stretch) {
            return GDALRasterIO(band, GF_Read, 0, 0, w, h, out.data(), bw, bh, GDT_Byte, 0, 0) == CE_None;
        }
        std::vector<float> tmp(n);
        if (GDALRasterIO(band, GF_Read, 0, 0, w, h, tmp.data(), bw, bh, GDT_Float32, 0, 0) != CE_None)
            return false;
        int hasNoData = 0;
        const double noData = GDALGetRasterNoDataValue(band, &hasNoData);
        float lo = INFINITY, hi = -INFINITY;
        for (float v : tmp) {
            if (!std::isfinite(v) || (hasNoData && v == float(noData)))
                continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        const float range = hi > lo ? hi - lo : 1.0f;
        for (size_t i = 0; i < n; ++i) {
            const float v = tmp[i];
            out[i] = std::isfinite(v) && std::isfinite(lo) ? uint8_t(std::clamp((v - lo) / range * 255.0f, 0.0f, 255.0f)) : 0;
        }
        return true;
    };

    GDALRasterBandH b1 = GDALGetRasterBand(src, 1);
    // A last band of alpha (a reprojected raster has one) is no colour.
    const bool lastIsAlpha = bands > 1 && GDALGetRasterColorInterpretation(GDALGetRasterBand(src, bands)) == GCI_AlphaBand;
    const int dataBands = lastIsAlpha ? bands - 1 : bands;
    GDALColorTableH palette = dataBands == 1 ? GDALGetRasterColorTable(b1) : nullptr;
    const bool stretch = dataBands < 3 && !palette && GDALGetRasterDataType(b1) != GDT_Byte;
    const int colourBands = dataBands >= 3 ? 3 : 1;
    for (int b = 0; b < colourBands; ++b) {
        if (!readBand(GDALGetRasterBand(src, b + 1), chan[b], stretch && b == 0)) {
            *error = lastGdalError(QStringLiteral("the raster cannot be read"));
            return nullptr;
        }
    }
    // Alpha: a fourth band, else the validity mask (nodata becomes transparent).
    GDALRasterBandH alphaBand = lastIsAlpha ? GDALGetRasterBand(src, bands)
        : bands >= 4                        ? GDALGetRasterBand(src, 4)
                                            : GDALGetMaskBand(b1);
    const bool hasAlpha = alphaBand && readBand(alphaBand, chan[3], false);

    QImage img(bw, bh, QImage::Format_ARGB32);
    for (int y = 0; y < bh; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < bw; ++x) {
            const size_t i = size_t(y) * bw + x;
            int r, g, bl;
            if (colourBands == 3) {
                r = chan[0][i]; g = chan[1][i]; bl = chan[2][i];
            } else if (palette) {
                const GDALColorEntry* e = GDALGetColorEntry(palette, chan[0][i]);
                r = e ? e->c1 : 0; g = e ? e->c2 : 0; bl = e ? e->c3 : 0;
            } else {
                r = g = bl = chan[0][i];
            }
            line[x] = qRgba(r, g, bl, hasAlpha ? (chan[3][i] ? 255 : 0) : 255);
        }
    }

    auto layer = std::make_unique<MapLayer>();
    layer->name = QFileInfo(table.file).completeBaseName();
    layer->source = table.file;
    layer->raster = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const double x0 = gt[0], y0 = gt[3];
    const double x1 = gt[0] + w * gt[1] + h * gt[2];
    const double y1 = gt[3] + w * gt[4] + h * gt[5];
    layer->rasterBounds.add(x0, y0);
    layer->rasterBounds.add(x1, y1);
    layer->extent = layer->rasterBounds;
    layer->drawExtent = layer->rasterBounds;
    if (layer->rasterBounds.isEmpty() || !std::isfinite(layer->rasterBounds.width())
        || layer->rasterBounds.width() <= 0 || layer->rasterBounds.height() <= 0) {
        *error = QStringLiteral("the raster's georeference is degenerate");
        return nullptr;
    }
    return layer;
}

} // namespace

FeatureStyle defaultStyle(GeomType type)
{
    FeatureStyle s;
    s.text = QColor(0x20, 0x20, 0x20);
    switch (type) {
    case GeomType::Area:
        s.fill = QColor(0xef, 0xe9, 0xd8);
        s.line = QColor(0x8c, 0x8c, 0x8c);
        s.lineWidth = 0.8;
        break;
    case GeomType::Line:
        s.line = QColor(0x50, 0x50, 0x50);
        s.lineWidth = 1.2;
        break;
    case GeomType::Point:
        s.symbol = QColor(0xb2, 0x22, 0x22);
        s.line = QColor(0xff, 0xff, 0xff);
        s.lineWidth = 1.0;
        s.symbolSize = 6.0;
        break;
    }
    return s;
}

std::vector<std::unique_ptr<MapLayer>> loadSource(const GeosetTable& table, QString* error)
{
    registerGdal();
    std::vector<std::unique_ptr<MapLayer>> out;
    QString err;
    // Only files and folders on disk: GDAL would also wait on a pipe, read a
    // device for ever, or fetch a /vsicurl/ address named in a map set.
    const QFileInfo where(table.file);
    if (!where.exists() || !(where.isFile() || where.isDir())) {
        if (error)
            *error = QStringLiteral("cannot open %1").arg(table.file);
        return out;
    }
    QuietGdalErrors quiet;
    DatasetHandle ds(GDALOpenEx(table.file.toUtf8().constData(),
                                GDAL_OF_VECTOR | GDAL_OF_RASTER | GDAL_OF_READONLY, nullptr, nullptr,
                                nullptr));
    if (!ds) {
        if (error)
            *error = lastGdalError(QStringLiteral("cannot open %1").arg(table.file));
        return out;
    }
    const int layerCount = GDALDatasetGetLayerCount(ds.get());
    if (layerCount > 0) {
        for (int i = 0; i < layerCount; ++i) {
            OGRLayerH ogr = GDALDatasetGetLayer(ds.get(), i);
            if (!ogr)
                continue;
            if (!table.layerName.isEmpty()
                && table.layerName.compare(QString::fromUtf8(OGR_L_GetName(ogr)), Qt::CaseInsensitive) != 0)
                continue;
            auto layer = readVectorLayer(ogr, table, &err);
            if (!layer) {
                out.clear();
                break;
            }
            out.push_back(std::move(layer));
        }
        if (out.empty() && err.isEmpty())
            err = QStringLiteral("no layer %1 in %2").arg(table.layerName, table.file);
    } else if (GDALGetRasterCount(ds.get()) > 0) {
        if (auto layer = readRaster(ds.get(), table, &err))
            out.push_back(std::move(layer));
    } else {
        err = QStringLiteral("%1 holds neither vector layers nor raster bands").arg(table.file);
    }
    for (auto& l : out) {
        l->visible = table.visible;
        l->zoomLayer = table.zoomLayer;
        l->zoomMin = table.zoomMin;
        l->zoomMax = table.zoomMax;
        l->autoLabel = parseBool(table.key(QStringLiteral("AUTOLABEL")), false);
    }
    if (out.empty() && error)
        *error = err;
    return out;
}

} // namespace cartolink
