// A report with a PNG, a JPEG, a GIF and a BMP picture, in the native form
// and both metafile forms, in both data encodings, read by LibreOffice: its
// PDF export must hold every picture at the size the application asked for. Skipped where
// LibreOffice or poppler's pdfimages is missing.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/streams.h"
#include "pdf_images.h"
#include "qxrtf/qxrtf.h"
#include "test_support.h"

using namespace qx;
using qxtest::ImagesOf;
using qxtest::ShownImage;

namespace {

// The sizes the handler below asks for, picture by picture (FIMG's index).
void AskForSize(int index, TQxImageFormat& f) {
    switch (index) {
        case 2:
            f.SetScaleX(200);
            break;
        case 3:
            f.FitScaleToX(100);
            break;
        case 4:
            f.SetProportional(false);
            f.SetScaleY(50);
            break;
        default:
            break;
    }
}

struct Source {
    const char* file;
    int width, height;
};
const Source kSources[] = {
    {"quarters.png", 120, 60},
    {"quarters.jpg", 90, 60},
    {"quarters.gif", 64, 32},
    {"quarters.bmp", 50, 40},
};

class PicturePdf : public qxtest::TempDirTest {};

}  // namespace

TEST_F(PicturePdf, EveryKindInBothFormsAndEncodingsAtTheRequestedSize) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "soffice is not installed";
    if (std::system("command -v pdfimages >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pdfimages is not installed";

    std::string body;
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i + 1);
        body += "Picture " + n + ": \\\\FIMG(P" + n + ", " + n + ")\\\\\\par ";
    }
    const std::string doc = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard " + body + "}";
    struct Variant {
        const char* name;
        TQxPictureForm form;
        TQxRTFOptions options;
    };
    const Variant variants[] = {
        {"native_hex", TQxPictureForm::Native, {}},
        {"native_bin", TQxPictureForm::Native, {eoGraphicsBinary}},
        {"emf_hex", TQxPictureForm::Metafile, {}},
        {"emf_bin", TQxPictureForm::Metafile, {eoGraphicsBinary}},
        {"wmf_hex", TQxPictureForm::Metafile, {eoGraphicsWmfCompatible}},
        {"wmf_bin", TQxPictureForm::Metafile, {eoGraphicsWmfCompatible, eoGraphicsBinary}},
    };
    std::string command = "soffice -env:UserInstallation=file://" + dir_ +
                          "/profile --headless --convert-to pdf --outdir '" + dir_ + "/pdf'";
    for (const Variant& v : variants) {
        TQxRTF report;
        for (int i = 0; i < 4; ++i)
            report.CreateVar("P" + std::to_string(i + 1),
                             qxtest::DataPath(std::string("pictures/") + kSources[i].file));
        report.SetOptions(v.options);
        report.SetPictureForm(v.form);
        report.SetOnImageFormat(AskForSize);
        report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
        report.SetOutFile(Path(std::string(v.name) + ".rtf"));
        report.Execute({});
        ASSERT_TRUE(report.ExecuteSuccessful()) << report.LastErrMsg();
        command += " '" + Path(std::string(v.name) + ".rtf") + "'";
    }
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;

    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        const std::string pdf = dir_ + "/pdf/" + v.name + ".pdf";
        ASSERT_TRUE(std::filesystem::exists(pdf));
        const std::vector<ShownImage> shown = ImagesOf(pdf);
        ASSERT_EQ(shown.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(kSources[i].file);
            TQxImageFormat asked(kSources[i].width, kSources[i].height);
            AskForSize(i + 1, asked);
            const double wantW = asked.SizeXmm() / 25.4, wantH = asked.SizeYmm() / 25.4;
            EXPECT_NEAR(shown[i].widthInches, wantW, wantW * 0.03);
            EXPECT_NEAR(shown[i].heightInches, wantH, wantH * 0.03);
        }
    }
}
