#pragma once

#include "engine/EventSink.h"

#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

// The pending hits: appended on the clock thread by the hit check, read and
// emptied on the user-interface thread by the hit alarm. Every access takes
// the list's lock for a moment only. Records are only ever appended or all
// removed at once, so a position (index) stays valid until the next Clear.
class CHitList {
public:
    void Append(const HitRecord& record);
    size_t Count() const;
    // The record at a position; empty when the position is past the end.
    std::optional<HitRecord> At(size_t position) const;
    bool HasNext(size_t position) const { return position + 1 < Count(); }
    static bool HasPrevious(size_t position) { return position > 0; }
    // Removes every record (the operator acknowledged them).
    void Clear();
    std::vector<HitRecord> Snapshot() const;

private:
    mutable std::mutex m_mutex;
    std::vector<HitRecord> m_records;
};
