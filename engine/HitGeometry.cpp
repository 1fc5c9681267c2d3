#include "engine/HitGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace hitgeometry {

bool OutsideBothSpans(double px, double py, const FireLine& l)
{
    const double xmin = std::min(l.startX, l.endX), xmax = std::max(l.startX, l.endX);
    const double ymin = std::min(l.startY, l.endY), ymax = std::max(l.startY, l.endY);
    const bool outX = px < xmin || px > xmax;
    const bool outY = py < ymin || py > ymax;
    return outX && outY;
}

double DistanceToLine(double px, double py, const FireLine& l)
{
    const double a = std::hypot(px - l.startX, py - l.startY);
    const double b = std::hypot(px - l.endX, py - l.endY);
    const double c = std::hypot(l.startX - l.endX, l.startY - l.endY);
    if (a == 0.0 || c == 0.0)
        return 0.0;
    const double cosA = (c * c + a * a - b * b) / (2.0 * c * a);
    const double under = 1.0 - cosA * cosA;
    return a * std::sqrt(under > 0.0 ? under : 0.0);
}

void CandidateFinder::SetUnits(const std::vector<double>& xs, const std::vector<double>& ys)
{
    m_xs = &xs;
    m_ys = &ys;
    const size_t n = xs.size();
    m_unbinned.clear();
    m_mark.assign(n, 0);

    double minX = std::numeric_limits<double>::infinity(), minY = minX;
    double maxX = -minX, maxY = -minX;
    size_t finite = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!std::isfinite(xs[i]) || !std::isfinite(ys[i]))
            continue;
        minX = std::min(minX, xs[i]);
        maxX = std::max(maxX, xs[i]);
        minY = std::min(minY, ys[i]);
        maxY = std::max(maxY, ys[i]);
        ++finite;
    }
    if (finite == 0) {
        m_cols = m_rows = 0;
        m_cellStart.assign(1, 0);
        m_items.clear();
        for (size_t i = 0; i < n; ++i)
            m_unbinned.push_back(uint32_t(i));
        return;
    }
    // About two units per cell.
    const int side = std::max(1, int(std::sqrt(double(finite) / 2.0)));
    m_cols = m_rows = std::min(side, 1024);
    m_minX = minX;
    m_minY = minY;
    m_unitScale = std::max({std::fabs(minX), std::fabs(maxX), std::fabs(minY), std::fabs(maxY)});
    m_cellW = (maxX > minX ? (maxX - minX) : 1.0) / m_cols;
    m_cellH = (maxY > minY ? (maxY - minY) : 1.0) / m_rows;
    if (!(m_cellW > 0) || !std::isfinite(m_cellW))
        m_cellW = 1.0;
    if (!(m_cellH > 0) || !std::isfinite(m_cellH))
        m_cellH = 1.0;

    const size_t cells = size_t(m_cols) * size_t(m_rows);
    m_cellStart.assign(cells + 1, 0);
    std::vector<uint32_t> cellOf(n, UINT32_MAX);
    for (size_t i = 0; i < n; ++i) {
        if (!std::isfinite(xs[i]) || !std::isfinite(ys[i])) {
            m_unbinned.push_back(uint32_t(i));
            continue;
        }
        const int cx = std::clamp(int((xs[i] - m_minX) / m_cellW), 0, m_cols - 1);
        const int cy = std::clamp(int((ys[i] - m_minY) / m_cellH), 0, m_rows - 1);
        cellOf[i] = uint32_t(cy * m_cols + cx);
        ++m_cellStart[cellOf[i] + 1];
    }
    for (size_t c = 0; c < cells; ++c)
        m_cellStart[c + 1] += m_cellStart[c];
    m_items.resize(m_cellStart[cells]);
    std::vector<uint32_t> fill(m_cellStart.begin(), m_cellStart.end() - 1);
    for (size_t i = 0; i < n; ++i)
        if (cellOf[i] != UINT32_MAX)
            m_items[fill[cellOf[i]]++] = uint32_t(i);
}

void CandidateFinder::QueryBox(const Box& box, std::vector<uint32_t>& out) const
{
    if (m_cols == 0 || !(box.x1 >= box.x0) || !(box.y1 >= box.y0))
        return;
    const double fx0 = std::floor((box.x0 - m_minX) / m_cellW), fx1 = std::floor((box.x1 - m_minX) / m_cellW);
    const double fy0 = std::floor((box.y0 - m_minY) / m_cellH), fy1 = std::floor((box.y1 - m_minY) / m_cellH);
    if (fx1 < 0 || fy1 < 0 || fx0 > m_cols - 1 || fy0 > m_rows - 1)
        return;
    const int cx0 = int(std::max(0.0, fx0)), cx1 = int(std::min(double(m_cols - 1), fx1));
    const int cy0 = int(std::max(0.0, fy0)), cy1 = int(std::min(double(m_rows - 1), fy1));
    QueryCells(cx0, cx1, cy0, cy1, box, out);
}

void CandidateFinder::FindCandidates(const FireLineList& lines, double hitDistance, std::vector<uint32_t>& out)
{
    const size_t first = out.size();
    for (uint32_t i : m_unbinned) {
        if (!m_mark[i]) {
            m_mark[i] = 1;
            out.push_back(i);
        }
    }
    const double h = std::isfinite(hitDistance) ? std::max(hitDistance, 0.0) : std::numeric_limits<double>::infinity();
    for (const FireLine& l : lines)
        QueryLine(l, h, out);
    for (size_t k = first; k < out.size(); ++k)
        m_mark[out[k]] = 0;
    std::sort(out.begin() + long(first), out.end());
}


int CandidateFinder::ColumnOf(double x) const
{
    const double f = std::floor((x - m_minX) / m_cellW);
    if (!(f > 0))
        return 0;
    return f >= m_cols - 1 ? m_cols - 1 : int(f);
}

int CandidateFinder::RowOf(double y) const
{
    const double f = std::floor((y - m_minY) / m_cellH);
    if (!(f > 0))
        return 0;
    return f >= m_rows - 1 ? m_rows - 1 : int(f);
}

void CandidateFinder::QueryCells(int col0, int col1, int row0, int row1, const Box& box,
                                 std::vector<uint32_t>& out) const
{
    const std::vector<double>& xs = *m_xs;
    const std::vector<double>& ys = *m_ys;
    auto& mark = const_cast<std::vector<uint8_t>&>(m_mark);
    for (int cy = row0; cy <= row1; ++cy) {
        for (int cx = col0; cx <= col1; ++cx) {
            const size_t c = size_t(cy) * size_t(m_cols) + size_t(cx);
            for (uint32_t k = m_cellStart[c]; k < m_cellStart[c + 1]; ++k) {
                const uint32_t i = m_items[k];
                if (!mark[i] && xs[i] >= box.x0 && xs[i] <= box.x1 && ys[i] >= box.y0 && ys[i] <= box.y1) {
                    mark[i] = 1;
                    out.push_back(i);
                }
            }
        }
    }
}

void CandidateFinder::QueryLine(const FireLine& l, double h, std::vector<uint32_t>& out) const
{
    const double inf = std::numeric_limits<double>::infinity();
    const double xmin = std::min(l.startX, l.endX), xmax = std::max(l.startX, l.endX);
    const double ymin = std::min(l.startY, l.endY), ymax = std::max(l.startY, l.endY);
    if (!std::isfinite(xmin) || !std::isfinite(xmax) || !std::isfinite(ymin) || !std::isfinite(ymax) ||
        !std::isfinite(h)) {
        QueryBox({-inf, -inf, inf, inf}, out);
        return;
    }
    const double dx = xmax - xmin, dy = ymax - ymin;
    const double c = std::hypot(dx, dy);
    const double scale =
        std::max({std::fabs(xmin), std::fabs(xmax), std::fabs(ymin), std::fabs(ymax), c, h}) + m_unitScale;
    const double slack = h * 1e-3 + scale * 1e-7 + 1e-12;
    if (m_cols == 0)
        return;

    // Within the x span: column by column, the line's y over the column widened
    // by the strip's vertical half-width h * c / dx.
    if (dx > 0) {
        const double halfH = h * c / dx + 2 * slack;
        const double slope = (l.endY - l.startY) / (l.endX - l.startX);
        const auto yAt = [&](double x) { return l.startY + (std::clamp(x, xmin, xmax) - l.startX) * slope; };
        const int col0 = ColumnOf(xmin - slack), col1 = ColumnOf(xmax + slack);
        for (int col = col0; col <= col1; ++col) {
            // The column's x range, a little wider so rounding of the cell index never matters.
            const double xa = std::max(xmin - slack, m_minX + (col - 0.01) * m_cellW);
            const double xb = std::min(xmax + slack, m_minX + (col + 1.01) * m_cellW);
            const double ya = yAt(xa), yb = yAt(xb);
            const Box box{xmin - slack, std::min(ya, yb) - halfH, xmax + slack, std::max(ya, yb) + halfH};
            if (!(box.y1 >= box.y0))
                continue;
            QueryCells(col, col, RowOf(box.y0), RowOf(box.y1), box, out);
        }
    } else {
        QueryBox({xmin - slack, -inf, xmax + slack, inf}, out);
    }
    // Within the y span: row by row, likewise.
    if (dy > 0) {
        const double halfW = h * c / dy + 2 * slack;
        const double slope = (l.endX - l.startX) / (l.endY - l.startY);
        const auto xAt = [&](double y) { return l.startX + (std::clamp(y, ymin, ymax) - l.startY) * slope; };
        const int row0 = RowOf(ymin - slack), row1 = RowOf(ymax + slack);
        for (int row = row0; row <= row1; ++row) {
            const double ya = std::max(ymin - slack, m_minY + (row - 0.01) * m_cellH);
            const double yb = std::min(ymax + slack, m_minY + (row + 1.01) * m_cellH);
            const double xa = xAt(ya), xb = xAt(yb);
            const Box box{std::min(xa, xb) - halfW, ymin - slack, std::max(xa, xb) + halfW, ymax + slack};
            if (!(box.x1 >= box.x0))
                continue;
            QueryCells(ColumnOf(box.x0), ColumnOf(box.x1), row, row, box, out);
        }
    } else {
        QueryBox({-inf, ymin - slack, inf, ymax + slack}, out);
    }
}

void CandidateFinder::FindCandidatePairs(const FireLineList& lines, double hitDistance,
                                         std::vector<std::pair<uint32_t, uint32_t>>& out)
{
    const double h = std::isfinite(hitDistance) ? std::max(hitDistance, 0.0) : std::numeric_limits<double>::infinity();
    std::vector<uint32_t>& units = m_scratch;
    for (size_t li = 0; li < lines.size(); ++li) {
        units.clear();
        for (uint32_t i : m_unbinned) {
            m_mark[i] = 1;
            units.push_back(i);
        }
        QueryLine(lines[li], h, units);
        for (uint32_t u : units) {
            m_mark[u] = 0;
            out.emplace_back(u, uint32_t(li));
        }
    }
}

}  // namespace hitgeometry
