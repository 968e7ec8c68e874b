#pragma once
// Start-up and modes: the process initialisation in its fixed order, the command line
// that picks the mode, the window of each mode and the tail.

#include <functional>

class GLFWAppWindow;

// The program's version text.
extern const char* const kVersionText;

// Modes returned by parseCommandLine.
enum ClientMode { kModeNone = 0, kModeUpdater = 1, kModeLauncher = 2, kModePlayer = 3 };

// Reads the command line. Parse errors (an unknown option, a missing or extra value, a
// positional argument) are written to standard error and give the updater;
// --help and --version print and give kModeNone; --firewall adds the firewall rule and
// gives kModeNone. Connection values go into the settings' volatile layer.
int parseCommandLine(int argc, char** argv);

// Seeds the random generator, reads the locale, loads the language and config.ini from
// the lib folder, names the main thread, installs the crash reporter, applies the
// real-time priority setting and initialises GLFW. Returns false when GLFW cannot start.
bool initApplication();

// --help and --version, answered before anything is initialised (no display needed).
// True when one of them was answered and the process ends; false for every other command
// line, parse errors and the crash test included, which take the normal start-up.
bool answerWithoutWindows(int argc, char** argv);

// GLFW's error callback until the first window exists: the text and a newline on standard
// error.
void glfwErrorToStderr(int code, const char* text);

// The main window of each mode, created and shown; null when it could not be created.
GLFWAppWindow* createUpdaterWindow();
GLFWAppWindow* createLauncherWindow();
GLFWAppWindow* createPlayerWindow();
// The exit code when the mode's window cannot be created.
int windowFailureExitCode(int mode);

// How the process priority is raised. The real one uses the scheduler; tests replace it.
struct PriorityBackend {
    std::function<bool()> setRealtime;  // true when the process runs real-time now
    std::function<bool()> setHigh;      // true when the process runs at high priority now
    std::function<int()> lastError;     // the error number of the last failure
};
void setPriorityBackend(PriorityBackend backend);
// Applies "General.RealtimePriority" (default off): real time, else high; when both fail
// prints "Failed to enter real time mode <error>" on standard output.
void applyRealtimePriority();

// The whole program: start-up, the mode's main loop and the tail. Returns the exit code.
int runClient(int argc, char** argv);
