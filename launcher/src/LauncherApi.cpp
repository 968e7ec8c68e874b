#include "launcher/LauncherApi.h"

#include <chrono>
#include <thread>

#include "webapi/ClientAPIJson.h"
#include "webapi/OpenURLTask.h"

// ---- LauncherApi ----

LauncherApi::LauncherApi(LauncherApiTimings timings)
    : timings_(timings), self_(this), pool_(1), socialWatcher_(this), activeWatcher_(this) {
    addLoginListener(&socialWatcher_);
    addLoginListener(&activeWatcher_);
}

LauncherApi::~LauncherApi() {
    removeLoginListener(&socialWatcher_);
    removeLoginListener(&activeWatcher_);
    socialWatcher_.stop();
    activeWatcher_.stop();
    // The pool's destructor joins the worker; a task under way finishes first.
}

void LauncherApi::setError(const std::string& text, unsigned session) {
    std::lock_guard<std::recursive_mutex> lock(errorMutex_);
    if (session != session_.load()) return;
    errorText_ = text;
    notifyError(ErrorTextSet);
}

void LauncherApi::setUser(const UserInfo& user, unsigned session) {
    std::lock_guard<std::recursive_mutex> lock(loginMutex_);
    if (session != session_.load()) return;
    if (user == user_) return;
    user_ = user;
    notifyLogin(UserChanged);
}

void LauncherApi::setSocialLoginInfo(const SocialLoginInfo& info, unsigned session) {
    std::lock_guard<std::recursive_mutex> lock(loginMutex_);
    if (session != session_.load()) return;
    if (info.url == socialLoginInfo_.url && info.customToken == socialLoginInfo_.customToken) return;
    socialLoginInfo_ = info;
    notifyLogin(SocialLoginInfoChanged);
}

std::string LauncherApi::getErrorText() const {
    std::lock_guard<std::recursive_mutex> lock(errorMutex_);
    return errorText_;
}

UserInfo LauncherApi::getUser() const {
    std::lock_guard<std::recursive_mutex> lock(loginMutex_);
    return user_;
}

SocialLoginInfo LauncherApi::getSocialLoginInfo() const {
    std::lock_guard<std::recursive_mutex> lock(loginMutex_);
    return socialLoginInfo_;
}

void LauncherApi::clearSession() {
    std::lock_guard<std::recursive_mutex> lock(loginMutex_);
    user_ = UserInfo();
    socialLoginInfo_ = SocialLoginInfo();
}

void LauncherApi::clearError() {
    std::lock_guard<std::recursive_mutex> lock(errorMutex_);
    errorText_.clear();
}

void LauncherApi::reset() {
    {
        // Both data locks: a result is either stored before the new session starts or
        // compared with the new session and dropped.
        std::lock_guard<std::recursive_mutex> errorLock(errorMutex_);
        std::lock_guard<std::recursive_mutex> loginLock(loginMutex_);
        session_.fetch_add(1);
        clearSession();
        clearError();
    }
    socialWatcher_.stop();
    activeWatcher_.stop();
}

void LauncherApi::openUrl(const std::string& url, int mode) { pool_.post(std::make_shared<OpenURLTask>(mode, url)); }

TaskPtr LauncherApi::makeOpenUrlTask(const std::string& url, int mode) {
    return pool_.wrap(std::make_shared<OpenURLTask>(mode, url));
}

TaskPtr LauncherApi::makeSocialLoginTask(const std::string& method) {
    return pool_.wrap(std::make_shared<SocialLoginTask>(self_, method));
}

void LauncherApi::postLogin(const std::string& login, const std::string& password) {
    pool_.post(std::make_shared<LoginTask>(self_, login, password));
}

void LauncherApi::startSocialTokenWatcher() { socialWatcher_.start(); }

void LauncherApi::startUserActiveWatcher() { activeWatcher_.start(); }

void LauncherApi::stopEvents() {
    errorListeners_.close();
    loginListeners_.close();
}

// ---- watchers ----

void LauncherApi::CheckWatcher::start() {
    TaskPtr task;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (task_) return;
        task_ = makeCheck();
        task_->setRepeat(true);
        task = task_;
    }
    api_->pool().post(task);
    api_->pool().addPeriodic(task, api_->timings().watcherPeriodMs);
}

void LauncherApi::CheckWatcher::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!task_) return;
    task_->cancel();
    task_.reset();
}

bool LauncherApi::CheckWatcher::isRunning() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return task_ != nullptr;
}

void LauncherApi::CheckWatcher::onEvent(LoginStateEvents event) {
    if (event != UserChanged || !isRunning()) return;
    if (done(api_->getUser())) stop();
}

TaskPtr LauncherApi::CheckSocialTokenWatcher::makeCheck() { return std::make_shared<CheckSocialTokenTask>(api_); }

TaskPtr LauncherApi::CheckUserActiveWatcher::makeCheck() { return std::make_shared<CheckUserActiveTask>(api_); }

// ---- tasks ----

LauncherWebTask::LauncherWebTask(LauncherApi* api)
    : TaskBase(false), LauncherApiChild(api), session_(api->session()) {}

bool LauncherWebTask::run() {
    ClientAPIJson client;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        if (request(client)) {
            deliver();
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(api_->timings().retryPauseMs));
    }
    api_->setError(client.getErrorText(), session_);
    return false;
}

LoginTask::LoginTask(LauncherApi* api, std::string login, std::string password)
    : LauncherWebTask(api), login_(std::move(login)), password_(std::move(password)) {
    // Only A to Z change, as the classic locale lowers them; other bytes (UTF-8) stay.
    for (char& c : login_)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

bool LoginTask::request(ClientAPIJson& client) {
    user_ = UserInfo();
    return client.requestSignIn(login_, password_, user_);
}

void LoginTask::deliver() { api_->setUser(user_, session_); }

bool CheckUserActiveTask::request(ClientAPIJson& client) {
    user_ = api_->getUser();
    return client.requestUserActive(user_);
}

void CheckUserActiveTask::deliver() { api_->setUser(user_, session_); }

bool CheckSocialTokenTask::request(ClientAPIJson& client) {
    user_ = UserInfo();
    return client.requestCheckToken(api_->getSocialLoginInfo().customToken, user_);
}

void CheckSocialTokenTask::deliver() { api_->setUser(user_, session_); }

SocialLoginTask::SocialLoginTask(LauncherApi* api, std::string method)
    : LauncherWebTask(api), method_(std::move(method)) {}

bool SocialLoginTask::request(ClientAPIJson& client) {
    info_ = SocialLoginInfo();
    return client.requestLoginMethod(method_, info_);
}

void SocialLoginTask::deliver() { api_->setSocialLoginInfo(info_, session_); }
