#include "render/RotatedImageCache.h"

#include "render/DrawRotatedMasked.h"
#include "render/RotatedMapping.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kColourBits = 0x00FFFFFFu;
constexpr uint32_t kOpaque = 0xFF000000u;

}  // namespace

size_t CRotatedImageCache::KeyHash::operator()(const Key& k) const
{
    uint64_t h = 0x9E3779B97F4A7C15ull;
    const auto mix = [&h](uint64_t v) {
        h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    };
    mix(uint64_t(k.image));
    mix(uint64_t(k.mask));
    mix((uint64_t(uint32_t(k.w)) << 32) | uint32_t(k.h));
    mix((uint64_t(uint32_t(k.imageX)) << 32) | uint32_t(k.imageY));
    mix(k.angleBits);
    return size_t(h);
}

void CRotatedImageCache::Extent(int w, int h, double angleDegrees, int& left, int& top, int& right, int& bottom)
{
    if (w <= 0 || h <= 0) {
        left = top = 0;
        right = bottom = -1;
        return;
    }
    if (angleDegrees == 0.0) {
        left = top = 0;
        right = w - 1;
        bottom = h - 1;
        return;
    }
    const rotated::Box b = rotated::BoxFor(w, h, angleDegrees);
    left = b.xmin;
    top = b.ymin;
    right = b.xmax - 1;
    bottom = b.ymax - 1;
}

CRotatedImageCache::Sprite CRotatedImageCache::Build(int w, int h, const QImage& image, const QImage& mask,
                                                     int imageX, int imageY, double angleDegrees)
{
    Sprite sprite;
    QImage imgHolder, maskHolder;
    const QImage& img = rotated::AsRgb32(image, imgHolder);
    const QImage& msk = rotated::AsRgb32(mask, maskHolder);
    const int srcW = std::min({w, img.width() - imageX, msk.width() - imageX});
    const int srcH = std::min({h, img.height() - imageY, msk.height() - imageY});
    if (imageX < 0 || imageY < 0 || srcW <= 0 || srcH <= 0)
        return sprite;

    // Pixels are appended in row order; a run grows while the next pixel is
    // its right neighbour of the same kind.
    std::vector<uint32_t> blendPairs;
    const auto add = [&](long long i, long long j, int u, int v) {
        const uint32_t s = reinterpret_cast<const uint32_t*>(img.constScanLine(imageY + v))[imageX + u];
        const uint32_t m = reinterpret_cast<const uint32_t*>(msk.constScanLine(imageY + v))[imageX + u] & kColourBits;
        if (m == kColourBits)
            return;  // leaves an opaque target pixel as it is
        const bool blend = m != 0;
        Run* last = sprite.runs.empty() ? nullptr : &sprite.runs.back();
        if (!last || last->dy != j || last->dx + last->len != i || last->blend != blend || last->len == UINT16_MAX) {
            sprite.runs.push_back({int16_t(i), int16_t(j), 0, blend, uint32_t(sprite.pixels.size())});
            last = &sprite.runs.back();
        }
        ++last->len;
        if (blend) {
            sprite.pixels.push_back(m);
            sprite.pixels.push_back(s & ~m & kColourBits);
        } else {
            sprite.pixels.push_back((s & kColourBits) | kOpaque);
        }
    };
    if (angleDegrees == 0.0) {
        for (int j = 0; j < srcH; ++j)
            for (int i = 0; i < srcW; ++i)
                add(i, j, i, j);
    } else {
        const rotated::Box box = rotated::BoxFor(w, h, angleDegrees);
        rotated::Scan(box, box.xmin, box.xmax, box.ymin, box.ymax, double(srcW), double(srcH), add);
    }
    sprite.runs.shrink_to_fit();
    sprite.pixels.shrink_to_fit();
    return sprite;
}

void CRotatedImageCache::Blit(QImage& target, int x, int y, const Sprite& sprite)
{
    const long long tw = target.width(), th = target.height();
    uchar* bits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    const uint32_t* pixels = sprite.pixels.data();
    for (const Run& run : sprite.runs) {
        const long long ty = (long long)y + run.dy;
        if (ty < 0 || ty >= th)
            continue;
        long long from = (long long)x + run.dx, to = from + run.len;
        const long long skip = from < 0 ? -from : 0;
        from += skip;
        to = std::min(to, tw);
        if (from >= to)
            continue;
        auto* d = reinterpret_cast<uint32_t*>(bits + ty * stride) + from;
        const long long n = to - from;
        if (!run.blend) {
            std::memcpy(d, pixels + run.offset + skip, size_t(n) * 4);
        } else {
            const uint32_t* p = pixels + run.offset + 2 * skip;
            for (long long k = 0; k < n; ++k)
                d[k] = (d[k] & p[2 * k]) | p[2 * k + 1] | kOpaque;
        }
    }
}

bool CRotatedImageCache::MakeRoom(size_t bytes)
{
    if (m_bytes + bytes <= m_budget)
        return true;
    // Oldest first, never what this frame has used; down to three quarters
    // of the budget so that the next misses do not sweep again at once.
    std::vector<std::pair<uint64_t, const Key*>> old;
    for (const auto& [key, sprite] : m_entries)
        if (sprite.lastUse < m_frame)
            old.emplace_back(sprite.lastUse, &key);
    std::sort(old.begin(), old.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const size_t goal = m_budget / 4 * 3;
    std::vector<Key> drop;
    size_t bytesLeft = m_bytes;
    for (const auto& [use, key] : old) {
        if (bytesLeft + bytes <= goal)
            break;
        bytesLeft -= m_entries.find(*key)->second.Bytes();
        drop.push_back(*key);
    }
    for (const Key& key : drop)
        m_entries.erase(key);
    if (!drop.empty())
        ++m_generation;
    m_bytes = bytesLeft;
    return m_bytes + bytes <= m_budget;
}

void CRotatedImageCache::Draw(QImage& target, int x, int y, int w, int h, const QImage& image, const QImage& mask,
                              int imageX, int imageY, double angleDegrees, Slot* slot)
{
    if (w <= 0 || h <= 0 || image.isNull() || mask.isNull() || target.isNull())
        return;
    if (target.format() != QImage::Format_RGB32 || angleDegrees != angleDegrees || w > kMaxSide || h > kMaxSide) {
        DrawRotatedMasked(target, x, y, w, h, image, mask, imageX, imageY, angleDegrees);
        return;
    }
    Key key;
    key.image = image.cacheKey();
    key.mask = mask.cacheKey();
    key.w = w;
    key.h = h;
    key.imageX = imageX;
    key.imageY = imageY;
    const double angle = angleDegrees == 0.0 ? 0.0 : angleDegrees;  // -0 draws as 0
    std::memcpy(&key.angleBits, &angle, sizeof angle);
    if (slot && slot->sprite && slot->generation == m_generation && slot->image == key.image &&
        slot->mask == key.mask && slot->w == w && slot->h == h && slot->imageX == imageX &&
        slot->imageY == imageY && slot->angleBits == key.angleBits) {
        ++m_hits;
        slot->sprite->lastUse = m_frame;
        Blit(target, x, y, *slot->sprite);
        return;
    }
    auto it = m_entries.find(key);
    if (it == m_entries.end()) {
        ++m_misses;
        Sprite sprite = Build(w, h, image, mask, imageX, imageY, angle);
        const size_t bytes = sprite.Bytes();
        if (!MakeRoom(bytes)) {
            Blit(target, x, y, sprite);
            if (slot)
                slot->sprite = nullptr;
            return;
        }
        m_bytes += bytes;
        it = m_entries.emplace(key, std::move(sprite)).first;
    } else {
        ++m_hits;
    }
    it->second.lastUse = m_frame;
    if (slot)
        *slot = {key.image, key.mask, w, h, imageX, imageY, key.angleBits, &it->second, m_generation};
    Blit(target, x, y, it->second);
}

void CRotatedImageCache::Clear()
{
    ++m_generation;
    m_entries.clear();
    m_bytes = 0;
}
