// TQxImageFormat: the size, scale and border of one picture in the report.
// The report fills one from the picture and hands it to OnImageFormat, where
// the application may change it through these operations or assign another
// format to it.
#pragma once

#include <cstdint>

#include "platform/component.h"

namespace qx {

// Border styles, in the order of their RTF words.
enum TQxImageBorderType : std::uint8_t {
    ibtNone = 0,
    ibtSingle = 1,
    ibtDouble = 2,
    ibtThick = 3,
    ibtShadow = 4,
    ibtDotted = 5,
    ibtHairline = 6,
};

struct TQxImageBorder {
    TQxImageBorderType BrType = ibtNone;
    float Width = 0;               // points
    std::uint16_t ColorIndex = 0;  // into the template's colour table
};

class TQxImageFormat : public TObject {
  public:
    // Millimetres per screen pixel.
    static constexpr double kMmPerPixel = 0.264596930676;

    TQxImageFormat(std::uint16_t x, std::uint16_t y);
    ~TQxImageFormat() override = default;
    TQxImageFormat(const TQxImageFormat&) = default;
    TQxImageFormat& operator=(const TQxImageFormat&) = default;

    std::uint16_t SizeX() const { return FSizeX; }
    std::uint16_t SizeY() const { return FSizeY; }
    std::uint16_t ScaleX() const { return FScaleX; }
    std::uint16_t ScaleY() const { return FScaleY; }
    double SizeXmm() const { return FSizeXmm; }
    double SizeYmm() const { return FSizeYmm; }
    const TQxImageBorder& Border() const { return FBorder; }
    std::uint8_t BorderTwips() const { return FBorderTwips; }
    bool Proportional() const { return FProportional; }
    void SetProportional(bool value) { FProportional = value; }

    // Scales in percent of the picture's own size; the pixel and millimetre
    // sizes follow, and with Proportional the other dimension too.
    void SetScaleX(std::uint16_t value);
    void SetScaleY(std::uint16_t value);
    // New pixel sizes at 100 percent.
    void SetSizeXY(std::uint16_t x, std::uint16_t y);
    // New millimetre sizes; zero or negative values are ignored.
    void SetSizeXmm(double value);
    void SetSizeYmm(double value);
    // Scales so that the picture is `x` (or `y`) pixels wide (high).
    void FitScaleToX(std::uint16_t x);
    void FitScaleToY(std::uint16_t y);
    // Width in points, up to 3.5; a width that comes to no twips is no border.
    void SetBorder(const TQxImageBorder& value);
    void SetBorderType(TQxImageBorderType brType, float brWidth, std::uint16_t colorIndex);

  private:
    // One axis of the picture: the operations are the same for both.
    struct Axis {
        double* mm;
        std::uint16_t* size;
        std::uint16_t* scale;
    };
    Axis X() { return {&FSizeXmm, &FSizeX, &FScaleX}; }
    Axis Y() { return {&FSizeYmm, &FSizeY, &FScaleY}; }
    void SetScale(Axis own, Axis other, std::uint16_t value);
    void SetSizeMm(Axis own, Axis other, double value);
    void FitScale(Axis own, Axis other, std::uint16_t pixels);

    double FSizeXmm = 0;
    double FSizeYmm = 0;
    std::uint16_t FSizeX = 0;
    std::uint16_t FSizeY = 0;
    std::uint16_t FScaleX = 100;
    std::uint16_t FScaleY = 100;
    TQxImageBorder FBorder;
    std::uint8_t FBorderTwips = 0;
    bool FProportional = true;
};

}  // namespace qx
