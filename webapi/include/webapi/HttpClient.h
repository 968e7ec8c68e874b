#pragma once
// Synchronous HTTP(S) client over one libcurl easy handle. One client serves one job on one
// thread and is dropped afterwards. The received body stays in the buffer until the next
// request.
//
// A reply is refused while it arrives once its decoded body (after gzip or deflate) would
// exceed the client's reply limit (16 MiB, enough for any API reply; the updater's file
// downloads set their own): the request then fails as a transport error
// (CURLE_FILESIZE_EXCEEDED) with a level-50 log line, and the buffer is emptied.
//
// The trust set is two compiled-in public roots plus the PEM file named by
// NIMBROSTA_EXTRA_ROOT_CA when that variable is set; libcurl's and OpenSSL's default CA
// locations are never consulted.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

typedef void CURL;

class HttpClient {
public:
    static constexpr std::int32_t kDefaultTimeoutSeconds = 10;
    static constexpr long kConnectTimeoutSeconds = 2;
    static constexpr long kDummyTimeoutSeconds = 2;
    static constexpr std::size_t kDefaultMaxReplyBytes = 16u * 1024u * 1024u;

    HttpClient();
    ~HttpClient();

    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    bool get(const std::string& url);
    // POST of the whole URL; the body is sent with its exact length (Content-Length).
    bool post(const std::string& url, const std::string& body);
    // Like get with a 2-second total time-out; used to time servers.
    bool dummy(const std::string& url);

    // The transfer succeeded and the server answered 200.
    bool isOk() const { return curlResult == 0 && httpCode == 200; }
    // Why the last request failed, in a few words a user can read (the transfer's error, or
    // the HTTP status the server answered with); empty when it did not fail.
    std::string failureText() const;
    std::int32_t getHttpCode() const { return httpCode; }
    std::int32_t getCurlResult() const { return curlResult; }

    // The body received by the last request.
    const std::string& getBuffer() const { return buffer; }

    // Total time-out of get and post in seconds (10 unless changed).
    void setTimeoutSeconds(std::int32_t seconds) { timeoutSeconds = seconds; }
    std::int32_t getTimeoutSeconds() const { return timeoutSeconds; }
    // Largest reply body accepted, in bytes after decoding (16 MiB unless changed).
    void setMaxReplyBytes(std::size_t bytes) { maxReplyBytes = bytes; }
    std::size_t getMaxReplyBytes() const { return maxReplyBytes; }
    // Connect time-out in milliseconds; tests shorten it.
    void setConnectTimeoutMilliseconds(long milliseconds);

    // While the flag is set, requests end at once (or, under way, within about a second)
    // with CURLE_ABORTED_BY_CALLBACK. The flag must outlive the client; null removes it.
    void setAbortFlag(const std::atomic<bool>* flag);

    // The easy handle (null when libcurl could not make one); used for URL escaping.
    CURL* getHandle() const { return handle; }

    // libcurl's SSL context callback: installs the trusted roots into the TLS context.
    static int sslContextCallback(CURL* curl, void* sslContext, void* userData);

    // The URL as it may be logged: everything before the first "?".
    static std::string urlForLog(const std::string& url);

private:
    enum class Method { Get, Dummy, Post };
    bool perform(Method method, const std::string& url, const std::string& body);
    static std::size_t writeCallback(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t readCallback(char* data, std::size_t size, std::size_t count, void* self);
    static int progressCallback(void* self, std::int64_t, std::int64_t, std::int64_t, std::int64_t);

    CURL* handle = nullptr;
    std::string buffer;
    std::string postBody;
    std::int32_t readPosition = 0;
    std::int32_t curlResult = 0;
    std::int32_t httpCode = 0;
    std::int32_t timeoutSeconds = kDefaultTimeoutSeconds;
    std::size_t maxReplyBytes = kDefaultMaxReplyBytes;
    bool replyTooLarge = false;
    const std::atomic<bool>* abortFlag = nullptr;
};
