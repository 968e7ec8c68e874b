#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <mutex>

#include "platform/Folders.h"

namespace platform {

namespace {
std::mutex& folderMutex() {
    static std::mutex m;
    return m;
}
// Until set, the lib folder beside the executable.
std::string& folderValue() {
    static std::string folder = joinPath(parentFolder(executablePath()), "lib");
    return folder;
}
}  // namespace

void setLibraryFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(folderMutex());
    folderValue() = stripTrailingSeparators(folder);
}

std::string libraryFolder() {
    std::lock_guard<std::mutex> lock(folderMutex());
    return folderValue();
}

void* openLibrary(const std::string& name, std::string* error) {
    if (name.empty()) {
        if (error) *error = "empty library name";
        return nullptr;
    }
    void* handle = nullptr;
    if (name.find('/') == std::string::npos) {
        const std::string folder = libraryFolder();
        if (!folder.empty()) handle = ::dlopen(joinPath(folder, name).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle) handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle && error) {
        const char* message = ::dlerror();
        *error = message ? message : "cannot open " + name;
    }
    return handle;
}

void* librarySymbol(void* library, const char* symbol) {
    if (!library || !symbol) return nullptr;
    return ::dlsym(library, symbol);
}

void closeLibrary(void* library) {
    if (library) ::dlclose(library);
}

}  // namespace platform
