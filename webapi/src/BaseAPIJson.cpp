#include "webapi/BaseAPIJson.h"

#include "core/LogLine.h"

#include <rapidjson/error/en.h>

bool BaseAPIJson::parseResponse(rapidjson::Document& doc) {
    status = 0;
    error.clear();
    if (!parseJsonText(doc, client.getBuffer())) {
        // Status stays 0; the text tells the user (and the log) what came instead of a reply.
        error = kErrorNotJson;
        LogLine(50, "BaseAPIJson::parseResponse", __LINE__).stream()
            << "Json parse error: " << rapidjson::GetParseError_En(doc.GetParseError()) << " at offset "
            << doc.GetErrorOffset() << " of a " << client.getBuffer().size() << "-byte reply";
        return false;
    }
    return checkResponseStatus(doc);
}

bool BaseAPIJson::checkResponseStatus(const rapidjson::Value& doc) {
    status = kStatusNoStatus;
    const rapidjson::Value* statusValue = findMember(doc, "status");
    if (!statusValue) return false;
    if (statusValue->IsString()) {
        if (statusValue->GetStringLength() == 1) status = statusValue->GetString()[0] - '0';
    } else if (statusValue->IsNumber()) {
        // A status outside the 32-bit range is no usable status: it stays -66 and fails.
        if (statusValue->IsInt()) {
            status = statusValue->GetInt();
        } else if (statusValue->IsDouble()) {
            const double d = statusValue->GetDouble();
            if (d > -2147483649.0 && d < 2147483648.0) status = static_cast<std::int32_t>(d);
        }
    } else {
        return false;
    }
    const bool failed = status <= 0;
    readJsonString(doc, "error", error);
    readJsonString(doc, "message", message);
    if (const rapidjson::Value* response = findMember(doc, "response")) {
        readJsonString(*response, "error", error);
        readJsonString(*response, "message", message);
    }
    if (failed) LogLine(50, "BaseAPIJson::checkResponseStatus", __LINE__).stream() << "Request status: " << status;
    if (!error.empty()) LogLine(50, "BaseAPIJson::checkResponseStatus", __LINE__).stream() << "Request error: " << error;
    if (!message.empty()) LogLine(0, "BaseAPIJson::checkResponseStatus", __LINE__).stream() << "Request message: " << message;
    return !failed;
}

bool BaseAPIJson::errorJsonFormatChanged() {
    status = kStatusFormatChanged;
    error = "Error: response have unknown format";
    LogLine(50, "BaseAPIJson::errorJsonFormatChanged", __LINE__).stream() << "Json parse error: " << error;
    return false;
}

std::string BaseAPIJson::getErrorText() const {
    std::string text = status == 0 ? error : std::string();
    if (client.getHttpCode() != 200) text += "HTTP error occurred!";
    if (client.getCurlResult() != 0) text += "Network error occurred!";
    return text;
}
