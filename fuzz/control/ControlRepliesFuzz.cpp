// Replies of the streamer, as the control channel delivers them, into a fresh store of
// shared variables and a fresh ping window; other replies go to the handlers of an
// endpoint (never connected, so whatever they send is dropped). The typed views of the
// shared variables read what the store holds.
//
// The input is a series of records: one operation byte, a 16-bit length, that many bytes.
//   op 0  the bytes are a Response, dispatched as it stands
//   op 1  the bytes are a VariableEvent, sent as SERVER_DB_VARIABLE_EVENT; an owner of 0
//         becomes this client's id and cookies below 64 count back from the store's
//         cookie counter, so that the owner's paths and the answers to our own requests
//         are reachable although both are drawn at random; the typed views then read it
//   op 2  a local change of a variable (name and value from the bytes), which leaves a
//         request for the owner pending
//   op 3  a ping, answered by a pong whose number is the ping's plus the first byte
// Nothing may crash, read out of bounds or hang.
//
// One endpoint serves the whole run (it owns a thread); the store and the ping window are
// made for each input, so that no input depends on the ones before it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <google/protobuf/stubs/logging.h>

#include "input-lib/InputClient.pb.h"
#include "stream/session/ClientDBAPI.h"
#include "stream/session/InputInterface.h"
#include "stream/session/PingAPI.h"
#include "stream/session/VariableBase.h"

namespace {

const char* const kNames[] = {
    VariableNames::kVideoBitrate,       VariableNames::kVideoQP,          VariableNames::kVideoEnableScale,
    VariableNames::kVideoScaleResolution, VariableNames::kVideoFramerate, VariableNames::kClientAvgPing,
    VariableNames::kClientLastPing,     VariableNames::kSystemSystemMode, VariableNames::kSystemClipboard,
    VariableNames::kSystemDesktopResolution,
};

// Reads one variable through every typed view.
void readVariable(ClientDB& db, const std::string& name) {
    (void)BoolVariable(&db, name).get();
    (void)Int32Variable(&db, name).get();
    (void)UInt64Variable(&db, name).get();
    (void)StringVariable(&db, name).get().size();
    (void)ResolutionVariable(&db, name).get();
}

std::int32_t relativeCookie(std::int32_t cookie, ClientDB& db) {
    return cookie >= 0 && cookie < 64 ? db.cookieCounter() - cookie : cookie;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        google::protobuf::SetLogHandler(nullptr);
        return std::freopen("/dev/null", "w", stdout) != nullptr;
    }();
    (void)quiet;
    if (size > 65536) return 0;

    static InputInterface endpoint;
    ClientDBAPI variables(&endpoint);
    PingAPI ping(&endpoint);
    ClientDB& db = variables.db();
    InputClient::Response response;
    std::size_t at = 0;
    while (at + 3 <= size) {
        const std::uint8_t op = data[at] & 3;
        std::size_t length = static_cast<std::size_t>(data[at + 1]) << 8 | data[at + 2];
        at += 3;
        if (length > size - at) length = size - at;
        const std::uint8_t* bytes = data + at;
        at += length;

        switch (op) {
        case 0:
            response.Clear();
            response.ParseFromArray(bytes, static_cast<int>(length));
            switch (response.type()) {
            case InputClient::Response::SERVER_DB_VARIABLE_EVENT:
            case InputClient::Response::SERVER_DB_CONNECTED_EVENT:
            case InputClient::Response::SERVER_DB_READY_EVENT:
                variables.handle(response);
                break;
            case InputClient::Response::NETWORK_PONG:
                ping.handle(response);
                break;
            default:
                endpoint.onResponse(response);
                break;
            }
            break;
        case 1: {
            response.Clear();
            response.set_type(InputClient::Response::SERVER_DB_VARIABLE_EVENT);
            InputClient::VariableEvent* event = response.mutable_variableevent();
            event->ParseFromArray(bytes, static_cast<int>(length));
            if (event->owner() == 0) event->set_owner(db.clientId());
            event->set_oldcookie(relativeCookie(event->oldcookie(), db));
            event->set_newcookie(relativeCookie(event->newcookie(), db));
            variables.handle(response);
            readVariable(db, event->name().stringname());
            break;
        }
        case 2: {
            const std::size_t split = length ? bytes[0] % (length + 1) : 0;
            const std::string name = length ? kNames[bytes[0] % (sizeof kNames / sizeof kNames[0])]
                                            : std::string();
            db.setValueClient(split & 1 ? name : std::string(reinterpret_cast<const char*>(bytes), split),
                              std::string(reinterpret_cast<const char*>(bytes) + split, length - split));
            break;
        }
        default: {
            const std::int32_t number = ping.window().begin();
            response.Clear();
            response.set_type(InputClient::Response::NETWORK_PONG);
            response.set_pongnumber(number + (length ? static_cast<std::int8_t>(bytes[0]) : 0));
            ping.handle(response);
            break;
        }
        }
    }
    for (const char* name : kNames) readVariable(db, name);
    (void)ping.averagePing();
    (void)ping.lastPing();
    (void)db.collectAll().size();
    variables.syncAll();
    return 0;
}
