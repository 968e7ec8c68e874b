#pragma once
// The file work of an update: md5 digests of files and buffers, the check that a listed
// name stays inside the working folder, and writing a file so that a reader never sees it
// half written.

#include <string>
#include <vector>

// MD5 as 32 lower-case hexadecimal digits. A file that cannot be opened or read gives "",
// which matches no digest. Files are read in 1 MiB chunks.
std::string md5HexOfFile(const std::string& path);
std::string md5HexOfBuffer(const char* bytes, std::size_t length);

// Whether a listed file name is a relative path that stays below the folder it is joined
// to: not empty, not absolute, no ".." part, not ending in "/".
bool isSafeRelativeName(const std::string& name);

// Writes bytes to a temporary file beside path and renames it over path. The file keeps
// the mode of the regular file it replaces; a new one gets 0666 less the umask, plus the
// execute bits where it may be read when the content starts with "\x7fELF" or "#!".
// False (and nothing changed at path) when any step fails, a short or failed write included.
bool writeFileBytes(const std::string& path, const std::vector<char>& bytes);
