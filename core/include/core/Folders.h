#pragma once
// The program's standard folders. Paths are UTF-8 strings without a trailing separator.

#include <string>

// The user's roaming application-data folder ($XDG_DATA_HOME, else ~/.local/share);
// empty when it cannot be found.
std::string getRoamingAppDataFolder();

// The user's local application-data folder ($XDG_STATE_HOME, else ~/.local/state).
std::string getLocalAppDataFolder();

// The per-user folder of the program: the roaming folder joined with "Nimbrosta"
// (the relative path "Nimbrosta" when the roaming folder is unknown). Not created here.
std::string getPerUserFolder();

// The running executable's full path.
std::string getModuleFilePath();

// The executable's folder.
std::string getExeFolder();

// The given folder joined with "lib".
std::string getLibFolder(const std::string& folder);

// The executable folder's lib folder: getLibFolder(getExeFolder()).
std::string getLibFolder();

// Makes the executable's lib folder the first place where libraries loaded at run time
// are looked for. Runs before main (a static object of the core library) and may be
// called again.
void setDllDirectoryToLib();

// a joined with b by "/"; b when a is empty.
std::string joinPath(const std::string& a, const std::string& b);
