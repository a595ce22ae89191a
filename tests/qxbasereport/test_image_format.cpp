// The picture size, scale and border arithmetic an application drives from
// OnImageFormat.
#include <gtest/gtest.h>

#include <cmath>

#include "qxbasereport/image_format.h"

using namespace qx;

namespace {
constexpr double kMm = TQxImageFormat::kMmPerPixel;
}

TEST(ImageFormat, CreateFillsSizesFromPixels) {
    const TQxImageFormat f(200, 100);
    EXPECT_EQ(f.SizeX(), 200);
    EXPECT_EQ(f.SizeY(), 100);
    EXPECT_EQ(f.ScaleX(), 100);
    EXPECT_EQ(f.ScaleY(), 100);
    EXPECT_DOUBLE_EQ(f.SizeXmm(), 200 * kMm);
    EXPECT_DOUBLE_EQ(f.SizeYmm(), 100 * kMm);
    EXPECT_TRUE(f.Proportional());
    EXPECT_EQ(f.Border().BrType, ibtNone);
    EXPECT_EQ(f.BorderTwips(), 0);
}

TEST(ImageFormat, ScaleOnAProportionalFormatChangesBothDimensions) {
    TQxImageFormat f(200, 100);
    f.SetScaleX(50);
    EXPECT_EQ(f.ScaleX(), 50);
    EXPECT_EQ(f.ScaleY(), 50);
    EXPECT_EQ(f.SizeX(), 100);
    EXPECT_EQ(f.SizeY(), 50);
    EXPECT_DOUBLE_EQ(f.SizeXmm(), 100 * kMm);
    EXPECT_DOUBLE_EQ(f.SizeYmm(), 50 * kMm);
    // Back to full size: the ratio is taken from the current scale.
    f.SetScaleY(100);
    EXPECT_EQ(f.SizeX(), 200);
    EXPECT_EQ(f.SizeY(), 100);
    EXPECT_DOUBLE_EQ(f.SizeXmm(), 200 * kMm);
}

TEST(ImageFormat, ScaleOfOneDimensionOnly) {
    TQxImageFormat f(200, 100);
    f.SetProportional(false);
    f.SetScaleY(300);
    EXPECT_EQ(f.SizeY(), 300);
    EXPECT_EQ(f.ScaleY(), 300);
    EXPECT_EQ(f.SizeX(), 200);
    EXPECT_EQ(f.ScaleX(), 100);
    // A scale of 0 counts as 1 percent.
    f.SetScaleX(0);
    EXPECT_EQ(f.ScaleX(), 1);
    EXPECT_EQ(f.SizeX(), 2);
}

TEST(ImageFormat, RoundingGoesToTheEvenNeighbour) {
    TQxImageFormat f(5, 3);
    f.SetScaleX(50);  // 2.5 -> 2, 1.5 -> 2
    EXPECT_EQ(f.SizeX(), 2);
    EXPECT_EQ(f.SizeY(), 2);
}

TEST(ImageFormat, ScalesRoundedToZeroStayUsable) {
    TQxImageFormat f(400, 400);
    f.SetProportional(false);
    f.SetScaleY(1);
    f.SetProportional(true);
    f.SetScaleX(1);  // the other scale becomes nearest(0.01) = 0
    EXPECT_EQ(f.ScaleY(), 0);
    EXPECT_EQ(f.SizeY(), 0);
    f.SetScaleY(50);  // from a scale of 0, taken as 1
    EXPECT_EQ(f.ScaleY(), 50);
    EXPECT_EQ(f.ScaleX(), 50);
    EXPECT_EQ(f.SizeX(), 200);
    f.SetScaleX(65535);  // sizes are kept within a word
    EXPECT_EQ(f.SizeX(), 65535);
    EXPECT_EQ(f.ScaleY(), 65535);
    EXPECT_TRUE(std::isfinite(f.SizeYmm()));
}

TEST(ImageFormat, SetSizeXYResetsScales) {
    TQxImageFormat f(200, 100);
    f.SetScaleX(30);
    f.SetSizeXY(40, 80);
    EXPECT_EQ(f.ScaleX(), 100);
    EXPECT_EQ(f.ScaleY(), 100);
    EXPECT_EQ(f.SizeX(), 40);
    EXPECT_DOUBLE_EQ(f.SizeYmm(), 80 * kMm);
}

TEST(ImageFormat, MillimetreSizes) {
    TQxImageFormat f(200, 100);  // 52.92 x 26.46 mm
    f.SetSizeXmm(105.83877227);  // twice as wide
    EXPECT_DOUBLE_EQ(f.SizeXmm(), 105.83877227);
    EXPECT_EQ(f.SizeX(), 400);
    EXPECT_EQ(f.ScaleX(), 200);
    EXPECT_EQ(f.SizeY(), 200);
    EXPECT_EQ(f.ScaleY(), 200);
    // The other dimension is rounded to whole millimetres.
    EXPECT_DOUBLE_EQ(f.SizeYmm(), 53);

    const TQxImageFormat before = f;
    for (double ignored : {0.0, -5.0, 105.83877227}) {
        SCOPED_TRACE(ignored);
        f.SetSizeXmm(ignored);
        EXPECT_EQ(f.SizeX(), before.SizeX());
        EXPECT_DOUBLE_EQ(f.SizeXmm(), before.SizeXmm());
    }

    TQxImageFormat g(200, 100);
    g.SetProportional(false);
    g.SetSizeYmm(13.2298465338);  // half as high
    EXPECT_EQ(g.SizeY(), 50);
    EXPECT_EQ(g.ScaleY(), 50);
    EXPECT_EQ(g.SizeX(), 200);
}

TEST(ImageFormat, FitScaleToAWidthOrHeight) {
    TQxImageFormat f(200, 100);
    // Fitting an already scaled picture still gives the size asked for.
    f.FitScaleToX(50);
    EXPECT_EQ(f.ScaleX(), 25);
    EXPECT_EQ(f.SizeX(), 50);
    EXPECT_EQ(f.SizeY(), 25);
    f.FitScaleToY(100);
    EXPECT_EQ(f.SizeY(), 100);
    EXPECT_EQ(f.SizeX(), 200);
    // A target of 0 counts as one pixel.
    f.FitScaleToX(0);
    EXPECT_EQ(f.SizeX(), 2);  // scale nearest(1/200*100) = 0 -> 1 percent
}

TEST(ImageFormat, Borders) {
    struct Case {
        TQxImageBorderType type;
        float width;
        TQxImageBorderType wantType;
        int wantTwips;
    };
    const Case cases[] = {
        {ibtDouble, 10, ibtDouble, 70},    // wider than 3.5 points
        {ibtSingle, 0, ibtNone, 0},        // no width: no border
        {ibtSingle, 0.02f, ibtNone, 0},    // under half a twip
        {ibtDotted, 1.5f, ibtDotted, 30},  //
        {ibtHairline, 0.5f, ibtHairline, 10},
        {ibtThick, -2, ibtNone, 0},  // negative widths are no border
        {ibtSingle, std::nanf(""), ibtNone, 0},
        {static_cast<TQxImageBorderType>(9), 1, ibtNone, 20},  // unknown style
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.type) << " " << c.width);
        TQxImageFormat f(10, 10);
        f.SetBorderType(c.type, c.width, 3);
        EXPECT_EQ(f.Border().BrType, c.wantType);
        EXPECT_EQ(f.BorderTwips(), c.wantTwips);
        EXPECT_EQ(f.Border().ColorIndex, 3);
        if (!std::isnan(c.width)) {
            EXPECT_EQ(f.Border().Width, c.width);  // kept as given
        }
    }
}
