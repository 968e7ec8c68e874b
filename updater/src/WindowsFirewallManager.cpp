#include "updater/WindowsFirewallManager.h"

#include <vector>

#include "core/Folders.h"
#include "core/LogLine.h"
#include "platform/Firewall.h"

using namespace platform;

const char* const kFirewallApplicationName = "Nimbrosta Client";

// A failed step: its text and the result as a signed number, at level 50.
#define LOG_FAILURE(function, text, hr) LogLine(50, (function), __LINE__).stream() << (text) << (hr)

COMInitializer::~COMInitializer() {
    if (initialised) platform::CoUninitialize();
}

HRESULT COMInitializer::init() {
    hr = platform::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    initialised = SUCCEEDED(hr);
    if (hr != RPC_E_CHANGED_MODE && FAILED(hr)) LOG_FAILURE("COMInitializer::init", "CoInitializeEx failed: ", hr);
    return hr;
}

HRESULT WindowsFirewallManager::init() {
    const char* const function = "WindowsFirewallManager::init";
    HRESULT hr = firewallFault("CoCreateInstance");
    if (FAILED(hr)) {
        LOG_FAILURE(function, "CoCreateInstance failed: ", hr);
        return hr;
    }
    hr = firewallFault("get_LocalPolicy");
    if (FAILED(hr)) {
        LOG_FAILURE(function, "get_LocalPolicy failed: ", hr);
        return hr;
    }
    hr = firewallFault("get_CurrentProfile");
    if (FAILED(hr)) {
        LOG_FAILURE(function, "get_CurrentProfile failed: ", hr);
        return hr;
    }
    profile = true;
    return hr;
}

HRESULT WindowsFirewallManager::isAppEnabled(const std::string& imagePath, bool& enabled) {
    const char* const function = "WindowsFirewallManager::isAppEnabled";
    enabled = false;
    std::vector<FirewallApplication> applications;
    HRESULT hr = profile ? firewallFault("get_AuthorizedApplications") : E_FAIL;
    if (SUCCEEDED(hr)) hr = readFirewallApplications(applications);
    if (FAILED(hr)) {
        LOG_FAILURE(function, "get_AuthorizedApplications failed: ", hr);
        return hr;
    }
    if (FAILED(firewallFault("SysAllocString"))) {
        LOG_FAILURE(function, "SysAllocString failed: ", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    const FirewallApplication* listed = nullptr;
    for (const FirewallApplication& application : applications)
        if (application.imagePath == imagePath) listed = &application;
    // Not listed: not enabled, and no failure.
    if (!listed || FAILED(firewallFault("Item"))) return S_OK;
    hr = firewallFault("get_Enabled");
    if (FAILED(hr)) {
        LOG_FAILURE(function, "get_Enabled failed: ", hr);
        return hr;
    }
    enabled = listed->enabled;
    return S_OK;
}

HRESULT WindowsFirewallManager::addApp(const std::string& imagePath, const std::string& name) {
    const char* const function = "WindowsFirewallManager::addApp";
    bool enabled = false;
    HRESULT hr = isAppEnabled(imagePath, enabled);
    if (FAILED(hr)) {
        LOG_FAILURE(function, "WindowsFirewallAppIsEnabled failed: ", hr);
        return hr;
    }
    if (enabled) {
        LogLine(0, function, __LINE__).stream() << "Firewall rule exists";
        return S_OK;
    }
    LogLine(0, function, __LINE__).stream() << "Adding firewall exception";
    hr = firewallFault("get_AuthorizedApplications");
    if (FAILED(hr)) {
        LOG_FAILURE(function, "get_AuthorizedApplications failed: ", hr);
        return hr;
    }
    hr = firewallFault("CoCreateInstance");
    if (FAILED(hr)) {
        LOG_FAILURE(function, "CoCreateInstance failed: ", hr);
        return hr;
    }
    FirewallApplication application;
    if (FAILED(firewallFault("SysAllocString"))) {
        LOG_FAILURE(function, "SysAllocString failed: ", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    hr = firewallFault("put_ProcessImageFileName");
    if (SUCCEEDED(hr) && (imagePath.empty() || imagePath.find_first_of("\t\r\n") != std::string::npos))
        hr = E_INVALIDARG;
    if (FAILED(hr)) {
        LOG_FAILURE(function, "put_ProcessImageFileName failed: ", hr);
        return hr;
    }
    application.imagePath = imagePath;
    if (name.empty() || FAILED(firewallFault("SysAllocString"))) {
        LOG_FAILURE(function, "SysAllocString failed: ", E_OUTOFMEMORY);
        return E_OUTOFMEMORY;
    }
    hr = firewallFault("put_Name");
    if (SUCCEEDED(hr) && name.find_first_of("\t\r\n") != std::string::npos) hr = E_INVALIDARG;
    if (FAILED(hr)) {
        LOG_FAILURE(function, "put_Name failed: ", hr);
        return hr;
    }
    application.name = name;
    hr = firewallFault("Add");
    if (SUCCEEDED(hr)) hr = addFirewallApplication(application);
    if (FAILED(hr)) {
        LOG_FAILURE(function, "Add failed: ", hr);
        return hr;
    }
    hr = isAppEnabled(imagePath, enabled);
    if (FAILED(hr)) {
        LOG_FAILURE(function, "WindowsFirewallAppIsEnabled failed: ", hr);
        return hr;
    }
    if (!enabled)
        LogLine(50, function, __LINE__).stream()
            << "Could not enable firewall application exception, try running as administrator.";
    return S_OK;
}

HRESULT CheckFirewall(bool& enabled) {
    enabled = false;
    WindowsFirewallManager manager;
    HRESULT hr = manager.init();
    if (FAILED(hr)) {
        LOG_FAILURE("CheckFirewall", "WindowsFirewallManager failed: ", hr);
        return hr;
    }
    bool found = false;
    hr = manager.isAppEnabled(getModuleFilePath(), found);
    if (FAILED(hr)) {
        LOG_FAILURE("CheckFirewall", "isAppEnabled failed: ", hr);
        return hr;
    }
    enabled = found;
    return S_OK;
}

HRESULT OpenFirewall() {
    WindowsFirewallManager manager;
    HRESULT hr = manager.init();
    if (FAILED(hr)) {
        LOG_FAILURE("OpenFirewall", "WindowsFirewallManager failed: ", hr);
        return hr;
    }
    hr = manager.addApp(getModuleFilePath(), kFirewallApplicationName);
    if (FAILED(hr)) LOG_FAILURE("OpenFirewall", "WindowsFirewallAddApp failed: ", hr);
    return hr;
}
