// The font of the text at a template position, followed forward through
// the groups, \fN and \plain of the template: a value written at a field
// is read in that font, through that font's character set.
#pragma once

#include <cstdint>
#include <vector>

namespace qx::rtf {

class TFontTracker {
  public:
    // Starts again at the beginning of a template.
    void Reset();
    // The number of the font in effect just before 1-based position `pnt`
    // of `data` (the default font, \deffN, when none was chosen; -1 when
    // the template names none). Reads on from where the last call stopped:
    // positions must not go back.
    int FontAt(const std::uint8_t* data, std::int32_t length, std::int32_t pnt);

  private:
    // Reads the control word or symbol after the backslash at FPos.
    void ControlWord(const std::uint8_t* data, std::int32_t length);

    std::int32_t FPos = 0;  // 0-based index of the next byte to read
    int FFont = -1;         // -1: the default font
    int FDefault = -1;
    std::vector<int> FStack;  // the font of each open group's parent
};

}  // namespace qx::rtf
