#include "render/DrawRotatedMasked.h"

#include "render/RotatedMapping.h"

#include <QImage>

#include <algorithm>
#include <cmath>

namespace {

inline uint32_t Combine(uint32_t dst, uint32_t img, uint32_t mask)
{
    // Only the colour bits take part; the target stays opaque.
    return ((((dst ^ img) & mask) ^ img) & 0x00FFFFFFu) | 0xFF000000u;
}

}  // namespace

void DrawRotatedMasked(QImage& target, int x, int y, int w, int h, const QImage& image, const QImage& mask,
                       int imageX, int imageY, double angleDegrees)
{
    if (w <= 0 || h <= 0 || image.isNull() || mask.isNull() || target.isNull() || target.depth() != 32)
        return;
    QImage imgHolder, maskHolder;
    const QImage& img = rotated::AsRgb32(image, imgHolder);
    const QImage& msk = rotated::AsRgb32(mask, maskHolder);
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

    const rotated::Box box = rotated::BoxFor(w, h, angleDegrees);
    // Clip the bounding box to the target.
    const long long iFrom = std::max<long long>(box.xmin, -(long long)x);
    const long long iTo = std::min<long long>(box.xmax, (long long)tw - x);
    const long long jFrom = std::max<long long>(box.ymin, -(long long)y);
    const long long jTo = std::min<long long>(box.ymax, (long long)th - y);
    if (iFrom >= iTo || jFrom >= jTo)
        return;
    const uchar* imgBits = img.constBits();
    const uchar* mskBits = msk.constBits();
    const qsizetype imgStride = img.bytesPerLine(), mskStride = msk.bytesPerLine();
    uchar* targetBits = target.bits();
    const qsizetype targetStride = target.bytesPerLine();
    rotated::Scan(box, iFrom, iTo, jFrom, jTo, double(srcW), double(srcH), [&](long long i, long long j, int u, int v) {
        auto* d = reinterpret_cast<uint32_t*>(targetBits + (y + j) * targetStride) + x;
        const uint32_t sp = reinterpret_cast<const uint32_t*>(imgBits + (imageY + v) * imgStride)[imageX + u];
        const uint32_t mp = reinterpret_cast<const uint32_t*>(mskBits + (imageY + v) * mskStride)[imageX + u];
        d[i] = Combine(d[i], sp, mp);
    });
}
