#pragma once
// The per-thread texts of the crash handler's interface: one process-wide map from the
// thread id to the text of that thread's last call, under its own lock. Not for use
// inside a signal handler (it allocates).

#include <string>

namespace crashreport {

// Stores the text for the calling thread; null stores the empty text.
void setLastError(const wchar_t* text);
inline void setLastError(const std::wstring& text) { setLastError(text.c_str()); }
// The calling thread's text; false when the thread has no entry.
bool lastError(std::wstring& text);
// Removes the calling thread's entry.
void eraseLastError();
// Removes every entry.
void clearLastErrors();

}  // namespace crashreport
