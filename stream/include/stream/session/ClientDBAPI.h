#pragma once
// Connects the shared-variables store to the control channel: delivers the streamer's
// variable messages to the store, sends the store's events as CLIENT_DB_VARIABLE_EVENT
// requests and runs the client's half of the synchronisation after authorization.

#include <atomic>
#include <cstdint>

#include "stream/session/ClientDB.h"
#include "stream/control/IResponseHandler.h"
#include "stream/control/InputInterfaceAPIBase.h"

class ClientDBAPI : public InputInterfaceAPIBase, public IResponseHandler, public IRemoteDB {
public:
    explicit ClientDBAPI(InputInterface* endpoint);
    ~ClientDBAPI() override;

    // SERVER_DB_VARIABLE_EVENT, SERVER_DB_CONNECTED_EVENT and SERVER_DB_READY_EVENT.
    bool handle(const InputClient::Response& response) override;

    bool send(const InputClient::VariableEvent& event) override;
    void attach(ClientDB*) override {}
    void detach(ClientDB*) override {}

    // CLIENT_DB_CONNECTED_EVENT, the variables this client owns, CLIENT_DB_READY_EVENT.
    void syncAll();

    ClientDB& db() { return db_; }
    std::int32_t serverDBId() const { return serverDBId_.load(); }

private:
    ClientDB db_;
    std::atomic<std::int32_t> serverDBId_{0};
};
