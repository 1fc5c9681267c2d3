#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

// Unit names laid out once and kept as pictures: the text in its colour
// inside a light halo that lets it read on any map. Sizes are known without
// drawing (placement needs them for every name near the view); pictures are
// drawn only for names that are shown and stay within a memory budget,
// those unused in the current frame going first.
class CNamePictures {
public:
    static constexpr int kHalo = 1;  // pixels of halo around the glyphs

    CNamePictures(QRgb textColour, QColor haloColour, size_t budgetBytes = size_t(24) << 20)
        : m_text(textColour), m_halo(haloColour), m_budget(budgetBytes) {}

    // One name's layout; stays put until the next BeginFrame().
    struct Entry {
        QSize size;  // of the picture, halo included
        QImage picture;
        uint64_t lastUse = 0;
        const std::string* text = nullptr;
    };

    // Starts a repaint with `font`; a different font forgets every layout.
    void BeginFrame(const QFont& font);
    Entry& Find(const std::string& name);
    QSize SizeOf(const std::string& name) { return Find(name).size; }
    const QImage& PictureOf(Entry& entry);

    size_t PictureCount() const { return m_pictures; }

private:
    void Trim();

    QRgb m_text;
    QColor m_halo;
    size_t m_budget;
    QFont m_font;
    bool m_haveFont = false;
    std::unordered_map<std::string, Entry> m_entries;
    size_t m_bytes = 0, m_pictures = 0;
    uint64_t m_frame = 1;
};
