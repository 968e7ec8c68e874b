#include "launcher/LauncherAppWindowBase.h"

#include <GLFW/glfw3.h>
#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/AtomicFile.h"
#include "core/Folders.h"
#include "core/LanguageStore.h"
#include "core/LogLine.h"
#include "gui/PlayerGUI.h"
#include "launcher/LauncherLogonState.h"
#include "launcher/Rc4Cipher.h"
#include "platform/Process.h"
#include "webapi/ClientAPIJson.h"
#include "webapi/OpenURLTask.h"

namespace fs = std::filesystem;

namespace {

constexpr mode_t kCredentialFileMode = 0600;
constexpr mode_t kSettingsFileMode = 0644;

}  // namespace

LauncherAppWindowBase::LauncherAppWindowBase(const LauncherOptions& options)
    : LauncherApp(options),
      perUserFolder_(getPerUserFolder()),
      userDataPath_(joinPath(perUserFolder_, "userdata.dat")),
      launcherConfigPath_(joinPath(perUserFolder_, "launcher.config.ini")) {
    // Before the window exists, so that its title is in the chosen language.
    loadLanguage();
}

LauncherAppWindowBase::~LauncherAppWindowBase() {
    // The screens use this layer's operations while they go.
    releaseScreens();
    cancelPlayerMonitor();
    terminatePlayer();
}

// ---- player process ----

std::string LauncherAppWindowBase::playerProgram() const {
    if (!options().playerProgram.empty()) return options().playerProgram;
    return joinPath(getExeFolder(), kPlayerFileName);
}

void LauncherAppWindowBase::startPlayer(const std::string& accessToken) {
    hideToTray();
    ProcessLaunchInfo info;
    info.path = playerProgram();
    info.arguments = {"--access_token", accessToken};
    LogLine(0, "LauncherAppWindowBase::startPlayer", __LINE__).stream()
        << "starting " << info.path << " with an access token of " << accessToken.size() << " characters";
    ProcessInformation started;
    createHProcess(&started, info, false);

    auto* monitor = new MonitorPlayerProcessMessage(this);
    {
        std::lock_guard<std::mutex> lock(processMutex_);
        if (player_.pid > 0) {
            // A player from an earlier sign-in that still runs is no longer watched; it is
            // reaped in the background when it ends.
            platform::detachProcess(player_);
        }
        player_ = started;
        if (monitor_) monitor_->cancelled.store(true);
        monitor_ = monitor;
    }
    // Outside the lock: the main loop runs the monitor under its own queue lock.
    GLFWApp::instance().postPereodic(monitor, options().playerWatchPeriodMs);
}

void LauncherAppWindowBase::terminatePlayer() {
    std::lock_guard<std::mutex> lock(processMutex_);
    if (player_.pid <= 0) return;
    // SIGKILL: the player's crash handler reports SIGTERM and SIGINT as crashes.
    if (platform::isRunning(player_)) platform::terminateProcess(player_);
    platform::detachProcess(player_);
    player_ = ProcessInformation();
}

bool LauncherAppWindowBase::isPlayerRunning() {
    std::lock_guard<std::mutex> lock(processMutex_);
    return player_.pid > 0 && platform::isRunning(player_);
}

bool LauncherAppWindowBase::isWatchingPlayer() {
    std::lock_guard<std::mutex> lock(processMutex_);
    return monitor_ != nullptr;
}

void LauncherAppWindowBase::monitorPlayerProcess() {
    {
        std::lock_guard<std::mutex> lock(processMutex_);
        if (!monitor_) return;
        if (player_.pid > 0 && platform::isRunning(player_)) return;
        monitor_->cancelled.store(true);
        monitor_ = nullptr;
        // The check reaped the player; its descriptor goes at once.
        platform::releaseProcess(player_);
        player_ = ProcessInformation();
    }
    // Through the window's own queue, as menu commands arrive: the monitor may run inside
    // the main loop's periodic messages, whose lock the render thread can hold while it
    // waits for the GUI lock that a command takes.
    postNativeMessage({kCommandMessage, LauncherCommand::LogOut, 0});
    postNativeMessage({kCommandMessage, LauncherCommand::ShowLauncher, 0});
}

void LauncherAppWindowBase::cancelPlayerMonitor() {
    std::lock_guard<std::mutex> lock(processMutex_);
    if (monitor_) monitor_->cancelled.store(true);
    monitor_ = nullptr;
}

void LauncherAppWindowBase::MonitorPlayerProcessMessage::run() {
    if (!cancelled.load()) window_->monitorPlayerProcess();
}

// ---- window ----

void LauncherAppWindowBase::hideToTray() { postNativeMessage({kIconifyMessage, 0, 0}); }

void LauncherAppWindowBase::showLauncher() {
    if (!getWindow()) return;
    glfwRestoreWindow(getWindow());
    glfwShowWindow(getWindow());
}

int LauncherAppWindowBase::onWin32Message(GLFWwindow* window, const NativeWindowMessage& message) {
    if (message.message == kCommandMessage) {
        Command(static_cast<int>(message.wParam));
        return 0;
    }
    if (message.message == kIconifyMessage) {
        if (getWindow()) glfwIconifyWindow(getWindow());
        return 0;
    }
    return LauncherApp::onWin32Message(window, message);
}

void LauncherAppWindowBase::Command(int id) {
    std::lock_guard<std::recursive_mutex> lock(guiLock());
    switch (id) {
        case LauncherCommand::Ignored:
            return;
        case LauncherCommand::ShowLauncher:
            showLauncher();
            return;
        case LauncherCommand::LogOut:
            if (PlayerGUI* gui = getGUI()) {
                PlayerGUILock guiLock(gui);
                setState(new LauncherLogonState(this, gui));
            }
            return;
        case LauncherCommand::Exit:
            close();
            return;
        case LauncherCommand::OpenUserPageAndExit:
            OpenURLTask::openInBrowser(getServiceBaseUrl() + "/users/client");
            close();
            return;
        default:
            LauncherApp::Command(id);
    }
}

// ---- remembered login ----

std::string LauncherAppWindowBase::userDataKey() { return std::string("Qm7!pZr4&Lw9kTx", 16); }

bool LauncherAppWindowBase::getUserLogonData(std::string& login, std::string& password) {
    std::lock_guard<std::mutex> lock(logonMutex_);
    remember_ = false;
    password_.clear();
    std::ifstream in(userDataPath_, std::ios::binary);
    if (in.is_open()) {
        in.seekg(0, std::ios::end);
        const std::streamoff size = in.tellg();
        if (size >= kMaxUserDataSize) return false;
        if (size > 0) {
            in.seekg(0, std::ios::beg);
            std::string bytes(static_cast<std::size_t>(size), '\0');
            in.read(&bytes[0], size);
            if (in.gcount() == size) {
                const std::string plain = Rc4Cipher::apply(userDataKey(), bytes);
                const std::size_t tab = plain.find('\t');
                if (tab != std::string::npos) {
                    remember_ = true;
                    login_ = plain.substr(0, tab);
                    password_ = plain.substr(tab + 1);
                }
            }
        }
    }
    login = login_;
    password = password_;
    return remember_;
}

void LauncherAppWindowBase::setUserLogonData(const std::string& login, const std::string& password, bool remember) {
    std::lock_guard<std::mutex> lock(logonMutex_);
    remember_ = remember;
    if (remember) {
        login_ = login;
        password_ = password;
        std::error_code ec;
        if (!fs::exists(perUserFolder_, ec)) {
            fs::create_directories(perUserFolder_, ec);
            if (ec) {
                LogLine(50, "LauncherAppWindowBase::setUserLogonData", __LINE__).stream()
                    << "cannot create " << perUserFolder_ << ": " << ec.message();
                return;
            }
        }
        std::string error;
        if (!writeFileAtomically(userDataPath_, Rc4Cipher::apply(userDataKey(), login + '\t' + password),
                                 kCredentialFileMode, &error))
            LogLine(50, "LauncherAppWindowBase::setUserLogonData", __LINE__).stream() << error;
        return;
    }
    login_ = login;
    password_.clear();
    std::error_code ec;
    if (fs::exists(userDataPath_, ec) && !ec) fs::remove(userDataPath_, ec);
    if (ec) LogLine(50, "LauncherAppWindowBase::setUserLogonData", __LINE__).stream() << "Can not remove " << userDataPath_;
}

// ---- language ----

void LauncherAppWindowBase::loadLanguage() {
    boost::property_tree::ptree tree;
    try {
        std::ifstream in(launcherConfigPath_, std::ios::binary);
        if (in.is_open()) boost::property_tree::read_ini(in, tree);
    } catch (const std::exception&) {
        tree.clear();
    }
    const std::string code = tree.get<std::string>("Language", "en");
    LanguageStore& language = LanguageStore::instance();
    language.setFolder(getLibFolder());
    language.load(code);
}

void LauncherAppWindowBase::saveLanguage() {
    try {
        boost::property_tree::ptree tree;
        tree.put("Language", LanguageStore::instance().currentCode());
        std::ostringstream text;
        boost::property_tree::write_ini(text, tree);
        writeFileAtomically(launcherConfigPath_, text.str(), kSettingsFileMode);
    } catch (const std::exception&) {
    }
}
