// Stands in for the player process in the launcher's tests: appends its process id and its
// arguments (one line, separated by blanks) to the file named by $NIMBROSTA_TEST_PLAYER_LOG,
// then runs until a file of that name plus ".stop" appears (or for at most a minute).

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    const char* log = std::getenv("NIMBROSTA_TEST_PLAYER_LOG");
    if (!log || !*log) return 2;
    {
        std::ofstream out(log, std::ios::app);
        out << getpid();
        for (int i = 1; i < argc; ++i) out << ' ' << argv[i];
        out << '\n';
    }
    const std::string stop = std::string(log) + ".stop";
    for (int i = 0; i < 6000; ++i) {
        if (access(stop.c_str(), F_OK) == 0) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 1;
}
