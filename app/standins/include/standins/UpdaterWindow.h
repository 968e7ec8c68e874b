#pragma once
// The updater's main window and the firewall services that start-up uses. The update
// screens join later; until then the window shows an empty client area.

#include <string>

#include "shell/GLFWAppWindow.h"

namespace updater {

class UpdaterWindow : public GLFWAppMainWindow {
public:
    void Command(int id) override;
};

}  // namespace updater

// The apartment set-up the firewall calls need on the original system. There is nothing
// to set up here: init() always succeeds with result 0.
class COMInitializer {
public:
    long init();
    long result() const { return result_; }

private:
    long result_ = 0;
};
void CoUninitialize();

// The name under which the program is an authorised application of the firewall.
extern const char* const kFirewallApplicationName;

// The file that lists the authorised applications, one "name=path" per line.
std::string firewallListPath();

// Adds the executable's full path under kFirewallApplicationName to the authorised
// applications (once). Failures are logged at level 50 with their error number.
void OpenFirewall();
