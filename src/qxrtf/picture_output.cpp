// Pictures in the output. Every picture is embedded as a metafile: a bitmap
// is wrapped in a Windows metafile (eoGraphicsWmfCompatible) or an enhanced
// metafile, a metafile file keeps its own kind. The picture group's header
// carries the size the application settled on in OnImageFormat.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/picture.h"
#include "qxbasereport/image_format.h"
#include "qxrtf/internal/image_root.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {

// The first bytes of a blob that tell a compressed image by its marker.
constexpr std::size_t kBlobSniffBytes = 20;
// Twips per millimetre, in hundredths.
constexpr double kTwipsPerMm100 = 5669;
// Hundredths of a millimetre per pixel.
constexpr double kMm100PerPixel = 26.4596930676;

constexpr const char* kBorderWords[] = {
    "", "\\brdrs", "\\brdrdb", "\\brdrth", "\\brdrsh", "\\brdrdot", "\\brdrhair",
};

std::uint16_t PixelsAsWord(int pixels) {
    return static_cast<std::uint16_t>(std::clamp(pixels, 0, 65535));
}

long long Nearest(double v) {
    return static_cast<long long>(std::nearbyint(v));
}

// Twips of the unscaled picture whose scaled size is `mm` millimetres.
long long PictureGoal(double mm, std::uint16_t scale) {
    return Nearest(mm * kTwipsPerMm100 / std::max<std::uint16_t>(scale, 1));
}

std::string HexText(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex(bytes.size() * 2, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        hex[2 * i] = kDigits[b >> 4];
        hex[2 * i + 1] = kDigits[b & 0x0F];
    }
    return hex;
}

}  // namespace

void TQxRTF::WritePictureFile(const std::string& fileName, const TQxFieldFormat& fmt,
                              const std::string& markup) {
    // A name outside the image root ends the run: the application confined
    // pictures to a folder, and a template or data reaching out of it is an
    // error to hear about, not a missing picture.
    const std::string file =
        FImageRoot.empty() ? fileName : ConfinedPictureFile(FImageRoot, fileName);
    TPicture picture;
    try {
        picture.LoadFromFile(file);
    } catch (const Exception& e) {
        // Reported in the document, where the reader sees which file is
        // missing, and as a warning of the field, so that nobody has to
        // read the document to learn of it.
        Warn(ErrorPosAtCm(FCmStream->Position() - 1),
             "cannot load picture file " + fileName + ": " + e.what());
        wr(txt2rtf("#Can't load file " + fileName));
        wr(markup);
        return;
    }
    WritePicture(picture, fmt);
    wr(markup);
}

void TQxRTF::WritePictureField(TField& field, const TQxFieldFormat& fmt,
                               const std::string& markup) {
    if (!field.IsBlob()) throw EInvalidCast("Invalid class typecast");
    const std::string bytes = field.IsNull() ? std::string() : field.AsBytes();
    if (bytes.size() <= kBlobSniffBytes) {
        wr(markup);
        return;
    }
    // A blob that names itself JPEG or GIF near its start is decoded as
    // that; a decoding failure ends the run with the decoder's message.
    const std::string_view head(bytes.data(), kBlobSniffBytes);
    TPicture picture;
    if (head.find("JFIF") != std::string_view::npos)
        picture.Assign(DecodeJpeg(bytes));
    else if (head.find("GIF8") != std::string_view::npos)
        picture.Assign(DecodeGif(bytes));
    else
        picture.LoadFromBytes(bytes);
    if (!picture.Empty()) WritePicture(picture, fmt);
    wr(markup);
}

TQxImageFormat TQxRTF::SettlePictureFormat(const TPicture& picture, const TQxFieldFormat& fmt) {
    TQxImageFormat format(PixelsAsWord(picture.Width()), PixelsAsWord(picture.Height()));
    // A graphic field or a picture function without FIMG has format index 0.
    const int formatIndex = fmt.fmtnumber == QxFmt::FImg ? fmt.precision : 0;
    if (FOnImageFormat) FOnImageFormat(formatIndex, format);
    if (format.Border().ColorIndex >= FDocColorCount)
        format.SetBorderType(format.Border().BrType, format.Border().Width, 0);
    return format;
}

std::string TQxRTF::PictureHeader(const TQxImageFormat& format, bool windowsMetafile) {
    std::string h = "{\\pict\\picscalex";
    if (windowsMetafile) {
        h += "100\\picscaley100\\piccropl0\\piccropr0\\piccropt0\\piccropb0";
        h += "\\picw" + std::to_string(Nearest(format.SizeX() * kMm100PerPixel));
        h += "\\pich" + std::to_string(Nearest(format.SizeY() * kMm100PerPixel));
        h += "\\wmetafile8";
    } else {
        h += std::to_string(format.ScaleX()) + "\\picscaley" + std::to_string(format.ScaleY());
        h += "\\piccropl0\\piccropr0\\piccropt0\\piccropb0";
        h += "\\picw" + std::to_string(Nearest(format.SizeXmm() * kTwipsPerMm100 / 100));
        h += "\\pich" + std::to_string(Nearest(format.SizeYmm() * kTwipsPerMm100 / 100));
        h += "\\emfblip";
        // The picture's own size in twips, which readers multiply by the
        // scales: without it a reader takes \picw as hundredths of a
        // millimetre and shows the picture at little more than half its size.
        h += "\\picwgoal" + std::to_string(PictureGoal(format.SizeXmm(), format.ScaleX()));
        h += "\\pichgoal" + std::to_string(PictureGoal(format.SizeYmm(), format.ScaleY()));
    }
    const TQxImageBorder& border = format.Border();
    if (border.BrType == ibtNone) return h;
    h += kBorderWords[border.BrType];
    // The border's colour joins the output's colour table; a template
    // without one gets black.
    TQxColor color;
    if (border.ColorIndex < FDocColorTable.size()) color = FDocColorTable[border.ColorIndex];
    const int number =
        FRTFColor->UseColor("\\red" + std::to_string(color.fr) + "\\green" +
                            std::to_string(color.fg) + "\\blue" + std::to_string(color.fb) + ";");
    h += "\\brdrw" + std::to_string(format.BorderTwips()) + "\\brdrcf" + std::to_string(number);
    return h;
}

void TQxRTF::WritePicture(TPicture& picture, const TQxFieldFormat& fmt) {
    if (picture.Empty()) return;
    const auto* metafile = dynamic_cast<const TMetafile*>(picture.Graphic());
    // A metafile file is passed on as it is, so it keeps its own kind.
    const bool windowsMetafile =
        metafile != nullptr ? !metafile->Enhanced() : FOptions.Contains(eoGraphicsWmfCompatible);
    const TQxImageFormat format = SettlePictureFormat(picture, fmt);
    // The metafile's own size, in hundredths of a millimetre.
    const auto mm100 = [](double mm) {
        return static_cast<int>(std::clamp<long long>(Nearest(mm * 100), 1, INT32_MAX / 100));
    };
    const int mmWidth = mm100(format.SizeXmm()), mmHeight = mm100(format.SizeYmm());
    std::string data;
    if (metafile != nullptr)
        data = windowsMetafile ? metafile->Data()
                               : WithEnhancedMetafileFrame(metafile->Data(), mmWidth, mmHeight);
    else if (windowsMetafile)
        data = WriteWindowsMetafile(static_cast<const TBitmap&>(*picture.Graphic()));
    else
        data = WriteEnhancedMetafile(static_cast<const TBitmap&>(*picture.Graphic()), mmWidth,
                                     mmHeight);
    wr(PictureHeader(format, windowsMetafile));
    if (FOptions.Contains(eoGraphicsBinary)) {
        wr("\\bin" + std::to_string(data.size()) + " ");
        CountOutput(static_cast<std::int64_t>(data.size()));
        FOutf->WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
    } else {
        wr(" ");
        wr(HexText(data));
    }
    wr("\r}");
}

}  // namespace qx
