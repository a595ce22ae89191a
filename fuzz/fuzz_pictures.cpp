// The picture decoders (PNG, JPEG, GIF, BMP, Windows and enhanced
// metafiles) on arbitrary bytes, then what the report does with a decoded
// picture: a bitmap is wrapped in both kinds of metafile and read back, an
// enhanced metafile gets a new frame.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/picture.h"

namespace {

// Wrapping costs time in proportion to the pixels; a large bitmap has been
// decoded already, which is what is under test.
constexpr long long kMaxWrappedPixels = 1 << 16;

void Wrap(const qx::TGraphic& graphic) {
    if (const auto* bitmap = dynamic_cast<const qx::TBitmap*>(&graphic)) {
        if (static_cast<long long>(bitmap->Width()) * bitmap->Height() > kMaxWrappedPixels) return;
        (void)qx::ReadMetafile(qx::WriteWindowsMetafile(*bitmap));
        (void)qx::ReadMetafile(qx::WriteEnhancedMetafile(*bitmap, 2540, 1270));
    } else if (const auto* meta = dynamic_cast<const qx::TMetafile*>(&graphic)) {
        if (meta->Enhanced()) (void)qx::WithEnhancedMetafileFrame(meta->Data(), 2540, 1270);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qx::TPicture picture;
    try {
        picture.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
        if (picture.Graphic() != nullptr) Wrap(*picture.Graphic());
    } catch (const qx::EInvalidGraphic&) {
        // Bytes that are no picture get a clear error.
    }
    return 0;
}
