#include "engine/PlanContext.h"

#include "app/MessageReporter.h"
#include "app/UnitClassCatalog.h"

#include <QString>

IMessageReporter& PlanContext::Reporter() const
{
    return reporter ? *reporter : DefaultMessageReporter();
}

QImage CUnitImageCache::Get(const std::string& path)
{
    auto it = m_images.find(path);
    if (it == m_images.end())
        it = m_images.emplace(path, QImage(QString::fromStdString(path))).first;
    return it->second;
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
