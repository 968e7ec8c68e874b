#include "gui/ChineseFonts.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/GraphicsFont.h"
#include "gui/TextService.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>

namespace {

constexpr FcChar32 kProbeCodePoint = 0x5F55;  // a common simplified-Chinese character

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

}  // namespace

void moveDengxianFirst(std::vector<std::string>& names) {
    std::stable_partition(names.begin(), names.end(), [](const std::string& name) {
        return lowerCase(name).find("dengxian") != std::string::npos;
    });
}

std::vector<std::string> enumerateChineseFonts(AbstractGraphicsContext* context) {
    std::vector<std::string> names;
    if (!FcInit())
        return names;
    FcPattern* pattern = FcPatternCreate();
    FcCharSet* charset = FcCharSetCreate();
    FcCharSetAddChar(charset, kProbeCodePoint);
    FcPatternAddCharSet(pattern, FC_CHARSET, charset);
    FcLangSet* langs = FcLangSetCreate();
    FcLangSetAdd(langs, reinterpret_cast<const FcChar8*>("zh-cn"));
    FcPatternAddLangSet(pattern, FC_LANG, langs);
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_CHARSET, nullptr);
    FcFontSet* fonts = FcFontList(nullptr, pattern, objects);
    FcObjectSetDestroy(objects);
    FcLangSetDestroy(langs);
    FcCharSetDestroy(charset);
    FcPatternDestroy(pattern);
    if (!fonts)
        return names;

    for (int i = 0; i < fonts->nfont; ++i) {
        FcChar8* family = nullptr;
        if (FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch || !family)
            continue;
        const std::string name(reinterpret_cast<const char*>(family));
        if (name.empty() || name[0] == '@' || std::find(names.begin(), names.end(), name) != names.end())
            continue;
        FcCharSet* fontChars = nullptr;
        if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &fontChars) == FcResultMatch && fontChars &&
            !FcCharSetHasChar(fontChars, kProbeCodePoint))
            continue;
        // The name must open through the text service, and fontconfig must resolve it to a
        // face that really has the glyph.
        if (context) {
            std::unique_ptr<GraphicsFont> probe(context->openFontByName(name.c_str(), 16, 96, FontFlagAutohint));
            if (!probe)
                continue;
            if (probe->getGlyph(kProbeCodePoint).width <= 0)
                continue;
        }
        names.push_back(name);
    }
    FcFontSetDestroy(fonts);
    return names;
}

std::vector<std::string> findChineseFonts(AbstractGraphicsContext* context, bool preferDengxian) {
    static std::once_flag once;
    static std::vector<std::string> cached;
    std::call_once(once, [&] { cached = enumerateChineseFonts(context); });
    std::vector<std::string> names = cached;
    if (preferDengxian)
        moveDengxianFirst(names);
    return names;
}

std::string getPreferredChineseFontName(AbstractGraphicsContext* context) {
    const std::vector<std::string> names = findChineseFonts(context, true);
    return names.empty() ? std::string() : names.front();
}
