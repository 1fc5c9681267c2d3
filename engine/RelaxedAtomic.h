#pragma once

#include <atomic>
#include <type_traits>

// A value that one thread changes while others read it, where each read only
// needs some recent value and no ordering with other fields: the position,
// heading and visibility flags of a unit, written by playback on the clock
// thread and read by painting on the user-interface thread (both hold the
// layer gate shared). Reads and writes are single relaxed atomic operations,
// so they cost what plain loads and stores cost and are never torn.
//
// It reads and assigns like the plain value. Read-modify-write operations are
// atomic too, but callers should keep one writer per field.
template <class T>
class RelaxedAtomic {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    RelaxedAtomic(T value = T()) noexcept : m_value(value) {}
    RelaxedAtomic(const RelaxedAtomic& other) noexcept : m_value(other.load()) {}
    RelaxedAtomic& operator=(const RelaxedAtomic& other) noexcept
    {
        store(other.load());
        return *this;
    }
    RelaxedAtomic& operator=(T value) noexcept
    {
        store(value);
        return *this;
    }

    T load() const noexcept { return m_value.load(std::memory_order_relaxed); }
    void store(T value) noexcept { m_value.store(value, std::memory_order_relaxed); }
    operator T() const noexcept { return load(); }

    T operator->() const noexcept
        requires std::is_pointer_v<T>
    {
        return load();
    }
    RelaxedAtomic& operator++() noexcept
        requires std::is_integral_v<T>
    {
        m_value.fetch_add(1, std::memory_order_relaxed);
        return *this;
    }

private:
    std::atomic<T> m_value;
};
