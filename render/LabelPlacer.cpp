#include "render/LabelPlacer.h"

#include <algorithm>

void CLabelPlacer::Reset(const QRect& area)
{
    for (int cell : m_usedCells)
        m_cells[size_t(cell)].clear();
    m_usedCells.clear();
    m_placed.clear();
    m_area = area;
    const int columns = area.isEmpty() ? 0 : (area.width() + kCell - 1) / kCell;
    const int rows = area.isEmpty() ? 0 : (area.height() + kCell - 1) / kCell;
    if (columns != m_columns || rows != m_rows) {
        m_columns = columns;
        m_rows = rows;
        m_cells.assign(size_t(columns) * size_t(rows), {});
    }
}

bool CLabelPlacer::TryPlace(const QRect& label)
{
    const QRect shown = label & m_area;
    if (shown.isEmpty())
        return false;
    // Parts outside the area are never seen, so only the shown part counts.
    const int c0 = (shown.left() - m_area.left()) / kCell, c1 = (shown.right() - m_area.left()) / kCell;
    const int r0 = (shown.top() - m_area.top()) / kCell, r1 = (shown.bottom() - m_area.top()) / kCell;
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            for (int index : m_cells[size_t(r) * size_t(m_columns) + size_t(c)])
                if (m_placed[size_t(index)].intersects(shown))
                    return false;
    const int index = int(m_placed.size());
    m_placed.push_back(shown);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
            auto& cell = m_cells[size_t(r) * size_t(m_columns) + size_t(c)];
            if (cell.empty())
                m_usedCells.push_back(r * m_columns + c);
            cell.push_back(index);
        }
    return true;
}
