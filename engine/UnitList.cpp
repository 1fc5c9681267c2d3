#include "engine/UnitList.h"

#include "engine/Units.h"

#include <bit>

CUnitList::~CUnitList()
{
    DeleteAll();
}

CUnitCanLoad*& CUnitList::Slot(size_t i) const
{
    const size_t block = i / kFirstSegment + 1;
    const int k = int(std::bit_width(block)) - 1;
    const size_t offset = i - kFirstSegment * ((size_t(1) << k) - 1);
    return m_segments[k][offset];
}

void CUnitList::Append(std::unique_ptr<CUnitCanLoad> unit)
{
    std::lock_guard lock(m_changeMutex);
    const size_t n = m_size.load(std::memory_order_relaxed);
    const size_t block = n / kFirstSegment + 1;
    const int k = int(std::bit_width(block)) - 1;
    if (!m_segments[k])
        m_segments[k].reset(new CUnitCanLoad*[kFirstSegment << k]);
    Slot(n) = unit.release();
    // Publishes the entry (and a new segment) to walkers that read the size.
    m_size.store(n + 1, std::memory_order_release);
}

std::unique_ptr<CUnitCanLoad> CUnitList::RemoveAt(size_t i)
{
    std::lock_guard lock(m_changeMutex);
    const size_t n = m_size.load(std::memory_order_relaxed);
    if (i >= n)
        return nullptr;
    std::unique_ptr<CUnitCanLoad> unit(Slot(i));
    for (size_t j = i + 1; j < n; ++j)
        Slot(j - 1) = Slot(j);
    m_size.store(n - 1, std::memory_order_release);
    return unit;
}

void CUnitList::InsertAt(size_t i, std::unique_ptr<CUnitCanLoad> unit)
{
    std::lock_guard lock(m_changeMutex);
    const size_t n = m_size.load(std::memory_order_relaxed);
    if (i > n)
        i = n;
    const size_t block = n / kFirstSegment + 1;
    const int k = int(std::bit_width(block)) - 1;
    if (!m_segments[k])
        m_segments[k].reset(new CUnitCanLoad*[kFirstSegment << k]);
    for (size_t j = n; j > i; --j)
        Slot(j) = Slot(j - 1);
    Slot(i) = unit.release();
    m_size.store(n + 1, std::memory_order_release);
}

size_t CUnitList::IndexOf(const CUnitCanLoad* unit, size_t hint) const
{
    const size_t n = Size();
    if (hint < n && Slot(hint) == unit)
        return hint;
    for (size_t i = 0; i < n; ++i)
        if (Slot(i) == unit)
            return i;
    return npos;
}

void CUnitList::DeleteAll()
{
    std::lock_guard lock(m_changeMutex);
    const size_t n = m_size.load(std::memory_order_relaxed);
    for (size_t i = 0; i < n; ++i)
        delete Slot(i);
    m_size.store(0, std::memory_order_release);
    for (auto& segment : m_segments)
        segment.reset();
}
