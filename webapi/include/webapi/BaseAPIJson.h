#pragma once
// Base of the web API clients: owns the transport, parses the reply envelope
//   {"status": <number | one-character string>, "error": ..., "message": ..., "response": ...}
// and keeps the status, error and message of the last reply for the caller.
//
// Status values: > 0 accepted; 0 not parsed / not JSON / service said 0; -65 payload not as
// expected; -66 no usable "status"; -2 and 2 service outcomes shown to the user.

#include "webapi/JsonReaders.h"
#include "webapi/HttpClient.h"

#include <cstdint>
#include <string>

class BaseAPIJson {
public:
    static constexpr std::int32_t kStatusFormatChanged = -65;
    static constexpr std::int32_t kStatusNoStatus = -66;
    // The error text of a reply that is not JSON (status 0).
    static constexpr const char* kErrorNotJson = "Error: response is not JSON";

    BaseAPIJson() = default;

    // Parses the client's received body into doc and checks the envelope. A body that is
    // not JSON fails with status 0, the error text kErrorNotJson and a level-50 line.
    bool parseResponse(rapidjson::Document& doc);
    bool checkResponseStatus(const rapidjson::Value& doc);
    // Marks a payload that is not as expected; always false.
    bool errorJsonFormatChanged();
    // The text the launcher shows for a failure.
    std::string getErrorText() const;

    HttpClient& getClient() { return client; }
    const HttpClient& getClient() const { return client; }

    HttpClient client;
    std::int32_t status = 0;
    std::string error;
    std::string message;
};
