#pragma once

#include <QColor>
#include <QString>

#include <cstdint>

class CMapLoader;
class CPlanLayer;
class CUnitCanLoad;
class CUnitClassCatalog;
class QPainter;

// The plan of units drawn over the map while editing, so that the planner
// sees what was entered: each move's route with numbered points, direction
// arrows and its start time, strike targets as crosses in the weapon's colour
// with the number of strikes, unload points and links to the units loaded.
// Drawn for the selected units, or for every unit (the others faded).
class CPlanOverlay {
public:
    static constexpr QRgb kRouteColour = 0xFF1460C8;
    static constexpr QRgb kUnloadColour = 0xFF108040;
    static constexpr QRgb kLoadColour = 0xFF8040C0;
    static constexpr QRgb kHaloColour = 0xFFFFFFFF;
    static constexpr double kFadedOpacity = 0.35;
    static constexpr int kPointRadius = 7;

    // `catalog` gives the weapons' colours (null: the default fire colour).
    // The caller holds the layer's gate.
    static void Draw(QPainter& painter, const CPlanLayer& layer, CMapLoader& map, bool showAll,
                     const CUnitClassCatalog* catalog);
    // One unit's plan at the painter's opacity.
    static void DrawUnitPlan(QPainter& painter, const CPlanLayer& layer, const CUnitCanLoad& unit, CMapLoader& map,
                             const CUnitClassCatalog* catalog);
    // "T+mm:ss" of plan seconds (hours added when needed).
    static QString TimeLabel(int seconds);
};
