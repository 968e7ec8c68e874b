#pragma once
// Reads one value from an ini file the way the crash reporter's language file is read:
// "[Section]" lines, "key=value" lines (blanks around the key and the value dropped),
// the first match wins, the value cut to maxChars characters and every two-character
// sequence backslash-n turned into a line break.

#include <cstddef>
#include <string>

namespace crashreport {

// The value, or fallback when the file, the section or the key is missing.
std::string readIniString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& fallback, std::size_t maxChars = 1023);

}  // namespace crashreport
