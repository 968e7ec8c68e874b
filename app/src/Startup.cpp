#include "app/Startup.h"

#include <GLFW/glfw3.h>
#include <boost/program_options.hpp>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <curl/curl.h>
#include <google/protobuf/stubs/common.h>
#include <iostream>
#include <mutex>
#include <sched.h>
#include <sstream>
#include <string>
#include <sys/resource.h>

#include "core/ConfigStore.h"
#include "core/Folders.h"
#include "shell/GLFWMessageThread.h"
#include "core/LanguageStore.h"
#include "core/LogLine.h"
#include "core/Random.h"
#include "core/SystemHelpers.h"
#include "shell/UiScale.h"
#include "core/UserLocale.h"
#include "crashreport/CrashHandlerApi.h"
#include "platform/EndRequest.h"
#include "launcher/LauncherAppWindowWin32.h"
#include "player/PlayerMainWindow.h"
#include "player/PowerPlanSwitcher.h"
#include "updater/UpdaterWindow.h"
#include "updater/WindowsFirewallManager.h"

namespace po = boost::program_options;

const char* const kVersionText = "0.0.33-2-gc4ebe4b";

// Hybrid-graphics drivers read these from the executable to pick the discrete GPU.
extern "C" {
__attribute__((visibility("default"))) std::uint32_t NvOptimusEnablement = 1;
__attribute__((visibility("default"))) int AmdPowerXpressRequestHighPerformance = 1;
}

namespace {

const wchar_t* const kVersionTextWide = L"0.0.33-2-gc4ebe4b";
const wchar_t* const kApplicationName = L"NimbrostaClient";

const std::wstring& libFolderWide() {
    static const std::wstring folder = utf8ToWide(getLibFolder());
    return folder;
}

PriorityBackend realPriorityBackend() {
    PriorityBackend b;
    b.setRealtime = [] {
        sched_param param{};
        param.sched_priority = sched_get_priority_min(SCHED_RR);
        return sched_setscheduler(0, SCHED_RR, &param) == 0;
    };
    b.setHigh = [] { return setpriority(PRIO_PROCESS, 0, -10) == 0; };
    b.lastError = [] { return errno; };
    return b;
}

std::mutex g_priorityMutex;
PriorityBackend g_priority = realPriorityBackend();

// A process that a crash ends gets the power profile it switched away from back, as a normal
// end (also one asked for by a signal from outside) does. Reports asked for by the program
// itself do not end it.
int onCrashReport(ReportCallbackInfoW* info) {
    if (info && info->stage == kCallbackStageBeforeSender && info->exceptionInfo && !info->exceptionInfo->manual)
        PowerPlanSwitcher::restoreAfterInterruption();
    return 1;
}

// A write to an invalid address, which the crash reporter catches.
[[noreturn]] void faultNow() {
    volatile std::uintptr_t address = 8;  // read back at run time: the store cannot be folded away
    *reinterpret_cast<volatile int*>(address) = 0;
    std::raise(SIGSEGV);
    std::abort();
}

// The elevated child that adds the firewall rule: pkexec starts it without a display, and
// it opens no window.
bool onlyAddsFirewallRule(int argc, char** argv) { return argc == 2 && std::string(argv[1]) == "--firewall"; }

po::options_description makeOptions() {
    po::options_description desc("Options");
    desc.add_options()
        ("help,h", "Help screen")
        ("ip", po::value<std::string>()->default_value(""), "Ip address")
        ("port", po::value<std::string>()->default_value("6666"), "Streamer port")
        ("token", po::value<std::string>()->default_value(""), "Streamer token")
        ("lang", po::value<std::string>()->default_value("en"), "Language")
        ("access_token", po::value<std::string>()->default_value(""), "Access token")
        ("mode", po::value<std::string>()->default_value("Ubuntu"), "mode")
        ("launcher", "Start launcher")
        ("firewall", "Add firewall rule")
        ("version", "Show version")
        ("crash", po::value<std::string>()->default_value(""), "Crash sender test");
    return desc;
}

// Parses the command line into vm. Throws po::error on a parse error; the command line
// takes no positional arguments, so a stray word is one too.
void parseOptions(int argc, char** argv, const po::options_description& desc, po::variables_map& vm) {
    const po::positional_options_description none;
    po::store(po::command_line_parser(argc, argv).options(desc).positional(none).run(), vm);
    po::notify(vm);
}

void printHelp(const po::options_description& desc) {
    std::cout << desc << "\n";
    std::cout.flush();
}

void printVersion() {
    std::printf("Version is %s", kVersionText);
    std::fflush(stdout);
}

}  // namespace

void setPriorityBackend(PriorityBackend backend) {
    std::lock_guard<std::mutex> lock(g_priorityMutex);
    g_priority = std::move(backend);
}

void applyRealtimePriority() {
    if (!ConfigStore::instance().get<bool>("General.RealtimePriority", "0")) return;
    PriorityBackend b;
    {
        std::lock_guard<std::mutex> lock(g_priorityMutex);
        b = g_priority;
    }
    if (b.setRealtime && b.setRealtime()) return;
    if (b.setHigh && b.setHigh()) return;
    const int error = b.lastError ? b.lastError() : 0;
    if (error != 0) std::printf("Failed to enter real time mode %d\n", error);
}

int parseCommandLine(int argc, char** argv) {
    const po::options_description desc = makeOptions();
    po::variables_map vm;
    try {
        parseOptions(argc, argv, desc, vm);
    } catch (const po::error& e) {
        std::cerr << e.what() << "\n";
        std::cerr.flush();
        return kModeUpdater;
    }

    if (vm.count("help")) {
        printHelp(desc);
        return kModeNone;
    }

    const bool version = vm.count("version") != 0;
    const bool launcher = vm.count("launcher") != 0;
    const bool firewall = vm.count("firewall") != 0;
    std::string ip = vm["ip"].as<std::string>();
    std::string port = vm["port"].as<std::string>();
    std::string token = vm["token"].as<std::string>();
    const std::string lang = vm["lang"].as<std::string>();
    const std::string accessToken = vm["access_token"].as<std::string>();
    const std::string osName = vm["mode"].as<std::string>();

    if (vm["crash"].as<std::string>() == "test") faultNow();

    if (version) {
        printVersion();
        return kModeNone;
    }
    if (launcher) return kModeLauncher;
    if (firewall) {
        COMInitializer com;  // ends the apartment again when init succeeded
        com.init();
        OpenFirewall();
        return kModeNone;
    }

    ConfigStore& config = ConfigStore::instance();
    if (ip.empty()) ip = config.getString("General.Ip", ip);
    if (port.empty()) port = config.getString("General.Port", port);
    if (token.empty()) token = config.getString("General.Token", token);

    if ((!ip.empty() && !port.empty() && !token.empty()) || !accessToken.empty()) {
        config.setString("General.Ip", ip, false);
        config.setString("General.Port", port, false);
        config.setString("User.AccessToken", accessToken, false);
        config.setString("User.Token", token, false);
        config.setString("User.OsName", osName, false);
        if (!lang.empty()) config.setString("User.Lang", lang, false);
        LanguageStore::instance().load(config.getString("User.Lang", "en"));
        return kModePlayer;
    }
    return kModeUpdater;
}

bool answerWithoutWindows(int argc, char** argv) {
    const po::options_description desc = makeOptions();
    po::variables_map vm;
    try {
        parseOptions(argc, argv, desc, vm);
    } catch (const po::error&) {
        return false;  // reported by parseCommandLine, in its place
    }
    if (vm.count("help")) {
        printHelp(desc);
        return true;
    }
    // The crash test comes before the version and needs the crash reporter.
    if (vm["crash"].as<std::string>() == "test") return false;
    if (vm.count("version")) {
        printVersion();
        return true;
    }
    return false;
}

void glfwErrorToStderr(int, const char* text) {
    const std::string line = text ? text : "";
    std::fputs(line.c_str(), stderr);
    if (line.empty() || line.back() != '\n') std::fputc('\n', stderr);
    std::fflush(stderr);
}

bool initApplication() {
    seedRandom(static_cast<unsigned>(std::time(nullptr)));
    loadUserLocale();

    const std::string lib = getLibFolder();
    LanguageStore& language = LanguageStore::instance();
    language.setFolder(lib);
    language.load(language.currentCode());

    ConfigStore& config = ConfigStore::instance();
    config.setPathAndLoad(joinPath(lib, "config.ini"));
    config.checkVersion();

    SetThreadName("Main Thread");
    // Before the crash reporter, which passes on the SIGTERM and SIGINT it does not take
    // (those from outside the process) to what was installed before it.
    platform::catchEndRequests();
    useCrashHandler();
    InstallCrashReporting(kApplicationName, kVersionTextWide, true, libFolderWide().c_str());
    SetCrashHandlerCallbackW(&onCrashReport, nullptr);
    // A logout, `kill` or Ctrl+C ends the client as closing its window does.
    platform::setEndRequestHandler([] { GLFWApp::instance().requestClose(); });
    applyRealtimePriority();
    DisableExceptionSwallowing();

    glfwSetErrorCallback(&glfwErrorToStderr);
    return glfwInit() == GLFW_TRUE;
}

GLFWAppWindow* createUpdaterWindow() {
    auto* window = new updater::UpdaterWindow();
    if (!window->create(430, 275, "Nimbrosta Updater", false, true)) return nullptr;
    return window;
}

GLFWAppWindow* createLauncherWindow() {
    auto* window = new LauncherAppWindowWin32();
    const std::string title = LanguageStore::instance().text("text_title");
    if (!window->create(900, 450, title.c_str(), false, true)) return nullptr;
    return window;
}

GLFWAppWindow* createPlayerWindow() {
    auto* window = new PlayerMainWindow();
    ConfigStore& config = ConfigStore::instance();
    const std::string accessToken = config.getString("User.AccessToken", "");
    if (!accessToken.empty()) window->playerApi().start(accessToken);
    const std::string ip = config.getString("General.Ip", "");
    const std::string token = config.getString("User.Token", "");
    const int port = config.get<int>("General.Port", "6666");
    const std::string osName = config.getString("User.OsName", "Ubuntu");
    if (!ip.empty() && !token.empty()) window->connectDirect(ip, port, token, osName);
    const std::string title = LanguageStore::instance().text("player_app_header");
    if (!window->create(1280, 720, title.c_str(), true, true)) return nullptr;
    return window;
}

int windowFailureExitCode(int mode) { return mode == kModePlayer ? 1 : 0; }

int runClient(int argc, char** argv) {
    // Help and version need no display: answered before anything is initialised.
    if (answerWithoutWindows(argc, argv)) return 0;
    curl_global_init(CURL_GLOBAL_ALL);
    const bool windowing = initApplication();
    if (!windowing && !onlyAddsFirewallRule(argc, argv)) std::exit(1);

    if (windowing) {
        busyWaitMs(10);
        const float scale = computeUiScale();
        setUiScale(scale);
        setUiDpi(dpiForUiScale(scale));
    }

    const int mode = parseCommandLine(argc, argv);
    GLFWAppWindow* window = nullptr;
    switch (mode) {
        case kModeUpdater: window = createUpdaterWindow(); break;
        case kModeLauncher: window = createLauncherWindow(); break;
        case kModePlayer: window = createPlayerWindow(); break;
        default: break;
    }
    if ((mode == kModeUpdater || mode == kModeLauncher || mode == kModePlayer) && !window)
        std::exit(windowFailureExitCode(mode));
    if (window) GLFWApp::instance().run(window);
    // The client is ending already.
    platform::setEndRequestHandler(nullptr);

    UninstallCrashReporting();
    google::protobuf::ShutdownProtobufLibrary();
    curl_global_cleanup();
    GLFWApp::instance().stopTimer();
    glfwTerminate();
    return 0;
}
