#pragma once
// Standard folders of the running user and of the running executable.
// Paths are UTF-8 strings without a trailing separator.

#include <cstddef>
#include <string>

namespace platform {

// The full path of the running executable (/proc/self/exe), also after a new copy has
// replaced the file; empty when it cannot be read.
std::string executablePath();

// The target of a symbolic link, read into a buffer of initialSize bytes that is doubled
// while the target fills it, so a long target is returned whole. Empty on failure.
std::string readSymlink(const std::string& link, std::size_t initialSize);

// Per-user data that may follow the user: $XDG_DATA_HOME, else $HOME/.local/share.
// Empty when neither variable is set.
std::string roamingDataFolder();

// Per-user state of this machine: $XDG_STATE_HOME, else $HOME/.local/state.
std::string localDataFolder();

// The path without trailing separators ("/" stays "/").
std::string stripTrailingSeparators(std::string path);

// a + "/" + b; b alone when a is empty.
std::string joinPath(const std::string& a, const std::string& b);

// The folder part of a path (everything before the last separator); "" when there is none.
std::string parentFolder(const std::string& path);

}  // namespace platform
