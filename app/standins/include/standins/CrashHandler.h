#pragma once
// The in-process crash handler's install interface. This stand-in keeps the install state
// and the results and messages of the real handler; catching faults joins with the crash
// reporter itself.

#include <cstdint>

// The install record. size is the fixed record size both sides compare, not sizeof.
struct CrashHandlerInstallInfo {
    static constexpr std::uint16_t kRecordSize = 104;

    std::uint16_t size = 0;
    const wchar_t* applicationName = nullptr;
    const wchar_t* applicationVersion = nullptr;
    const wchar_t* uploadAddress = nullptr;
    const wchar_t* senderFolder = nullptr;
    std::uint32_t flags = 0;
    std::uint32_t minidumpType = 0;
};

// 0 installed; 1 bad record (null, wrong size or no application name); 2 already
// installed; 3 out of memory; 4 initialisation failed.
int InstallCrashHandlerW(const CrashHandlerInstallInfo* info);

// Copies the calling thread's last message ("No error." when there is none) into buffer,
// cut to size - 1 characters and terminated. -1 for a null buffer or a size of 0, else the
// message length.
int GetCrashHandlerLastErrorW(wchar_t* buffer, int size);

// 0 when removed, 1 when none was installed.
int UninstallCrashHandler();

// Makes the start-up's crash-reporting calls go to this handler.
void useCrashHandler();
