#include "gui/CAPILoader.h"

#include <algorithm>

#include "platform/DynamicLibrary.h"

BaseLoader::~BaseLoader() {
    unloadLibrary();
}

bool BaseLoader::loadLibrary(const std::string& path) {
    if (library_)
        return true;
    // An optional library: its absence is the usual case and not worth a line.
    library_ = platform::openLibrary(path.empty() ? libraryName() : path);
    return library_ != nullptr;
}

void BaseLoader::unloadLibrary() {
    if (!library_)
        return;
    platform::closeLibrary(library_);
    library_ = nullptr;
    onUnload();
}

void* BaseLoader::symbol(const char* name) const {
    return platform::librarySymbol(library_, name);
}

CAPILoader& CAPILoader::instance() {
    static CAPILoader loader("");
    return loader;
}

CAPILoader::CAPILoader(const std::string& path) {
    if (loadLibrary(path) && resolveEntry())
        initializeGlobal_(&callbacks_);
}

CAPILoader::~CAPILoader() {
    available_ = false;
    unloadLibrary();
}

bool CAPILoader::resolveEntry() {
    initializeGlobal_ = reinterpret_cast<InitializeFunction>(symbol(kEntryName));
    available_ = initializeGlobal_ != nullptr;
    return available_;
}

void CAPILoader::setText(const char* name, const char* text) {
    if (available_ && callbacks_.setText)
        callbacks_.setText(name, text);
}

void CAPILoader::interval(const char* name, bool begin) {
    if (!available_)
        return;
    if (begin) {
        if (callbacks_.beginInterval)
            callbacks_.beginInterval(name);
    } else if (callbacks_.endInterval) {
        callbacks_.endInterval(name);
    }
}

bool CAPILoader::readData(const char* name, std::vector<CollectorRecord>& records) {
    records.resize(kMaxRecords);
    std::int32_t count = kMaxRecords;
    if (available_ && callbacks_.read)
        count = callbacks_.read(name, records.data(), &count);
    else
        count = 0;
    // The collector's answer sizes the vector: a negative count or one beyond the buffer
    // must not grow it past what was handed over.
    records.resize(std::size_t(std::clamp<std::int32_t>(count, 0, kMaxRecords)));
    return true;
}
