#include "stream/session/ClientDBAPI.h"

#include "stream/session/InputInterface.h"

using InputClient::Request;
using InputClient::Response;

ClientDBAPI::ClientDBAPI(InputInterface* endpoint) : InputInterfaceAPIBase(endpoint), db_(this) {
    endpoint_->registerHandler(Response::SERVER_DB_CONNECTED_EVENT, this);
    endpoint_->registerHandler(Response::SERVER_DB_READY_EVENT, this);
    endpoint_->registerHandler(Response::SERVER_DB_VARIABLE_EVENT, this);
}

ClientDBAPI::~ClientDBAPI() { endpoint_->unregisterHandler(this); }

bool ClientDBAPI::handle(const Response& response) {
    switch (response.type()) {
    case Response::SERVER_DB_VARIABLE_EVENT:
        return db_.onServerEvent(response.variableevent()) >= 0;
    case Response::SERVER_DB_CONNECTED_EVENT:
    case Response::SERVER_DB_READY_EVENT:
        serverDBId_.store(response.serverdbid());
        return true;
    default:
        return false;
    }
}

bool ClientDBAPI::send(const InputClient::VariableEvent& event) {
    Request request;
    request.set_type(Request::CLIENT_DB_VARIABLE_EVENT);
    *request.mutable_variableevent() = event;
    return endpoint_->send(request);
}

void ClientDBAPI::syncAll() {
    Request connected;
    connected.set_type(Request::CLIENT_DB_CONNECTED_EVENT);
    connected.set_clientdbid(db_.clientId());
    endpoint_->send(connected);
    for (const auto& event : db_.collectAll()) send(event);
    Request ready;
    ready.set_type(Request::CLIENT_DB_READY_EVENT);
    ready.set_clientdbid(db_.clientId());
    endpoint_->send(ready);
}
