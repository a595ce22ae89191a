// Little-endian numbers in picture file headers, shared by the BMP reader
// and the metafile reader and writers (engine-internal).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/picture.h"

namespace qx {

// The `size`-byte number at `at`; EInvalidGraphic "<what> is truncated"
// when the bytes end before it.
inline std::uint32_t ReadLittleEndian(std::string_view bytes, std::size_t at, int size,
                                      const char* what) {
    if (at > bytes.size() || static_cast<std::size_t>(size) > bytes.size() - at)
        throw EInvalidGraphic(std::string(what) + " is truncated");
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return v;
}

inline void PutLittleEndian(std::string& out, std::uint32_t v, int size) {
    for (int i = 0; i < size; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace qx
