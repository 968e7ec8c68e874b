#include "stream/session/ConnectionAPI.h"

#include "input-lib/InputClient.pb.h"
#include "stream/session/ClientDBAPI.h"
#include "stream/session/SimpleInputInterface.h"

using InputClient::Request;
using InputClient::Response;

ConnectionAPI::ConnectionAPI(SimpleInputInterface* owner) : InputInterfaceAPIBase(owner), owner_(owner) {
    for (int type : {Response::AUTHORIZATION_SUCCESS_ADMIN, Response::AUTHORIZATION_SUCCESS_VIEW,
                     Response::AUTHORIZATION_FAILED, Response::SERVER_DB_READY_EVENT,
                     Response::ANOTHER_CLIENT_LOGGED_IN})
        endpoint_->registerHandler(type, this);
}

ConnectionAPI::~ConnectionAPI() { endpoint_->unregisterHandler(this); }

void ConnectionAPI::Authorize(const std::string& token, const std::string& lang) {
    if (!mayAuthorize_.exchange(false)) return;
    Request r;
    r.set_type(Request::AUTHORIZATION);
    r.mutable_authorization()->set_token(token);
    r.mutable_authorization()->set_lang(lang);
    endpoint_->send(r, true);
}

bool ConnectionAPI::handle(const Response& response) {
    IClientAppImplementation* app = owner_->app();
    auto raise = [app](int code) {
        if (app) app->onEvent(code, nullptr);
    };
    switch (response.type()) {
    case Response::AUTHORIZATION_SUCCESS_ADMIN:
    case Response::AUTHORIZATION_SUCCESS_VIEW:
        raise(kClientAppAuthorized);
        owner_->clientDBAPI().syncAll();
        return true;
    case Response::AUTHORIZATION_FAILED:
        raise(kClientAppAuthorizationFailed);
        return true;
    case Response::ANOTHER_CLIENT_LOGGED_IN:
        raise(kClientAppAnotherClient);
        return true;
    case Response::SERVER_DB_READY_EVENT:
        if (autoStart_) owner_->streamPlayer.InitiateStream();
        raise(kClientAppVariablesReady);
        return true;
    default:
        return false;
    }
}
