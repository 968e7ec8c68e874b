// The style catalogue of a PlayerGUI: the compiled-in image atlases, the colour table and the
// font styles made from the two compiled-in faces.

#include "gui/PlayerGUI.h"

#include "assets/Assets.h"
#include "gui/AbstractGraphicsContext.h"
#include "gui/PngImage.h"
#include "gui/TextService.h"

namespace {

struct AtlasEntry {
    const char* name;
    const char* file;
};

// In load order. Names are case-sensitive ("Loading").
const AtlasEntry kAtlases[] = {
    {"animation", "atlases/animation.png"}, {"controls", "atlases/controls.png"},
    {"gamepad", "atlases/gamepad.png"},     {"images", "atlases/images.png"},
    {"Loading", "atlases/Loading.png"},     {"logo", "atlases/logo.png"},
    {"selectos", "atlases/selectos.png"},   {"updater", "atlases/updater.png"},
};

struct ColorEntry {
    const char* name;
    std::uint32_t value;  // A<<24 | B<<16 | G<<8 | R
};

const ColorEntry kColors[] = {
    {"transparent", 0x00000000},
    {"black", 0xff000000},
    {"white", 0xffffffff},
    {"red", 0xff0000ff},
    {"yellow", 0xf00bacfb},
    {"vq", 0xffd4b916},
    {"button-default", 0xffd4b916},
    {"so-blue-active", 0xffb9a103},
    {"so-blue-hover", 0xffb9a103},
    {"so-blue-idle", 0xffd4b800},
    {"so-green-active", 0xff188c05},
    {"so-green-hover", 0xff188c05},
    {"so-green-idle", 0xff24b20d},
    {"so-red", 0xff3643f4},
    {"so-grey", 0xffa0a0a0},
    {"so-restart-enable", 0xff4a4a4a},
    {"so-restart-disable", 0xff9b9b9b},
    {"so-white-active", 0xffffffff},
    {"so-white-hover", 0xffffffff},
    {"so-white-idle", 0xd2ffffff},
    {"so-none-active", 0xffffffff},
    {"so-none-hover", 0xffffffff},
    {"so-none-idle", 0xd2ffffff},
    {"player-button-main-default", 0xb24f4737},
    {"player-button-main-hover", 0xff4f4737},
    {"player-button-secondary-default", 0xb2d4b800},
    {"player-button-secondary-hover", 0xffd4b800},
    {"player-button-green-default", 0xb23fc68c},
    {"player-button-green-hover", 0xff3fc68c},
    {"player-button-exit-default", 0xb23643f4},
    {"player-button-exit-hover", 0xff3643f4},
    {"player-slider", 0xffb7af8b},
    {"player-button-active-item", 0xb2d4b800},
    {"player-button-active-decoder", 0xb23fc68c},
    {"tutorial", 0xff4f4737},
    {"plan-background", 0xe64f4737},
    {"plan-button", 0xd204a527},
    {"player-gamepad-button-default", 0xf0bbb5b0},
    {"player-gamepad-button-hover", 0xf0dad7d3},
    {"player-menu-red-button-default", 0xf0625ebf},
    {"player-menu-red-button-hover", 0xf0191dce},
    {"bottom-button-default", 0xffd4b916},
    {"bottom-button-hover", 0xf0948813},
    {"popupmenu-default", 0xef838383},
    {"popupmenu-hover", 0xffe9db81},
    {"popupmenu-text-default", 0xffffffff},
    {"popupmenu-text-disabled", 0xff000000},
    {"textedit-cursor", 0xffffffff},
    {"modal-panel-body-na", 0xff111111},
    {"modal-panel-header", 0xef312511},
    {"modal-panel-body", 0xbe111111},
    {"panel-body", 0xf24f4736},
    {"grey-out-player", 0x86080705},
};

struct StyleEntry {
    const char* name;
    bool bold;
    int pointSize;
};

const StyleEntry kStyles[] = {
    {"launcher-edit-boxes", false, 14}, {"player-record", true, 16},    {"updater-bold", true, 13},
    {"signin-big-bold", true, 18},      {"signin-bold", true, 14},      {"signin-small-bold", true, 10},
    {"header", true, 12},               {"default", false, 12},         {"small", false, 8},
    {"launcher-big", false, 14},        {"launcher-small", false, 10},  {"tutorial-caption", false, 16},
    {"tutorial-lefttext", false, 12},   {"tutorial", false, 10},        {"selectos-title", false, 22},
    {"selectos-caption", false, 14},    {"selectos-info", false, 11},   {"selectos-l-info", false, 8},
};

}  // namespace

void PlayerGUI::loadAtlases() {
    PngImage image;
    for (const AtlasEntry& atlas : kAtlases) {
        AbstractSurface* surface = nullptr;
        const EmbeddedAsset* asset = findAsset(atlas.file);
        if (asset && image.decodePngFromMemory(asset->data, asset->size)) {
            surface = context_->createSurface();
            if (surface)
                surface->setImage(image.pixels.data(), image.width, image.height, image.format);
        }
        addAtlas(atlas.name, surface);
    }
}

void PlayerGUI::setColorsFromTable() {
    for (const ColorEntry& entry : kColors)
        colors_[entry.name] = Color(entry.value);
}

bool PlayerGUI::loadFontStyles(AbstractGraphicsContext* context, const std::string&) {
    uiScale_ = context->uiScale();
    textService_ = context->textService();
    const int dpi = context->fontDPI();
    // The alternate face name (a system font with Chinese glyphs) is not used by any style.
    const EmbeddedAsset* regular = findAsset("fonts/Inter-Regular.otf");
    const EmbeddedAsset* bold = findAsset("fonts/Inter-Bold.otf");
    for (const StyleEntry& entry : kStyles) {
        const EmbeddedAsset* face = entry.bold ? bold : regular;
        FontStyle style(face ? face->data : nullptr, face ? int(face->size) : 0, entry.pointSize, dpi,
                        FontFlagAutohint);
        fontStyles_[entry.name] = style;
    }
    return true;
}
