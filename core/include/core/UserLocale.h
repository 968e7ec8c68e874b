#pragma once
// The user's locale, used where text meets the system (path conversions). Reading it never
// throws: a locale the system lacks falls back to C.UTF-8, then to the classic locale.

#include <locale>

// Reads the locale named by the environment (LC_ALL, LC_CTYPE, LANG) and keeps it.
// Returns false when it had to fall back.
bool loadUserLocale();

// The kept locale (the classic one before the first loadUserLocale).
std::locale userLocale();
