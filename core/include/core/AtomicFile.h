#pragma once
// Writing a whole file so that a crash or a full disk never leaves it half written: the
// bytes go to a fresh temporary file beside it, which is flushed to disk and then renamed
// over the old file.

#include <string>
#include <sys/types.h>

// Replaces the file at path with bytes; the file gets the given permission bits (0600 for
// files that hold credentials). False on failure, with the reason in *error when given; the
// old file is then untouched and no temporary file is left behind.
bool writeFileAtomically(const std::string& path, const std::string& bytes, mode_t mode,
                         std::string* error = nullptr);
