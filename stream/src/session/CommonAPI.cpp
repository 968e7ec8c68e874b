#include "stream/session/CommonAPI.h"

#include "input-lib/InputClient.pb.h"
#include "stream/session/InputInterface.h"

using InputClient::Request;

void CommonAPI::PereodicMessage(int framesReceived, int framesLost, int framesDecoded, int framesRendered) {
    Request request;
    request.set_type(Request::PEREODIC_MESSAGE);
    auto* m = request.mutable_pereodicmessage();
    m->set_framesreceived(framesReceived);
    m->set_frameslost(framesLost);
    m->set_framesdecoded(framesDecoded);
    m->set_framesrendered(framesRendered);
    endpoint_->send(request);
}

void CommonAPI::LogString(const std::string& text) {
    Request request;
    request.set_type(Request::LOG_STRING);
    request.set_logmessage(text);
    endpoint_->send(request);
}
