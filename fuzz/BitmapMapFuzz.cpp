// Bitmap maps: CMapLoader::LoadMap (type 0) on arbitrary bytes, then the
// paints, zooms and pans a view makes. A header that announces more pixels
// than the file holds or than the map limit allows must fail before memory
// is taken for them.

#include "FuzzSupport.h"

#include "map/MapLoader.h"

#include <QPainter>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::EnsureApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::EnsureApplication();
    static fuzzsupport::SilentReporter reporter;
    const std::string input = fuzzsupport::WriteScratch("map.bmp", data, size);
    CMapLoader map;
    if (!map.LoadMap(input, 0, 500, 500, 40.0, 30.0, &reporter))
        return 0;
    if (map.GetImageWidth() <= 0 || map.GetImageHeight() <= 0 ||
        int64_t(map.GetImageWidth()) * map.GetImageHeight() > CMapLoader::kMaxImagePixels)
        fuzzsupport::Broken("a map image outside the limits was accepted");

    QImage view(64, 48, QImage::Format_RGB32);
    QPainter painter(&view);
    map.DrawMap(painter, 0, 0, view.width(), view.height());
    map.ZoomIn();
    map.Pan(7, -5);
    map.DrawMap(painter, 0, 0, view.width(), view.height());
    map.ZoomOut();
    map.ZoomOut();
    map.DrawMap(painter, 0, 0, view.width(), view.height());
    double x = 0, y = 0;
    int px = 0, py = 0;
    map.ViewToMap(x, y, 13, 17);
    map.MapToView(x, y, px, py);
    painter.end();
    map.ReleaseMap();
    return 0;
}
