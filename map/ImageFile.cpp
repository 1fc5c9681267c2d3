#include "map/ImageFile.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cstdlib>

namespace {

// Qt's own allocation guard for image readers, in megabytes: above the pixel
// limit's need, so that limit decides.
constexpr int kReaderAllocationLimitMb = 640;

uint32_t ReadLe32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// An uncompressed bitmap must hold all the rows its header announces. Checked
// before decoding, so a damaged or hostile header cannot make the reader
// allocate a huge image for a small file. Compressed and unusual headers are
// left to the reader (bounded by the pixel limit).
bool BitmapFileHoldsItsPixels(QIODevice& file)
{
    const QByteArray head = file.peek(34);
    if (head.size() < 34 || head[0] != 'B' || head[1] != 'M')
        return true;
    const auto* p = reinterpret_cast<const unsigned char*>(head.constData());
    const uint32_t dataOffset = ReadLe32(p + 10);
    const uint32_t infoSize = ReadLe32(p + 14);
    if (infoSize < 40)
        return true;
    const int64_t width = int32_t(ReadLe32(p + 18));
    const int64_t height = int32_t(ReadLe32(p + 22));
    const int bitsPerPixel = p[28] | p[29] << 8;
    const uint32_t compression = ReadLe32(p + 30);
    if (compression != 0 && compression != 3)  // BI_RGB, BI_BITFIELDS
        return true;
    // Below 2^31 x 2^16 + 31: no overflow.
    const int64_t stride = (std::abs(width) * bitsPerPixel + 31) / 32 * 4;
    const int64_t available = file.size() - int64_t(dataOffset);
    if (available < 0)
        return false;
    // Some writers leave out the padding of the last row; tolerate that much.
    // Divided, not multiplied: stride x rows overflows for absurd headers.
    const int64_t rows = std::max<int64_t>(std::abs(height) - 1, 0);
    return rows == 0 || stride <= available / rows;
}

QImage Fail(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
    return {};
}

}  // namespace

QImage ReadImageFile(const std::string& path, const char* format, const ImageLimits& limits, std::string* error)
{
    std::string slashed = path;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    const QString qpath = QString::fromStdString(slashed);
    const QFileInfo info(qpath);
    if (slashed.empty() || !info.exists())
        return Fail(error, "no such file: '" + path + "'");
    // Also refuses pipes and devices, which a plain open would wait on or read for ever.
    if (!info.isFile())
        return Fail(error, "'" + path + "' is not a file");
    QFile file(qpath);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(error, "cannot open '" + path + "': " + file.errorString().toStdString());
    if (!BitmapFileHoldsItsPixels(file))
        return Fail(error, "'" + path + "' holds fewer pixels than its header announces");
    QImageReader reader(&file, format);
    reader.setAllocationLimit(kReaderAllocationLimitMb);
    // The header's size is checked before any pixel memory is taken.
    const QSize size = reader.size();
    if (!size.isValid() || size.width() <= 0 || size.height() <= 0 || size.width() > limits.maxSide ||
        size.height() > limits.maxSide || int64_t(size.width()) * size.height() > limits.maxPixels)
        return Fail(error, "'" + path + "': unreadable or too large picture");
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return Fail(error, "'" + path + "': " + reader.errorString().toStdString());
    return image;
}
