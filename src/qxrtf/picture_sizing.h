// A picture's size and border given as text, as the tool's --picture option
// and the settings document give them: "40mm", "40mmx30mm", "height=2in",
// "50%", "border=single:1pt:2", joined by commas. Applied through the same
// TQxImageFormat operations an OnImageFormat handler uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "qxbasereport/image_format.h"

namespace qx {

struct TQxPictureSizing {
    std::string text;    // as given
    double widthMm = 0;  // 0: not given
    double heightMm = 0;
    std::uint16_t scale = 0;  // percent; 0: not given
    std::optional<TQxImageBorder> border;

    bool GivesSize() const { return widthMm > 0 || heightMm > 0 || scale > 0; }
    // A width alone or a height alone keeps the aspect ratio; both set it.
    void ApplyTo(TQxImageFormat& format) const;
};

// Raises Exception naming the part of `text` that is not understood.
TQxPictureSizing ParsePictureSizing(const std::string& text);

}  // namespace qx
