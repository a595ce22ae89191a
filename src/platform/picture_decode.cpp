// Decoding picture files into bitmaps with the system's image libraries.
// Every decoder reports a failure as EInvalidGraphic with the library's own
// message; none of them may end the process or leave memory behind.
#include <gif_lib.h>
#include <png.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "platform/picture.h"
#include "platform/streams.h"

namespace qx {

TBitmap::TBitmap(int width, int height)
    : FWidth(width),
      FHeight(height),
      FPixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 255) {}

void CheckBitmapSize(long long width, long long height, const char* kind) {
    if (width <= 0 || height <= 0)
        throw EInvalidGraphic(std::string(kind) + " image has no pixels");
    if (width > kMaxBitmapSide || height > kMaxBitmapSide || width * height > kMaxBitmapPixels)
        throw EInvalidGraphic(std::string(kind) + " image is too large (" + std::to_string(width) +
                              " x " + std::to_string(height) + " pixels)");
}

// ---- PNG -----------------------------------------------------------------------

std::unique_ptr<TBitmap> DecodePng(std::string_view bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    // The simplified interface keeps libpng's error jumps inside the library.
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0)
        throw EInvalidGraphic(image.message);
    try {
        CheckBitmapSize(image.width, image.height, "PNG");
        image.format = PNG_FORMAT_RGB;
        auto bitmap = std::make_unique<TBitmap>(static_cast<int>(image.width),
                                                static_cast<int>(image.height));
        const png_color white{255, 255, 255};
        if (png_image_finish_read(&image, &white, bitmap->Row(0),
                                  static_cast<png_int_32>(bitmap->RowBytes()), nullptr) == 0)
            throw EInvalidGraphic(image.message);
        return bitmap;
    } catch (...) {
        png_image_free(&image);
        throw;
    }
}

// ---- JPEG ----------------------------------------------------------------------

namespace {

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// libjpeg's own handler ends the process; ours returns to the decoder.
[[noreturn]] void OnJpegError(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings (a truncated stream among them, which libjpeg would fill with
// grey) fail the picture too: a damaged picture is not shown half drawn.
void OnJpegMessage(j_common_ptr cinfo, int level) {
    if (level < 0) OnJpegError(cinfo);
}

struct JpegSession {
    jpeg_decompress_struct cinfo{};
    JpegErrorManager errors{};
    TBitmap* out = nullptr;
    bool tooLarge = false;
};

// Only plain data lives in this frame, so that the jump back from libjpeg
// passes over no destructor.
bool RunJpegDecoder(JpegSession& s, std::string_view bytes) {
    if (setjmp(s.errors.jump) != 0) return false;
    jpeg_create_decompress(&s.cinfo);
    jpeg_mem_src(&s.cinfo, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&s.cinfo, TRUE);
    const long long width = s.cinfo.image_width, height = s.cinfo.image_height;
    if (width * height > kMaxBitmapPixels || width > kMaxBitmapSide || height > kMaxBitmapSide) {
        s.tooLarge = true;
        return false;
    }
    s.cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&s.cinfo);
    *s.out =
        TBitmap(static_cast<int>(s.cinfo.output_width), static_cast<int>(s.cinfo.output_height));
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        JSAMPROW row = s.out->Row(static_cast<int>(s.cinfo.output_scanline));
        jpeg_read_scanlines(&s.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&s.cinfo);
    return true;
}

}  // namespace

std::unique_ptr<TBitmap> DecodeJpeg(std::string_view bytes) {
    auto bitmap = std::make_unique<TBitmap>();
    JpegSession s;
    s.cinfo.err = jpeg_std_error(&s.errors.pub);
    s.errors.pub.error_exit = OnJpegError;
    s.errors.pub.emit_message = OnJpegMessage;
    s.out = bitmap.get();
    bool decoded = false;
    try {
        decoded = RunJpegDecoder(s, bytes);
    } catch (...) {
        jpeg_destroy_decompress(&s.cinfo);
        throw;
    }
    const long long width = s.cinfo.image_width, height = s.cinfo.image_height;
    jpeg_destroy_decompress(&s.cinfo);
    if (s.tooLarge) CheckBitmapSize(width, height, "JPEG");
    if (!decoded) throw EInvalidGraphic(s.errors.message);
    return bitmap;
}

// ---- GIF -----------------------------------------------------------------------

namespace {

struct GifSource {
    std::string_view bytes;
    std::size_t at = 0;
};

int ReadGifBytes(GifFileType* gif, GifByteType* buffer, int count) {
    auto* source = static_cast<GifSource*>(gif->UserData);
    const std::size_t n =
        std::min(static_cast<std::size_t>(count), source->bytes.size() - source->at);
    std::memcpy(buffer, source->bytes.data() + source->at, n);
    source->at += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

[[noreturn]] void GifFailed(int error) {
    const char* text = GifErrorString(error);
    throw EInvalidGraphic(text != nullptr ? text : "GIF decoding failed");
}

// Reads the pixel indexes of the current image, rows in display order.
std::vector<GifPixelType> ReadGifIndexes(GifFileType* gif, int width, int height) {
    std::vector<GifPixelType> indexes(static_cast<std::size_t>(width) * height);
    auto readRow = [&](int y) {
        if (DGifGetLine(gif, indexes.data() + static_cast<std::size_t>(y) * width, width) != GIF_OK)
            GifFailed(gif->Error);
    };
    if (gif->Image.Interlace) {
        constexpr int kStart[] = {0, 4, 2, 1};
        constexpr int kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < height; y += kStep[pass]) readRow(y);
    } else {
        for (int y = 0; y < height; ++y) readRow(y);
    }
    return indexes;
}

}  // namespace

// The first image of the file on its logical screen; what the screen does
// not cover, and transparent pixels, are white.
std::unique_ptr<TBitmap> DecodeGif(std::string_view bytes) {
    GifSource source{bytes};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, ReadGifBytes, &error));
    if (!gif) GifFailed(error);
    CheckBitmapSize(gif->SWidth, gif->SHeight, "GIF");
    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) != GIF_OK) GifFailed(gif->Error);
        if (type == TERMINATE_RECORD_TYPE) throw EInvalidGraphic("GIF file holds no image");
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) != GIF_OK) GifFailed(gif->Error);
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
                GraphicsControlBlock gcb{};
                if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                    transparent = gcb.TransparentColor;
            }
            while (block != nullptr)
                if (DGifGetExtensionNext(gif.get(), &block) != GIF_OK) GifFailed(gif->Error);
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif.get()) != GIF_OK) GifFailed(gif->Error);
        const GifImageDesc& desc = gif->Image;
        CheckBitmapSize(desc.Width, desc.Height, "GIF");
        const ColorMapObject* map = desc.ColorMap != nullptr ? desc.ColorMap : gif->SColorMap;
        if (map == nullptr) throw EInvalidGraphic("GIF image has no colour map");
        const std::vector<GifPixelType> indexes =
            ReadGifIndexes(gif.get(), desc.Width, desc.Height);
        auto bitmap = std::make_unique<TBitmap>(gif->SWidth, gif->SHeight);
        for (int y = 0; y < desc.Height && desc.Top + y < gif->SHeight; ++y) {
            for (int x = 0; x < desc.Width && desc.Left + x < gif->SWidth; ++x) {
                const int index = indexes[static_cast<std::size_t>(y) * desc.Width + x];
                if (index == transparent || index >= map->ColorCount) continue;
                std::uint8_t* px = bitmap->Row(desc.Top + y) + (desc.Left + x) * 3;
                px[0] = map->Colors[index].Red;
                px[1] = map->Colors[index].Green;
                px[2] = map->Colors[index].Blue;
            }
        }
        return bitmap;
    }
}

// ---- any kind ------------------------------------------------------------------

namespace {
bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}
}  // namespace

TPictureSourceKind SourceKindOf(std::string_view bytes) {
    if (StartsWith(bytes, "\x89PNG\r\n\x1a\n")) return TPictureSourceKind::Png;
    if (StartsWith(bytes, "\xFF\xD8\xFF")) return TPictureSourceKind::Jpeg;
    return TPictureSourceKind::None;
}

std::unique_ptr<TGraphic> DecodeGraphic(std::string_view bytes) {
    switch (SourceKindOf(bytes)) {
        case TPictureSourceKind::Png:
            return DecodePng(bytes);
        case TPictureSourceKind::Jpeg:
            return DecodeJpeg(bytes);
        case TPictureSourceKind::None:
            break;
    }
    if (StartsWith(bytes, "GIF8")) return DecodeGif(bytes);
    if (StartsWith(bytes, "BM")) return DecodeBmp(bytes);
    if (LooksLikeMetafile(bytes)) return ReadMetafile(bytes);
    throw EInvalidGraphic("Unknown picture format");
}

void TPicture::LoadFromBytes(std::string_view bytes) {
    Assign(DecodeGraphic(bytes));
    KeepSource(bytes);
}

void TPicture::KeepSource(std::string_view bytes) {
    FSourceKind = SourceKindOf(bytes);
    FSource.assign(FSourceKind != TPictureSourceKind::None ? bytes : std::string_view());
}

void TPicture::LoadFromFile(const std::string& fileName) {
    // Opened without waiting and read only when it is a regular file: a
    // named pipe would block the run for ever, a device never ends and a
    // folder holds no picture.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EFOpenError("Cannot open file \"" + fileName + "\". It is not a regular file");
    }
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done < bytes.size()) throw EReadError("Cannot read file \"" + fileName + "\"");
    LoadFromBytes(bytes);
}

}  // namespace qx
