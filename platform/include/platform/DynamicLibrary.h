#pragma once
// Loading libraries at run time. A process-wide lib folder is searched first, so plug-ins
// lying beside the program are found whatever the system's search path says.

#include <string>

namespace platform {

// The folder searched first by openLibrary: the executable's "lib" folder until set;
// "" searches only the system's path.
void setLibraryFolder(const std::string& folder);
std::string libraryFolder();

// Opens a library. A name with a "/" is opened as it stands; a bare name is looked for in
// the lib folder first, then through the system's search path. Returns null on failure and
// puts the loader's message into *error when given.
void* openLibrary(const std::string& name, std::string* error = nullptr);

// An exported symbol of an opened library, or null.
void* librarySymbol(void* library, const char* symbol);

void closeLibrary(void* library);

}  // namespace platform
