#pragma once
// Query string of a request: parameters in the order they were added, values URL-escaped
// when flagged, optionally led by the client version parameter "version_hash".

#include <string>
#include <vector>

class HttpClient;

// "0.0.33"
std::string getVersionString();
// "PC"
std::string makePlatformTag();
// The fixed key appended to the version hash.
std::string makeVersionHashKey();
// "PC-0.0.33-Kq9tWm3z"
std::string makeVersionHash();

class RequestParams {
public:
    struct Param {
        std::string name;
        std::string value;
        bool escape;
    };

    RequestParams(HttpClient& client, bool addVersionHash);

    void add(const std::string& name, const std::string& value, bool escape);

    // "" for no parameters, else "?name=value&name=value..."; names are never escaped.
    std::string toQueryString() const;

    const std::vector<Param>& getParams() const { return params; }

private:
    std::vector<Param> params;
    HttpClient* client;
};
