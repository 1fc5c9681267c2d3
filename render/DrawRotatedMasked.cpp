#include "render/DrawRotatedMasked.h"

#include <QImage>

#include <algorithm>
#include <cmath>

namespace {

inline uint32_t Combine(uint32_t dst, uint32_t img, uint32_t mask)
{
    // Only the colour bits take part; the target stays opaque.
    return ((((dst ^ img) & mask) ^ img) & 0x00FFFFFFu) | 0xFF000000u;
}

inline int Trunc(double v)
{
    if (!(v > -2147483648.0))
        return v != v ? 0 : INT32_MIN;
    if (v >= 2147483647.0)
        return INT32_MAX;
    return int(v);
}

const QImage& AsRgb32(const QImage& in, QImage& holder)
{
    if (in.format() == QImage::Format_RGB32 || in.format() == QImage::Format_ARGB32)
        return in;
    holder = in.convertToFormat(QImage::Format_RGB32);
    return holder;
}

}  // namespace

void DrawRotatedMasked(QImage& target, int x, int y, int w, int h, const QImage& image, const QImage& mask,
                       int imageX, int imageY, double angleDegrees)
{
    if (w <= 0 || h <= 0 || image.isNull() || mask.isNull() || target.isNull() || target.depth() != 32)
        return;
    QImage imgHolder, maskHolder;
    const QImage& img = AsRgb32(image, imgHolder);
    const QImage& msk = AsRgb32(mask, maskHolder);
    // Source pixels come from (imageX + u, imageY + v); both pictures must hold them.
    const int srcW = std::min({w, img.width() - imageX, msk.width() - imageX});
    const int srcH = std::min({h, img.height() - imageY, msk.height() - imageY});
    if (imageX < 0 || imageY < 0 || srcW <= 0 || srcH <= 0)
        return;
    const int tw = target.width(), th = target.height();

    if (angleDegrees == 0.0) {
        const int i0 = std::max(0, -x), j0 = std::max(0, -y);
        const int i1 = std::min(srcW, tw - x), j1 = std::min(srcH, th - y);
        for (int j = j0; j < j1; ++j) {
            auto* d = reinterpret_cast<uint32_t*>(target.scanLine(y + j)) + x;
            const auto* s = reinterpret_cast<const uint32_t*>(img.constScanLine(imageY + j)) + imageX;
            const auto* m = reinterpret_cast<const uint32_t*>(msk.constScanLine(imageY + j)) + imageX;
            for (int i = i0; i < i1; ++i)
                d[i] = Combine(d[i], s[i], m[i]);
        }
        return;
    }

    const double theta = angleDegrees * 3.141592653589793 / 180.0;
    const double c = std::cos(theta), s = std::sin(theta);
    const double cx = w / 2.0, cy = h / 2.0;
    const auto mapX = [&](double u, double v) { return Trunc(cx + c * (u - cx) - s * (cy - v)); };
    const auto mapY = [&](double u, double v) { return Trunc(cy - (c * (cy - v) + s * (u - cx))); };
    const int xs[4] = {mapX(0, 0), mapX(w, 0), mapX(w, h), mapX(0, h)};
    const int ys[4] = {mapY(0, 0), mapY(w, 0), mapY(w, h), mapY(0, h)};
    const int xmin = *std::min_element(xs, xs + 4), xmax = *std::max_element(xs, xs + 4);
    const int ymin = *std::min_element(ys, ys + 4), ymax = *std::max_element(ys, ys + 4);

    // Clip the bounding box to the target.
    const long long iFrom = std::max<long long>(xmin, -(long long)x), iTo = std::min<long long>(xmax, (long long)tw - x);
    const long long jFrom = std::max<long long>(ymin, -(long long)y), jTo = std::min<long long>(ymax, (long long)th - y);
    if (iFrom >= iTo || jFrom >= jTo)
        return;
    const uchar* imgBits = img.constBits();
    const uchar* mskBits = msk.constBits();
    const qsizetype imgStride = img.bytesPerLine(), mskStride = msk.bytesPerLine();
    uchar* targetBits = target.bits();
    const qsizetype targetStride = target.bytesPerLine();
    // trunc(t) lies in [0, n) exactly when -1 < t < n; the casts below then
    // truncate as the mapping says.
    const double uLimit = double(std::min(w, srcW)), vLimit = double(std::min(h, srcH));
    for (long long j = jFrom; j < jTo; ++j) {
        auto* d = reinterpret_cast<uint32_t*>(targetBits + (y + j) * targetStride) + x;
        const double dy = cy - double(j);
        // Same products, summed in the same order as the mapping is written.
        const double sdy = s * dy, vBase = cy - c * dy;
        // Columns whose source can lie inside the image, one column wider on
        // each side than the straight lines say; each pixel is still checked.
        double lo = double(iFrom), hi = double(iTo);
        const auto narrow = [&](double base, double slope, double limit) {
            if (std::fabs(slope) < 1e-9)
                return;
            double a = cx + (-1.0 - base) / slope, b = cx + (limit - base) / slope;
            if (a > b)
                std::swap(a, b);
            lo = std::max(lo, std::floor(a) - 1.0);
            hi = std::min(hi, std::ceil(b) + 2.0);
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
            const int u = int(uf), v = int(vf);
            const uint32_t sp = reinterpret_cast<const uint32_t*>(imgBits + (imageY + v) * imgStride)[imageX + u];
            const uint32_t mp = reinterpret_cast<const uint32_t*>(mskBits + (imageY + v) * mskStride)[imageX + u];
            d[i] = Combine(d[i], sp, mp);
        }
    }
}
