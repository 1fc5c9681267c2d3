#pragma once

class QImage;

// Draws a unit image through its mask onto a target picture, rotated
// counter-clockwise on screen by `angleDegrees` about the image's centre.
// The mask is black where the image is opaque and white where it is
// transparent; every drawn pixel becomes ((dst ^ img) & mask) ^ img, the
// result of the classic invert/and/invert blit sequence.
//
// Angle exactly 0 copies the w x h block at (x, y). Otherwise each target
// pixel (i, j) of the rotated bounding box takes the source pixel
// u = trunc(cx + c(i - cx) + s(cy - j)), v = trunc(cy - c(cy - j) + s(i - cx))
// when it lies inside the image; other pixels stay as they are.
//
// The target must be Format_RGB32 or Format_ARGB32(_Premultiplied); image and
// mask may be any format (they are converted when needed). Pixels outside the
// target are clipped.
void DrawRotatedMasked(QImage& target, int x, int y, int w, int h, const QImage& image, const QImage& mask,
                       int imageX, int imageY, double angleDegrees);
