#include "webapi/ProxySettings.h"

#include "core/LogLine.h"

#include <curl/curl.h>

#include <cstdlib>

namespace {
std::optional<std::string> firstVariable(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value && *value) return std::string(value);
    }
    return std::nullopt;
}

bool isPlaceholder(const std::string& text) { return text == ":" || text == "::"; }
}  // namespace

ProxySettings ProxySettings::fromEnvironment() {
    ProxySettings settings;
    settings.proxy = firstVariable({"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY"});
    settings.bypass = firstVariable({"no_proxy", "NO_PROXY"});
    return settings;
}

std::optional<std::string> chooseProxy(const ProxySettings& settings) {
    if (!settings.proxy) return std::nullopt;
    if (isPlaceholder(*settings.proxy)) return std::nullopt;
    if (isPlaceholder(settings.bypass.value_or(std::string()))) return std::nullopt;
    return settings.proxy;
}

std::string redactProxyForLog(const std::string& proxy) {
    const std::size_t schemeEnd = proxy.find("://");
    const std::size_t authorityStart = schemeEnd == std::string::npos ? 0 : schemeEnd + 3;
    const std::size_t at = proxy.find('@', authorityStart);
    if (at == std::string::npos) return proxy;
    const std::size_t colon = proxy.find(':', authorityStart);
    if (colon == std::string::npos || colon > at) return proxy;
    const std::size_t passwordLength = at - colon - 1;
    return proxy.substr(0, colon + 1) + "<" + std::to_string(passwordLength) + " chars>" +
           proxy.substr(at);
}

void ConfigureProxyServer(CURL* handle) { ConfigureProxyServer(handle, ProxySettings::fromEnvironment()); }

void ConfigureProxyServer(CURL* handle, const ProxySettings& settings) {
    if (settings.proxy)
        LogLine(0, "ConfigureProxyServer", __LINE__).stream() << "proxy: " << redactProxyForLog(*settings.proxy);
    if (settings.bypass)
        LogLine(0, "ConfigureProxyServer", __LINE__).stream() << "proxy bypass: " << *settings.bypass;
    if (settings.autoConfigUrl)
        LogLine(0, "ConfigureProxyServer", __LINE__).stream() << "proxy AutoConfigUrl: " << *settings.autoConfigUrl;
    const std::optional<std::string> proxy = chooseProxy(settings);
    if (proxy && handle) curl_easy_setopt(handle, CURLOPT_PROXY, proxy->c_str());
}
