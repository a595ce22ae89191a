// Picture size, scale and border arithmetic. Sizes are whole pixels and
// whole percents: every result is rounded to the nearest integer, an exact
// half to the even neighbour, and kept within 0..65535.
#include "qxbasereport/image_format.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

constexpr double kMaxBorderPoints = 3.5;
constexpr int kMaxBorderTwips = 75;
constexpr int kTwipsPerPoint = 20;

std::uint16_t NearestWord(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<std::uint16_t>(std::clamp(std::nearbyint(v), 0.0, 65535.0));
}

}  // namespace

TQxImageFormat::TQxImageFormat(std::uint16_t x, std::uint16_t y) {
    SetSizeXY(x, y);
}

void TQxImageFormat::SetSizeXY(std::uint16_t x, std::uint16_t y) {
    FSizeX = x;
    FSizeY = y;
    FScaleX = FScaleY = 100;
    FSizeXmm = x * kMmPerPixel;
    FSizeYmm = y * kMmPerPixel;
}

void TQxImageFormat::SetScale(Axis own, Axis other, std::uint16_t value) {
    if (value == 0) value = 1;
    // A scale rounded down to 0 by an earlier change counts as 1, so that
    // the ratio stays finite.
    const double ratio = static_cast<double>(value) / std::max<std::uint16_t>(*own.scale, 1);
    *own.scale = value;
    *own.size = NearestWord(*own.size * ratio);
    *own.mm = ratio * *own.mm;
    if (!FProportional) return;
    *other.scale = NearestWord(ratio * *other.scale);
    *other.size = NearestWord(ratio * *other.size);
    *other.mm = ratio * *other.mm;
}

void TQxImageFormat::SetScaleX(std::uint16_t value) {
    SetScale(X(), Y(), value);
}
void TQxImageFormat::SetScaleY(std::uint16_t value) {
    SetScale(Y(), X(), value);
}

void TQxImageFormat::SetSizeMm(Axis own, Axis other, double value) {
    if (!(value > 0) || value == *own.mm) return;
    const double ratio = *own.mm > 0 ? value / *own.mm : 1.0;
    *own.mm = value;
    *own.size = NearestWord(*own.size * ratio);
    *own.scale = NearestWord(ratio * *own.scale);
    if (!FProportional) return;
    // The other dimension keeps whole millimetres.
    *other.mm = std::nearbyint(ratio * *other.mm);
    *other.size = NearestWord(ratio * *other.size);
    *other.scale = NearestWord(ratio * *other.scale);
}

void TQxImageFormat::SetSizeXmm(double value) {
    SetSizeMm(X(), Y(), value);
}
void TQxImageFormat::SetSizeYmm(double value) {
    SetSizeMm(Y(), X(), value);
}

void TQxImageFormat::FitScale(Axis own, Axis other, std::uint16_t pixels) {
    if (pixels == 0) pixels = 1;
    // The new scale is relative to the picture's own size, so that fitting
    // an already scaled picture still gives the size asked for. A picture
    // scaled to no pixels counts as one pixel wide.
    const double current = std::max<std::uint16_t>(*own.size, 1);
    SetScale(own, other, NearestWord(pixels / current * *own.scale));
}

void TQxImageFormat::FitScaleToX(std::uint16_t x) {
    FitScale(X(), Y(), x);
}
void TQxImageFormat::FitScaleToY(std::uint16_t y) {
    FitScale(Y(), X(), y);
}

void TQxImageFormat::SetBorder(const TQxImageBorder& value) {
    FBorder = value;
    if (FBorder.BrType > ibtHairline) FBorder.BrType = ibtNone;
    // A negative or undefined width is no border.
    const double points =
        std::isnan(value.Width) ? 0.0 : std::clamp<double>(value.Width, 0.0, kMaxBorderPoints);
    FBorderTwips = static_cast<std::uint8_t>(
        std::min<double>(std::nearbyint(points * kTwipsPerPoint), kMaxBorderTwips));
    if (FBorderTwips == 0) FBorder.BrType = ibtNone;
}

void TQxImageFormat::SetBorderType(TQxImageBorderType brType, float brWidth,
                                   std::uint16_t colorIndex) {
    SetBorder(TQxImageBorder{brType, brWidth, colorIndex});
}

}  // namespace qx
