// Pictures in the output. In the native form a PNG or JPEG is embedded as
// it is and any other bitmap as a PNG; in the metafile form a bitmap is
// wrapped in a Windows metafile (eoGraphicsWmfCompatible) or an enhanced
// metafile. A metafile file keeps its own kind in both. The picture group's
// header carries the size the application settled on in OnImageFormat.
#include <algorithm>
#include <cmath>
#include <string_view>

#include "conscom/exceptions.h"
#include "conscom/internal/tables.h"
#include "platform/picture.h"
#include "qxbasereport/image_format.h"
#include "qxbasereport/internal/lang_text.h"
#include "qxrtf/internal/image_root.h"
#include "qxrtf/internal/text_width.h"
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

void TQxRTF::WritePictureFile(const std::string& value, const TQxFieldFormat& fmt,
                              const std::string& markup) {
    // Names typed into data files often carry blanks around them (a padded
    // CSV or fixed-width column); no picture file is meant with them.
    const std::string fileName = Trim(value);
    // An empty name is a record without a picture, like a null blob.
    if (fileName.empty()) {
        wr(markup);
        return;
    }
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
    // A text column of a catalogue holds the picture's file name.
    if (!field.IsBlob()) {
        if (field.IsNull())
            wr(markup);
        else
            WritePictureFile(field.AsString(), fmt, markup);
        return;
    }
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
    picture.KeepSource(bytes);
    if (!picture.Empty()) WritePicture(picture, fmt);
    wr(markup);
}

TQxImageFormat TQxRTF::SettlePictureFormat(const TPicture& picture, const TQxFieldFormat& fmt) {
    TQxImageFormat format(PixelsAsWord(picture.Width()), PixelsAsWord(picture.Height()));
    // A graphic field or a picture function without FIMG has format index 0.
    const int formatIndex = fmt.fmtnumber == QxFmt::FImg ? fmt.precision : 0;
    const auto sizing = FPictureSizings.find(formatIndex);
    const bool sized = sizing != FPictureSizings.end() && sizing->second.GivesSize();
    if (!sized) FitToTextWidth(format);
    if (sizing != FPictureSizings.end()) sizing->second.ApplyTo(format);
    if (FOnImageFormat) FOnImageFormat(formatIndex, format);
    if (format.Border().ColorIndex >= FDocColorCount)
        format.SetBorderType(format.Border().BrType, format.Border().Width, 0);
    return format;
}

void TQxRTF::FitToTextWidth(TQxImageFormat& format) {
    // The field being run is the record just read.
    const TQxFieldSpan* span = FindFieldSpan(CmFieldSpans(), FCmStream->Position() - 1);
    if (span == nullptr || FPFile == nullptr) return;
    const std::int64_t offset = std::clamp<std::int64_t>(span->kwdPnt - 1, 0, Flent);
    auto known = FTextWidths.find(offset);
    if (known == FTextWidths.end()) {
        const std::string_view rtf(reinterpret_cast<const char*>(FPFile),
                                   static_cast<std::size_t>(Flent));
        known =
            FTextWidths.emplace(offset, TextWidthAt(rtf, static_cast<std::size_t>(offset))).first;
    }
    const double widthMm = known->second * 100 / kTwipsPerMm100;
    if (widthMm > 0 && format.SizeXmm() > widthMm) format.SetSizeXmm(widthMm);
}

std::string TQxRTF::PictureHeader(const TQxImageFormat& format, std::string_view kind, int width,
                                  int height) {
    std::string h = "{\\pict\\picscalex";
    if (kind == "\\wmetafile8") {
        // The Windows form: the size in hundredths of a millimetre, unscaled.
        h += "100\\picscaley100\\piccropl0\\piccropr0\\piccropt0\\piccropb0";
        h += "\\picw" + std::to_string(Nearest(format.SizeX() * kMm100PerPixel));
        h += "\\pich" + std::to_string(Nearest(format.SizeY() * kMm100PerPixel));
        h += kind;
    } else {
        h += std::to_string(format.ScaleX()) + "\\picscaley" + std::to_string(format.ScaleY());
        h += "\\piccropl0\\piccropr0\\piccropt0\\piccropb0";
        h += "\\picw" + std::to_string(width) + "\\pich" + std::to_string(height);
        h += kind;
        // The picture's own size in twips, which readers multiply by the
        // scales: without it a reader takes \picw as hundredths of a
        // millimetre (or pixels) and shows the picture at another size.
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
    const TQxImageFormat format = SettlePictureFormat(picture, fmt);
    const auto* metafile = dynamic_cast<const TMetafile*>(picture.Graphic());
    if (metafile == nullptr && FPictureForm == TQxPictureForm::Native) {
        // PNG and JPEG go in as they are; every reader takes those, and the
        // report grows by the picture's own bytes.
        const bool jpeg = picture.SourceKind() == TPictureSourceKind::Jpeg;
        const std::string png = picture.SourceKind() == TPictureSourceKind::None
                                    ? EncodePng(static_cast<const TBitmap&>(*picture.Graphic()))
                                    : std::string();
        WritePictureGroup(PictureHeader(format, jpeg ? "\\jpegblip" : "\\pngblip", picture.Width(),
                                        picture.Height()),
                          png.empty() ? picture.SourceBytes() : png);
        return;
    }
    // A metafile file is passed on as it is, so it keeps its own kind.
    const bool windowsMetafile =
        metafile != nullptr ? !metafile->Enhanced() : FOptions.Contains(eoGraphicsWmfCompatible);
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
    // The enhanced form's \picw and \pich are the shown size in twips.
    const auto twips = [](double mm) {
        return static_cast<int>(Nearest(mm * kTwipsPerMm100 / 100));
    };
    WritePictureGroup(PictureHeader(format, windowsMetafile ? "\\wmetafile8" : "\\emfblip",
                                    twips(format.SizeXmm()), twips(format.SizeYmm())),
                      data);
}

void TQxRTF::WritePictureGroup(const std::string& header, std::string_view data) {
    wr(header);
    if (FOptions.Contains(eoGraphicsBinary)) {
        wr("\\bin" + std::to_string(data.size()) + " ");
        CountOutput(static_cast<std::int64_t>(data.size()));
        FOutf->WriteBuffer(data.data(), static_cast<std::int64_t>(data.size()));
    } else {
        wr(" ");
        WriteHex(data);
    }
    wr("\r}");
}

void TQxRTF::WriteHex(std::string_view bytes) {
    // In pieces, so that a picture of megabytes does not need its hex text
    // whole in memory beside its bytes.
    constexpr std::size_t kPiece = 64 * 1024;
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) wr(HexText(bytes.substr(at, kPiece)));
}

}  // namespace qx
