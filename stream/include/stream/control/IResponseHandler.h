#pragma once
// Receiver of control-channel responses, registered with an InputInterface per response type.

namespace InputClient {
class Response;
}

class IResponseHandler {
public:
    virtual ~IResponseHandler() = default;
    // True when the handler acted on the message. Runs on the io thread; the message is
    // reused for the next frame, so copy what must be kept.
    virtual bool handle(const InputClient::Response& response) = 0;
};
