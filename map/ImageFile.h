#pragma once

#include <QImage>

#include <cstdint>
#include <string>

// Reads a picture file for the model (a bitmap map, a unit's image or mask)
// without letting the file decide how much memory is taken: only regular
// files are opened (a pipe or device would block or never end), the size the
// header announces is checked against the limits before any pixel is decoded,
// and an uncompressed bitmap must hold every row its header announces.
struct ImageLimits {
    int maxSide = 65535;
    int64_t maxPixels = int64_t(128) * 1024 * 1024;
};

// `path` may use either separator. `format` forces a decoder ("bmp"); null
// lets the reader detect it. A null image when the file is missing, not a
// regular file, beyond the limits or not decodable; `error` then says which.
QImage ReadImageFile(const std::string& path, const char* format, const ImageLimits& limits,
                     std::string* error = nullptr);
