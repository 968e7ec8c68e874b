#pragma once
// The user's proxy configuration and the rule that decides whether the HTTP client uses it.
//
// On Linux the settings come from the environment: the proxy is https_proxy / HTTPS_PROXY,
// else http_proxy / HTTP_PROXY; the bypass list is no_proxy / NO_PROXY.

#include <optional>
#include <string>

typedef void CURL;

struct ProxySettings {
    std::optional<std::string> proxy;
    std::optional<std::string> bypass;
    std::optional<std::string> autoConfigUrl;

    static ProxySettings fromEnvironment();
};

// The proxy to hand to libcurl, or nothing: a proxy is used only when one is present, it is
// neither ":" nor "::", and the bypass list is neither ":" nor "::". The string is passed on
// exactly as given.
std::optional<std::string> chooseProxy(const ProxySettings& settings);

// The proxy text as it may appear in the log: a password in "user:password@host" is replaced
// by its length.
std::string redactProxyForLog(const std::string& proxy);

// Reads the user's proxy settings, logs them and configures the handle accordingly.
void ConfigureProxyServer(CURL* handle);
void ConfigureProxyServer(CURL* handle, const ProxySettings& settings);
