#pragma once
// General requests: the periodic statistics message and a log line for the streamer.

#include <string>

#include "stream/control/InputInterfaceAPIBase.h"

class CommonAPI : public InputInterfaceAPIBase {
public:
    using InputInterfaceAPIBase::InputInterfaceAPIBase;
    // PEREODIC_MESSAGE with the frame counters of the last period (always carries its
    // sub-message, even when all four are 0).
    void PereodicMessage(int framesReceived, int framesLost, int framesDecoded, int framesRendered);
    void LogString(const std::string& text);
};
