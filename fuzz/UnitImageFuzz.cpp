// Unit images: the image and mask a unit loads from its stored paths, drawn
// rotated through the mask as the plan view draws units.

#include "FuzzSupport.h"

#include "engine/PlanContext.h"
#include "engine/Units.h"
#include "render/DrawRotatedMasked.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::EnsureApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzsupport::EnsureApplication();
    static const std::string mask = fuzzsupport::WriteSmallBitmap("NormalBitmap/fixed_Mask.bmp", 12, 9);
    fuzzsupport::WriteScratch("NormalBitmap/input.bmp", data, size);

    UnitSingleSimple unit;
    unit.m_UnitBitmap = "NormalBitmap\\input.bmp";
    unit.m_UnitBitmapMask = "NormalBitmap\\fixed_Mask.bmp";
    CUnitImageCache cache;
    unit.LoadBitmaps(fuzzsupport::ScratchDir(), &cache);
    if (!unit.m_Image.isNull() && (unit.m_ImageWidth != unit.m_Image.width() || unit.m_ImageHeight != unit.m_Image.height()))
        fuzzsupport::Broken("image size fields disagree with the image");

    QImage target(48, 40, QImage::Format_RGB32);
    target.fill(Qt::white);
    const double angle = size ? double(data[size - 1]) * 1.7 - 100.0 : 0.0;
    if (!unit.m_Image.isNull()) {
        DrawRotatedMasked(target, 5, 3, unit.m_ImageWidth, unit.m_ImageHeight, unit.m_Image, unit.m_Mask, 0, 0, angle);
        // The input as its own mask, and as the mask of the fixed image.
        DrawRotatedMasked(target, -3, 10, unit.m_ImageWidth, unit.m_ImageHeight, unit.m_Image, unit.m_Image, 0, 0, 0.0);
        DrawRotatedMasked(target, 20, 20, 12, 9, unit.m_Mask, unit.m_Image, 0, 0, angle);
    }
    // Without the cache: the path every single unit takes when created on the map.
    unit.LoadBitmaps(fuzzsupport::ScratchDir(), nullptr);
    return 0;
}
