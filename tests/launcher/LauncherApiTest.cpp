// The launcher's account object against the stand-in web service over HTTPS: the exact
// sign-in request, three attempts and one error, events only for changes, the activation
// and social watchers, results of an ended session dropped, and listener removal that waits
// for a delivery under way.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "LauncherTestSupport.h"
#include "launcher/LauncherApi.h"

namespace {

const std::string kVersionHash = "version_hash=PC-0.0.33-Kq9tWm3z";

// Short pauses so that three attempts and a few watcher periods take well under a second.
LauncherApiTimings fastTimings() {
    LauncherApiTimings t;
    t.retryPauseMs = 40;
    t.watcherPeriodMs = 250;
    return t;
}

// Records every event of both kinds with what the account object held when it came.
class EventRecorder : public IListenerBase<LoginStateEvents>, public IListenerBase<ErrorStateEvents> {
public:
    explicit EventRecorder(LauncherApi& api) : api_(api) {
        api_.addLoginListener(this);
        api_.addErrorListener(this);
    }
    ~EventRecorder() override {
        api_.removeLoginListener(this);
        api_.removeErrorListener(this);
    }
    void onEvent(LoginStateEvents event) override {
        std::lock_guard<std::mutex> lock(mutex_);
        login_.push_back(event);
        users_.push_back(api_.getUser());
        changed_.notify_all();
    }
    void onEvent(ErrorStateEvents event) override {
        std::lock_guard<std::mutex> lock(mutex_);
        errors_.push_back(event);
        errorTexts_.push_back(api_.getErrorText());
        changed_.notify_all();
    }
    // Waits until at least n events (login and error together) have arrived.
    bool waitForEvents(std::size_t n, int timeoutMs = 10000) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return login_.size() + errors_.size() >= n; });
    }
    std::vector<LoginStateEvents> login() {
        std::lock_guard<std::mutex> lock(mutex_);
        return login_;
    }
    std::vector<UserInfo> users() {
        std::lock_guard<std::mutex> lock(mutex_);
        return users_;
    }
    std::vector<std::string> errorTexts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return errorTexts_;
    }

private:
    LauncherApi& api_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<LoginStateEvents> login_;
    std::vector<UserInfo> users_;
    std::vector<ErrorStateEvents> errors_;
    std::vector<std::string> errorTexts_;
};

// Polls until cond holds, up to timeoutMs. Returns cond().
bool waitUntil(const std::function<bool()>& cond, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= end) return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::size_t countRequests(const std::vector<LoggedRequest>& log, const std::string& path) {
    std::size_t n = 0;
    for (const LoggedRequest& r : log) n += r.path == path ? 1 : 0;
    return n;
}

// A port on 127.0.0.1 where nothing listens.
int closedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    const int port = ntohs(a.sin_port);
    close(fd);
    return port;
}

}  // namespace

namespace fixtures {
using LauncherApi = launchertest::StubServiceFixture;

TEST_F(LauncherApi, SignInSendsTheLoginInLowerCaseAndBothValuesEscaped) {
    struct Case {
        std::string login, password;
        std::string query;  // after the version hash
        bool signedIn;
        std::string error;
    };
    const Case cases[] = {
        {"User@Example.COM", "secret", "&user[email]=user%40example.com&user[password]=secret", true, ""},
        // Only A to Z are lowered; the password goes as typed.
        {"NEW@example.com", "Se cret&X", "&user[email]=new%40example.com&user[password]=Se%20cret%26X", false,
         "Invalid email or password."},
        {"\xC3\x84@EXAMPLE.COM", "secret", "&user[email]=%C3%84%40example.com&user[password]=secret", false,
         "Invalid email or password."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.login);
        stub->reset();
        ::LauncherApi api(fastTimings());
        EventRecorder events(api);
        LoginTask task(&api, c.login, c.password);
        EXPECT_EQ(ThreadPool::execute(&task), c.signedIn);
        const std::vector<LoggedRequest> log = stub->log();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.front().method, "POST");
        EXPECT_EQ(log.front().path, "/api/v1/sign_in.json");
        EXPECT_EQ(log.front().query, kVersionHash + c.query);
        EXPECT_EQ(countRequests(log, "/api/v1/sign_in.json"), c.signedIn ? 1u : 3u);
        if (c.signedIn) {
            ASSERT_EQ(events.login(), std::vector<LoginStateEvents>{UserChanged});
            EXPECT_EQ(events.users()[0].email, "user@example.com");
            EXPECT_TRUE(events.users()[0].active);
            EXPECT_FALSE(events.users()[0].accessToken.empty());
            EXPECT_TRUE(events.errorTexts().empty());
        } else {
            EXPECT_TRUE(events.login().empty());
            EXPECT_EQ(events.errorTexts(), std::vector<std::string>{c.error});
        }
    }
}

TEST_F(LauncherApi, AFailingRequestIsTriedThreeTimesAndReportedOnce) {
    struct Case {
        const char* what;
        int failures;      // HTTP 500 replies before the service answers normally
        bool closed;       // no service at all
        std::size_t requests;
        std::string error; // empty: signed in
    };
    const Case cases[] = {
        {"500 twice, then the reply", 2, false, 3, ""},
        {"500 three times", 3, false, 3, "HTTP error occurred!"},
        {"port closed", 0, true, 0, "HTTP error occurred!Network error occurred!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        stub->reset();
        if (c.failures > 0) stub->replyWith("/api/v1/sign_in.json", "{}", 500, c.failures);
        std::unique_ptr<testsupport::ScopedEnv> url;
        if (c.closed)
            url = std::make_unique<testsupport::ScopedEnv>(
                "NIMBROSTA_SERVICE_URL", ("https://127.0.0.1:" + std::to_string(closedPort())).c_str());
        const LauncherApiTimings timings = fastTimings();
        ::LauncherApi api(timings);
        EventRecorder events(api);
        const auto start = std::chrono::steady_clock::now();
        LoginTask task(&api, "user@example.com", "secret");
        EXPECT_EQ(ThreadPool::execute(&task), c.error.empty());
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(countRequests(stub->log(), "/api/v1/sign_in.json"), c.requests);
        if (c.error.empty()) {
            EXPECT_EQ(events.login(), std::vector<LoginStateEvents>{UserChanged});
            EXPECT_TRUE(events.errorTexts().empty());
        } else {
            // A pause follows every failed attempt, the third included.
            EXPECT_GE(elapsed, std::chrono::milliseconds(3 * timings.retryPauseMs));
            EXPECT_TRUE(events.login().empty());
            EXPECT_EQ(events.errorTexts(), std::vector<std::string>{c.error});
        }
    }
}

TEST_F(LauncherApi, EventsComeOnlyForChanges) {
    ::LauncherApi api(fastTimings());
    EventRecorder events(api);
    UserInfo user;
    user.email = "a@b.c";
    user.accessToken = "AT";
    api.setUser(user);
    api.setUser(user);  // the same record: nothing
    user.active = true;
    api.setUser(user);  // only the active flag changed
    api.setError("x");
    api.setError("x");  // the same text raises the event again
    SocialLoginInfo info{"https://x", "CT"};
    api.setSocialLoginInfo(info);
    api.setSocialLoginInfo(info);
    EXPECT_EQ(events.login(), (std::vector<LoginStateEvents>{UserChanged, UserChanged, SocialLoginInfoChanged}));
    EXPECT_EQ(events.errorTexts(), (std::vector<std::string>{"x", "x"}));

    // reset empties everything without an event.
    api.reset();
    EXPECT_EQ(api.getUser(), UserInfo());
    EXPECT_EQ(api.getErrorText(), "");
    EXPECT_EQ(api.getSocialLoginInfo().url, "");
    EXPECT_EQ(events.login().size(), 3u);
}

TEST_F(LauncherApi, TheActivationWatcherChecksUntilTheAccountIsActive) {
    const LauncherApiTimings timings = fastTimings();
    ::LauncherApi api(timings);
    EventRecorder events(api);
    LoginTask signIn(&api, "new@example.com", "secret");
    ASSERT_TRUE(ThreadPool::execute(&signIn));
    ASSERT_FALSE(api.getUser().active);
    stub->control("clear_log");

    const auto started = std::chrono::steady_clock::now();
    api.startUserActiveWatcher();
    EXPECT_TRUE(api.isUserActiveWatcherRunning());
    // The first check runs at once, the next one no sooner than a period after the start.
    ASSERT_TRUE(waitUntil([&] { return countRequests(stub->log(), "/api/v1/user_active.json") >= 1; }));
    ASSERT_TRUE(waitUntil([&] { return countRequests(stub->log(), "/api/v1/user_active.json") >= 2; }));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(timings.watcherPeriodMs));
    EXPECT_EQ(events.login().size(), 1u) << "an unchanged record raises nothing";

    stub->control("activate", "{\"email\": \"new@example.com\", \"active\": true}");
    ASSERT_TRUE(events.waitForEvents(2));
    EXPECT_TRUE(events.users().back().active);
    EXPECT_EQ(events.users().back().accessToken, events.users().front().accessToken);
    // The watcher hears the same event (listeners are called one after another).
    EXPECT_TRUE(waitUntil([&] { return !api.isUserActiveWatcherRunning(); }));
    const std::size_t checks = countRequests(stub->log(), "/api/v1/user_active.json");
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * timings.watcherPeriodMs));
    EXPECT_EQ(countRequests(stub->log(), "/api/v1/user_active.json"), checks) << "the watcher has stopped";
}

TEST_F(LauncherApi, TheSocialSignInWaitsForTheTokenToBeConfirmed) {
    ::LauncherApi api(fastTimings());
    EventRecorder events(api);
    // Running the click task only posts the request to the worker.
    ThreadPool::execute(api.makeSocialLoginTask("google").get());
    ASSERT_TRUE(events.waitForEvents(1));
    EXPECT_EQ(events.login(), std::vector<LoginStateEvents>{SocialLoginInfoChanged});
    const SocialLoginInfo info = api.getSocialLoginInfo();
    ASSERT_FALSE(info.url.empty());
    ASSERT_FALSE(info.customToken.empty());

    api.startSocialTokenWatcher();
    ASSERT_TRUE(waitUntil([&] { return countRequests(stub->log(), "/api/v1/check_token.json") >= 2; }));
    EXPECT_EQ(events.login().size(), 1u) << "an unconfirmed token leaves the user empty: no event";
    stub->control("confirm_social", "{\"custom_token\": \"" + info.customToken + "\"}");
    ASSERT_TRUE(events.waitForEvents(2));
    EXPECT_FALSE(events.users().back().accessToken.empty());
    EXPECT_TRUE(waitUntil([&] { return !api.isSocialTokenWatcherRunning(); }));
}

TEST_F(LauncherApi, AResultThatArrivesAfterAResetIsDropped) {
    struct Case {
        const char* what;
        const char* password;  // "secret" signs in; anything else fails
    };
    const Case cases[] = {{"a sign-in", "secret"}, {"an error", "wrong"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        stub->reset();
        stub->delay("/api/v1/sign_in.json", 0.4);
        ::LauncherApi api(fastTimings());
        EventRecorder events(api);
        api.postLogin("user@example.com", c.password);
        ASSERT_TRUE(waitUntil([&] { return countRequests(stub->log(), "/api/v1/sign_in.json") >= 1; }));
        api.reset();  // the user logged out while the request was under way
        // The worker runs one task after the other: once this one runs, the sign-in is over.
        auto done = std::make_shared<CountedConditionTask>(1);
        api.pool().post(done);
        ASSERT_TRUE(waitUntil([&] { return done->remaining() == 0; }));
        EXPECT_TRUE(events.login().empty());
        EXPECT_TRUE(events.errorTexts().empty());
        EXPECT_EQ(api.getUser(), UserInfo());
        EXPECT_EQ(api.getErrorText(), "");
    }
}

TEST_F(LauncherApi, RemovingAListenerWaitsForADeliveryUnderWay) {
    ::LauncherApi api(fastTimings());
    struct SlowListener : IListenerBase<ErrorStateEvents> {
        std::atomic<bool> inside{false};
        std::atomic<bool> finished{false};
        void onEvent(ErrorStateEvents) override {
            inside = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            finished = true;
        }
    };
    auto listener = std::make_unique<SlowListener>();
    api.addErrorListener(listener.get());
    std::thread worker([&] { api.setError("x"); });
    ASSERT_TRUE(waitUntil([&] { return listener->inside.load(); }));
    api.removeErrorListener(listener.get());
    // Only now may the owner destroy it: the delivery is over.
    EXPECT_TRUE(listener->finished.load());
    listener.reset();
    worker.join();

    // After stopEvents nothing is delivered any more.
    EventRecorder events(api);
    api.stopEvents();
    api.setError("y");
    EXPECT_TRUE(events.errorTexts().empty());
}

}  // namespace fixtures
