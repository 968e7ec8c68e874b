#include "gui/CAPILoader.h"

CAPILoader& CAPILoader::instance() {
    static CAPILoader loader;
    return loader;
}

CAPILoader::CAPILoader() = default;
CAPILoader::~CAPILoader() = default;

void CAPILoader::interval(const char*, int) {
    if (!available_)
        return;
}

void CAPILoader::setText(const char*, const char*) {
    if (!available_)
        return;
}
