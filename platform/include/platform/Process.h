#pragma once
// Starting child processes and watching them.
//
// Arguments travel as an argv array: each arrives byte-exact, blanks and quotes included.
// A started process is watched through a pidfd where the kernel offers one.

#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

struct ProcessHandle {
    pid_t pid = -1;
    int pidfd = -1;       // -1 when the kernel has no pidfd_open
    bool exited = false;  // set once the child has been reaped
    int exitStatus = 0;   // the exit code, or 128 + signal number when a signal ended it
};

// Starts the executable at path with argv = { path, args... }, the parent's environment
// and current folder, and no descriptors beyond standard input, output and error.
// Returns 0, or the errno of the failure (ENOENT for a missing file).
int spawnProcess(const std::string& path, const std::vector<std::string>& args, ProcessHandle& out);

// As spawnProcess, but a program name without "/" is searched in PATH.
int spawnProgram(const std::string& program, const std::vector<std::string>& args, ProcessHandle& out);

// The program that starts another with raised rights: "pkexec", or the value of
// NIMBROSTA_ELEVATION_COMMAND when that variable is set; tests replace it.
void setElevationCommand(const std::string& program);
std::string elevationCommand();

// Starts path with args through the elevation command; plainly when the command is empty or
// cannot be found. Returns 0 or an errno.
int spawnElevated(const std::string& path, const std::vector<std::string>& args, ProcessHandle& out);

// Runs program (looked for in PATH when it has no "/") with args and waits for it, at most
// timeoutMs, then ends it (SIGKILL). Its standard output is appended to output, at most
// maxOutput bytes of it; standard input and error are /dev/null. True when it exited with
// status 0 in time.
bool runProgramCaptured(const std::string& program, const std::vector<std::string>& args, int timeoutMs,
                        std::string& output, std::size_t maxOutput = 4096);

// True while the child runs; reaps it and fills exitStatus once it has ended.
bool isRunning(ProcessHandle& process);

// Waits up to timeoutMs (negative: without limit) for the child to end.
// Returns true when it has ended (exitStatus is then set).
bool waitForExit(ProcessHandle& process, int timeoutMs);

// Ends the child at once (SIGKILL). Returns false when it could not be signalled.
bool terminateProcess(ProcessHandle& process);

// Closes the pidfd. A child that still runs keeps running; nothing waits for it.
void releaseProcess(ProcessHandle& process);

// Hands the child to a background reaper so that it leaves no zombie, and releases it.
void detachProcess(ProcessHandle& process);

}  // namespace platform
