#pragma once

// Helpers for driving Cartolink through its public header only.

#include "cartolink.h"
#include "support/TempDir.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <memory>
#include <string>

namespace gistest {

// A parent widget with Cartolink initialised on it; un-initialised on destruction.
class Driver {
public:
    explicit Driver(int w = 400, int h = 300, IGisDriverCallback* cb = nullptr);
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    int initResult() const { return m_init; }
    QWidget& parent() { return *m_parent; }
    // The map control widget, found by its window name.
    QWidget* control() const;

private:
    std::unique_ptr<QWidget> m_parent;
    int m_init = 0;
};

// The current map picture at the control's size (plus margin, filled black).
QImage exportPicture(int w, int h);

QPoint toPixel(double x, double y);
QPointF toMap(int px, int py);

// Map-set text with one "\TABLE\n\KEY" = "value" line per entry.
QByteArray gst(const QString& name, const QStringList& entries, const QString& background = QString());

// A GeoJSON feature collection of the given features (JSON text each).
QByteArray featureCollection(const QStringList& features, const QString& crs = QString());
QString polygonFeature(double x0, double y0, double x1, double y1, const QString& props);
QString lineFeature(double x0, double y0, double x1, double y1, const QString& props);
QString pointFeature(double x, double y, const QString& props);

// Writes a small exercise-area map set (terrain, rivers, roads, places and a
// .gst using the sample's styles) into `dir` and returns the .gst path.
std::string writeExerciseSet(const TestDir& dir);

// A map set with one far-away polygon on a plain background, for object tests.
std::string writePlainSet(const TestDir& dir);

// A left-button drag on a widget, from press to release.
void drag(QWidget* w, QPoint from, QPoint to, Qt::KeyboardModifiers mods = Qt::NoModifier);

bool near(QRgb c, QColor want, int tol = 40);
// True when some pixel within `radius` of `at` is near `want`.
bool anyNear(const QImage& img, QPoint at, QColor want, int radius = 2, int tol = 40);
// Bounding box of the pixels near `want`.
QRect boxOf(const QImage& img, QColor want, int tol = 40);

std::string sourceFile(const char* relative);

} // namespace gistest
