#pragma once
// The launcher's account object: the signed-in user, the social sign-in data and the last
// error, the events raised when they change, and the launcher's web requests, each run as a
// task on the object's one worker thread (sign-in, the activation check, the social
// sign-in and its token check).
//
// Sessions: every reset() (a fresh sign-in screen) starts a new session. A task remembers
// the session it was made in, and its result is dropped when a reset came in between, so a
// check that completes after a log-out cannot sign the user back in.
//
// Events are delivered on the thread that changed the state (the worker for every task),
// while that state's data lock is held; a listener that reads the state back re-enters it.
// Removing a listener waits for a delivery under way on another thread, so an owner may
// destroy a listener as soon as it has removed it.

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "core/Listenable.h"
#include "core/TaskBase.h"
#include "core/ThreadPool.h"
#include "webapi/UserInfo.h"

class ClientAPIJson;

// 0: the error text was set.
enum ErrorStateEvents { ErrorTextSet = 0 };
// 0: the social sign-in data changed; 1: the user record changed.
enum LoginStateEvents { SocialLoginInfoChanged = 0, UserChanged = 1 };

// Pauses of the launcher's web work, in milliseconds.
struct LauncherApiTimings {
    int retryPauseMs = 500;      // after each failed attempt of a request
    int watcherPeriodMs = 10000; // between two checks of a running watcher
};

// A set of listeners whose removal waits for a delivery under way on another thread.
template <typename E>
class LauncherListenerSet {
public:
    void add(IListenerBase<E>* listener) {
        if (!listener) return;
        std::lock_guard<std::mutex> lock(setMutex_);
        listeners_.insert(listener);
    }
    void remove(IListenerBase<E>* listener) {
        std::lock_guard<std::recursive_mutex> delivery(deliveryMutex_);
        std::lock_guard<std::mutex> lock(setMutex_);
        listeners_.erase(listener);
    }
    // Calls every listener registered when the delivery starts and still registered when
    // its turn comes, in address order, outside the set's lock.
    void notify(E value) {
        std::lock_guard<std::recursive_mutex> delivery(deliveryMutex_);
        if (closed_) return;
        std::set<IListenerBase<E>*> copy;
        {
            std::lock_guard<std::mutex> lock(setMutex_);
            copy = listeners_;
        }
        for (IListenerBase<E>* listener : copy) {
            {
                std::lock_guard<std::mutex> lock(setMutex_);
                if (listeners_.count(listener) == 0) continue;
            }
            listener->onEvent(value);
        }
    }
    // No delivery after this returns.
    void close() {
        std::lock_guard<std::recursive_mutex> delivery(deliveryMutex_);
        closed_ = true;
    }

private:
    std::mutex setMutex_;
    std::recursive_mutex deliveryMutex_;
    std::set<IListenerBase<E>*> listeners_;
    bool closed_ = false;
};

class LauncherApi;

// The second base of every launcher task and watcher: the account object it works for.
class LauncherApiChild {
public:
    explicit LauncherApiChild(LauncherApi* api) : api_(api) {}

protected:
    LauncherApi* api_;
};

class LauncherApi {
public:
    explicit LauncherApi(LauncherApiTimings timings = LauncherApiTimings());
    ~LauncherApi();

    LauncherApi(const LauncherApi&) = delete;
    LauncherApi& operator=(const LauncherApi&) = delete;

    void addLoginListener(IListenerBase<LoginStateEvents>* listener) { loginListeners_.add(listener); }
    void removeLoginListener(IListenerBase<LoginStateEvents>* listener) { loginListeners_.remove(listener); }
    void addErrorListener(IListenerBase<ErrorStateEvents>* listener) { errorListeners_.add(listener); }
    void removeErrorListener(IListenerBase<ErrorStateEvents>* listener) { errorListeners_.remove(listener); }
    void notifyError(ErrorStateEvents event) { errorListeners_.notify(event); }
    void notifyLogin(LoginStateEvents event) { loginListeners_.notify(event); }

    // Stores the text and raises ErrorTextSet, every time (also for the same text).
    void setError(const std::string& text) { setError(text, session()); }
    // Stores the record and raises UserChanged when it differs from the stored one.
    void setUser(const UserInfo& user) { setUser(user, session()); }
    // Stores the data and raises SocialLoginInfoChanged when its URL or token differs.
    void setSocialLoginInfo(const SocialLoginInfo& info) { setSocialLoginInfo(info, session()); }
    // The same for a result of the given session: dropped when that session has ended.
    void setError(const std::string& text, unsigned session);
    void setUser(const UserInfo& user, unsigned session);
    void setSocialLoginInfo(const SocialLoginInfo& info, unsigned session);

    std::string getErrorText() const;
    UserInfo getUser() const;
    SocialLoginInfo getSocialLoginInfo() const;

    // Empties the user and the social sign-in data; no event.
    void clearSession();
    // Empties the error text; no event.
    void clearError();
    // Both clears, a new session, and both watchers stopped.
    void reset();
    unsigned session() const { return session_.load(); }

    // Posts an OpenURLTask (URL, mode) to the worker.
    void openUrl(const std::string& url, int mode);
    // Tasks for clicks: running them (on any thread) only posts the real task to the worker.
    TaskPtr makeOpenUrlTask(const std::string& url, int mode);
    TaskPtr makeSocialLoginTask(const std::string& method);
    // Posts a sign-in with these credentials to the worker.
    void postLogin(const std::string& login, const std::string& password);

    void startSocialTokenWatcher();
    void startUserActiveWatcher();
    bool isSocialTokenWatcherRunning() const { return socialWatcher_.isRunning(); }
    bool isUserActiveWatcherRunning() const { return activeWatcher_.isRunning(); }

    // No event reaches any listener after this returns (a delivery under way is waited for).
    // For the window's end: its screens must not build widgets on a GUI that is going away.
    void stopEvents();

    ThreadPool& pool() { return pool_; }
    const LauncherApiTimings& timings() const { return timings_; }

    // A watcher: runs its check at once and then every period until its condition holds,
    // it is stopped, or the account object ends.
    class CheckWatcher : public IListenerBase<LoginStateEvents>, public LauncherApiChild {
    public:
        explicit CheckWatcher(LauncherApi* api) : LauncherApiChild(api) {}
        // Nothing while it runs.
        void start();
        void stop();
        bool isRunning() const;
        void onEvent(LoginStateEvents event) override;

    protected:
        virtual TaskPtr makeCheck() = 0;
        // Whether the user record ends the watch.
        virtual bool done(const UserInfo& user) const = 0;

    private:
        mutable std::mutex mutex_;
        TaskPtr task_;
    };
    // Watches the social sign-in token until the service hands out an access token.
    class CheckSocialTokenWatcher : public CheckWatcher {
    public:
        using CheckWatcher::CheckWatcher;

    protected:
        TaskPtr makeCheck() override;
        bool done(const UserInfo& user) const override { return !user.accessToken.empty(); }
    };
    // Watches the account until it is activated.
    class CheckUserActiveWatcher : public CheckWatcher {
    public:
        using CheckWatcher::CheckWatcher;

    protected:
        TaskPtr makeCheck() override;
        bool done(const UserInfo& user) const override { return user.active; }
    };

private:
    LauncherApiTimings timings_;
    // The error part.
    LauncherListenerSet<ErrorStateEvents> errorListeners_;
    mutable std::recursive_mutex errorMutex_;
    std::string errorText_;
    // The login part.
    LauncherListenerSet<LoginStateEvents> loginListeners_;
    mutable std::recursive_mutex loginMutex_;
    SocialLoginInfo socialLoginInfo_;
    UserInfo user_;

    std::atomic<unsigned> session_{0};
    LauncherApi* self_;
    ThreadPool pool_;
    CheckSocialTokenWatcher socialWatcher_;
    CheckUserActiveWatcher activeWatcher_;
};

// A web request of the launcher on the worker: up to three attempts with a pause after
// every failed one; the result goes to the account object, and after the third failure the
// request's error text does.
class LauncherWebTask : public TaskBase, public LauncherApiChild {
public:
    static constexpr int kAttempts = 3;

    explicit LauncherWebTask(LauncherApi* api);
    bool run() final;
    unsigned session() const { return session_; }

protected:
    // One attempt; true when the request succeeded and its record was read.
    virtual bool request(ClientAPIJson& client) = 0;
    // Hands the record of the successful attempt to the account object.
    virtual void deliver() = 0;

    const unsigned session_;
};

// Signs in with e-mail (sent in lower case) and password.
class LoginTask : public LauncherWebTask {
public:
    LoginTask(LauncherApi* api, std::string login, std::string password);

protected:
    bool request(ClientAPIJson& client) override;
    void deliver() override;

private:
    std::string login_;
    std::string password_;
    UserInfo user_;
};

// Asks whether the current user's account is active (and refreshes its platform fields).
class CheckUserActiveTask : public LauncherWebTask {
public:
    explicit CheckUserActiveTask(LauncherApi* api) : LauncherWebTask(api) {}

protected:
    bool request(ClientAPIJson& client) override;
    void deliver() override;

private:
    UserInfo user_;
};

// Asks whether the social sign-in's custom token was confirmed.
class CheckSocialTokenTask : public LauncherWebTask {
public:
    explicit CheckSocialTokenTask(LauncherApi* api) : LauncherWebTask(api) {}

protected:
    bool request(ClientAPIJson& client) override;
    void deliver() override;

private:
    UserInfo user_;
};

// Asks the service for the page and token of a social sign-in method.
class SocialLoginTask : public LauncherWebTask {
public:
    SocialLoginTask(LauncherApi* api, std::string method);

protected:
    bool request(ClientAPIJson& client) override;
    void deliver() override;

private:
    std::string method_;
    SocialLoginInfo info_;
};
