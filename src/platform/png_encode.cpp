// Writing a bitmap as PNG with libpng, for the picture kinds (GIF, BMP and
// bitmaps an application assigns) that readers do not all take as they are.
#include <png.h>

#include "platform/picture.h"

namespace qx {

std::string EncodePng(const TBitmap& bitmap) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(bitmap.Width());
    image.height = static_cast<png_uint_32>(bitmap.Height());
    image.format = PNG_FORMAT_RGB;
    const auto stride = static_cast<png_int_32>(bitmap.RowBytes());
    // The first call measures, the second writes; the simplified interface
    // keeps libpng's error jumps inside the library.
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, bitmap.Row(0), stride, nullptr) == 0)
        throw EInvalidGraphic(image.message);
    std::string png(size, '\0');
    if (png_image_write_to_memory(&image, png.data(), &size, 0, bitmap.Row(0), stride, nullptr) ==
        0)
        throw EInvalidGraphic(image.message);
    png.resize(size);
    return png;
}

}  // namespace qx
