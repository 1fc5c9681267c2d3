#include "render/NamePictures.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace {
constexpr size_t kMaxLayouts = 200000;
}  // namespace

void CNamePictures::BeginFrame(const QFont& font)
{
    ++m_frame;
    // Layouts of names no longer in the plan go now and then.
    if (!m_haveFont || font != m_font || m_entries.size() >= kMaxLayouts) {
        m_entries.clear();
        m_bytes = m_pictures = 0;
        m_font = font;
        m_haveFont = true;
    }
}

CNamePictures::Entry& CNamePictures::Find(const std::string& name)
{
    auto it = m_entries.find(name);
    if (it == m_entries.end()) {
        const QFontMetrics fm(m_font);
        Entry entry;
        entry.size = QSize(fm.horizontalAdvance(QString::fromStdString(name)) + 2 * kHalo + 1,
                           fm.height() + 2 * kHalo);
        it = m_entries.emplace(name, std::move(entry)).first;
        it->second.text = &it->first;
    }
    it->second.lastUse = m_frame;
    return it->second;
}

const QImage& CNamePictures::PictureOf(Entry& entry)
{
    entry.lastUse = m_frame;
    if (entry.picture.isNull()) {
        const QString text = QString::fromStdString(*entry.text);
        const int baseline = kHalo + QFontMetrics(m_font).ascent();
        // The halo: the glyphs spread by one pixel each way, then given the
        // halo's colour and opacity through their coverage.
        QImage halo(entry.size, QImage::Format_ARGB32_Premultiplied);
        halo.fill(Qt::transparent);
        {
            QPainter p(&halo);
            p.setFont(m_font);
            p.setPen(Qt::white);
            for (int dy = -kHalo; dy <= kHalo; ++dy)
                for (int dx = -kHalo; dx <= kHalo; ++dx)
                    p.drawText(kHalo + dx, baseline + dy, text);
            p.setCompositionMode(QPainter::CompositionMode_SourceIn);
            p.fillRect(halo.rect(), m_halo);
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            p.setPen(QColor::fromRgb(m_text));
            p.drawText(kHalo, baseline, text);
        }
        entry.picture = std::move(halo);
        m_bytes += size_t(entry.picture.sizeInBytes());
        ++m_pictures;
        if (m_bytes > m_budget)
            Trim();
    }
    return entry.picture;
}

void CNamePictures::Trim()
{
    std::vector<std::pair<uint64_t, Entry*>> old;
    for (auto& [name, entry] : m_entries)
        if (!entry.picture.isNull() && entry.lastUse < m_frame)
            old.emplace_back(entry.lastUse, &entry);
    std::sort(old.begin(), old.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [use, entry] : old) {
        if (m_bytes <= m_budget / 4 * 3)
            break;
        m_bytes -= size_t(entry->picture.sizeInBytes());
        entry->picture = QImage();
        --m_pictures;
    }
}
