#include "webapi/HttpClient.h"

#include "core/LogLine.h"
#include "webapi/LogObjectLiveTime.h"
#include "webapi/ProxySettings.h"

#include "TrustedRoots.h"

#include <curl/curl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace {
// Adds one PEM certificate held in memory to the store.
void addCompiledInRoot(X509_STORE* store, const char* pem) {
    BIO* bio = BIO_new_mem_buf(pem, static_cast<int>(std::strlen(pem)));
    X509* cert = bio ? PEM_read_bio_X509(bio, nullptr, nullptr, nullptr) : nullptr;
    if (!cert) std::printf("PEM_read_bio_X509 failed...\n");
    if (!cert || !X509_STORE_add_cert(store, cert)) std::printf("error adding certificate\n");
    X509_free(cert);
    BIO_free(bio);
    ERR_clear_error();
}

// Adds every certificate of the PEM file named by NIMBROSTA_EXTRA_ROOT_CA (tests, local demo).
void addExtraRoots(X509_STORE* store) {
    const char* path = std::getenv("NIMBROSTA_EXTRA_ROOT_CA");
    if (!path || !*path) return;
    BIO* bio = BIO_new_file(path, "r");
    if (!bio) {
        std::printf("cannot read extra root certificates from %s\n", path);
        ERR_clear_error();
        return;
    }
    int added = 0;
    while (X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
        if (X509_STORE_add_cert(store, cert)) ++added;
        X509_free(cert);
    }
    if (added == 0) std::printf("no certificate added from %s\n", path);
    BIO_free(bio);
    ERR_clear_error();
}
}  // namespace

HttpClient::HttpClient() {
    handle = curl_easy_init();
    if (!handle) return;
    ConfigureProxyServer(handle);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, static_cast<long>(timeoutSeconds));
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(handle, CURLOPT_READDATA, this);
    // The compiled-in roots (and the extra root of NIMBROSTA_EXTRA_ROOT_CA) are the whole trust
    // set: no CA file, no CA folder, peer and host verification on.
    curl_easy_setopt(handle, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, &HttpClient::sslContextCallback);
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    // Worker threads must never get a signal from the resolver's time-out handling.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
}

HttpClient::~HttpClient() {
    if (handle) curl_easy_cleanup(handle);
}

void HttpClient::setConnectTimeoutMilliseconds(long milliseconds) {
    if (handle) curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, milliseconds);
}

void HttpClient::setAbortFlag(const std::atomic<bool>* flag) {
    abortFlag = flag;
    if (!handle) return;
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, flag ? &HttpClient::progressCallback : nullptr);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, flag ? this : nullptr);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, flag ? 0L : 1L);
}

int HttpClient::progressCallback(void* self, std::int64_t, std::int64_t, std::int64_t, std::int64_t) {
    static_assert(std::is_same<std::int64_t, curl_off_t>::value, "the progress callback takes curl_off_t");
    const HttpClient* client = static_cast<const HttpClient*>(self);
    return client->abortFlag && client->abortFlag->load() ? 1 : 0;
}

bool HttpClient::get(const std::string& url) { return perform(Method::Get, url, std::string()); }

bool HttpClient::post(const std::string& url, const std::string& body) { return perform(Method::Post, url, body); }

bool HttpClient::dummy(const std::string& url) { return perform(Method::Dummy, url, std::string()); }

std::string HttpClient::urlForLog(const std::string& url) { return url.substr(0, url.find('?')); }

std::string HttpClient::failureText() const {
    // libcurl's text for the code names no URL, so no token of a query string can reach it.
    if (curlResult != CURLE_OK) return curl_easy_strerror(static_cast<CURLcode>(curlResult));
    if (httpCode != 200) return "The service answered with HTTP status " + std::to_string(httpCode);
    return std::string();
}

bool HttpClient::perform(Method method, const std::string& url, const std::string& body) {
    const char* prefix = method == Method::Get ? "CURL Get " : method == Method::Dummy ? "CURL Dummy " : "CURL Post ";
    LogObjectLiveTime timer(prefix + urlForLog(url));
    if (!handle) {
        curlResult = CURLE_FAILED_INIT;
        return false;
    }
    if (abortFlag && abortFlag->load()) {
        curlResult = CURLE_ABORTED_BY_CALLBACK;
        return false;
    }
    const long timeout = method == Method::Dummy ? kDummyTimeoutSeconds : static_cast<long>(timeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, timeout);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &HttpClient::writeCallback);
    if (method == Method::Post) {
        if (body.size() > static_cast<std::size_t>(INT32_MAX)) {
            curlResult = CURLE_FILESIZE_EXCEEDED;
            return false;
        }
        curl_easy_setopt(handle, CURLOPT_READFUNCTION, &HttpClient::readCallback);
        // The body is read from its own copy so that the buffer holds only the reply.
        postBody = body;
        buffer.clear();
        readPosition = 0;
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        // The exact size: a Content-Length header, no chunked encoding and no 100-continue wait.
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    } else {
        curl_easy_setopt(handle, CURLOPT_READFUNCTION, nullptr);
        buffer.clear();
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(handle, CURLOPT_NOBODY, 0L);
    // An announced length over the limit fails before the body comes; the write callback
    // checks the decoded bytes, which a compressed reply can make far more of.
    const curl_off_t announcedLimit =
        maxReplyBytes > static_cast<std::size_t>(INT64_MAX) ? 0 : static_cast<curl_off_t>(maxReplyBytes);
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, announcedLimit);
    replyTooLarge = false;

    curlResult = static_cast<std::int32_t>(curl_easy_perform(handle));
    if (replyTooLarge || curlResult == CURLE_FILESIZE_EXCEEDED) {
        curlResult = CURLE_FILESIZE_EXCEEDED;
        std::string().swap(buffer);
        LogLine(50, "HttpClient::perform", __LINE__).stream()
            << urlForLog(url) << ": reply larger than " << maxReplyBytes << " bytes refused";
    }
    if (curlResult == CURLE_OK) {
        long code = 0;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code);
        httpCode = static_cast<std::int32_t>(code);
    }
    return isOk();
}

std::size_t HttpClient::writeCallback(char* data, std::size_t size, std::size_t count, void* self) {
    HttpClient* client = static_cast<HttpClient*>(self);
    const std::size_t n = size * count;
    if (n > client->maxReplyBytes - std::min(client->buffer.size(), client->maxReplyBytes)) {
        client->replyTooLarge = true;
        return 0;  // libcurl ends the transfer
    }
    client->buffer.append(data, n);
    return n;
}

std::size_t HttpClient::readCallback(char* data, std::size_t size, std::size_t count, void* self) {
    HttpClient* client = static_cast<HttpClient*>(self);
    const std::size_t n = size * count;
    if (n == 0) return 0;
    const std::size_t position = static_cast<std::size_t>(client->readPosition);
    const std::string& body = client->postBody;
    const std::size_t left = body.size() > position ? body.size() - position : 0;
    const std::size_t chunk = left < n ? left : n;
    if (chunk) std::memcpy(data, body.data() + position, chunk);
    client->readPosition += static_cast<std::int32_t>(chunk);
    return chunk;
}

int HttpClient::sslContextCallback(CURL*, void* sslContext, void*) {
    X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
    addCompiledInRoot(store, trusted_roots::kGeneralPurposeRoot);
    addCompiledInRoot(store, trusted_roots::kExtendedValidationRoot);
    addExtraRoots(store);
    return CURLE_OK;
}
