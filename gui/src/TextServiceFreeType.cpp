#include "gui/TextServiceFreeType.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>

namespace {

// Opening and closing faces touches the library object, which FreeType does not guard.
std::mutex& libraryMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Font

TextServiceFontFreeType::TextServiceFontFreeType(TextServiceFreeType* service, FT_Face face,
                                                 const unsigned char* data, bool ownsData, bool autohint)
    : service_(service), face_(face), data_(data), ownsData_(ownsData), autohint_(autohint) {}

TextServiceFontFreeType::~TextServiceFontFreeType() {
    if (face_) {
        std::lock_guard<std::mutex> lock(libraryMutex());
        FT_Done_Face(face_);
    }
    if (ownsData_)
        delete[] data_;
}

void TextServiceFontFreeType::getMetrics(FontMetrics& m) {
    m = FontMetrics();
    if (!face_ || !face_->size)
        return;
    const FT_Int32 hint = autohint_ ? FT_LOAD_FORCE_AUTOHINT : 0;
    if (spaceAdvance_ < 0) {
        spaceAdvance_ = 0;
        if (FT_Load_Char(face_, 0x20, FT_LOAD_NO_BITMAP | hint) == 0)
            spaceAdvance_ = int(face_->glyph->advance.x / 64);
    }
    const FT_Size_Metrics& sm = face_->size->metrics;
    m.ascent = int(sm.ascender >> 6);
    m.descent = int((-sm.descender) >> 6);
    m.height = m.ascent + m.descent;
    m.spaceAdvance = spaceAdvance_;
    m.bearingY = face_->glyph ? int(face_->glyph->metrics.horiBearingY / 64) : 0;
    m.maxAdvance = int(sm.max_advance >> 6);
    m.lineGap = int(sm.height >> 6) - m.height;
    m.underlineThickness = int(face_->underline_thickness >> 6);
    if (m.underlineThickness == 0)
        m.underlineThickness = 1;
    m.underlinePosition = -int((-face_->underline_position) >> 6);
}

bool TextServiceFontFreeType::renderGlyph(std::uint32_t codePoint, Glyph& glyph, GlyphBitmap& bitmap) {
    if (!face_)
        return false;
    FontMetrics m;
    getMetrics(m);
    const FT_Int32 hint = autohint_ ? FT_LOAD_FORCE_AUTOHINT : 0;
    if (FT_Load_Char(face_, codePoint, FT_LOAD_RENDER | hint) != 0)
        return false;
    const FT_GlyphSlot slot = face_->glyph;
    const FT_Bitmap& bm = slot->bitmap;
    glyph.bearingY = int(slot->metrics.horiBearingY / 64);
    glyph.leftBearing = slot->bitmap_left;
    glyph.width = int(bm.width);
    glyph.rightBearing = int(slot->advance.x >> 6) - glyph.leftBearing - glyph.width;
    glyph.height = int(bm.rows);
    glyph.topOffset = m.ascent - slot->bitmap_top;
    glyph.pending = false;
    if (bm.width * bm.rows != 0 && bm.buffer) {
        bitmap.width = int(bm.width);
        bitmap.height = int(bm.rows);
        bitmap.pixels.resize(std::size_t(bm.width) * bm.rows);
        // Coverage rows may be padded (pitch); copy them packed. Only 8-bit grey is expected
        // with FT_LOAD_RENDER; other pixel modes are taken as empty.
        if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
            for (unsigned row = 0; row < bm.rows; ++row) {
                const unsigned char* src =
                    bm.pitch >= 0 ? bm.buffer + std::size_t(row) * unsigned(bm.pitch)
                                  : bm.buffer + std::size_t(bm.rows - 1 - row) * unsigned(-bm.pitch);
                std::memcpy(bitmap.pixels.data() + std::size_t(row) * bm.width, src, bm.width);
            }
        } else {
            std::fill(bitmap.pixels.begin(), bitmap.pixels.end(), 0);
        }
        glyph.pending = true;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Service

TextServiceFreeType::TextServiceFreeType() {
    std::lock_guard<std::mutex> lock(libraryMutex());
    if (FT_Init_FreeType(&library_) != 0)
        library_ = nullptr;
}

TextServiceFreeType::~TextServiceFreeType() {
    std::lock_guard<std::mutex> lock(libraryMutex());
    if (library_)
        FT_Done_FreeType(library_);
}

AbstractTextServiceFont* TextServiceFreeType::openFromMemoryAt(const unsigned char* data, int size, bool ownsData,
                                                               int faceIndex, int pointSize, int dpi, int flags) {
    FT_Face face = nullptr;
    if (library_ && data && size > 0) {
        std::lock_guard<std::mutex> lock(libraryMutex());
        if (FT_New_Memory_Face(library_, data, FT_Long(size), faceIndex, &face) != 0) {
            face = nullptr;
        } else if (FT_Set_Char_Size(face, 0, FT_F26Dot6(pointSize) * 64, FT_UInt(dpi), FT_UInt(dpi)) != 0) {
            // Fixed-size faces refuse arbitrary sizes; treat as unusable.
            FT_Done_Face(face);
            face = nullptr;
        }
    }
    return new TextServiceFontFreeType(this, face, data, ownsData, (flags & FontFlagAutohint) != 0);
}

AbstractTextServiceFont* TextServiceFreeType::openFontFromMemory(const unsigned char* data, int size, bool ownsData,
                                                                 int pointSize, int dpi, int flags) {
    return openFromMemoryAt(data, size, ownsData, 0, pointSize, dpi, flags);
}

namespace {

// Reads a whole file into a new[] buffer; null on failure.
unsigned char* readFile(const std::string& path, int* size) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return nullptr;
    const std::streamoff length = in.tellg();
    if (length <= 0 || length > 0x7fffffff)
        return nullptr;
    unsigned char* data = new unsigned char[std::size_t(length)];
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(data), length)) {
        delete[] data;
        return nullptr;
    }
    *size = int(length);
    return data;
}

}  // namespace

bool TextServiceFreeType::matchFontFile(const std::string& name, int flags, std::string* file, int* faceIndex) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name.c_str()));
    if (!pattern)
        return false;
    FcPatternDel(pattern, FC_WEIGHT);
    FcPatternDel(pattern, FC_SLANT);
    FcPatternAddInteger(pattern, FC_WEIGHT, (flags & FontFlagBold) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, (flags & FontFlagItalic) ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    FcChar8* path = nullptr;
    int index = 0;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (ok) {
        *file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch)
            index = 0;
        *faceIndex = index;
    }
    FcPatternDestroy(match);
    return ok;
}

AbstractTextServiceFont* TextServiceFreeType::openFontByName(const char* name, int pointSize, int dpi, int flags) {
    if (!name || !*name || !library_)
        return nullptr;
    const std::string fontName(name);
    if (fontName.find(".ttf") != std::string::npos) {
        // A font file path.
        FT_Face face = nullptr;
        {
            std::lock_guard<std::mutex> lock(libraryMutex());
            const FT_Error error = FT_New_Face(library_, name, 0, &face);
            if (error == FT_Err_Unknown_File_Format) {
                std::printf("do not support the format\n");
                return nullptr;
            }
            if (error != 0) {
                std::printf("can not open font file: %s\n", name);
                return nullptr;
            }
            if (FT_Set_Char_Size(face, 0, FT_F26Dot6(pointSize) * 64, FT_UInt(dpi), FT_UInt(dpi)) != 0) {
                std::printf("can not set char size %d\n", pointSize);
                FT_Done_Face(face);
                return nullptr;
            }
        }
        return new TextServiceFontFreeType(this, face, nullptr, false, (flags & FontFlagAutohint) != 0);
    }
    // A family name: the installed font fontconfig picks for it, read into memory.
    std::string file;
    int faceIndex = 0;
    if (!matchFontFile(fontName, flags, &file, &faceIndex))
        return nullptr;
    int size = 0;
    unsigned char* data = readFile(file, &size);
    if (!data)
        return nullptr;
    AbstractTextServiceFont* font = openFromMemoryAt(data, size, true, faceIndex, pointSize, dpi, flags);
    if (!static_cast<TextServiceFontFreeType*>(font)->hasFace()) {
        delete font;
        return nullptr;
    }
    return font;
}
