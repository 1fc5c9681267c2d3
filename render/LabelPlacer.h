#pragma once

#include <QRect>

#include <vector>

// Decides which labels of a picture are shown, as map labels are: labels are
// offered in order of priority and one is taken only when it overlaps none
// taken before. A grid of cells over the picture keeps each test local.
class CLabelPlacer {
public:
    // Forgets every label and covers `area` (labels outside it are refused).
    void Reset(const QRect& area);
    // Takes `label` when it overlaps no label taken since Reset().
    bool TryPlace(const QRect& label);
    const std::vector<QRect>& Placed() const { return m_placed; }

private:
    static constexpr int kCell = 64;
    QRect m_area;
    int m_columns = 0, m_rows = 0;
    std::vector<std::vector<int>> m_cells;  // indices into m_placed
    std::vector<int> m_usedCells;           // cells to empty on the next Reset()
    std::vector<QRect> m_placed;
};
