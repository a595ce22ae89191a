// Writes the test pictures of tests/data/pictures with the system's image
// libraries; rerun it only to change them:
//   g++ -std=c++20 scripts/make_test_pictures.cpp -lpng -ljpeg -lgif -o /tmp/make_pictures
//   (cd tests/data/pictures && /tmp/make_pictures)
// Each picture shows four coloured quarters, so that a rendering shows at a
// glance whether it is upright and unmirrored: red top left, green top
// right, blue bottom left, yellow bottom right.
#include <gif_lib.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

struct Rgb {
    unsigned char r, g, b;
};

Rgb Quarter(int x, int y, int w, int h) {
    const bool right = x >= w / 2, bottom = y >= h / 2;
    if (!bottom) return right ? Rgb{0, 160, 0} : Rgb{200, 0, 0};
    return right ? Rgb{230, 200, 0} : Rgb{0, 0, 200};
}

void WritePng(const char* name, int w, int h) {
    std::vector<unsigned char> rgba;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = Quarter(x, y, w, h);
            // A transparent frame of two pixels: it must come out white.
            const bool edge = x < 2 || y < 2 || x >= w - 2 || y >= h - 2;
            rgba.insert(rgba.end(), {c.r, c.g, c.b, static_cast<unsigned char>(edge ? 0 : 255)});
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = w;
    image.height = h;
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, name, 0, rgba.data(), 0, nullptr)) std::exit(1);
}

void WriteJpeg(const char* name, int w, int h) {
    FILE* f = std::fopen(name, "wb");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = w;
    cinfo.image_height = h;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(w * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgb c = Quarter(x, y, w, h);
            row[x * 3] = c.r, row[x * 3 + 1] = c.g, row[x * 3 + 2] = c.b;
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(f);
}

void WriteGif(const char* name, int w, int h) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName(name, false, &error);
    GifColorType colors[4] = {{200, 0, 0}, {0, 160, 0}, {0, 0, 200}, {230, 200, 0}};
    ColorMapObject* map = GifMakeMapObject(4, colors);
    EGifPutScreenDesc(gif, w, h, 2, 0, map);
    // Interlaced, so that the decoder's row order is exercised.
    EGifPutImageDesc(gif, 0, 0, w, h, true, nullptr);
    std::vector<std::vector<GifPixelType>> rows(h, std::vector<GifPixelType>(w));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) rows[y][x] = (y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0);
    const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < h; y += step[pass]) EGifPutLine(gif, rows[y].data(), w);
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
}

void Put(FILE* f, unsigned v, int bytes) {
    for (int i = 0; i < bytes; ++i) std::fputc((v >> (8 * i)) & 0xFF, f);
}

void WriteBmp(const char* name, int w, int h) {
    const int stride = (w * 3 + 3) / 4 * 4;
    FILE* f = std::fopen(name, "wb");
    std::fputs("BM", f);
    Put(f, 54 + stride * h, 4);
    Put(f, 0, 4);
    Put(f, 54, 4);
    for (unsigned v : {40u, unsigned(w), unsigned(h)}) Put(f, v, 4);
    Put(f, 1, 2);
    Put(f, 24, 2);
    for (unsigned v : {0u, unsigned(stride * h), 3780u, 3780u, 0u, 0u}) Put(f, v, 4);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const Rgb c = Quarter(x, y, w, h);
            std::fputc(c.b, f), std::fputc(c.g, f), std::fputc(c.r, f);
        }
        for (int i = w * 3; i < stride; ++i) std::fputc(0, f);
    }
    std::fclose(f);
}

}  // namespace

int main() {
    WritePng("quarters.png", 120, 60);
    WriteJpeg("quarters.jpg", 90, 60);
    WriteGif("quarters.gif", 64, 32);
    WriteBmp("quarters.bmp", 50, 40);
}
