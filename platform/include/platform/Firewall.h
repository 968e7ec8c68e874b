#pragma once
// Stand-in for the firewall's list of authorised applications. Linux desktops have no
// per-program firewall exceptions, so the list is a text file of the user's: one
// application per line, "<enabled 0|1>\t<name>\t<image path>\n", in
// <roaming data folder>/Nimbrosta/firewall_authorized_apps.txt.
//
// A process started through pkexec runs as root with a reset environment; it then keeps
// the list of the user who asked (PKEXEC_UID), under that user's home, and hands the files
// it creates to that user.

#include <functional>
#include <string>
#include <vector>

#include "platform/Com.h"

namespace platform {

struct FirewallApplication {
    bool enabled = true;
    std::string name;
    std::string imagePath;
};

// Where the list lives; empty when no per-user folder can be found.
std::string firewallListPath();

// The listed applications. A missing list is empty (S_OK); a list that cannot be read gives
// E_ACCESSDENIED. Lines that do not parse are skipped.
HRESULT readFirewallApplications(std::vector<FirewallApplication>& out);

// Adds the application, replacing an entry with the same image path; other lines, those that
// do not parse included, stay as they are. The list is written to a temporary file and
// renamed. A name or path that the format cannot hold (tab, line break; an empty path) gives
// E_INVALIDARG; a list that cannot be written E_ACCESSDENIED.
HRESULT addFirewallApplication(const FirewallApplication& application);

// Tests make single steps of the firewall calls fail: the hook gets the step's name (as the
// callers name it, "get_AuthorizedApplications", "Add", ...) and answers S_OK or the failure.
using FirewallFaultHook = std::function<HRESULT(const std::string& step)>;
void setFirewallFaultHook(FirewallFaultHook hook);
// S_OK, or what the hook answers for the step.
HRESULT firewallFault(const std::string& step);

}  // namespace platform
