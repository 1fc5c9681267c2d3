#pragma once

#include "engine/FireLine.h"

#include <cstdint>
#include <utility>
#include <vector>

// The geometry of the hit test: a unit at P is hit by a fire line from S to E
// when P lies within the line's x span or its y span, and its distance to the
// infinite line through S and E is at most the hit distance.
namespace hitgeometry {

// True when P lies outside both the x span and the y span of the line (the
// line can then not hit it).
bool OutsideBothSpans(double px, double py, const FireLine& line);

// Distance from P to the infinite line through S and E, from the three side
// lengths as a = |P - S|, b = |P - E|, c = |S - E|; 0 when a or c is 0. The
// value under the root is clamped at 0 (rounding makes it slightly negative
// for points on the line).
double DistanceToLine(double px, double py, const FireLine& line);

// Picks, among many units, the few that a set of fire lines can hit, so the
// exact per-unit pass (whose flag rules depend on the order of the lines) runs
// only for them. Every unit with at least one hitting line is a candidate;
// candidates may include units that turn out not to be hit.
class CandidateFinder {
public:
    // Positions of the units to test, in any order; index i = position i.
    void SetUnits(const std::vector<double>& xs, const std::vector<double>& ys);
    // Appends to `out` (sorted, unique) the indexes of units some line may hit.
    void FindCandidates(const FireLineList& lines, double hitDistance, std::vector<uint32_t>& out);
    // Appends (unit index, line index) for every unit each line may hit, line
    // by line in list order, each pair once. Walks only the grid cells along
    // the line's hit region, so long oblique lines stay cheap.
    void FindCandidatePairs(const FireLineList& lines, double hitDistance,
                            std::vector<std::pair<uint32_t, uint32_t>>& out);

private:
    struct Box {
        double x0, y0, x1, y1;
    };
    void QueryBox(const Box& box, std::vector<uint32_t>& out) const;
    // Cells of columns [col0, col1] and rows [row0, row1] clamped to the grid.
    void QueryCells(int col0, int col1, int row0, int row1, const Box& box, std::vector<uint32_t>& out) const;
    void QueryLine(const FireLine& line, double h, std::vector<uint32_t>& out) const;
    int ColumnOf(double x) const;
    int RowOf(double y) const;

    const std::vector<double>* m_xs = nullptr;
    const std::vector<double>* m_ys = nullptr;
    std::vector<uint32_t> m_unbinned;  // units at non-finite positions: always candidates
    // A uniform grid over the units' bounding box.
    double m_minX = 0, m_minY = 0, m_cellW = 1, m_cellH = 1;
    double m_unitScale = 0;  // largest coordinate magnitude among the units
    int m_cols = 0, m_rows = 0;
    std::vector<uint32_t> m_cellStart;  // CSR layout: cell c holds m_items[m_cellStart[c] .. m_cellStart[c+1])
    std::vector<uint32_t> m_items;
    std::vector<uint8_t> m_mark;
    std::vector<uint32_t> m_scratch;
};

}  // namespace hitgeometry
