// Windows metafiles and enhanced metafiles: reading the size a metafile
// file declares, and writing the small metafiles that carry a bitmap into
// the report (a header, the mapping, one stretched-DIB record, the end).
// All numbers in both formats are little-endian.
#include <cmath>

#include "platform/internal/picture_bytes.h"
#include "platform/picture.h"

namespace qx {

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kWmfHeaderSize = 18;
constexpr std::uint16_t kWmfHeaderWords = 9;
constexpr std::uint16_t kWmfVersion = 0x0300;
constexpr std::uint16_t kMetaSetMapMode = 0x0103;
constexpr std::uint16_t kMetaSetWindowOrg = 0x020B;
constexpr std::uint16_t kMetaSetWindowExt = 0x020C;
constexpr std::uint16_t kMetaStretchDib = 0x0F43;
constexpr std::uint16_t kMetaEof = 0x0000;
constexpr std::uint16_t kMmAnisotropic = 8;
constexpr std::uint32_t kSrcCopy = 0x00CC0020;
constexpr std::uint16_t kDibRgbColors = 0;

constexpr std::uint32_t kEmrHeader = 1;
constexpr std::uint32_t kEmrEof = 14;
constexpr std::uint32_t kEmrStretchDibits = 81;
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr std::uint32_t kEmfVersion = 0x00010000;
constexpr std::size_t kEmfHeaderSize = 108;  // with both header extensions
constexpr std::size_t kEmfMinHeaderSize = 88;
constexpr std::size_t kStretchDibitsFixedSize = 80;
constexpr std::size_t kEmfEofSize = 20;
// The reference device of the enhanced metafiles written here: a screen
// of exactly 96 pixels per inch.
constexpr std::int32_t kRefDevicePixels = 9600;
constexpr std::int32_t kRefDeviceMillimetres = 2540;

constexpr std::size_t kBitmapInfoHeaderSize = 40;
constexpr std::int32_t kPixelsPerMetre96 = 3780;
constexpr double kHundredthsMmPerInch = 2540.0;

std::uint32_t Get(std::string_view b, std::size_t at, int size) {
    return ReadLittleEndian(b, at, size, "Metafile header");
}
std::int32_t GetSigned32(std::string_view b, std::size_t at) {
    return static_cast<std::int32_t>(Get(b, at, 4));
}
std::int16_t GetSigned16(std::string_view b, std::size_t at) {
    return static_cast<std::int16_t>(Get(b, at, 2));
}

void Put16(std::string& out, std::uint32_t v) {
    PutLittleEndian(out, v, 2);
}
void Put32(std::string& out, std::uint32_t v) {
    PutLittleEndian(out, v, 4);
}
void PutRect(std::string& out, std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) {
    for (std::int32_t v : {l, t, r, b}) Put32(out, static_cast<std::uint32_t>(v));
}

int Nearest(double v) {
    return static_cast<int>(std::nearbyint(v));
}

bool IsWmfHeader(std::string_view b, std::size_t at) {
    if (b.size() < at + kWmfHeaderSize) return false;
    const std::uint32_t type = Get(b, at, 2);
    return (type == 1 || type == 2) && Get(b, at + 2, 2) == kWmfHeaderWords;
}

bool IsEmfHeader(std::string_view b) {
    return b.size() >= kEmfMinHeaderSize && Get(b, 0, 4) == kEmrHeader &&
           Get(b, 40, 4) == kEmfSignature;
}

// The window extent a headerless Windows metafile sets, taken as its size
// in pixels; zero when it sets none.
void FindWindowExtent(std::string_view wmf, int& width, int& height) {
    width = height = 0;
    std::size_t at = kWmfHeaderSize;
    while (at + 6 <= wmf.size()) {
        const std::uint64_t words = Get(wmf, at, 4);
        const std::uint32_t function = Get(wmf, at + 4, 2);
        if (function == kMetaEof || words < 3) return;
        if (function == kMetaSetWindowExt && words >= 5) {
            height = GetSigned16(wmf, at + 6);
            width = GetSigned16(wmf, at + 8);
        }
        at += words * 2;
    }
}

std::unique_ptr<TMetafile> ReadWindowsMetafile(std::string_view b) {
    int width = 0, height = 0, mmWidth = 0, mmHeight = 0;
    std::string data;
    if (Get(b, 0, 4) == kPlaceableKey) {
        const int extentX = GetSigned16(b, 10) - GetSigned16(b, 6);
        const int extentY = GetSigned16(b, 12) - GetSigned16(b, 8);
        const std::uint32_t unitsPerInch = Get(b, 14, 2);
        if (unitsPerInch == 0) throw EInvalidGraphic("Windows metafile declares no units per inch");
        if (!IsWmfHeader(b, kPlaceableSize)) throw EInvalidGraphic("Invalid Windows metafile");
        width = Nearest(std::abs(extentX) * double(kScreenPixelsPerInch) / unitsPerInch);
        height = Nearest(std::abs(extentY) * double(kScreenPixelsPerInch) / unitsPerInch);
        mmWidth = Nearest(std::abs(extentX) * kHundredthsMmPerInch / unitsPerInch);
        mmHeight = Nearest(std::abs(extentY) * kHundredthsMmPerInch / unitsPerInch);
        // The placeable header is a file convention; the metafile proper
        // follows it.
        data.assign(b.substr(kPlaceableSize));
    } else {
        if (!IsWmfHeader(b, 0)) throw EInvalidGraphic("Invalid Windows metafile");
        FindWindowExtent(b, width, height);
        width = std::abs(width);
        height = std::abs(height);
        mmWidth = Nearest(width * kHundredthsMmPerInch / kScreenPixelsPerInch);
        mmHeight = Nearest(height * kHundredthsMmPerInch / kScreenPixelsPerInch);
        data.assign(b);
    }
    if (width == 0 || height == 0) throw EInvalidGraphic("Windows metafile declares no size");
    return std::make_unique<TMetafile>(false, std::move(data), width, height, mmWidth, mmHeight);
}

std::unique_ptr<TMetafile> ReadEnhancedMetafile(std::string_view b) {
    // The frame, in hundredths of a millimetre, is the picture's size.
    const std::int64_t mmWidth = static_cast<std::int64_t>(GetSigned32(b, 32)) - GetSigned32(b, 24);
    const std::int64_t mmHeight =
        static_cast<std::int64_t>(GetSigned32(b, 36)) - GetSigned32(b, 28);
    if (mmWidth <= 0 || mmHeight <= 0 || mmWidth > INT32_MAX / 96 || mmHeight > INT32_MAX / 96)
        throw EInvalidGraphic("Enhanced metafile declares no size");
    const int width = Nearest(mmWidth * double(kScreenPixelsPerInch) / kHundredthsMmPerInch);
    const int height = Nearest(mmHeight * double(kScreenPixelsPerInch) / kHundredthsMmPerInch);
    return std::make_unique<TMetafile>(true, std::string(b), width, height,
                                       static_cast<int>(mmWidth), static_cast<int>(mmHeight));
}

// A bottom-up 24-bit device-independent bitmap: its info header and bits.
struct Dib {
    std::string info;
    std::string bits;
};

Dib MakeDib(const TBitmap& bitmap) {
    Dib dib;
    const int w = bitmap.Width(), h = bitmap.Height();
    const std::size_t stride = (static_cast<std::size_t>(w) * 3 + 3) / 4 * 4;
    Put32(dib.info, kBitmapInfoHeaderSize);
    Put32(dib.info, static_cast<std::uint32_t>(w));
    Put32(dib.info, static_cast<std::uint32_t>(h));
    Put16(dib.info, 1);   // planes
    Put16(dib.info, 24);  // bits per pixel
    Put32(dib.info, 0);   // uncompressed
    Put32(dib.info, static_cast<std::uint32_t>(stride * h));
    Put32(dib.info, kPixelsPerMetre96);
    Put32(dib.info, kPixelsPerMetre96);
    Put32(dib.info, 0);  // colours used
    Put32(dib.info, 0);  // important colours
    dib.bits.assign(stride * h, '\0');
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = bitmap.Row(h - 1 - y);
        char* dst = dib.bits.data() + stride * y;
        for (int x = 0; x < w; ++x) {
            dst[x * 3] = static_cast<char>(src[x * 3 + 2]);
            dst[x * 3 + 1] = static_cast<char>(src[x * 3 + 1]);
            dst[x * 3 + 2] = static_cast<char>(src[x * 3]);
        }
    }
    return dib;
}

void PutWmfRecord(std::string& out, std::uint16_t function, std::initializer_list<int> params) {
    Put32(out, static_cast<std::uint32_t>(3 + params.size()));
    Put16(out, function);
    for (int p : params) Put16(out, static_cast<std::uint32_t>(p));
}

}  // namespace

bool LooksLikeMetafile(std::string_view bytes) {
    return (bytes.size() >= kPlaceableSize && Get(bytes, 0, 4) == kPlaceableKey) ||
           IsEmfHeader(bytes) || IsWmfHeader(bytes, 0);
}

std::unique_ptr<TMetafile> ReadMetafile(std::string_view bytes) {
    if (IsEmfHeader(bytes)) return ReadEnhancedMetafile(bytes);
    return ReadWindowsMetafile(bytes);
}

std::string WriteWindowsMetafile(const TBitmap& bitmap) {
    const int w = bitmap.Width(), h = bitmap.Height();
    const Dib dib = MakeDib(bitmap);
    std::string records;
    PutWmfRecord(records, kMetaSetMapMode, {kMmAnisotropic});
    PutWmfRecord(records, kMetaSetWindowOrg, {0, 0});
    PutWmfRecord(records, kMetaSetWindowExt, {h, w});
    // StretchDIB: raster operation, colour use, source height, width, y, x,
    // destination height, width, y, x, then the bitmap.
    const std::size_t dibBytes = dib.info.size() + dib.bits.size();
    const std::size_t stretchWords = (6 + 4 + 2 + 8 * 2 + dibBytes + 1) / 2;
    Put32(records, static_cast<std::uint32_t>(stretchWords));
    Put16(records, kMetaStretchDib);
    Put32(records, kSrcCopy);
    Put16(records, kDibRgbColors);
    for (int v : {h, w, 0, 0, h, w, 0, 0}) Put16(records, static_cast<std::uint32_t>(v));
    records += dib.info;
    records += dib.bits;
    if (dibBytes % 2 != 0) records += '\0';
    PutWmfRecord(records, kMetaEof, {});

    std::string out;
    Put16(out, 1);  // a metafile in memory
    Put16(out, kWmfHeaderWords);
    Put16(out, kWmfVersion);
    Put32(out, static_cast<std::uint32_t>((kWmfHeaderSize + records.size()) / 2));
    Put16(out, 0);  // no objects
    Put32(out, static_cast<std::uint32_t>(stretchWords));
    Put16(out, 0);
    return out + records;
}

std::string WriteEnhancedMetafile(const TBitmap& bitmap, int mmWidth, int mmHeight) {
    const Dib dib = MakeDib(bitmap);
    // The bitmap is stretched over the frame in the reference device's pixels.
    const int destW = std::max(1, Nearest(mmWidth * kScreenPixelsPerInch / kHundredthsMmPerInch));
    const int destH = std::max(1, Nearest(mmHeight * kScreenPixelsPerInch / kHundredthsMmPerInch));

    std::string stretch;
    const std::size_t stretchSize = kStretchDibitsFixedSize + dib.info.size() + dib.bits.size();
    Put32(stretch, kEmrStretchDibits);
    Put32(stretch, static_cast<std::uint32_t>(stretchSize));
    PutRect(stretch, 0, 0, destW - 1, destH - 1);
    for (int v : {0, 0, 0, 0, bitmap.Width(), bitmap.Height()})
        Put32(stretch, static_cast<std::uint32_t>(v));
    Put32(stretch, static_cast<std::uint32_t>(kStretchDibitsFixedSize));
    Put32(stretch, static_cast<std::uint32_t>(dib.info.size()));
    Put32(stretch, static_cast<std::uint32_t>(kStretchDibitsFixedSize + dib.info.size()));
    Put32(stretch, static_cast<std::uint32_t>(dib.bits.size()));
    Put32(stretch, kDibRgbColors);
    Put32(stretch, kSrcCopy);
    Put32(stretch, static_cast<std::uint32_t>(destW));
    Put32(stretch, static_cast<std::uint32_t>(destH));
    stretch += dib.info;
    stretch += dib.bits;

    std::string out;
    const std::size_t total = kEmfHeaderSize + stretch.size() + kEmfEofSize;
    Put32(out, kEmrHeader);
    Put32(out, static_cast<std::uint32_t>(kEmfHeaderSize));
    PutRect(out, 0, 0, destW - 1, destH - 1);
    PutRect(out, 0, 0, mmWidth, mmHeight);
    Put32(out, kEmfSignature);
    Put32(out, kEmfVersion);
    Put32(out, static_cast<std::uint32_t>(total));
    Put32(out, 3);  // records
    Put16(out, 1);  // handles: the reserved one
    Put16(out, 0);
    Put32(out, 0);  // no description
    Put32(out, 0);
    Put32(out, 0);  // no palette
    Put32(out, kRefDevicePixels);
    Put32(out, kRefDevicePixels);
    Put32(out, kRefDeviceMillimetres);
    Put32(out, kRefDeviceMillimetres);
    Put32(out, 0);  // no pixel format
    Put32(out, 0);
    Put32(out, 0);  // no OpenGL
    Put32(out, kRefDeviceMillimetres * 1000);
    Put32(out, kRefDeviceMillimetres * 1000);
    out += stretch;
    Put32(out, kEmrEof);
    Put32(out, kEmfEofSize);
    Put32(out, 0);   // no palette entries
    Put32(out, 16);  // where they would be
    Put32(out, kEmfEofSize);
    return out;
}

std::string WithEnhancedMetafileFrame(std::string emf, int mmWidth, int mmHeight) {
    const std::uint32_t left = Get(emf, 24, 4), top = Get(emf, 28, 4);
    std::string corner;
    Put32(corner, left + static_cast<std::uint32_t>(mmWidth));
    Put32(corner, top + static_cast<std::uint32_t>(mmHeight));
    Get(emf, 32, 8);  // the frame's far corner is there to be replaced
    emf.replace(32, 8, corner);
    return emf;
}

}  // namespace qx
