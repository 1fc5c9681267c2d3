#pragma once

#include <cmath>
#include <cstdint>

// Deterministic value noise: the same picture on every machine and run, which
// std:: random distributions do not promise.
namespace mkdata::noise {

inline uint32_t hash(int32_t x, int32_t y, uint32_t seed)
{
    uint32_t h = seed * 0x9E3779B9u + 0x7F4A7C15u;
    h ^= uint32_t(x) * 0x85EBCA6Bu;
    h = ((h << 13) | (h >> 19)) * 5u + 0xE6546B64u;
    h ^= uint32_t(y) * 0xC2B2AE35u;
    h = ((h << 13) | (h >> 19)) * 5u + 0xE6546B64u;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

// In [0, 1].
inline double lattice(int32_t x, int32_t y, uint32_t seed)
{
    return double(hash(x, y, seed)) / 4294967295.0;
}

// Smoothly interpolated lattice values, in [0, 1].
inline double value(double x, double y, uint32_t seed)
{
    const double fx = std::floor(x), fy = std::floor(y);
    const auto ix = int32_t(fx), iy = int32_t(fy);
    double tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const double a = lattice(ix, iy, seed), b = lattice(ix + 1, iy, seed);
    const double c = lattice(ix, iy + 1, seed), d = lattice(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) * (1 - ty) + (c + (d - c) * tx) * ty;
}

// Fractal sum of octaves, in [0, 1], mean about 0.5.
inline double fbm(double x, double y, uint32_t seed, int octaves)
{
    double sum = 0, amp = 1, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * value(x, y, seed + uint32_t(i) * 101u);
        norm += amp;
        amp *= 0.5;
        x *= 2.03;
        y *= 2.03;
    }
    return sum / norm;
}

} // namespace mkdata::noise
