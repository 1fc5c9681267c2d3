#pragma once

// Move-only owners of GDAL/OGR C handles, so that every early return frees
// what was opened.

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <utility>

namespace cartolink {

template <typename H, void (*Free)(H)>
class GdalHandle {
public:
    GdalHandle() = default;
    explicit GdalHandle(H h) : m_h(h) {}
    ~GdalHandle() { reset(); }
    GdalHandle(const GdalHandle&) = delete;
    GdalHandle& operator=(const GdalHandle&) = delete;
    GdalHandle(GdalHandle&& o) noexcept : m_h(std::exchange(o.m_h, nullptr)) {}
    GdalHandle& operator=(GdalHandle&& o) noexcept
    {
        if (this != &o) {
            reset();
            m_h = std::exchange(o.m_h, nullptr);
        }
        return *this;
    }
    H get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    void reset(H h = nullptr)
    {
        if (m_h)
            Free(m_h);
        m_h = h;
    }
    H release() { return std::exchange(m_h, nullptr); }

private:
    H m_h = nullptr;
};

namespace detail {
inline void closeDataset(GDALDatasetH h) { GDALClose(h); }
inline void destroyFeature(OGRFeatureH h) { OGR_F_Destroy(h); }
inline void destroyGeometry(OGRGeometryH h) { OGR_G_DestroyGeometry(h); }
inline void releaseSrs(OGRSpatialReferenceH h) { OSRRelease(h); }
inline void destroyTransform(OGRCoordinateTransformationH h) { OCTDestroyCoordinateTransformation(h); }
} // namespace detail

using DatasetHandle = GdalHandle<GDALDatasetH, detail::closeDataset>;
using FeatureHandle = GdalHandle<OGRFeatureH, detail::destroyFeature>;
using GeometryHandle = GdalHandle<OGRGeometryH, detail::destroyGeometry>;
using SrsHandle = GdalHandle<OGRSpatialReferenceH, detail::releaseSrs>;
using TransformHandle = GdalHandle<OGRCoordinateTransformationH, detail::destroyTransform>;

} // namespace cartolink
