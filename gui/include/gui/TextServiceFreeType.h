#pragma once
// The text service over FreeType 2. System fonts are found by family name through
// fontconfig.

#include "gui/TextService.h"

#include <string>

typedef struct FT_LibraryRec_* FT_Library;
typedef struct FT_FaceRec_* FT_Face;

class TextServiceFreeType;

class TextServiceFontFreeType : public AbstractTextServiceFont {
public:
    // Takes the face (may be null) and, when ownsData, the data (allocated with new[]).
    TextServiceFontFreeType(TextServiceFreeType* service, FT_Face face, const unsigned char* data, bool ownsData,
                            bool autohint);
    ~TextServiceFontFreeType() override;

    void getMetrics(FontMetrics& metrics) override;
    bool renderGlyph(std::uint32_t codePoint, Glyph& glyph, GlyphBitmap& bitmap) override;

    bool hasFace() const { return face_ != nullptr; }
    FT_Face face() const { return face_; }

private:
    TextServiceFreeType* service_;
    FT_Face face_;
    int spaceAdvance_ = -1;
    const unsigned char* data_;
    bool ownsData_;
    bool autohint_;
};

class TextServiceFreeType : public AbstractTextService {
public:
    TextServiceFreeType();
    ~TextServiceFreeType() override;

    AbstractTextServiceFont* openFontFromMemory(const unsigned char* data, int size, bool ownsData, int pointSize,
                                                int dpi, int flags) override;
    AbstractTextServiceFont* openFontByName(const char* name, int pointSize, int dpi, int flags) override;

    FT_Library library() const { return library_; }

    // The file and face index fontconfig picks for a family name with the bold and italic
    // flags; false when fontconfig offers no file.
    static bool matchFontFile(const std::string& name, int flags, std::string* file, int* faceIndex);

private:
    AbstractTextServiceFont* openFromMemoryAt(const unsigned char* data, int size, bool ownsData, int faceIndex,
                                              int pointSize, int dpi, int flags);

    FT_Library library_ = nullptr;
};
