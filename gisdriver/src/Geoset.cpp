#include "Geoset.h"

#include <QDir>
#include <QList>

#include <algorithm>
#include <cmath>

namespace cartolink {

namespace {

// Splits  "key" = "value"  (quotes optional on the value). Returns false for
// anything else.
bool splitEntry(const QString& line, QString* key, QString* value)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('"')))
        return false;
    const qsizetype endKey = t.indexOf(QLatin1Char('"'), 1);
    if (endKey < 0)
        return false;
    *key = t.mid(1, endKey - 1);
    QString rest = t.mid(endKey + 1).trimmed();
    if (!rest.startsWith(QLatin1Char('=')))
        return false;
    rest = rest.mid(1).trimmed();
    if (rest.startsWith(QLatin1Char('"'))) {
        const qsizetype endValue = rest.lastIndexOf(QLatin1Char('"'));
        rest = endValue > 0 ? rest.mid(1, endValue - 1) : rest.mid(1);
    }
    *value = rest;
    return true;
}

double parseNumber(const QString& s, double fallback)
{
    bool ok = false;
    const double v = s.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? v : fallback;
}

} // namespace

bool parseBool(const QString& s, bool fallback)
{
    const QString t = s.trimmed().toUpper();
    if (t == QLatin1String("TRUE") || t == QLatin1String("1") || t == QLatin1String("YES"))
        return true;
    if (t == QLatin1String("FALSE") || t == QLatin1String("0") || t == QLatin1String("NO"))
        return false;
    return fallback;
}

bool looksLikeGeoset(const QByteArray& head)
{
    const QList<QByteArray> lines = head.split('\n');
    for (const QByteArray& l : lines) {
        const QByteArray t = l.trimmed();
        if (t.isEmpty())
            continue;
        return t.toUpper().startsWith("!GEOSET");
    }
    return false;
}

QString resolveDataPath(const QString& stored, const QString& baseDir)
{
    QString p = stored.trimmed();
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool absolute = p.startsWith(QLatin1Char('/')) || (p.size() > 1 && p[1] == QLatin1Char(':'));
    if (absolute)
        return p;
    return QDir::cleanPath(QDir(baseDir).filePath(p));
}

std::optional<Geoset> parseGeoset(const QByteArray& text, const QString& baseDir, QString* error)
{
    if (!looksLikeGeoset(text)) {
        if (error)
            *error = QStringLiteral("not a map-set file (no !GEOSET header)");
        return std::nullopt;
    }
    Geoset gs;
    std::map<int, GeosetTable> tables;
    bool inMeta = false;
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.compare(QLatin1String("begin_metadata"), Qt::CaseInsensitive) == 0) {
            inMeta = true;
            continue;
        }
        if (line.compare(QLatin1String("end_metadata"), Qt::CaseInsensitive) == 0) {
            inMeta = false;
            continue;
        }
        QString key, value;
        if (!inMeta || !splitEntry(line, &key, &value))
            continue;
        QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
        if (parts.isEmpty())
            continue;
        const QString head = parts.front().toUpper();
        if (head == QLatin1String("GEOSET") && parts.size() == 2) {
            const QString what = parts[1].toUpper();
            if (what == QLatin1String("NAME")) {
                gs.name = value;
            } else if (what == QLatin1String("CENTER") || what == QLatin1String("CENTRE")) {
                const QStringList xy = value.split(QLatin1Char(','));
                bool okx = false, oky = false;
                if (xy.size() == 2) {
                    const double x = xy[0].trimmed().toDouble(&okx);
                    const double y = xy[1].trimmed().toDouble(&oky);
                    if (okx && oky && std::isfinite(x) && std::isfinite(y))
                        gs.centre = QPointF(x, y);
                }
            } else if (what == QLatin1String("BACKGROUND")) {
                const QColor c = QColor::fromString(value.trimmed());
                if (c.isValid())
                    gs.background = c;
            }
        } else if (head == QLatin1String("TABLE") && parts.size() >= 3) {
            bool ok = false;
            const int n = parts[1].toInt(&ok);
            if (!ok)
                continue;
            GeosetTable& t = tables[n];
            t.number = n;
            parts.erase(parts.begin(), parts.begin() + 2);
            const QString sub = parts.join(QLatin1Char('\\')).toUpper();
            if (sub == QLatin1String("FILE"))
                t.file = resolveDataPath(value, baseDir);
            else if (sub == QLatin1String("ISVISIBLE"))
                t.visible = parseBool(value, true);
            else if (sub == QLatin1String("ZOOM\\ISZOOMLAYER"))
                t.zoomLayer = parseBool(value, false);
            else if (sub == QLatin1String("ZOOM\\MIN"))
                t.zoomMin = parseNumber(value, 0.0);
            else if (sub == QLatin1String("ZOOM\\MAX"))
                t.zoomMax = parseNumber(value, 0.0);
            else if (sub == QLatin1String("DESCRIPTION"))
                t.description = value;
            else if (sub == QLatin1String("LAYER"))
                t.layerName = value;
            else
                t.keys[sub] = value;
        }
    }
    // Table 1 is the top layer, so the drawing order is the reverse of the numbering.
    for (auto it = tables.rbegin(); it != tables.rend(); ++it) {
        if (it->second.file.isEmpty()) {
            if (error)
                *error = QStringLiteral("table %1 names no file").arg(it->first);
            return std::nullopt;
        }
        gs.tables.push_back(std::move(it->second));
    }
    if (gs.tables.empty()) {
        if (error)
            *error = QStringLiteral("the map set lists no table");
        return std::nullopt;
    }
    return gs;
}

} // namespace cartolink
