#pragma once
// The firewall exception of the client: whether the running executable is an enabled
// authorised application of the current firewall profile, and adding it. On Linux the
// profile is the stand-in list of platform/Firewall.h; the steps, their result codes and
// their log texts are those of the firewall's component interfaces.

#include <string>

#include "platform/Com.h"

using platform::HRESULT;

// The name under which the program is an authorised application.
extern const char* const kFirewallApplicationName;  // "Nimbrosta Client"

// Sets up the calling thread's apartment; the destructor ends it (CoUninitialize) when init
// succeeded, so every successful set-up is ended exactly once.
class COMInitializer {
public:
    ~COMInitializer();
    // Logs "CoInitializeEx failed: " unless the result is a success or RPC_E_CHANGED_MODE.
    HRESULT init();
    HRESULT result() const { return hr; }

private:
    HRESULT hr = 0;
    bool initialised = false;
};

class WindowsFirewallManager {
public:
    // Opens the current profile.
    HRESULT init();
    // enabled is true only when the image is listed and enabled; a missing entry is S_OK.
    HRESULT isAppEnabled(const std::string& imagePath, bool& enabled);
    // Adds the image under name unless it is listed and enabled already.
    HRESULT addApp(const std::string& imagePath, const std::string& name);

private:
    bool profile = false;
};

// Whether the running executable is an enabled authorised application. The caller has set
// up COM on its thread.
HRESULT CheckFirewall(bool& enabled);
// Adds the running executable as "Nimbrosta Client".
HRESULT OpenFirewall();
