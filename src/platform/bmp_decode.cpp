// BMP files: the Windows device-independent bitmap with a file header.
// Uncompressed 1, 4, 8, 16, 24 and 32 bits per pixel and bit-field masks are
// read; run-length and embedded JPEG/PNG bitmaps are refused.
#include <bit>

#include "platform/internal/picture_bytes.h"
#include "platform/picture.h"

namespace qx {

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kLargestHeaderSize = 124;

[[noreturn]] void Invalid(const std::string& why) {
    throw EInvalidGraphic("Invalid BMP file: " + why);
}

std::uint32_t Get(std::string_view b, std::size_t at, int size) {
    return ReadLittleEndian(b, at, size, "BMP header");
}

// One channel of a bit-field pixel scaled to 0..255.
class Channel {
  public:
    explicit Channel(std::uint32_t mask) : FMask(mask) {
        if (mask == 0) return;
        FShift = std::countr_zero(mask);
        FMax = mask >> FShift;
    }
    std::uint8_t Of(std::uint32_t pixel) const {
        if (FMax == 0) return 0;
        return static_cast<std::uint8_t>(static_cast<std::uint64_t>((pixel & FMask) >> FShift) *
                                         255u / FMax);
    }

  private:
    std::uint32_t FMask;
    int FShift = 0;
    std::uint32_t FMax = 0;
};

struct Header {
    long long width = 0, height = 0;
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = kBiRgb;
    std::size_t paletteAt = 0, paletteEntrySize = 4, paletteCount = 0;
    std::uint32_t masks[3] = {0, 0, 0};
};

Header ReadHeader(std::string_view b) {
    Header h;
    const std::uint32_t size = Get(b, kFileHeaderSize, 4);
    std::size_t maskBytes = 0;
    if (size == kCoreHeaderSize) {
        h.width = Get(b, 18, 2);
        h.height = Get(b, 20, 2);
        h.bits = static_cast<int>(Get(b, 24, 2));
        h.paletteEntrySize = 3;
    } else if (size >= kInfoHeaderSize && size <= kLargestHeaderSize) {
        h.width = static_cast<std::int32_t>(Get(b, 18, 4));
        h.height = static_cast<std::int32_t>(Get(b, 22, 4));
        h.bits = static_cast<int>(Get(b, 28, 2));
        h.compression = Get(b, 30, 4);
        h.paletteCount = Get(b, 46, 4);
        if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
            // The masks follow a plain info header, or are part of a longer one.
            for (int i = 0; i < 3; ++i) h.masks[i] = Get(b, 54 + 4 * i, 4);
            if (size == kInfoHeaderSize) maskBytes = h.compression == kBiBitfields ? 12 : 16;
        }
    } else {
        Invalid("unknown header size " + std::to_string(size));
    }
    if (h.height < 0) {
        h.topDown = true;
        h.height = -h.height;
    }
    h.paletteAt = kFileHeaderSize + size + maskBytes;
    return h;
}

void CheckFormat(Header& h) {
    const bool masked = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
    if (h.compression != kBiRgb && !masked)
        Invalid("compression " + std::to_string(h.compression) + " is not supported");
    switch (h.bits) {
        case 1:
        case 4:
        case 8:
            if (masked) Invalid("bit fields need 16 or 32 bits per pixel");
            if (h.paletteCount == 0 || h.paletteCount > (1u << h.bits))
                h.paletteCount = 1u << h.bits;
            return;
        case 16:
            if (!masked) h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
            return;
        case 24:
            if (masked) Invalid("bit fields need 16 or 32 bits per pixel");
            return;
        case 32:
            if (!masked) h.masks[0] = 0xFF0000, h.masks[1] = 0xFF00, h.masks[2] = 0xFF;
            return;
        default:
            Invalid(std::to_string(h.bits) + " bits per pixel are not supported");
    }
}

}  // namespace

std::unique_ptr<TBitmap> DecodeBmp(std::string_view b) {
    if (b.substr(0, 2) != "BM") Invalid("no BM signature");
    const std::size_t dataAt = Get(b, 10, 4);
    Header h = ReadHeader(b);
    CheckFormat(h);
    CheckBitmapSize(h.width, h.height, "BMP");
    const auto width = static_cast<int>(h.width);
    const auto height = static_cast<int>(h.height);
    const std::size_t stride = (static_cast<std::size_t>(width) * h.bits + 31) / 32 * 4;
    if (dataAt > b.size() || stride * height > b.size() - dataAt) Invalid("pixel data truncated");
    if (h.paletteAt + h.paletteCount * h.paletteEntrySize > b.size())
        Invalid("colour table truncated");

    const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
    auto bitmap = std::make_unique<TBitmap>(width, height);
    for (int y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const std::uint8_t*>(
            b.data() + dataAt + stride * static_cast<std::size_t>(h.topDown ? y : height - 1 - y));
        std::uint8_t* dst = bitmap->Row(y);
        for (int x = 0; x < width; ++x, dst += 3) {
            if (h.bits <= 8) {
                const int perByte = 8 / h.bits;
                const int shift = 8 - h.bits * (x % perByte + 1);
                const std::size_t index = (src[x / perByte] >> shift) & ((1u << h.bits) - 1);
                if (index >= h.paletteCount) continue;  // undefined entry: left white
                const std::size_t at = h.paletteAt + index * h.paletteEntrySize;
                dst[0] = static_cast<std::uint8_t>(b[at + 2]);
                dst[1] = static_cast<std::uint8_t>(b[at + 1]);
                dst[2] = static_cast<std::uint8_t>(b[at]);
            } else if (h.bits == 24) {
                dst[0] = src[x * 3 + 2];
                dst[1] = src[x * 3 + 1];
                dst[2] = src[x * 3];
            } else {
                std::uint32_t pixel = 0;
                const int bytes = h.bits / 8;
                for (int i = bytes - 1; i >= 0; --i) pixel = (pixel << 8) | src[x * bytes + i];
                dst[0] = red.Of(pixel);
                dst[1] = green.Of(pixel);
                dst[2] = blue.Of(pixel);
            }
        }
    }
    return bitmap;
}

}  // namespace qx
