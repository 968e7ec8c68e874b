// CrashReportSender <shared block name>: writes (and, when allowed, uploads) the report of a
// crashed process of the client. Started by the client's crash handler only.

#include <cstdio>
#include <string>

#include "CrashReportSender.h"

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]).empty()) {
        std::fprintf(stderr, "usage: %s <crash description name>\n", argc > 0 ? argv[0] : "CrashReportSender");
        return 2;
    }
    CrashReportSender sender;
    return sender.run(argv[1]);
}
