#pragma once
// A small file-backed stand-in for the system registry: string values under keys of the
// current-user and local-machine roots.
//
// A key is a folder under <registryRoot()>/<root name>, one folder per key name; its values
// are lines "name"="value" (quotes and backslashes escaped with a backslash, a line break
// as \n) in the file ".values" of that folder. Key paths use "\" between names, as
// registry paths do. Every process of the program finds the same root, so a crash-report
// sender can export what the crashed process named.

#include <string>

namespace platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

// "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
const char* registryRootName(RegistryRoot root);

// The folder that holds both roots: $NIMBROSTA_REGISTRY_ROOT when set, else the roaming
// data folder joined with "Nimbrosta/registry".
std::string registryRoot();

// The folder of the key; empty when the subkey is empty or one of its names is empty,
// "." or "..", or holds "/".
std::string registryKeyFolder(RegistryRoot root, const std::string& subkey);

// True when the key exists (it can be opened for reading).
bool registryKeyExists(RegistryRoot root, const std::string& subkey);

// Stores a string value, creating the key and its parents. The values file is written to
// a temporary file and renamed. False when the key path is not valid or a write failed.
bool registrySetString(RegistryRoot root, const std::string& subkey, const std::string& name,
                       const std::string& value);

// Reads a string value; false when the key or the value does not exist.
bool registryGetString(RegistryRoot root, const std::string& subkey, const std::string& name,
                       std::string& value);

// The key, its values and every key below it (names in byte order) as text in the
// registry-editor export form:
//   [HKEY_CURRENT_USER\Software\Nimbrosta]
//   "Name"="Value"
// with an empty line after each key. False when the key does not exist.
bool exportRegistryKey(RegistryRoot root, const std::string& subkey, std::string& text);

}  // namespace platform
