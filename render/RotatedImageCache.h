#pragma once

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

// Unit images drawn through their masks at an angle, kept as ready-made runs
// of pixels so that a repaint copies memory instead of mapping every pixel.
// Draw() puts exactly the pixels DrawRotatedMasked() would put. An entry is
// found by the image's and the mask's identity (QImage::cacheKey, which
// changes whenever a picture changes), the drawn size, the source offset and
// the exact angle; an entry whose image or angle is no longer asked for ages
// out. The entries stay within a memory budget: past it, the entries unused
// in the current frame are dropped first, and what still does not fit is
// drawn the plain way.
class CRotatedImageCache {
    struct Sprite;

public:
    // What a caller remembers of one drawing (say, per unit) to find its
    // entry again without a look-up; always checked before it is trusted.
    struct Slot {
        int64_t image = 0, mask = 0;
        int w = 0, h = 0, imageX = 0, imageY = 0;
        uint64_t angleBits = 0;
        const Sprite* sprite = nullptr;
        uint64_t generation = 0;
    };

    explicit CRotatedImageCache(size_t budgetBytes = size_t(128) << 20) : m_budget(budgetBytes) {}

    // Starts a repaint: entries used from here on belong to this frame.
    void BeginFrame() { ++m_frame; }

    // Same contract as DrawRotatedMasked(). Runs are used on Format_RGB32
    // targets (whose pixels are opaque by definition, so fully transparent
    // image pixels can be skipped); other targets are drawn the plain way.
    void Draw(QImage& target, int x, int y, int w, int h, const QImage& image, const QImage& mask, int imageX,
              int imageY, double angleDegrees, Slot* slot = nullptr);

    // Pixels covered by the rotated box relative to (x, y): the area
    // Draw() may touch, for culling. Empty when nothing would be drawn.
    static void Extent(int w, int h, double angleDegrees, int& left, int& top, int& right, int& bottom);

    void Clear();
    size_t EntryCount() const { return m_entries.size(); }
    size_t Bytes() const { return m_bytes; }
    uint64_t Hits() const { return m_hits; }
    uint64_t Misses() const { return m_misses; }

private:
    struct Key {
        int64_t image = 0, mask = 0;
        int w = 0, h = 0, imageX = 0, imageY = 0;
        uint64_t angleBits = 0;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const;
    };
    // A horizontal run of drawn pixels at (dx, dy) from the drawing origin.
    // Copy runs hold `len` finished pixels; blend runs hold `len` pairs
    // (mask bits, image bits outside the mask).
    struct Run {
        int16_t dx = 0, dy = 0;
        uint16_t len = 0;
        bool blend = false;
        uint32_t offset = 0;  // into Sprite::pixels
    };
    // Runs address pixels with 16 bits; larger pictures are drawn the plain way.
    static constexpr int kMaxSide = 2048;
    struct Sprite {
        std::vector<Run> runs;
        std::vector<uint32_t> pixels;
        mutable uint64_t lastUse = 0;
        size_t Bytes() const { return runs.capacity() * sizeof(Run) + pixels.capacity() * 4 + 96; }
    };

    static Sprite Build(int w, int h, const QImage& image, const QImage& mask, int imageX, int imageY,
                        double angleDegrees);
    static void Blit(QImage& target, int x, int y, const Sprite& sprite);
    // Makes room for `bytes` more; false when this frame alone fills the budget.
    bool MakeRoom(size_t bytes);

    std::unordered_map<Key, Sprite, KeyHash> m_entries;
    uint64_t m_generation = 1;  // changes whenever an entry goes (slots then look up again)
    size_t m_budget;
    size_t m_bytes = 0;
    uint64_t m_frame = 1;
    uint64_t m_hits = 0, m_misses = 0;
};
