// Decoding picture files and writing and reading metafiles. The pictures in
// tests/data/pictures show four coloured quarters (red top left, green top
// right, blue bottom left, yellow bottom right).
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/picture.h"
#include "test_support.h"

using namespace qx;
using namespace std::string_literals;
using qxtest::DataPath;
using qxtest::ReadFileBytes;

namespace {

struct Rgb {
    int r, g, b;
};
constexpr Rgb kRed{200, 0, 0}, kGreen{0, 160, 0}, kBlue{0, 0, 200}, kYellow{230, 200, 0};
constexpr Rgb kWhite{255, 255, 255}, kBlack{0, 0, 0};

void ExpectPixel(const TBitmap& bm, int x, int y, Rgb want, int tolerance = 0) {
    const std::uint8_t* p = bm.Row(y) + x * 3;
    EXPECT_LE(std::abs(p[0] - want.r), tolerance) << "red at " << x << "," << y;
    EXPECT_LE(std::abs(p[1] - want.g), tolerance) << "green at " << x << "," << y;
    EXPECT_LE(std::abs(p[2] - want.b), tolerance) << "blue at " << x << "," << y;
}

void ExpectQuarters(const TBitmap& bm, int tolerance) {
    const int w = bm.Width(), h = bm.Height();
    ExpectPixel(bm, w / 4, h / 4, kRed, tolerance);
    ExpectPixel(bm, 3 * w / 4, h / 4, kGreen, tolerance);
    ExpectPixel(bm, w / 4, 3 * h / 4, kBlue, tolerance);
    ExpectPixel(bm, 3 * w / 4, 3 * h / 4, kYellow, tolerance);
}

std::string Picture(const char* name) {
    return ReadFileBytes(DataPath(std::string("pictures/") + name));
}

const TBitmap& AsBitmap(const TPicture& picture) {
    const auto* bm = dynamic_cast<const TBitmap*>(picture.Graphic());
    if (bm == nullptr) throw std::runtime_error("not a bitmap");
    return *bm;
}

void Put(std::string& s, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
std::uint32_t Get(const std::string& s, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(s[at + i]);
    return v;
}

}  // namespace

TEST(PictureDecode, RealFilesOfEveryKind) {
    struct Case {
        const char* file;
        int width, height, tolerance;
    };
    const Case cases[] = {
        {"quarters.png", 120, 60, 0},
        {"quarters.jpg", 90, 60, 24},  // lossy
        {"quarters.gif", 64, 32, 0},   // interlaced
        {"quarters.bmp", 50, 40, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TPicture picture;
        picture.LoadFromFile(DataPath(std::string("pictures/") + c.file));
        ASSERT_FALSE(picture.Empty());
        EXPECT_EQ(picture.Width(), c.width);
        EXPECT_EQ(picture.Height(), c.height);
        ExpectQuarters(AsBitmap(picture), c.tolerance);
    }
}

TEST(PictureDecode, TransparencyIsLaidOnWhite) {
    TPicture picture;
    picture.LoadFromBytes(Picture("quarters.png"));
    ExpectPixel(AsBitmap(picture), 0, 0, kWhite);
    ExpectPixel(AsBitmap(picture), 119, 59, kWhite);
    ExpectPixel(AsBitmap(picture), 2, 2, kRed);
}

namespace {
// A 2 x 2 BMP: `rows` are the stored rows (bottom row first unless
// top-down), each padded here to four bytes; `extra` follows the header
// (masks, colour table).
std::string Bmp(int headerSize, int bits, std::uint32_t compression, bool topDown,
                const std::string& extra, std::vector<std::string> rows) {
    std::string header;
    Put(header, headerSize, 4);
    if (headerSize == 12) {
        Put(header, 2, 2), Put(header, 2, 2), Put(header, 1, 2), Put(header, bits, 2);
    } else {
        Put(header, 2, 4);
        Put(header, topDown ? static_cast<std::uint32_t>(-2) : 2, 4);
        Put(header, 1, 2), Put(header, bits, 2), Put(header, compression, 4);
        for (int i = 0; i < 5; ++i) Put(header, 0, 4);
        header.resize(headerSize, '\0');
    }
    std::string pixels;
    for (std::string& r : rows) {
        r.resize((r.size() + 3) / 4 * 4, '\0');
        pixels += r;
    }
    std::string file = "BM";
    Put(file, 14 + header.size() + extra.size() + pixels.size(), 4);
    Put(file, 0, 4);
    Put(file, 14 + header.size() + extra.size(), 4);
    return file + header + extra + pixels;
}
std::string Quad(std::uint32_t v, int n = 4) {
    std::string s;
    Put(s, v, n);
    return s;
}
}  // namespace

TEST(PictureDecode, BmpVariants) {
    // Every case is red, green / blue, white from the top.
    const std::string palette = Quad(0xFF0000) + Quad(0x00FF00) + Quad(0x0000FF) + Quad(0xFFFFFF);
    // Colour tables hold every entry the bit count allows.
    const std::string core =
        "\x00\x00\xFF\x00\xFF\x00\xFF\x00\x00\xFF\xFF\xFF"s + std::string(252 * 3, '\0');
    struct Case {
        const char* name;
        std::string bmp;
    };
    const Case cases[] = {
        {"24-bit",
         Bmp(40, 24, 0, false, "", {"\xFF\x00\x00\xFF\xFF\xFF"s, "\x00\x00\xFF\x00\xFF\x00"s})},
        {"24-bit top-down",
         Bmp(40, 24, 0, true, "", {"\x00\x00\xFF\x00\xFF\x00"s, "\xFF\x00\x00\xFF\xFF\xFF"s})},
        {"core header",
         Bmp(12, 24, 0, false, "", {"\xFF\x00\x00\xFF\xFF\xFF"s, "\x00\x00\xFF\x00\xFF\x00"s})},
        {"core palette", Bmp(12, 8, 0, false, core, {"\x02\x03"s, "\x00\x01"s})},
        {"8-bit",
         Bmp(40, 8, 0, false, palette + std::string(252 * 4, '\0'), {"\x02\x03"s, "\x00\x01"s})},
        {"4-bit", Bmp(40, 4, 0, false, palette + std::string(12 * 4, '\0'), {"\x23"s, "\x01"s})},
        {"16-bit 555", Bmp(40, 16, 0, false, "",
                           {Quad(0x001F, 2) + Quad(0x7FFF, 2), Quad(0x7C00, 2) + Quad(0x03E0, 2)})},
        {"16-bit 565", Bmp(40, 16, 3, false, Quad(0xF800) + Quad(0x07E0) + Quad(0x001F),
                           {Quad(0x001F, 2) + Quad(0xFFFF, 2), Quad(0xF800, 2) + Quad(0x07E0, 2)})},
        {"32-bit",
         Bmp(40, 32, 0, false, "", {Quad(0xFF) + Quad(0xFFFFFF), Quad(0xFF0000) + Quad(0xFF00)})},
        {"32-bit V5 masks",
         Bmp(124, 32, 3, false, "", {Quad(0xFF) + Quad(0xFFFFFF), Quad(0xFF0000) + Quad(0xFF00)})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bmp = c.bmp;
        if (std::string(c.name) == "32-bit V5 masks") {  // masks inside the long header
            const std::uint32_t masks[] = {0xFF0000, 0xFF00, 0xFF};
            for (int i = 0; i < 3; ++i) bmp.replace(54 + 4 * i, 4, Quad(masks[i]));
        }
        const auto bm = DecodeBmp(bmp);
        ASSERT_EQ(bm->Width(), 2);
        ASSERT_EQ(bm->Height(), 2);
        ExpectPixel(*bm, 0, 0, {255, 0, 0});
        ExpectPixel(*bm, 1, 0, {0, 255, 0});
        ExpectPixel(*bm, 0, 1, {0, 0, 255});
        ExpectPixel(*bm, 1, 1, kWhite);
    }
    // Two colours, eight pixels a byte, most significant bit first.
    const auto mono = DecodeBmp(Bmp(40, 1, 0, false, Quad(0) + Quad(0xFFFFFF), {"\x40"s, "\x80"s}));
    ExpectPixel(*mono, 0, 0, kWhite);
    ExpectPixel(*mono, 1, 0, kBlack);
    ExpectPixel(*mono, 0, 1, kBlack);
    ExpectPixel(*mono, 1, 1, kWhite);
}

TEST(PictureDecode, DamagedDataIsAnErrorNotACrash) {
    const std::string png = Picture("quarters.png"), jpg = Picture("quarters.jpg"),
                      gif = Picture("quarters.gif"), bmp = Picture("quarters.bmp");
    std::string hugeGif = gif.substr(0, 13);
    hugeGif[6] = hugeGif[7] = hugeGif[8] = hugeGif[9] = '\x7F';  // 32639 x 32639
    std::string hugeBmp = bmp;
    hugeBmp[18] = hugeBmp[19] = hugeBmp[20] = '\x7F';  // width 8 million
    std::string rleBmp = bmp;
    rleBmp[30] = 1;
    std::string badHeaderBmp = bmp;
    badHeaderBmp[14] = static_cast<char>(200);
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"unknown kind", "this is text, not a picture"},
        {"PNG cut in half", png.substr(0, png.size() / 2)},
        {"PNG header only", png.substr(0, 40)},
        {"PNG with a damaged image chunk",
         png.substr(0, 60) + std::string(80, 'x') + png.substr(140)},
        {"JPEG cut in half", jpg.substr(0, jpg.size() / 2)},
        {"JPEG marker and noise", "\xFF\xD8\xFF" + std::string(200, '\x13')},
        {"GIF cut in half", gif.substr(0, gif.size() / 2)},
        {"GIF signature only", "GIF89a"},
        {"GIF claiming a huge screen", hugeGif + gif.substr(13)},
        {"BMP cut in half", bmp.substr(0, bmp.size() / 2)},
        {"BMP claiming a huge width", hugeBmp},
        {"BMP with run-length data", rleBmp},
        {"BMP with an unknown header", badHeaderBmp},
        {"Windows metafile header only", std::string("\x01\x00\x09\x00\x00\x03", 6)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        TPicture picture;
        try {
            picture.LoadFromBytes(bytes);
            ADD_FAILURE() << "decoded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_STRNE(e.what(), "");
        }
    }
}

// Every prefix of every picture, and every picture with one byte inverted,
// decodes or fails with EInvalidGraphic: no other exception, no crash (the
// sanitizer build runs this too).
TEST(PictureDecode, EveryCutAndEveryFlippedByte) {
    for (const char* name : {"quarters.png", "quarters.jpg", "quarters.gif", "quarters.bmp"}) {
        SCOPED_TRACE(name);
        const std::string bytes = Picture(name);
        auto decodeOrFail = [](const std::string& data, std::size_t at) {
            try {
                DecodeGraphic(data);
            } catch (const EInvalidGraphic&) {
            } catch (const std::exception& e) {
                ADD_FAILURE() << "at " << at << ": " << e.what();
            }
        };
        for (std::size_t n = 0; n < bytes.size(); ++n) decodeOrFail(bytes.substr(0, n), n);
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            std::string flipped = bytes;
            flipped[at] = static_cast<char>(~flipped[at]);
            decodeOrFail(flipped, at);
        }
    }
}

TEST(PictureDecode, DecoderMessagesAreTheLibraries) {
    const std::string jpg = Picture("quarters.jpg");
    try {
        DecodeJpeg(jpg.substr(0, jpg.size() / 2));
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Premature end of JPEG file");
    }
    try {
        DecodeGif("GIF89a\x01");
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "No screen descriptor detected");
    }
    try {
        DecodeJpeg("not a jpeg");
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Not a JPEG file: starts with 0x6e 0x6f");
    }
}

TEST(PictureDecode, MissingFileIsAnError) {
    TPicture picture;
    EXPECT_THROW(picture.LoadFromFile(DataPath("pictures/no-such-file.png")), Exception);
}

namespace {
TBitmap Quarters(int w, int h) {
    TPicture picture;
    picture.LoadFromBytes(Picture("quarters.bmp"));
    TBitmap bm(w, h);
    const TBitmap& src = AsBitmap(picture);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k)
                bm.Row(y)[x * 3 + k] = src.Row(y * src.Height() / h)[x * src.Width() / w * 3 + k];
    return bm;
}
}  // namespace

TEST(Metafile, WindowsMetafileAroundABitmap) {
    const TBitmap bm = Quarters(200, 100);
    const std::string wmf = WriteWindowsMetafile(bm);
    EXPECT_EQ(Get(wmf, 0, 2), 1u);              // in memory
    EXPECT_EQ(Get(wmf, 2, 2), 9u);              // header words
    EXPECT_EQ(Get(wmf, 6, 4) * 2, wmf.size());  // size in words
    // Records: map mode, window origin and extent, the bitmap, the end.
    std::vector<std::uint32_t> functions;
    std::size_t at = 18;
    std::uint32_t largest = 0;
    while (at < wmf.size()) {
        const std::uint32_t words = Get(wmf, at, 4);
        largest = std::max(largest, words);
        functions.push_back(Get(wmf, at + 4, 2));
        if (functions.back() == 0x020C) {
            EXPECT_EQ(Get(wmf, at + 6, 2), 100u);
            EXPECT_EQ(Get(wmf, at + 8, 2), 200u);
        }
        if (functions.back() == 0x0F43) {
            const std::size_t dib = at + 6 + 4 + 2 + 16;
            EXPECT_EQ(Get(wmf, dib, 4), 40u);       // info header
            EXPECT_EQ(Get(wmf, dib + 14, 2), 24u);  // bits per pixel
            // The first stored row is the bottom one: blue, stored B, G, R.
            EXPECT_EQ(Get(wmf, dib + 40, 3), 0x0000C8u);
        }
        at += words * 2;
    }
    EXPECT_EQ(at, wmf.size());
    EXPECT_EQ(functions, (std::vector<std::uint32_t>{0x0103, 0x020B, 0x020C, 0x0F43, 0x0000}));
    EXPECT_EQ(Get(wmf, 12, 4), largest);

    // Read back, the window gives the size in pixels.
    const auto meta = ReadMetafile(wmf);
    EXPECT_FALSE(meta->Enhanced());
    EXPECT_EQ(meta->Width(), 200);
    EXPECT_EQ(meta->Height(), 100);
    EXPECT_EQ(meta->Data(), wmf);

    // A placeable header declares the size in its own units per inch; the
    // metafile proper follows it.
    std::string placeable;
    Put(placeable, 0x9AC6CDD7, 4);
    Put(placeable, 0, 2);
    for (std::uint32_t v : {0u, 0u, 3000u, 1500u, 1440u}) Put(placeable, v, 2);
    Put(placeable, 0, 4);
    Put(placeable, 0, 2);
    const auto placed = ReadMetafile(placeable + wmf);
    EXPECT_EQ(placed->Width(), 200);
    EXPECT_EQ(placed->Height(), 100);
    EXPECT_EQ(placed->MMWidth(), 5292);
    EXPECT_EQ(placed->MMHeight(), 2646);
    EXPECT_EQ(placed->Data(), wmf);
}

TEST(Metafile, EnhancedMetafileAroundABitmap) {
    const TBitmap bm = Quarters(200, 100);
    const std::string emf = WriteEnhancedMetafile(bm, 5292, 2646);
    EXPECT_EQ(Get(emf, 0, 4), 1u);
    EXPECT_EQ(Get(emf, 40, 4), 0x464D4520u);
    EXPECT_EQ(Get(emf, 48, 4), emf.size());
    EXPECT_EQ(Get(emf, 52, 4), 3u);  // records
    std::vector<std::uint32_t> types;
    for (std::size_t at = 0; at < emf.size(); at += Get(emf, at + 4, 4)) {
        types.push_back(Get(emf, at, 4));
        if (types.back() != 81) continue;
        EXPECT_EQ(Get(emf, at + 40, 4), 200u);  // source width
        EXPECT_EQ(Get(emf, at + 44, 4), 100u);
        EXPECT_EQ(Get(emf, at + 72, 4), 200u);  // destination: the frame in 96 dpi pixels
        EXPECT_EQ(Get(emf, at + 76, 4), 100u);
        const std::size_t bits = at + Get(emf, at + 56, 4);
        EXPECT_EQ(Get(emf, bits, 3), 0x0000C8u);  // bottom left: blue
        EXPECT_EQ(Get(emf, at + 60, 4), (200 * 3 + 3) / 4 * 4 * 100u);
    }
    EXPECT_EQ(types, (std::vector<std::uint32_t>{1, 81, 14}));

    const auto meta = ReadMetafile(emf);
    EXPECT_TRUE(meta->Enhanced());
    EXPECT_EQ(meta->MMWidth(), 5292);
    EXPECT_EQ(meta->MMHeight(), 2646);
    EXPECT_EQ(meta->Width(), 200);
    EXPECT_EQ(meta->Height(), 100);
}
