#include "core/Folders.h"

#include "platform/DynamicLibrary.h"
#include "platform/Folders.h"

std::string getRoamingAppDataFolder() { return platform::roamingDataFolder(); }

std::string getLocalAppDataFolder() { return platform::localDataFolder(); }

std::string getPerUserFolder() { return platform::joinPath(getRoamingAppDataFolder(), "Nimbrosta"); }

std::string getModuleFilePath() { return platform::executablePath(); }

std::string getExeFolder() { return platform::parentFolder(getModuleFilePath()); }

std::string getLibFolder(const std::string& folder) { return platform::joinPath(folder, "lib"); }

std::string getLibFolder() { return getLibFolder(getExeFolder()); }

void setDllDirectoryToLib() { platform::setLibraryFolder(getLibFolder()); }

std::string joinPath(const std::string& a, const std::string& b) { return platform::joinPath(a, b); }

namespace {
// Points the run-time loader at the lib folder before main runs.
struct LibFolderAtStart {
    LibFolderAtStart() { setDllDirectoryToLib(); }
} libFolderAtStart;
}  // namespace
