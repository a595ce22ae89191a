// What a function, built-in or user-defined, returns: a report value, a
// picture or a memory stream (an RTF fragment).
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

namespace qx {

// Kind of object a function returns. Kept as a one-byte number rather than a
// closed enum because a user-defined function may carry any value and the
// evaluator refuses the unknown ones.
using TQxUDFResultType = std::uint8_t;
inline constexpr TQxUDFResultType udfrNil = 0;
inline constexpr TQxUDFResultType udfrTQxReportVariable = 1;
inline constexpr TQxUDFResultType udfrTPicture = 2;
inline constexpr TQxUDFResultType udfrTMemoryStream = 3;

// A set of result kinds (one flag per possible byte value).
struct TQxUDFResultTypes {
    std::array<std::uint64_t, 4> bits{};

    constexpr TQxUDFResultTypes() = default;
    constexpr TQxUDFResultTypes(std::initializer_list<TQxUDFResultType> kinds) {
        for (TQxUDFResultType k : kinds) bits[k / 64] |= std::uint64_t{1} << (k % 64);
    }
    constexpr bool Contains(TQxUDFResultType k) const { return (bits[k / 64] >> (k % 64)) & 1U; }
};

}  // namespace qx
