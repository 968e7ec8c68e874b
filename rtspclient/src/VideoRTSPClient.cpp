// The exported face of the library: six operations on an opaque client handle. Nothing
// thrown inside may leave through them.

#include "rtspclient/VideoRTSPClient.h"

#include <cstring>
#include <exception>
#include <string>

#include "RtspClient.h"
#include "core/LogLine.h"
#include "rtspclient/VideoRTSPClientDiagnostics.h"
#include "rtspclient/VideoRTSPClientSettings.h"

#define RTSPCLIENT_EXPORT __attribute__((visibility("default")))

namespace VideoRTSPClient {

RTSPCLIENT_EXPORT void* createNew(IVideoRTSPClient* owner, const char* url, const char* userName,
                                  const char* password, const char* tag, bool overTcp) {
    try {
        if (!owner || !url) return nullptr;
        rtspclient::RtspUrl parsed;
        if (!parsed.parse(url)) {
            std::string shown;
            for (const char* c = url; *c && shown.size() < 256; ++c)
                shown += (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7f) ? '?' : *c;
            LogLine(50, "VideoRTSPClient::createNew", __LINE__).stream() << "not an rtsp:// address: \"" << shown << "\"";
            return nullptr;
        }
        return new rtspclient::RtspClient(owner, parsed, userName ? userName : "", password ? password : "",
                                          tag ? tag : "", overTcp);
    } catch (...) {
        return nullptr;
    }
}

RTSPCLIENT_EXPORT void mainLoop(void* handle) {
    if (!handle) return;
    try {
        static_cast<rtspclient::RtspClient*>(handle)->run();
    } catch (...) {
    }
}

RTSPCLIENT_EXPORT void notifyStop(void* handle) {
    if (!handle) return;
    try {
        static_cast<rtspclient::RtspClient*>(handle)->requestStop();
    } catch (...) {
    }
}

RTSPCLIENT_EXPORT void deleteClient(void* handle) {
    try {
        delete static_cast<rtspclient::RtspClient*>(handle);
    } catch (...) {
    }
}

RTSPCLIENT_EXPORT void startPlayingSink(void* handle, void* subsession) {
    if (!handle) return;
    try {
        static_cast<rtspclient::RtspClient*>(handle)->setDelivering(subsession, true);
    } catch (...) {
    }
}

RTSPCLIENT_EXPORT void stopPlayingSink(void* handle, void* subsession) {
    if (!handle) return;
    try {
        static_cast<rtspclient::RtspClient*>(handle)->setDelivering(subsession, false);
    } catch (...) {
    }
}

RTSPCLIENT_EXPORT bool lastError(void* handle, char* buffer, std::size_t size) {
    if (buffer && size) buffer[0] = '\0';
    if (!handle || !buffer || !size) return false;
    try {
        const std::string error = static_cast<rtspclient::RtspClient*>(handle)->lastError();
        if (error.empty()) return false;
        const std::size_t n = error.size() < size - 1 ? error.size() : size - 1;
        std::memcpy(buffer, error.data(), n);
        buffer[n] = '\0';
        return true;
    } catch (...) {
        return false;
    }
}

RTSPCLIENT_EXPORT bool stalled(void* handle) {
    if (!handle) return false;
    return static_cast<rtspclient::RtspClient*>(handle)->stalled();
}

RTSPCLIENT_EXPORT void setStallTimeout(void* handle, int milliseconds) {
    if (!handle) return;
    static_cast<rtspclient::RtspClient*>(handle)->setStallTimeout(milliseconds);
}

}  // namespace VideoRTSPClient
