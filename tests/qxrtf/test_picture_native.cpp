// Pictures in the native form: PNG and JPEG embedded as they are, other
// bitmaps as PNG, with the size, scale and border words; pictures without a
// size of their own kept within the text width; sizes and borders given as
// text (the tool's --picture and the settings document).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "conscom/exceptions.h"
#include "platform/picture.h"
#include "qxfunc/udf_list.h"
#include "qxrtf/engine_fixture.h"
#include "qxrtf/internal/text_width.h"
#include "qxrtf/pict_group.h"
#include "test_support.h"

using namespace qx;
using qxtest::kCrop;
using qxtest::PictGroup;
using qxtest::SplitPict;

namespace {

// The header of a native picture: scales, pixels, kind and the unscaled
// size in twips.
std::string NativeHeader(int scale, int w, int h, const char* kind, int goalw, int goalh) {
    const std::string sc = std::to_string(scale);
    return "{\\pict\\picscalex" + sc + "\\picscaley" + sc + kCrop + "\\picw" + std::to_string(w) +
           "\\pich" + std::to_string(h) + kind + "\\picwgoal" + std::to_string(goalw) +
           "\\pichgoal" + std::to_string(goalh);
}

// The shown size in twips that a picture header asks for: the goal times the
// scale.
std::pair<double, double> ShownSize(const std::string& header) {
    const auto number = [&](const std::string& word) {
        const auto at = header.find(word);
        return at == std::string::npos ? -1.0 : std::stod(header.substr(at + word.size()));
    };
    return {number("\\picwgoal") * number("\\picscalex") / 100,
            number("\\pichgoal") * number("\\picscaley") / 100};
}

std::string Picture(const char* name) {
    return qxtest::ReadFileBytes(qxtest::DataPath(std::string("pictures/") + name));
}

// The same pixels, whatever the file kind they came from.
void ExpectSamePixels(const TBitmap& a, const TBitmap& b) {
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    for (int y = 0; y < a.Height(); ++y)
        ASSERT_EQ(std::memcmp(a.Row(y), b.Row(y), a.RowBytes()), 0) << "row " << y;
}

class NativePictures : public qxtest::EngineTest {
  protected:
    void SetUp() override {
        qxtest::AddBlankPictureFunction(udfs, bitmapSize);
        report.SetUDFList(&udfs);
    }
    // The output of a whole document of the given body and head words.
    std::string RenderDoc(const std::string& head, const std::string& body) {
        const std::string doc = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}" + head + body + "}";
        report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
        TMemoryStream out;
        report.ExecuteStream(DataSets(), &out);
        return std::string(reinterpret_cast<const char*>(out.Memory()),
                           static_cast<std::size_t>(out.Size()));
    }
    TQxUDFList udfs;
    std::pair<int, int> bitmapSize{1600, 1200};
};

}  // namespace

TEST_F(NativePictures, PngAndJpegFilesGoInAsTheyAreOthersAsPng) {
    struct Case {
        const char* file;
        const char* kind;
        int w, h;
    };
    const Case cases[] = {
        {"quarters.png", "\\pngblip", 120, 60},
        {"quarters.jpg", "\\jpegblip", 90, 60},
        {"quarters.gif", "\\pngblip", 64, 32},
        {"quarters.bmp", "\\pngblip", 50, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string bytes = Picture(c.file);
        report.CreateVar("F", qxtest::DataPath(std::string("pictures/") + c.file));
        const PictGroup g = SplitPict(Render("\\\\FIMG(F)\\\\x"));
        EXPECT_EQ(g.header, NativeHeader(100, c.w, c.h, c.kind, c.w * 15, c.h * 15));
        EXPECT_EQ(g.after, "x");
        if (SourceKindOf(bytes) != TPictureSourceKind::None) {
            EXPECT_EQ(g.data, bytes);
        } else {
            ASSERT_EQ(SourceKindOf(g.data), TPictureSourceKind::Png);
            ExpectSamePixels(*DecodePng(g.data),
                             static_cast<const TBitmap&>(*DecodeGraphic(bytes)));
        }
        report.VarList()->Clear();
    }
}

TEST_F(NativePictures, BlobsAndPictureFunctions) {
    const std::string jpg = Picture("quarters.jpg"), gif = Picture("quarters.gif");
    AddDataSet("D", {{"G", ftGraphic}}, {{jpg}, {gif}});
    bitmapSize = {30, 20};
    const std::string out = Render("\\\\SCAN(D)\\\\\\\\D.G\\\\\\\\ENDSCAN\\\\\\\\PIC()\\\\");
    std::vector<PictGroup> groups;
    for (auto at = out.find("{\\pict"); at != std::string::npos; at = out.find("{\\pict", at + 1))
        groups.push_back(SplitPict(out.substr(at)));
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].data, jpg);
    EXPECT_NE(groups[0].header.find("\\jpegblip"), std::string::npos);
    ExpectSamePixels(*DecodePng(groups[1].data), *DecodeGif(gif));
    ExpectSamePixels(*DecodePng(groups[2].data), TBitmap(30, 20));  // white
}

TEST_F(NativePictures, ScaleAndBorderWords) {
    const std::string colors = "{\\colortbl;\\red255\\green0\\blue0;}";
    report.CreateVar("F", qxtest::DataPath("pictures/quarters.png"));
    report.SetOnImageFormat([](int, TQxImageFormat& f) {
        f.SetScaleX(50);
        f.SetBorderType(ibtDouble, 1.5, 1);
    });
    const std::string out = RenderDoc(colors, "\\pard \\\\FIMG(F)\\\\\\par");
    EXPECT_NE(
        out.find(NativeHeader(50, 120, 60, "\\pngblip", 1800, 900) + "\\brdrdb\\brdrw30\\brdrcf1 "),
        std::string::npos)
        << out.substr(0, 300);
}

TEST_F(NativePictures, HexByDefaultBinaryOnRequestAndTheReportGrowsByThePicture) {
    EXPECT_FALSE(TQxRTF().Options().Contains(eoGraphicsBinary));
    const std::string jpg = Picture("quarters.jpg");
    report.CreateVar("F", qxtest::DataPath("pictures/quarters.jpg"));
    const std::string hex = Render("\\\\FIMG(F)\\\\");
    EXPECT_EQ(SplitPict(hex).data, jpg);
    EXPECT_EQ(hex.find("\\bin"), std::string::npos);
    // Two digits a byte and a header of some words.
    EXPECT_LE(hex.size(), 2 * jpg.size() + 200);
    report.SetOptions({eoGraphicsBinary});
    const std::string bin = Render("\\\\FIMG(F)\\\\");
    EXPECT_NE(bin.find("\\bin" + std::to_string(jpg.size()) + " "), std::string::npos);
    EXPECT_EQ(SplitPict(bin).data, jpg);
    EXPECT_LE(bin.size(), jpg.size() + 200);
}

TEST_F(NativePictures, MetafileFormOnRequest) {
    report.SetPictureForm(TQxPictureForm::Metafile);
    report.CreateVar("F", qxtest::DataPath("pictures/quarters.jpg"));
    const PictGroup g = SplitPict(Render("\\\\FIMG(F)\\\\"));
    EXPECT_NE(g.header.find("\\emfblip"), std::string::npos);
    EXPECT_TRUE(ReadMetafile(g.data)->Enhanced());
}

TEST(TextWidth, PageMarginsSectionsAndCells) {
    struct Case {
        const char* rtf;  // `@` marks the place asked about
        int twips;
    };
    const Case cases[] = {
        {"{\\rtf1 @}", 12240 - 3600},  // the reader's defaults
        {"{\\rtf1\\paperw11906\\margl1134\\margr1134 @}", 9638},
        {"{\\rtf1\\paperw11906\\margl1134\\margr1134\\sectd\\pgwsxn16838\\marglsxn567 @}", 15137},
        {"{\\rtf1\\margl1000\\margr1000\\sectd\\marglsxn0 a\\sect\\sectd @}", 10240},
        // cells: the second of three, with half gaps; padding when given
        {"{\\rtf1\\trowd\\trgaph108\\cellx2000\\cellx5000\\cellx9000\\pard\\intbl a\\cell "
         "@\\cell c\\cell\\row}",
         3000 - 216},
        {"{\\rtf1\\trowd\\trleft-100\\trpaddl50\\trpaddr70\\cellx2000\\pard\\intbl @\\cell\\row}",
         2100 - 120},
        // a row defined after its cells, as some writers do
        {"{\\rtf1\\pard\\intbl a\\cell @\\cell\\trowd\\cellx1000\\cellx4000\\row}", 3000},
        // after the table, and in a paragraph of its own after \pard
        {"{\\rtf1\\margl0\\margr0\\trowd\\cellx1000\\pard\\intbl a\\cell\\row\\pard @}", 12240},
        {"{\\rtf1\\margl0\\margr0\\trowd\\cellx1000\\pard\\intbl a\\cell\\pard @}", 12240},
        // words inside \bin data are no words; nonsense margins give no width
        {"{\\rtf1\\margl0\\margr0{\\pict\\bin7 \\margl9 @}", 12240},
        {"{\\rtf1\\margl9000\\margr9000 @}", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rtf);
        const std::string_view rtf = c.rtf;
        EXPECT_EQ(TextWidthAt(rtf, rtf.find('@')), c.twips);
    }
}

TEST_F(NativePictures, AWidePictureWithoutASizeFitsThePageOrItsCell) {
    // A4 with 2 cm margins: 9638 twips (170 mm) of text; a 1600 x 1200
    // picture is 423 mm wide at 96 pixels per inch.
    const std::string a4 = "\\paperw11906\\paperh16838\\margl1134\\margr1134";
    const auto shownIn = [&](const std::string& body) {
        return ShownSize(SplitPict(RenderDoc(a4, body)).header);
    };
    const std::pair<double, double> page = shownIn("\\pard \\\\PIC()\\\\\\par");
    EXPECT_NEAR(page.first, 9638, 1);
    EXPECT_NEAR(page.second, 9638 * 0.75, 9638 * 0.75 * 0.005);  // the aspect ratio kept
    // A 60 mm cell (3402 twips less two half gaps of 108).
    const std::pair<double, double> cell = shownIn(
        "\\trowd\\trgaph108\\cellx3402\\cellx9000\\pard\\intbl \\\\PIC()\\\\\\cell b\\cell\\row");
    EXPECT_NEAR(cell.first, 3402 - 216, 1);
    EXPECT_NEAR(cell.second, (3402 - 216) * 0.75, (3402 - 216) * 0.75 * 0.02);
    // A small picture stays as it is; a size given or the handler's word wins.
    bitmapSize = {100, 50};
    EXPECT_EQ(shownIn("\\pard \\\\PIC()\\\\").first, 1500);
    bitmapSize = {1600, 1200};
    report.SetPictureSizing(0, "300mm");
    EXPECT_NEAR(shownIn("\\pard \\\\PIC()\\\\").first, 300 * 56.69, 1);
    report.ClearPictureSizings();
    report.SetPictureSizing(0, "border=single");  // no size: still fitted
    EXPECT_NEAR(shownIn("\\pard \\\\PIC()\\\\").first, 9638, 1);
    report.SetOnImageFormat([](int, TQxImageFormat& f) { f.SetSizeXmm(250); });
    EXPECT_NEAR(shownIn("\\pard \\\\PIC()\\\\").first, 250 * 56.69, 1);
}

TEST(PictureSizing, SizesScalesAndBordersAsAHandlerWouldSetThem) {
    struct Case {
        const char* text;
        double widthMm, heightMm;  // shown, of a 200 x 100 pixel picture
        TQxImageBorderType border;
        int borderTwips;
    };
    const Case cases[] = {
        {"40mm", 40, 20, ibtNone, 0},
        {"4cm", 40, 20, ibtNone, 0},
        {"height=1in", 51, 25.4, ibtNone, 0},  // the other side in whole millimetres
        {"width=72pt", 25.4, 13, ibtNone, 0},
        {"30mmx30mm", 30, 30, ibtNone, 0},
        {"50%", 26.46, 13.23, ibtNone, 0},
        {"40mm,border=single:1pt", 40, 20, ibtSingle, 20},
        {"border=dotted:0.5:2", 52.92, 26.46, ibtDotted, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TQxImageFormat f(200, 100);
        const TQxPictureSizing sizing = ParsePictureSizing(c.text);
        sizing.ApplyTo(f);
        EXPECT_NEAR(f.SizeXmm(), c.widthMm, 0.01);
        EXPECT_NEAR(f.SizeYmm(), c.heightMm, 0.01);
        EXPECT_EQ(f.Border().BrType, c.border);
        EXPECT_EQ(f.BorderTwips(), c.borderTwips);
        EXPECT_TRUE(f.Proportional());  // as the handler will find it
    }
    EXPECT_EQ(ParsePictureSizing("border=dotted:0.5:2").border->ColorIndex, 2);
}

TEST(PictureSizing, MistakesAreNamed) {
    const std::string sizes =
        "is not a size (a number with mm, cm, in or pt), a scale (a number with %), width=, "
        "height= or border=";
    const std::pair<const char*, std::string> cases[] = {
        {"", "Picture format \"\": nothing is given"},
        {"40", "Picture format \"40\": \"40\" " + sizes},
        {"40qq", "Picture format \"40qq\": \"40qq\" " + sizes},
        {"0mm", "Picture format \"0mm\": \"0mm\" " + sizes},
        {"1x2x3mm", "Picture format \"1x2x3mm\": \"1x2x3mm\" " + sizes},
        {"40mm,", "Picture format \"40mm,\": \"\" " + sizes},
        {"0%", "Picture format \"0%\": \"0%\" is not a scale from 1% to 65535%"},
        {"border=zig",
         "Picture format \"border=zig\": unknown border style \"zig\" (none, "
         "single, double, thick, shadow, dotted, hairline)"},
        {"border=single:9pt",
         "Picture format \"border=single:9pt\": \"9pt\" is not a border width from 0 to 3.5pt"},
        {"border=single:1:x",
         "Picture format \"border=single:1:x\": \"x\" is not a colour number of the template"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        try {
            ParsePictureSizing(text);
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
}

TEST(PictureSettings, FormAndSizesRoundTripAndMistakesChangeNothing) {
    TQxRTF report;
    report.LoadSettings(nlohmann::json::parse(
        R"({"PictureForm": "metafile", "Pictures": {"1": "40mm", "3": "50%,border=single"}})"));
    EXPECT_EQ(report.PictureForm(), TQxPictureForm::Metafile);
    ASSERT_EQ(report.PictureSizings().size(), 2u);
    EXPECT_EQ(report.PictureSizings().at(1).widthMm, 40);
    nlohmann::json saved;
    report.SaveSettings(saved);
    EXPECT_EQ(saved["PictureForm"], "metafile");
    EXPECT_EQ(saved["Pictures"],
              nlohmann::json::parse(R"({"1": "40mm", "3": "50%,border=single"})"));
    const std::pair<const char*, const char*> bad[] = {
        {R"({"PictureForm": "bitmap"})",
         "Settings: PictureForm must be \"native\" or \"metafile\""},
        {R"({"Pictures": ["40mm"]})",
         "Settings: Pictures must be an object of format indexes and picture formats"},
        {R"({"Pictures": {"x": "40mm"}})",
         "Settings: Pictures: \"x\" is not a picture format index (0 or more)"},
        {R"({"Pictures": {"1": 40}})", "Settings: Pictures: the format of 1 must be a text"},
        {R"({"PictureForm": "native", "Pictures": {"1": "40"}})",
         "Settings: Pictures: Picture format \"40\": \"40\" is not a size (a number with mm, cm, "
         "in or pt), a scale (a number with %), width=, height= or border="},
    };
    for (const auto& [doc, message] : bad) {
        SCOPED_TRACE(doc);
        try {
            report.LoadSettings(nlohmann::json::parse(doc));
            ADD_FAILURE() << "no error";
        } catch (const Exception& e) {
            EXPECT_EQ(e.what(), std::string(message));
        }
        EXPECT_EQ(report.PictureForm(), TQxPictureForm::Metafile);
        EXPECT_EQ(report.PictureSizings().size(), 2u);
    }
}
