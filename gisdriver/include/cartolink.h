/*
 * cartolink.h - public interface of Cartolink, the GIS driver library.
 *
 * Cartolink shows a GIS map set inside a window of the caller, keeps the
 * caller's objects as features of its own object layer on that map, answers
 * zoom, pan and coordinate requests, paints the current map picture into a
 * painter, and reports mouse and tool events back through a callback object.
 *
 * Everything is reached through the 26 plain C functions below. Call order:
 *
 *     GisDriverInit -> GisDriverLoadMap (may be repeated) -> other calls -> GisDriverUnInit
 *
 * after which the library may be initialised again. There is exactly one
 * driver context per process. All calls must be made on the thread that
 * called GisDriverInit (the Qt GUI thread, since widgets live there).
 *
 * Platform types used in the interface:
 *   - window handle   : void* holding a QWidget* (the parent of Cartolink's windows; not owned)
 *   - device context  : void* holding a QPainter* (the target of GISDriverExportMapToHDC; not owned)
 *   - RECT            : CartolinkRect, four int32_t (left, top, right, bottom)
 *   - u32             : uint32_t
 *   - short direction : int16_t
 *   - colours         : COLORREF layout, 0x00BBGGRR (0x0000FF is red)
 *   - strings         : zero-terminated UTF-8; paths may use "/" or "\" separators
 *
 * Map coordinates are longitude (x) and latitude (y) in degrees. Pixels are
 * those of the map control, origin top-left, y downwards.
 *
 * The zoom value is the width of the visible map in kilometres, measured along
 * the view's horizontal centre line: a larger value is a wider view.
 */
#ifndef CARTOLINK_H
#define CARTOLINK_H

#include <stdint.h>

#if defined(CARTOLINK_BUILDING)
#  define CARTOLINK_API __attribute__((visibility("default")))
#else
#  define CARTOLINK_API
#endif

/* ---- Return codes ------------------------------------------------------- */

enum {
    CARTOLINK_OK = 0,              /* success */
    CARTOLINK_E_FAILED = -1,       /* operation failed: feature not accepted, index beyond the
                                      selection, no map loaded, window not created */
    CARTOLINK_E_BADARG = -3,       /* bad argument: null window / rectangle / pointer,
                                      object identifier 0, unknown object kind, invalid number */
    CARTOLINK_E_NOTINIT = -4,      /* not initialised; also GisDriverInit when already
                                      initialised, and a pick while another pick is in progress */
    CARTOLINK_E_CREATE = -5,       /* the host window or the map control could not be created */
    CARTOLINK_E_NOOBJECT = -6,     /* no object with that identifier on the object layer */
    CARTOLINK_E_UNSUPPORTED = -7,  /* not supported (GisDriverGetObjectPosition) */
    CARTOLINK_E_CANCELLED = -8     /* the user cancelled a point pick with the right button */
};

/* ---- Object kinds (GisDriverAddObjectToMap, GisDriverMoveObj) ----------- */

enum {
    CARTOLINK_KIND_BITMAP = 2, /* bitmap symbol at (x, y); size = max(width, height) truncated,
                                  48 when below 1 or above 48 */
    CARTOLINK_KIND_CIRCLE = 3, /* circle outline centred at (x, y), radius width / 2, red */
    CARTOLINK_KIND_RECT = 4,   /* rectangle outline (x, y)-(x+width, y+height), red */
    CARTOLINK_KIND_MARKER = 5  /* point marker (font character 36) at (x, y), magenta */
};

/* ---- Flags of GisDriverMoveObj ----------------------------------------- */

enum {
    CARTOLINK_MOVE_SIZE = 1,     /* width and height are given */
    CARTOLINK_MOVE_POSITION = 2  /* x and y are given */
};

/* ---- Tool codes of GisDriverSetCurrentTool ------------------------------ */

enum {
    CARTOLINK_TOOL_DEFAULT = 1,       /* control tool 1007, selected after initialisation */
    CARTOLINK_TOOL_RECT_SELECT = 2,   /* 1009: rectangle selection on the object layer */
    CARTOLINK_TOOL_RADIUS_SELECT = 3, /* 1008: radius selection on the object layer */
    CARTOLINK_TOOL_ARROW = 4,         /* 1000: the tool used while a point is picked */
    CARTOLINK_TOOL_PICK_OBJECT = 5,   /* 888: custom point tool (OnObjectPicked) */
    CARTOLINK_TOOL_PAN = 6,           /* 1001 */
    CARTOLINK_TOOL_ZOOM_IN = 7,       /* 1003 */
    CARTOLINK_TOOL_ZOOM_OUT = 8       /* 1004 */
};

/* ---- Directions of ConvertCoord ----------------------------------------- */

enum {
    CARTOLINK_MAP_TO_PIXEL = 0,
    CARTOLINK_PIXEL_TO_MAP = 1
};

/* ---- Map status (GisDriverSetMapStatus) --------------------------------- */

enum {
    CARTOLINK_STATUS_NORMAL = 1, /* OnObjectPicked is sent in this status */
    CARTOLINK_STATUS_EDIT = 2    /* object layer editable; OnSelectionChanged is sent */
};

/* The RECT of the interface: four 32-bit signed values. */
typedef struct CartolinkRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
} CartolinkRect;

#ifdef __cplusplus

/*
 * Callback interface. The caller derives from it, owns the object, and passes
 * it to GisDriverInit (or null for no notifications). The library calls the
 * ten operations below, in this slot order, on the GUI thread; it ignores any
 * result. There is deliberately no virtual destructor, so the table holds
 * exactly these ten slots; the library never deletes the object.
 *
 * A "mouse record" is: button (1 left, 2 right), shift state, pixel x and
 * pixel y in the map control, map x and map y, a reserved double 0.0 and a
 * reserved 32-bit 0.
 */
class IGisDriverCallback {
public:
    /* slot 0: right button released over the map while no pick is in progress */
    virtual void OnRButtonUp(uint32_t button, uint32_t shift, int32_t x, int32_t y, double mapX,
                             double mapY, double reserved, uint32_t reserved2) = 0;
    /* slot 1: left button released over the map while no pick is in progress */
    virtual void OnLButtonUp(uint32_t button, uint32_t shift, int32_t x, int32_t y, double mapX,
                             double mapY, double reserved, uint32_t reserved2) = 0;
    /* slot 2: left button pressed over the map */
    virtual void OnLButtonDown(uint32_t button, uint32_t shift, int32_t x, int32_t y, double mapX,
                               double mapY, double reserved, uint32_t reserved2) = 0;
    /* slot 3: the rectangle selection tool was used; the object layer's selection is
       already the features in the rectangle. `one` is always 1. */
    virtual void OnRectSelect(uint32_t one, uint32_t shift, int32_t x1, int32_t y1, double mapX1,
                              double mapY1, double reserved1, int32_t x2, int32_t y2,
                              double mapX2, double mapY2, double reserved2,
                              uint32_t reserved3) = 0;
    /* slot 4: the radius selection tool was used with a radius above 1e-21 map units;
       the selection is already made. `one` is always 1. */
    virtual void OnRadiusSelect(uint32_t one, uint32_t shift, int32_t centreX, int32_t centreY,
                                double centreMapX, double centreMapY, double reserved,
                                double radius, uint32_t reserved2) = 0;
    /* slot 5: the selection changed while the map status is 2; `zero` is always 0 */
    virtual void OnSelectionChanged(uint32_t zero) = 0;
    /* slot 6: a selected object was dragged to (x, y) pixels; new centre in map units */
    virtual void OnObjectMoved(uint32_t id, int32_t x, int32_t y, double mapX, double mapY,
                               uint32_t reserved1, uint32_t reserved2, uint32_t reserved3) = 0;
    /* slot 7: the custom point tool hit an object-layer feature while the status is 1 */
    virtual void OnObjectPicked(uint32_t id, uint32_t reserved) = 0;
    /* slot 8: the map was double-clicked (button 1, shift 0) */
    virtual void OnDoubleClick(uint32_t button, uint32_t shift, int32_t x, int32_t y, double mapX,
                               double mapY, double reserved, uint32_t reserved2) = 0;
    /* slot 9: the main map was moved from the overview window or the map control
       panel; take a new picture */
    virtual void OnMapViewChanged() = 0;

protected:
    IGisDriverCallback() = default;
    IGisDriverCallback(const IGisDriverCallback&) = default;
    IGisDriverCallback& operator=(const IGisDriverCallback&) = default;
    ~IGisDriverCallback() = default;
};

extern "C" {
#else
typedef struct IGisDriverCallback IGisDriverCallback;
#endif

/* Creates the driver context, the host window and the map control as children of
   `parent` (a QWidget*), covering the parent's client area. Default tool 1007.
   The cursor file "CanEnter.cur" beside the running executable is used when present.
   -3 null parent, -4 already initialised, -5 windows could not be created. */
CARTOLINK_API int GisDriverInit(IGisDriverCallback* callback, void* parent);

/* Frees everything (overview, control panel, object layer, map control, host
   window, context). Afterwards GisDriverInit may be called again. -4 when not initialised. */
CARTOLINK_API int GisDriverUnInit(void);

/* Removes all layers (object layer and objects included) and opens a map set: a
   ".gst" map-set file or any single source GDAL opens. Builds the object layer
   "orlan_gis_layer", sets status 1 and zoom 5.0 around the map's centre.
   -1 when the source does not open: the previous map and its objects then stay as
   they were, and GDAL's last error message on this thread (CPLGetLastErrorMsg)
   says why. -3 null path. */
CARTOLINK_API int GisDriverLoadMap(const char* mapPath);

/* Moves and sizes the host window and the map control to the rectangle (in the
   parent's coordinates). -3 null rectangle. */
CARTOLINK_API int GisDriverSetShowWindowSize(const CartolinkRect* rect);

/* Stores the map status; 2 makes the object layer editable, any other value not. */
CARTOLINK_API int GisDriverSetMapStatus(int status);

/* Adds an object of `kind` (2..5) to the object layer and writes its identifier
   (never 0) to *id. For kind 2, `bitmap` is copied into the custom symbol folder
   (AppDataLocation + "/CUSTSYMB") under the name derived from its path: "\", "/"
   and ":" become "_" and the last 15 characters are kept.
   -3 null id, unknown kind, non-finite numbers or (kind 2) null bitmap path; -1 no map loaded. */
CARTOLINK_API int GisDriverAddObjectToMap(uint32_t* id, int kind, double x, double y,
                                          double width, double height, const char* comment,
                                          const char* bitmap);

/* Deletes the object. -3 id 0. Removing an identifier that does not exist is not an error. */
CARTOLINK_API int GisDriverRemoveObjFromMap(uint32_t id);

/* Sets both the symbol and the line colour (COLORREF) of the object. -6 missing. */
CARTOLINK_API int GisDriverSetObjectColor(uint32_t id, uint32_t colour);

/* Moves (flag 2: x, y) and/or resizes (flag 1: width, height) the object. `kind`
   must name the object's kind; any other kind changes nothing and returns 0.
   Kind 3 keeps its bounds' centre/radius for what is not given; kind 4 keeps its
   bounds' minimum x and maximum y and its size (a resize alone keeps the north-west
   corner). -3 id 0, -6 missing. */
CARTOLINK_API int GisDriverMoveObj(uint32_t id, int kind, double x, double y, double width,
                                   double height, uint32_t flags);

/* Not supported: always -7. */
CARTOLINK_API int GisDriverGetObjectPosition(void);

/* Zooms to `zoom` km visible width around the current centre. -3 for a zoom that
   is not a positive finite number.
   The view always stays valid: it never gets wider than the map set's full extent
   plus a small margin, and it stays within that area (longitudes wrap round for a
   map of the whole globe). A zoom beyond the widest view gives the widest view,
   centred on the map set, so GisDriverZoomTo(DBL_MAX) shows the whole map. Pans,
   moves and zooms past the area stop at its edge. */
CARTOLINK_API int GisDriverZoomTo(double zoom);

/* The current zoom (visible width in km), or -4.0 when not initialised. */
CARTOLINK_API double GisDriverGetZoom(void);

/* Pans by pixels: positive dx shows more to the east, positive dy more to the north.
   The scale in degrees per pixel stays, as when a picture is dragged. */
CARTOLINK_API int GisDriverPan(float dx, float dy);

/* Re-centres the map on (x, y), keeping the zoom. */
CARTOLINK_API int GISDriverMoveMap(double x, double y);

/* Centres on the object's centre; zoom 0.0 keeps the current zoom, any other value
   zooms to it. -3 id 0, -6 missing. */
CARTOLINK_API int GisDriverCenterObject(uint32_t id, double zoom);

/* Selects a tool by the caller's code (CARTOLINK_TOOL_*); unknown codes keep the
   current tool and still return 0. */
CARTOLINK_API int GisDriverSetCurrentTool(int toolCode);

/* Direction pick from map point (x, y): writes the picked point minus (x, y) to
   *dx, *dy and 0.0 to *reserved. The third argument is not read.
   -4 pick already in progress, -3 null output pointer, -8 cancelled. */
CARTOLINK_API int GisDriverGetDirectFromPoint(double x, double y, double unused, double* dx,
                                              double* dy, double* reserved);

/* Point pick: waits for a left click on the map and writes its map point.
   -4 pick already in progress, -3 null output pointer, -8 cancelled. */
CARTOLINK_API int GISDriverGetPoint(double* x, double* y);

/* 1 opens the map control panel, 0 closes it. -1 when it cannot be created. */
CARTOLINK_API int GISDriverShowCtrlTool(int show);

/* 0 hides the overview window; non-zero shows it. -1 no map loaded or not created. */
CARTOLINK_API int GISDriverShowEagleWindow(int show);

/* Number of selected objects on the object layer, or -4. */
CARTOLINK_API int GISDriverGetSelectCount(void);

/* Writes the identifier of the selected object at 1-based `index`. -1 index outside
   1..count (nothing written), -3 null pointer. */
CARTOLINK_API int GISDriverGetSelectItem(int index, uint32_t* id);

/* Sets the object's comment text. -3 id 0, -6 missing. */
CARTOLINK_API int GisDriverSetObjectComments(uint32_t id, const char* comment);

/* Redraws the map control at once. */
CARTOLINK_API int GISDriverUpdateMap(void);

/* Converts between control pixels and map coordinates. Direction 1: pixels
   (*screenX, *screenY) to map (*mapX, *mapY); direction 0: map to pixels. The
   pixels are read as single-precision values and written back truncated toward
   zero in both directions. -3 null pointer or unknown direction. */
CARTOLINK_API int ConvertCoord(int* screenX, int* screenY, double* mapX, double* mapY,
                               int16_t direction);

/* Paints the current map picture (layers and objects) into the QPainter* `painter`
   at (x, y), at the map control's size. -3 null or inactive painter. */
CARTOLINK_API int GISDriverExportMapToHDC(void* painter, int x, int y);

#ifdef __cplusplus
}
#endif

#endif /* CARTOLINK_H */
