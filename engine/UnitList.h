#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>

class CUnitCanLoad;

// The units of a layer in insertion order, owned by the list.
//
// Appending is safe while other threads walk the list under the layer gate
// held shared (the clock thread appends fire units during a tick while the
// view draws): entries live in segments that never move, and a walker sees an
// appended unit once it reads the new size. A walk by index therefore reaches
// units appended during the walk. Removing requires the gate held
// exclusively; later entries then move down one place.
class CUnitList {
public:
    CUnitList() = default;
    ~CUnitList();
    CUnitList(const CUnitList&) = delete;
    CUnitList& operator=(const CUnitList&) = delete;

    size_t Size() const { return m_size.load(std::memory_order_acquire); }
    // i < a Size() read before.
    CUnitCanLoad* At(size_t i) const { return Slot(i); }

    void Append(std::unique_ptr<CUnitCanLoad> unit);
    std::unique_ptr<CUnitCanLoad> RemoveAt(size_t i);
    // Inserts before entry i (i <= Size()). Like removing, it moves later
    // entries, so it requires the gate held exclusively.
    void InsertAt(size_t i, std::unique_ptr<CUnitCanLoad> unit);
    // Index of `unit`, looking at `hint` first; npos when it is not in the list.
    size_t IndexOf(const CUnitCanLoad* unit, size_t hint = 0) const;
    void DeleteAll();

    static constexpr size_t npos = size_t(-1);

private:
    static constexpr size_t kFirstSegment = 64;  // segment k holds kFirstSegment << k entries
    static constexpr int kSegments = 40;

    CUnitCanLoad*& Slot(size_t i) const;

    std::unique_ptr<CUnitCanLoad*[]> m_segments[kSegments];
    std::atomic<size_t> m_size{0};
    std::mutex m_changeMutex;  // appenders among themselves
};
