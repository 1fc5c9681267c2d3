#pragma once

#include "map/MapSource.h"

#include <QImage>
#include <QRect>

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QPainter;
class IMessageReporter;

// The background map of one layer: a bitmap map (type 0) sized in kilometres,
// or a GIS map (type 1) opened through Cartolink. One class for both types;
// every operation switches on the type. Owned by its layer; used on the
// user-interface thread only (the clock thread never touches it).
class CMapLoader : public CMapSource {
public:
    CMapLoader();  // view size = primary screen size (1920x1080 without a screen), zoom 1.0, type 0
    ~CMapLoader() override;
    CMapLoader(const CMapLoader&) = delete;
    CMapLoader& operator=(const CMapLoader&) = delete;

    int GetMapType() const override { return m_mapType; }
    int MapToView(double x, double y, int& px, int& py) override;
    int ViewToMap(double& x, double& y, int px, int py) override;

    // Loads the map. Unknown types report "不支持的地图类型!" / "地图加载器错误信息"
    // through `reporter` (the default reporter when null). False on failure, with
    // nothing left running.
    bool LoadMap(const std::string& source, int mapType, int shownWidth, int shownHeight, double widthKm,
                 double heightKm, IMessageReporter* reporter = nullptr);
    void ReleaseMap();
    // Paints the visible part of the map into `painter` starting at its origin.
    // 1 when something was drawn, 0 when not.
    int DrawMap(QPainter& painter, int x, int y, int width, int height);
    bool RefreshGisPicture();
    bool SetViewSize(int width, int height);
    void ShowOverviewWindow(int show);
    // GIS map: shows (1) or closes (0) Cartolink's map control panel (place search); bitmap map: nothing.
    void ShowControlPanel(int show);

    double GetZoom() const;
    // Sets a bitmap map's zoom directly (restoring a view, tests). Values that
    // are not positive finite normal numbers are ignored.
    void SetZoom(double zoom);
    void ZoomIn();
    void ZoomOut();
    void Pan(int dx, int dy);
    // Shows the whole map: a GIS map's full extent, or the whole bitmap in the view.
    void ZoomToFullExtent();

    // Recomputes the bitmap map's source rectangle for a view of cx x cy, as a
    // paint does (conversions use the values of the last paint).
    void UpdateSourceRect(int cx, int cy);

    // State, for the view, the replay tool and tests.
    int GetViewWidth() const { return m_viewWidth; }
    int GetViewHeight() const { return m_viewHeight; }
    void SetViewWidthHeight(int w, int h) { m_viewWidth = w; m_viewHeight = h; }
    int GetShownWidth() const { return m_shownWidth; }
    int GetShownHeight() const { return m_shownHeight; }
    int GetCenterX() const { return m_centerX; }
    int GetCenterY() const { return m_centerY; }
    int GetSrcLeft() const { return m_srcLeft; }
    int GetSrcTop() const { return m_srcTop; }
    int GetSrcRight() const { return m_srcRight; }
    int GetSrcBottom() const { return m_srcBottom; }
    int GetImageWidth() const { return m_imageWidth; }
    int GetImageHeight() const { return m_imageHeight; }
    double GetWidthKm() const { return m_widthKm; }
    double GetHeightKm() const { return m_heightKm; }
    const std::string& GetSource() const { return m_source; }
    bool IsLoaded() const;          // bitmap loaded, or GIS map running
    bool IsGisRunning() const;      // the GIS connection (loader window) exists
    const QImage& GetMapImage() const { return m_mapImage; }
    // The last picture exported from Cartolink (GIS maps only; null otherwise).
    const QImage& GetGisPicture() const { return m_gisPicture; }

    // Why the last LoadMap failed (GDAL's or Cartolink's reason); empty after a success.
    const std::string& LastError() const { return m_lastError; }

    // Called after the GIS picture was refreshed because the map was moved from
    // Cartolink's overview window or map control panel, so the owner can repaint. Optional.
    void SetMapViewChangedHandler(std::function<void()> handler) { m_viewChanged = std::move(handler); }

    // Truncation toward zero that stays defined for any double: values beyond
    // the int range clamp to it, NaN gives 0.
    static int TruncToInt(double v)
    {
        if (v >= 2147483647.0)
            return INT_MAX;
        if (v <= -2147483648.0)
            return INT_MIN;
        if (v != v)
            return 0;
        return static_cast<int>(v);
    }

    // Largest bitmap map accepted, in pixels; larger headers are refused before
    // any pixel memory is allocated.
    static constexpr int64_t kMaxImagePixels = int64_t(128) * 1024 * 1024;
    static constexpr int kMaxImageSide = 65535;

private:
    struct Gis;  // Cartolink connection: hidden "MapLoaderWnd" window, callback object

    bool LoadBitmap(const std::string& source);
    bool StartGis();
    void StopGis();
    bool EnsureGisPicture(int width, int height);
    int DrawBitmap(QPainter& painter, int x, int y, int width, int height);
    void OnGisViewChanged();

    int m_viewWidth = 0, m_viewHeight = 0;
    int m_srcLeft = 0, m_srcTop = 0, m_srcRight = 0, m_srcBottom = 0;
    int m_centerX = 0, m_centerY = 0;
    double m_zoom = 1.0;
    int m_shownWidth = 0, m_shownHeight = 0;
    std::string m_source;
    int m_mapType = 0;
    QImage m_gisPicture;
    std::unique_ptr<Gis> m_gis;
    QImage m_mapImage;
    int m_imageWidth = 0, m_imageHeight = 0;
    double m_widthKm = 0.0, m_heightKm = 0.0;

    // The last scaled visible part of the map image, reused while nothing that
    // shapes it changes (an unchanged repaint only copies it).
    struct ScaledCache {
        uint64_t imageGeneration = 0;
        int64_t srcLeft = 0, srcTop = 0, srcWidth = 0, srcHeight = 0;
        int viewWidth = 0, viewHeight = 0;
        QRect target;  // where `picture` goes in the view; empty when the image is not visible
        QImage picture;
        bool valid = false;
    };
    ScaledCache m_cache;
    uint64_t m_imageGeneration = 0;
    std::function<void()> m_viewChanged;
    std::string m_lastError;
};
