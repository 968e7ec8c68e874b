// A stand-in for CrashReportSender in tests of the crash handler: it copies the description
// it was started for to $NIMBROSTA_TEST_SENDER_OUT/<block name>.desc (the bytes the header
// counts) and sets the events as the real sender does. With $NIMBROSTA_TEST_SENDER_OUT
// unset it only sets the events. $NIMBROSTA_TEST_SENDER_LINGER_MS keeps it running that long
// after it let the crashed process go, as the real one does while it writes and sends.

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "FileMappingBlock.h"
#include "NamedEvent.h"
#include "core/SystemHelpers.h"
#include "crashreport/CrashDescription.h"

namespace hdr = crashreport::hdr;

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string name = argv[1];
    CFileMappingBlock block;
    if (!block.init(utf8ToWide(name), true, 0, 0)) return 1;
    const auto* data = static_cast<const std::uint8_t*>(block.createView(0, static_cast<std::size_t>(block.size())));
    const crashreport::CrashDescriptionReader description(data, static_cast<std::size_t>(block.size()));
    if (!description.valid()) return 1;
    const std::string crashId = description.stringAt(hdr::kCrashId);
    NamedEvent crashEvent;
    crashEvent.open(NamedEvent::crashEventName(crashId));
    if (description.i32(hdr::kVideoStart) == 1 && description.i32(hdr::kQueuedMode) != 1) {
        NamedEvent video;
        video.open(NamedEvent::videoEventName(crashId));
        const pid_t process = static_cast<pid_t>(description.u32(hdr::kProcessId));
        while (!video.wait(100)) {
            if (kill(process, 0) != 0 && errno == ESRCH) return 0;
        }
    }
    if (const char* out = std::getenv("NIMBROSTA_TEST_SENDER_OUT")) {
        const std::string path = std::string(out) + "/" + name + ".desc";
        std::ofstream file(path + ".tmp", std::ios::binary);
        file.write(reinterpret_cast<const char*>(data), description.u32(hdr::kTotalSize));
        file.close();
        std::rename((path + ".tmp").c_str(), path.c_str());
    }
    crashEvent.set();
    if (description.i32(hdr::kCrashInProgress) == 1) {
        CFileMappingBlock::unlinkName(utf8ToWide(name));
        NamedEvent::unlink(NamedEvent::crashEventName(crashId).c_str());
        NamedEvent::unlink(NamedEvent::videoEventName(crashId).c_str());
    }
    if (const char* linger = std::getenv("NIMBROSTA_TEST_SENDER_LINGER_MS")) usleep(static_cast<useconds_t>(std::atoi(linger)) * 1000);
    return 0;
}
