#pragma once
// Authorization and its results, the variable synchronisation and the automatic stream
// start of a session.

#include <atomic>
#include <string>

#include "stream/control/IResponseHandler.h"
#include "stream/control/InputInterfaceAPIBase.h"

class SimpleInputInterface;

class ConnectionAPI : public InputInterfaceAPIBase, public IResponseHandler {
public:
    explicit ConnectionAPI(SimpleInputInterface* owner);
    ~ConnectionAPI() override;

    // AUTHORIZATION_SUCCESS_ADMIN/VIEW, AUTHORIZATION_FAILED, SERVER_DB_READY_EVENT,
    // ANOTHER_CLIENT_LOGGED_IN.
    bool handle(const InputClient::Response& response) override;

    // Sends AUTHORIZATION once per connection.
    void Authorize(const std::string& token, const std::string& lang);
    void reset() { mayAuthorize_ = true; }

    void setAutoStart(bool autoStart) { autoStart_ = autoStart; }
    bool autoStart() const { return autoStart_.load(); }

private:
    SimpleInputInterface* owner_;
    std::atomic<bool> mayAuthorize_{true};
    std::atomic<bool> autoStart_{true};
};
