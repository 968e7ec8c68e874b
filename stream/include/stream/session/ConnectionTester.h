#pragma once
// Checks, after a cloud machine was started, that its streamer accepts a control
// connection, authorizes the token and has its shared variables ready. It runs a session
// of its own with auto-start off and keeps trying: a connection error or time-out leads
// to a new attempt after a delay (one second), for as long as the tester exists.
//
// Listeners hear of every attempt (0), of a refused token (1) and of success (2). Attempts
// after the first, and every notification after the first 0, come on the session's io
// thread; listeners must not destroy the tester from inside a notification.

#include <chrono>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/Listenable.h"
#include "core/TaskBase.h"
#include "stream/session/IClientAppImplementation.h"
#include "stream/session/SimpleInputInterface.h"

enum ConnectionTesterEvents {
    kConnectionAttempt = 0,
    kConnectionAuthFailed = 1,
    kConnectionSuccess = 2,
};

// Turns session events into tasks, run on the raising thread under a recursive lock.
class DummyClientAppImplementation : public IClientAppImplementation {
public:
    ~DummyClientAppImplementation() override { clear(); }
    void onEvent(int code, void* data) override;
    IRenderImplementation* getVideoConsumer() override { return nullptr; }
    IAudioRenderImplementation* getAudioConsumer() override { return nullptr; }

    void add(int code, std::shared_ptr<TaskBase> task);
    // Drops every registration; waits for a task chain that is running.
    void clear();

private:
    std::recursive_mutex lock_;
    std::map<int, std::list<std::shared_ptr<TaskBase>>> tasks_;
};

class ConnectionTester : public Listenable<ConnectionTesterEvents> {
public:
    explicit ConnectionTester(std::chrono::milliseconds retryDelay = std::chrono::milliseconds(1000),
                              const SimpleInputInterface::Timings& timings = SimpleInputInterface::Timings());
    ~ConnectionTester();

    ConnectionTester(const ConnectionTester&) = delete;
    ConnectionTester& operator=(const ConnectionTester&) = delete;

    // Arms the retry cycle and makes the first attempt on the calling thread. Once.
    void start(std::string host, std::int32_t port, std::string token);

    // Empty while the tester is being destroyed.
    std::shared_ptr<SimpleInputInterface> session();

private:
    std::chrono::milliseconds retryDelay_;
    DummyClientAppImplementation dispatcher_;
    std::mutex sessionMutex_;
    std::shared_ptr<SimpleInputInterface> session_;
};

// Starts a new attempt of a tester's session (language "en", no stream) and notifies 0.
class ReconnectTask : public TaskBase {
public:
    ReconnectTask(ConnectionTester* tester, std::string host, std::int32_t port, std::string token)
        : TaskBase(false), tester_(tester), host_(std::move(host)), port_(port), token_(std::move(token)) {}
    bool run() override;

private:
    ConnectionTester* tester_;
    std::string host_;
    std::int32_t port_;
    std::string token_;
};

// Sleeps on the calling thread.
class DelayTask : public TaskBase {
public:
    explicit DelayTask(std::int32_t delayMs) : TaskBase(false), delayMs_(delayMs) {}
    bool run() override;

private:
    std::int32_t delayMs_;
};

class AuthFailureTask : public TaskBase {
public:
    explicit AuthFailureTask(ConnectionTester* tester) : TaskBase(false), tester_(tester) {}
    bool run() override;

private:
    ConnectionTester* tester_;
};

class ConnectionSuccessTask : public TaskBase {
public:
    explicit ConnectionSuccessTask(ConnectionTester* tester) : TaskBase(false), tester_(tester) {}
    bool run() override;

private:
    ConnectionTester* tester_;
};
