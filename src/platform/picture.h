// Pictures: TPicture holds one TGraphic, either a decoded bitmap (PNG, JPEG,
// GIF or BMP) or a metafile kept as its bytes with the size its header
// declares. A PNG or JPEG also keeps the bytes it was read from, which a
// report embeds as they are; the writers that make a PNG of a bitmap or wrap
// it in a metafile are here too.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/component.h"
#include "platform/exceptions.h"

namespace qx {

// Pixels per inch of the screen the engine assumes for every conversion.
inline constexpr int kScreenPixelsPerInch = 96;

// Picture data that cannot be decoded; the message is the decoder's.
class EInvalidGraphic : public Exception {
  public:
    using Exception::Exception;
};

class TGraphic {
  public:
    virtual ~TGraphic() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    bool Empty() const { return Width() <= 0 || Height() <= 0; }
};

// A decoded image: 8-bit RGB triples, rows top to bottom without padding.
// Transparent pixels have been laid on white.
class TBitmap : public TGraphic {
  public:
    TBitmap() = default;
    TBitmap(int width, int height);
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    std::uint8_t* Row(int y) { return FPixels.data() + static_cast<std::size_t>(y) * RowBytes(); }
    const std::uint8_t* Row(int y) const {
        return FPixels.data() + static_cast<std::size_t>(y) * RowBytes();
    }
    std::size_t RowBytes() const { return static_cast<std::size_t>(FWidth) * 3; }

  private:
    int FWidth = 0;
    int FHeight = 0;
    std::vector<std::uint8_t> FPixels;
};

// A Windows metafile (the bytes after any placeable header) or an enhanced
// metafile, with its size in screen pixels and in hundredths of a millimetre.
class TMetafile : public TGraphic {
  public:
    TMetafile(bool enhanced, std::string data, int width, int height, int mmWidth, int mmHeight)
        : FEnhanced(enhanced),
          FData(std::move(data)),
          FWidth(width),
          FHeight(height),
          FMMWidth(mmWidth),
          FMMHeight(mmHeight) {}
    bool Enhanced() const { return FEnhanced; }
    const std::string& Data() const { return FData; }
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    int MMWidth() const { return FMMWidth; }
    int MMHeight() const { return FMMHeight; }

  private:
    bool FEnhanced;
    std::string FData;
    int FWidth, FHeight, FMMWidth, FMMHeight;
};

// The compressed forms every reader takes as they are.
enum class TPictureSourceKind : std::uint8_t { None, Png, Jpeg };

// PNG or JPEG when `bytes` start with that kind's signature.
TPictureSourceKind SourceKindOf(std::string_view bytes);

class TPicture : public TObject {
  public:
    // Reads and decodes a picture file; EInvalidGraphic or a stream error
    // when it cannot be read or is not a picture this engine knows.
    void LoadFromFile(const std::string& fileName);
    // Decodes picture bytes of any known kind (recognised by their content).
    void LoadFromBytes(std::string_view bytes);
    // A graphic of the application's own: no source bytes.
    void Assign(std::unique_ptr<TGraphic> graphic) {
        FGraphic = std::move(graphic);
        FSource.clear();
        FSourceKind = TPictureSourceKind::None;
    }
    // Keeps `bytes`, which the graphic was decoded from, when they are a PNG
    // or JPEG; call after Assign.
    void KeepSource(std::string_view bytes);
    // The PNG or JPEG the picture was read from; None (and no bytes) for
    // other kinds and for graphics assigned without their source.
    TPictureSourceKind SourceKind() const { return FSourceKind; }
    const std::string& SourceBytes() const { return FSource; }
    const TGraphic* Graphic() const { return FGraphic.get(); }
    bool Empty() const { return FGraphic == nullptr || FGraphic->Empty(); }
    int Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const { return FGraphic ? FGraphic->Height() : 0; }

  private:
    std::unique_ptr<TGraphic> FGraphic;
    std::string FSource;
    TPictureSourceKind FSourceKind = TPictureSourceKind::None;
};

// ---- decoders (picture_decode.cpp, bmp_decode.cpp) -------------------------
// The largest bitmap the engine decodes: a metafile addresses a side with
// 16 bits, and the pixel count bounds the memory a hostile header can claim.
inline constexpr long long kMaxBitmapSide = 32767;
inline constexpr long long kMaxBitmapPixels = 1LL << 25;
// Raises EInvalidGraphic when a `kind` image of width x height is empty or
// beyond the limits above.
void CheckBitmapSize(long long width, long long height, const char* kind);
// Each answers the decoded image or raises EInvalidGraphic with the reason.
std::unique_ptr<TBitmap> DecodePng(std::string_view bytes);
std::unique_ptr<TBitmap> DecodeJpeg(std::string_view bytes);
std::unique_ptr<TBitmap> DecodeGif(std::string_view bytes);
std::unique_ptr<TBitmap> DecodeBmp(std::string_view bytes);
// Any known kind, recognised by its first bytes.
std::unique_ptr<TGraphic> DecodeGraphic(std::string_view bytes);

// A PNG of the bitmap (8-bit RGB), as readers take any other bitmap kind.
std::string EncodePng(const TBitmap& bitmap);

// ---- metafiles (metafile.cpp) ----------------------------------------------
// A Windows metafile (with or without placeable header) or an enhanced
// metafile read for its declared size; EInvalidGraphic when the header is
// not one.
std::unique_ptr<TMetafile> ReadMetafile(std::string_view bytes);
bool LooksLikeMetafile(std::string_view bytes);
// A Windows metafile in anisotropic mapping whose window is the bitmap's
// pixels and which draws the whole bitmap there.
std::string WriteWindowsMetafile(const TBitmap& bitmap);
// An enhanced metafile that draws the bitmap over its whole frame; the
// frame is `mmWidth` x `mmHeight` hundredths of a millimetre.
std::string WriteEnhancedMetafile(const TBitmap& bitmap, int mmWidth, int mmHeight);
// An enhanced metafile with its frame resized to `mmWidth` x `mmHeight`
// hundredths of a millimetre from the same top left corner.
std::string WithEnhancedMetafileFrame(std::string emf, int mmWidth, int mmHeight);

}  // namespace qx
