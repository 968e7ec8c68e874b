#pragma once
// The images and fonts compiled into the program, by their path under assets/
// ("atlases/controls.png", "fonts/Inter-Regular.otf").

#include <cstddef>

struct EmbeddedAsset {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};

// Null for an unknown name.
const EmbeddedAsset* findAsset(const char* name);
const EmbeddedAsset* assetsBegin();
const EmbeddedAsset* assetsEnd();
