#include "webapi/RequestParams.h"

#include "webapi/HttpClient.h"

#include "core/LogLine.h"

#include <curl/curl.h>

std::string getVersionString() { return formatString("%d.%d.%d", 0, 0, 33); }

std::string makePlatformTag() { return "PC"; }

std::string makeVersionHashKey() { return "Kq9tWm3z"; }

std::string makeVersionHash() { return makePlatformTag() + "-" + getVersionString() + "-" + makeVersionHashKey(); }

RequestParams::RequestParams(HttpClient& client_, bool addVersionHash) : client(&client_) {
    if (addVersionHash) add("version_hash", makeVersionHash(), true);
}

void RequestParams::add(const std::string& name, const std::string& value, bool escape) {
    params.push_back(Param{name, value, escape});
}

namespace {
// Percent-escapes every byte except letters, digits and "-._~". Uses the client's handle as
// libcurl wants one; falls back to the same rule locally when there is no handle.
std::string escapeValue(CURL* handle, const std::string& value) {
    if (handle && value.size() < static_cast<std::size_t>(INT32_MAX)) {
        char* escaped = curl_easy_escape(handle, value.data(), static_cast<int>(value.size()));
        if (escaped) {
            std::string result(escaped);
            curl_free(escaped);
            return result;
        }
    }
    static const char hex[] = "0123456789ABCDEF";
    std::string result;
    for (unsigned char c : value) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            result += static_cast<char>(c);
        } else {
            result += '%';
            result += hex[c >> 4];
            result += hex[c & 15];
        }
    }
    return result;
}
}  // namespace

std::string RequestParams::toQueryString() const {
    std::string query;
    for (const Param& p : params) {
        query += query.empty() ? '?' : '&';
        query += p.name;
        query += '=';
        query += p.escape ? escapeValue(client->getHandle(), p.value) : p.value;
    }
    return query;
}
