// The client's entry point: one executable, three modes (updater, launcher, player).

#include <cstdio>

#include "app/Startup.h"

int main(int argc, char** argv) {
    // Log lines leave one at a time even when standard output is a file or a pipe, so a
    // crash or a kill loses none of them.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    return runClient(argc, argv);
}
