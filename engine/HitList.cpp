#include "engine/HitList.h"

void CHitList::Append(const HitRecord& record)
{
    std::lock_guard<std::mutex> lk(m_mutex);
    m_records.push_back(record);
}

size_t CHitList::Count() const
{
    std::lock_guard<std::mutex> lk(m_mutex);
    return m_records.size();
}

std::optional<HitRecord> CHitList::At(size_t position) const
{
    std::lock_guard<std::mutex> lk(m_mutex);
    if (position >= m_records.size())
        return std::nullopt;
    return m_records[position];
}

void CHitList::Clear()
{
    std::lock_guard<std::mutex> lk(m_mutex);
    m_records.clear();
}

std::vector<HitRecord> CHitList::Snapshot() const
{
    std::lock_guard<std::mutex> lk(m_mutex);
    return m_records;
}
