#include "engine/PlanContext.h"

#include "config/MessageReporter.h"
#include "config/UnitClassCatalog.h"
#include "map/ImageFile.h"

#include <QString>

IMessageReporter& PlanContext::Reporter() const
{
    return reporter ? *reporter : DefaultMessageReporter();
}

QImage CUnitImageCache::Get(const std::string& path)
{
    auto it = m_images.find(path);
    if (it == m_images.end())
        it = m_images.emplace(path, Load(path)).first;
    return it->second;
}

QImage CUnitImageCache::Load(const std::string& path)
{
    // Windows bitmaps only, as the image folders hold: other decoders reached
    // through a unit's stored path would widen what a plan file can make us parse
    // (a 332-byte PNG made the PNG decoder take seconds and gigabytes).
    return ReadImageFile(path, "bmp", {kMaxSide, kMaxPixels});
}

UnitClassInfo* PlanReadState::FindClass(const std::string& classId)
{
    if (!m_context.catalog)
        return nullptr;
    auto it = m_classes.find(classId);
    if (it == m_classes.end())
        it = m_classes.emplace(classId, m_context.catalog->FindUnitClassById(classId)).first;
    return it->second;
}
