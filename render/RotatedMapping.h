#pragma once

// The pixel mapping of a rotated masked draw, shared by the plain drawing and
// the cached runs so both pick exactly the same source pixel for each target
// pixel. Internal to render/.

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace rotated {

// The picture as 32-bit pixels, converted into `holder` only when it is not already.
inline const QImage& AsRgb32(const QImage& in, QImage& holder)
{
    if (in.format() == QImage::Format_RGB32 || in.format() == QImage::Format_ARGB32)
        return in;
    holder = in.convertToFormat(QImage::Format_RGB32);
    return holder;
}

inline int Trunc(double v)
{
    if (!(v > -2147483648.0))
        return v != v ? 0 : INT32_MIN;
    if (v >= 2147483647.0)
        return INT32_MAX;
    return int(v);
}

// The rotated bounding box [xmin, xmax) x [ymin, ymax) relative to the drawing origin.
struct Box {
    double c = 1, s = 0, cx = 0, cy = 0;
    int xmin = 0, xmax = 0, ymin = 0, ymax = 0;
};

inline Box BoxFor(int w, int h, double angleDegrees)
{
    Box b;
    const double theta = angleDegrees * 3.141592653589793 / 180.0;
    b.c = std::cos(theta);
    b.s = std::sin(theta);
    b.cx = w / 2.0;
    b.cy = h / 2.0;
    const double c = b.c, s = b.s, cx = b.cx, cy = b.cy;
    const auto mapX = [&](double u, double v) { return Trunc(cx + c * (u - cx) - s * (cy - v)); };
    const auto mapY = [&](double u, double v) { return Trunc(cy - (c * (cy - v) + s * (u - cx))); };
    const int xs[4] = {mapX(0, 0), mapX(w, 0), mapX(w, h), mapX(0, h)};
    const int ys[4] = {mapY(0, 0), mapY(w, 0), mapY(w, h), mapY(0, h)};
    b.xmin = *std::min_element(xs, xs + 4);
    b.xmax = *std::max_element(xs, xs + 4);
    b.ymin = *std::min_element(ys, ys + 4);
    b.ymax = *std::max_element(ys, ys + 4);
    return b;
}

// Calls visit(i, j, u, v) for every pixel (i, j) of [iFrom, iTo) x [jFrom, jTo)
// (relative to the origin, rows in order, columns ascending) whose source
// pixel (u, v) lies in [0, uLimit) x [0, vLimit).
template <class Visit>
void Scan(const Box& b, long long iFrom, long long iTo, long long jFrom, long long jTo, double uLimit,
          double vLimit, Visit&& visit)
{
    const double c = b.c, s = b.s, cx = b.cx, cy = b.cy;
    // trunc(t) lies in [0, n) exactly when -1 < t < n; the casts below then
    // truncate as the mapping says.
    for (long long j = jFrom; j < jTo; ++j) {
        const double dy = cy - double(j);
        // Same products, summed in the same order as the mapping is written.
        const double sdy = s * dy, vBase = cy - c * dy;
        // Columns whose source can lie inside the image, one column wider on
        // each side than the straight lines say; each pixel is still checked.
        double lo = double(iFrom), hi = double(iTo);
        const auto narrow = [&](double base, double slope, double limit) {
            if (std::fabs(slope) < 1e-9)
                return;
            double a1 = cx + (-1.0 - base) / slope, b1 = cx + (limit - base) / slope;
            if (a1 > b1)
                std::swap(a1, b1);
            lo = std::max(lo, std::floor(a1) - 1.0);
            hi = std::min(hi, std::ceil(b1) + 2.0);
        };
        narrow(cx + sdy, c, uLimit);
        narrow(vBase, s, vLimit);
        const long long rowFrom = (long long)lo, rowTo = (long long)hi;
        for (long long i = rowFrom; i < rowTo; ++i) {
            const double dx = double(i) - cx;
            const double uf = cx + c * dx + sdy;
            const double vf = vBase + s * dx;
            if (!(uf > -1.0 && uf < uLimit && vf > -1.0 && vf < vLimit))
                continue;
            visit(i, j, int(uf), int(vf));
        }
    }
}

}  // namespace rotated
