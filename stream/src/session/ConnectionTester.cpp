#include "stream/session/ConnectionTester.h"

#include <thread>

#include "core/ThreadPool.h"

void DummyClientAppImplementation::onEvent(int code, void*) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    auto it = tasks_.find(code);
    if (it == tasks_.end()) return;
    for (const auto& task : it->second) ThreadPool::execute(task.get());
}

void DummyClientAppImplementation::add(int code, std::shared_ptr<TaskBase> task) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    tasks_[code].push_back(std::move(task));
}

void DummyClientAppImplementation::clear() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    tasks_.clear();
}

ConnectionTester::ConnectionTester(std::chrono::milliseconds retryDelay,
                                   const SimpleInputInterface::Timings& timings)
    : retryDelay_(retryDelay),
      session_(std::make_shared<SimpleInputInterface>(&dispatcher_, nullptr, timings)) {}

ConnectionTester::~ConnectionTester() {
    dispatcher_.clear();  // waits for a running delay and attempt; nothing runs afterwards
    std::shared_ptr<SimpleInputInterface> session;
    {
        std::lock_guard<std::mutex> lock(sessionMutex_);
        session.swap(session_);
    }
    if (session) session->StopAllConnections();
    session.reset();  // stops and joins the session's io thread
}

std::shared_ptr<SimpleInputInterface> ConnectionTester::session() {
    std::lock_guard<std::mutex> lock(sessionMutex_);
    return session_;
}

void ConnectionTester::start(std::string host, std::int32_t port, std::string token) {
    auto reconnect = std::make_shared<ReconnectTask>(this, host, port, token);
    auto delay = std::make_shared<DelayTask>(static_cast<std::int32_t>(retryDelay_.count()));
    delay->addOnSuccess(reconnect);
    dispatcher_.add(kClientAppConnectionError, delay);
    dispatcher_.add(kClientAppTimeout, delay);
    dispatcher_.add(kClientAppReserved, delay);
    dispatcher_.add(kClientAppAuthorizationFailed, std::make_shared<AuthFailureTask>(this));
    dispatcher_.add(kClientAppVariablesReady, std::make_shared<ConnectionSuccessTask>(this));
    ThreadPool::execute(reconnect.get());
}

bool ReconnectTask::run() {
    auto session = tester_->session();
    if (!session) return false;
    session->SetupConnectionAndStartStream(host_, port_, token_, "en", false);
    tester_->notify(kConnectionAttempt);
    return true;
}

bool DelayTask::run() {
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_));
    return true;
}

bool AuthFailureTask::run() {
    if (!tester_->session()) return false;
    tester_->notify(kConnectionAuthFailed);
    return true;
}

bool ConnectionSuccessTask::run() {
    tester_->notify(kConnectionSuccess);
    return true;
}
