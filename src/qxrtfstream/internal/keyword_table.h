// The vocabulary of the fragment merger: the token kinds of its reader, the
// actions a control word can have, and the constant keyword table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qx {

// What the token reader found (values 0 to 7).
enum TQXkwType : std::uint8_t {
    kwNone,     // nothing usable: the end, a NUL byte, an incomplete escape
    kwOpen,     // {
    kwClose,    // }
    kwKeyDest,  // \*
    kwKeyWord,  // a control word
    kwKeyChar,  // \- \\ \_ \{ \} \~
    kwHexChar,  // \'hh
    kwChar,     // any other byte
};

// What happens to a control word (values 0 to 8).
enum TQXkwActionMethod : std::uint8_t {
    amSkip,          // dropped
    amSave,          // copied as read
    amSaveChange,    // copied with its number renumbered (by sub-code)
    amSaveRun,       // written by a rule of its own (\par, \bin)
    amSkipRun,       // remembered, not written (\deff)
    amSkipBlock,     // its whole group is dropped
    amSaveBlock,     // its whole group is copied byte for byte
    amReadBlockRun,  // its whole group is read as a font, colour or style table
    amSkipInTable,   // copied outside a report table, dropped inside one
};

// Sub-codes of the actions.
namespace KwProc {
inline constexpr std::uint16_t Deff = 1;
inline constexpr std::uint16_t FontTable = 2;
inline constexpr std::uint16_t Bin = 3;
inline constexpr std::uint16_t ColorTable = 4;
inline constexpr std::uint16_t StyleSheet = 5;
inline constexpr std::uint16_t Font = 6;
inline constexpr std::uint16_t Cb = 7;
inline constexpr std::uint16_t Colour = 8;
inline constexpr std::uint16_t Style = 9;
inline constexpr std::uint16_t CharStyle = 10;
inline constexpr std::uint16_t SectionStyle = 11;
inline constexpr std::uint16_t Plain = 12;
inline constexpr std::uint16_t Highlight = 13;
inline constexpr std::uint16_t Row = 14;
inline constexpr std::uint16_t Pnf = 15;
inline constexpr std::uint16_t Pard = 16;
inline constexpr std::uint16_t CellColour = 17;
inline constexpr std::uint16_t Par = 18;
inline constexpr std::uint16_t TableStyle = 19;
}  // namespace KwProc

// One row of the keyword table: the control word with its backslash, in
// lower case, its action and the action's sub-code.
struct TQXkwAction {
    std::string_view n;
    TQXkwActionMethod a;
    std::uint16_t proc;
};

using TActionArray = std::array<TQXkwAction, 650>;

// Sorted by `n` in ascending byte order.
extern const TActionArray kwtable;

}  // namespace qx
