#pragma once

#include "engine/PlanLayer.h"

#include <cstdint>

// Walks a layer under its shared gate for a view gesture; false when the gate
// was not obtained in time (the gesture then has no effect).
class SharedWalk {
public:
    SharedWalk(CPlanLayer* layer, uint32_t timeoutMs) : m_layer(layer)
    {
        m_locked = m_layer && m_layer->LockShared(timeoutMs);
    }
    ~SharedWalk()
    {
        if (m_locked)
            m_layer->UnlockShared();
    }
    SharedWalk(const SharedWalk&) = delete;
    SharedWalk& operator=(const SharedWalk&) = delete;
    explicit operator bool() const { return m_locked; }

private:
    CPlanLayer* m_layer;
    bool m_locked = false;
};
