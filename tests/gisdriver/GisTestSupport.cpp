#include "GisTestSupport.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

#include <cstdlib>

namespace gistest {

Driver::Driver(int w, int h, IGisDriverCallback* cb) : m_parent(std::make_unique<QWidget>())
{
    m_parent->resize(w, h);
    m_init = GisDriverInit(cb, m_parent.get());
}

Driver::~Driver()
{
    GisDriverUnInit();
}

QWidget* Driver::control() const
{
    return m_parent->findChild<QWidget*>(QStringLiteral("OrlanGISCtrl"));
}

QImage exportPicture(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    GISDriverExportMapToHDC(&p, 0, 0);
    return img;
}

QPoint toPixel(double x, double y)
{
    int px = 0, py = 0;
    ConvertCoord(&px, &py, &x, &y, CARTOLINK_MAP_TO_PIXEL);
    return {px, py};
}

QPointF toMap(int px, int py)
{
    double x = 0, y = 0;
    ConvertCoord(&px, &py, &x, &y, CARTOLINK_PIXEL_TO_MAP);
    return {x, y};
}

QByteArray gst(const QString& name, const QStringList& entries, const QString& background)
{
    QString s = QStringLiteral("!GEOSET\r\n!VERSION 100\r\nbegin_metadata\r\n\"\\GEOSET\" = \"\"\r\n");
    s += QStringLiteral("\"\\GEOSET\\NAME\" = \"%1\"\r\n").arg(name);
    if (!background.isEmpty())
        s += QStringLiteral("\"\\GEOSET\\BACKGROUND\" = \"%1\"\r\n").arg(background);
    for (const QString& e : entries)
        s += e + QStringLiteral("\r\n");
    s += QStringLiteral("end_metadata\r\n");
    return s.toUtf8();
}

QByteArray featureCollection(const QStringList& features, const QString& crs)
{
    QString s = QStringLiteral("{\"type\":\"FeatureCollection\",");
    if (!crs.isEmpty())
        s += QStringLiteral("\"crs\":{\"type\":\"name\",\"properties\":{\"name\":\"%1\"}},").arg(crs);
    s += QStringLiteral("\"features\":[") + features.join(QLatin1Char(',')) + QStringLiteral("]}");
    return s.toUtf8();
}

QString polygonFeature(double x0, double y0, double x1, double y1, const QString& props)
{
    return QStringLiteral("{\"type\":\"Feature\",\"properties\":{%1},\"geometry\":{\"type\":\"Polygon\","
                          "\"coordinates\":[[[%2,%3],[%4,%3],[%4,%5],[%2,%5],[%2,%3]]]}}")
        .arg(props)
        .arg(x0, 0, 'f', 6)
        .arg(y0, 0, 'f', 6)
        .arg(x1, 0, 'f', 6)
        .arg(y1, 0, 'f', 6);
}

QString lineFeature(double x0, double y0, double x1, double y1, const QString& props)
{
    return QStringLiteral("{\"type\":\"Feature\",\"properties\":{%1},\"geometry\":{\"type\":\"LineString\","
                          "\"coordinates\":[[%2,%3],[%4,%5]]}}")
        .arg(props)
        .arg(x0, 0, 'f', 6)
        .arg(y0, 0, 'f', 6)
        .arg(x1, 0, 'f', 6)
        .arg(y1, 0, 'f', 6);
}

QString pointFeature(double x, double y, const QString& props)
{
    return QStringLiteral("{\"type\":\"Feature\",\"properties\":{%1},\"geometry\":{\"type\":\"Point\","
                          "\"coordinates\":[%2,%3]}}")
        .arg(props)
        .arg(x, 0, 'f', 6)
        .arg(y, 0, 'f', 6);
}

std::string writeExerciseSet(const TestDir& dir)
{
    dir.write(QStringLiteral("ex/terrain.geojson"),
              featureCollection({polygonFeature(117.05, 36.05, 117.15, 36.12, "\"class\":\"forest\",\"name\":\"North Wood\""),
                                 polygonFeature(117.30, 36.20, 117.38, 36.26, "\"class\":\"lake\",\"name\":\"Blue Lake\""),
                                 polygonFeature(117.20, 36.05, 117.26, 36.10, "\"class\":\"hill\",\"name\":\"Hill 402\""),
                                 polygonFeature(117.22, 36.14, 117.25, 36.17, "\"class\":\"town\",\"name\":\"Tarn\"")}));
    dir.write(QStringLiteral("ex/rivers.geojson"),
              featureCollection({lineFeature(117.00, 36.18, 117.45, 36.22, "\"name\":\"Tarn River\"")}));
    dir.write(QStringLiteral("ex/roads.geojson"),
              featureCollection({lineFeature(117.00, 36.03, 117.45, 36.30, "\"class\":\"highway\",\"name\":\"G2\""),
                                 lineFeature(117.10, 36.30, 117.40, 36.03, "\"class\":\"road\",\"name\":\"S101\"")}));
    dir.write(QStringLiteral("ex/places.geojson"),
              featureCollection({pointFeature(117.235, 36.155, "\"name\":\"Tarn\""),
                                 pointFeature(117.40, 36.08, "\"name\":\"Wick\"")}));
    // The sample's own map-set file, so that its table list and styles are what is tested.
    const QByteArray sample = TestDir::read(sourceFile("samples/gis/exercise/exercise.gst"));
    return dir.write(QStringLiteral("ex/exercise.gst"), sample);
}

std::string writePlainSet(const TestDir& dir)
{
    dir.write(QStringLiteral("plain/far.geojson"),
              featureCollection({polygonFeature(-60.0, -40.0, -59.0, -39.0, "\"name\":\"far\"")}));
    // An undrawn frame gives the map the extent the tests move about in; the
    // view stays within a map's extent.
    dir.write(QStringLiteral("plain/frame.geojson"), featureCollection({polygonFeature(-70.0, -50.0, 130.0, 60.0, "")}));
    return dir.write(QStringLiteral("plain/plain.gst"),
                     gst(QStringLiteral("Plain"),
                         {QStringLiteral("\"\\GEOSET\\CENTER\" = \"0,0\""),
                          QStringLiteral("\"\\TABLE\\1\\FILE\" = \"far.geojson\""),
                          QStringLiteral("\"\\TABLE\\2\\FILE\" = \"frame.geojson\""),
                          QStringLiteral("\"\\TABLE\\2\\STYLE\\FILL\" = \"none\""),
                          QStringLiteral("\"\\TABLE\\2\\STYLE\\LINE\" = \"none\"")},
                         QStringLiteral("#ffffff")));
}

void drag(QWidget* w, QPoint from, QPoint to, Qt::KeyboardModifiers mods)
{
    QMouseEvent press(QEvent::MouseButtonPress, from, from, Qt::LeftButton, Qt::LeftButton, mods);
    QMouseEvent move(QEvent::MouseMove, to, to, Qt::NoButton, Qt::LeftButton, mods);
    QMouseEvent release(QEvent::MouseButtonRelease, to, to, Qt::LeftButton, Qt::NoButton, mods);
    QCoreApplication::sendEvent(w, &press);
    QCoreApplication::sendEvent(w, &move);
    QCoreApplication::sendEvent(w, &release);
}

bool near(QRgb c, QColor want, int tol)
{
    return std::abs(qRed(c) - want.red()) <= tol && std::abs(qGreen(c) - want.green()) <= tol
        && std::abs(qBlue(c) - want.blue()) <= tol;
}

bool anyNear(const QImage& img, QPoint at, QColor want, int radius, int tol)
{
    for (int y = at.y() - radius; y <= at.y() + radius; ++y)
        for (int x = at.x() - radius; x <= at.x() + radius; ++x)
            if (img.rect().contains(x, y) && near(img.pixel(x, y), want, tol))
                return true;
    return false;
}

QRect boxOf(const QImage& img, QColor want, int tol)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (near(img.pixel(x, y), want, tol))
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

std::string sourceFile(const char* relative)
{
    const char* root = std::getenv("TARNWICK_SOURCE_DIR");
    return std::string(root && *root ? root : GIS_TEST_SOURCE_DIR) + "/" + relative;
}

} // namespace gistest
