#pragma once
// Which of the user's machines the selection screen shows, and what its server state means
// for the screen. One place, so the panels and the screen never disagree.

#include <cstdint>
#include <string>
#include <vector>

#include "webapi/ClientState.h"

namespace selectos {

// The machine named "Windows", else the first; null for an empty list.
inline const DesktopInfo* pickMachine(const std::vector<DesktopInfo>& desktops) {
    for (const DesktopInfo& d : desktops)
        if (d.name == "Windows") return &d;
    return desktops.empty() ? nullptr : &desktops.front();
}

// The shown machine of the account model; false when it has none.
inline bool shownMachine(const ClientState& model, DesktopInfo& out) {
    const ClientInfo info = model.getClientInfo();
    const DesktopInfo* d = pickMachine(info.desktops);
    if (!d) return false;
    out = *d;
    return true;
}

// The VM operation state a server state in passing stands for; 0 when it is not one.
inline int operationForServerState(const std::string& state) {
    if (state == "Creating") return kVmCreating;
    if (state == "Starting") return kVmStarting;
    if (state == "Deleting") return kVmDeleting;
    if (state == "Stopping") return kVmStopping;
    return kVmIdle;
}

// A create, start, stop or delete is under way (asked for and not yet ended): the screen
// offers no other one meanwhile, so one click sends one request.
inline bool machineOperationUnderWay(const ClientState& model) {
    const std::int32_t state = model.getVmOperationState();
    return state >= kVmCreating && state <= kVmStoppingOther;
}

// The machine can be opened: its streamer's address and key are known.
inline bool isReachable(const DesktopInfo& d) { return !d.ip.empty() && !d.streamerKey.empty(); }

}  // namespace selectos
