// Small pieces of RTF syntax shared by the scanner, the document-table
// readers and the field-text splitter: character classes and the walk to
// the end of a group. They work on template bytes and on decoded text alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qx::rtf {

template <class Ch>
constexpr bool IsAsciiLetter(Ch c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

template <class Ch>
constexpr bool IsAsciiDigit(Ch c) {
    return c >= '0' && c <= '9';
}

template <class Ch>
constexpr int HexValue(Ch c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    return -1;
}

// Reads the unsigned decimal number at s[pos..end) and moves pos past its
// digits. Values too large for a template are held at the ceiling, so a
// hostile number cannot overflow.
template <class Ch>
std::int64_t ReadNumber(const Ch* s, std::size_t& pos, std::size_t end) {
    constexpr std::int64_t kCeiling = 0x7FFFFFFF;
    std::int64_t value = 0;
    while (pos < end && IsAsciiDigit(s[pos])) {
        value = value * 10 + static_cast<std::int64_t>(s[pos] - '0');
        if (value > kCeiling) value = kCeiling;
        ++pos;
    }
    return value;
}

// Given the index just after a group's opening brace, answers the index
// just after its matching closing brace, or `end` when the text ends first
// (`closed` tells which). Escaped braces and backslashes (\{ \} \\) are
// text, and the N bytes of binary data after \binN are passed over unread,
// so neither can unbalance the count.
template <class Ch>
std::size_t GroupEnd(const Ch* s, std::size_t pos, std::size_t end, bool& closed) {
    int depth = 1;
    closed = false;
    while (pos < end) {
        const Ch c = s[pos++];
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0) {
                closed = true;
                return pos;
            }
        } else if (c == '\\' && pos < end) {
            const Ch d = s[pos];
            if (d == '{' || d == '}' || d == '\\') {
                ++pos;
            } else if (end - pos > 3 && s[pos] == 'b' && s[pos + 1] == 'i' && s[pos + 2] == 'n' &&
                       IsAsciiDigit(s[pos + 3])) {
                pos += 3;
                const std::int64_t count = ReadNumber(s, pos, end);
                if (pos < end && s[pos] == ' ') ++pos;
                pos += static_cast<std::size_t>(
                    count < static_cast<std::int64_t>(end - pos) ? count : end - pos);
            }
        }
    }
    return end;
}

}  // namespace qx::rtf
