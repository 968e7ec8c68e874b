#include "gui/PngImage.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <limits>

namespace {

struct MemoryReader {
    const unsigned char* data;
    std::size_t left;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->left)
        png_error(png, "read past the end of the data");
    std::memcpy(out, reader->data, length);
    reader->data += length;
    reader->left -= length;
}

void silentWarning(png_structp, png_const_charp) {}

void errorJump(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

}  // namespace

void PngImage::reset() {
    width = height = 0;
    format = 0;
    bitDepth = 0;
    rows.clear();
    pixels.clear();
    rowBytes = 0;
}

bool PngImage::decodePngFromMemory(const void* data, std::size_t length) {
    reset();
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (!bytes || length <= 7 || png_sig_cmp(bytes, 0, 8) != 0)
        return false;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, errorJump, silentWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    MemoryReader reader{bytes + 8, length - 8};
    // Locals touched after setjmp are kept in the record, which outlives the jump.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        reset();
        return false;
    }
    png_set_read_fn(png, &reader, readFromMemory);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);

    const png_uint_32 w = png_get_image_width(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    const int colorType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);

    // Every input becomes 8-bit RGBA: palettes and low-bit grey are expanded, tRNS chunks
    // become alpha, 16-bit channels are reduced, grey is spread to RGB and an opaque alpha
    // byte is added where there is none.
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (depth == 16)
        png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const std::size_t rb = png_get_rowbytes(png, info);
    const int outType = png_get_color_type(png, info);
    const int outDepth = png_get_bit_depth(png, info);
    if (outType != PNG_COLOR_TYPE_RGBA || outDepth != 8 || rb != std::size_t(w) * 4 || w == 0 || h == 0 ||
        rb > std::numeric_limits<std::size_t>::max() / h) {
        png_destroy_read_struct(&png, &info, nullptr);
        reset();
        return false;
    }
    try {
        pixels.resize(rb * h);
        rows.resize(h);
    } catch (...) {
        png_destroy_read_struct(&png, &info, nullptr);
        reset();
        return false;
    }
    for (png_uint_32 y = 0; y < h; ++y)
        rows[y] = pixels.data() + rb * y;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);

    width = int(w);
    height = int(h);
    bitDepth = outDepth;
    format = 2;
    rowBytes = rb;
    return true;
}
