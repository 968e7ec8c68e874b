#include "player/selectos/CheckVmAndStartStream.h"

#include "core/LogLine.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/PlayerCommandIds.h"
#include "webapi/ClientState.h"

CheckVmAndStartStream::CheckVmAndStartStream(IPlayerWindow* window, std::chrono::milliseconds retryDelay,
                                             const SimpleInputInterface::Timings& timings)
    : window_(window), tester_(retryDelay, timings) {
    const DesktopInfo machine = window_->clientState().getSelectedDesktop();
    tester_.addListener(this);
    tester_.start(machine.ip, machine.port, machine.streamerKey);
    NIMBROSTA_LOG(0, "CheckVmAndStartStream::CheckVmAndStartStream") << "ConnectionTester begin testing connection";
}

CheckVmAndStartStream::~CheckVmAndStartStream() {
    tester_.removeListener(this);
    NIMBROSTA_LOG(0, "CheckVmAndStartStream::~CheckVmAndStartStream") << "ConnectionTester finish";
}

void CheckVmAndStartStream::handleEvent(int event) {
    switch (event) {
        case kConnectionAttempt:
            NIMBROSTA_LOG(0, "CheckVmAndStartStream::handleEvent") << "ConnectionTester reconnect";
            break;
        case kConnectionAuthFailed:
            NIMBROSTA_LOG(50, "CheckVmAndStartStream::handleEvent") << "ConnectionTester critical error!";
            break;
        case kConnectionSuccess:
            NIMBROSTA_LOG(0, "CheckVmAndStartStream::handleEvent") << "ConnectionTester success";
            window_->postCommand(kCommandStreamScreen);
            break;
        default:
            break;
    }
}
