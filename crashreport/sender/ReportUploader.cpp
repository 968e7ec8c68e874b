#include "ReportUploader.h"

#include <cstdlib>
#include <curl/curl.h>

namespace {

// The crashed process waits for the sender's end (up to a minute) so that it can reap it:
// the whole upload stays well inside that.
constexpr long kConnectTimeoutSeconds = 10;
constexpr long kTotalTimeoutSeconds = 30;

std::size_t discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

}  // namespace

bool uploadReport(const UploadRequest& request, std::string& error) {
    curl_global_init(CURL_GLOBAL_ALL);
    CURL* curl = curl_easy_init();
    if (!curl) {
        error = "no HTTP client";
        return false;
    }
    curl_mime* form = curl_mime_init(curl);
    const std::pair<const char*, const std::string*> fields[] = {
        {"app", &request.application}, {"version", &request.version}, {"crash_id", &request.crashId}};
    for (const auto& field : fields) {
        curl_mimepart* part = curl_mime_addpart(form);
        curl_mime_name(part, field.first);
        curl_mime_data(part, field.second->c_str(), CURL_ZERO_TERMINATED);
    }
    const std::pair<const char*, const std::string*> files[] = {{"crashdump", &request.dumpPath},
                                                                {"crashinfo", &request.infoPath}};
    for (const auto& file : files) {
        curl_mimepart* part = curl_mime_addpart(form);
        curl_mime_name(part, file.first);
        curl_mime_filedata(part, file.second->c_str());
    }
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_MIMEPOST, form);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kTotalTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &discard);
    if (const char* ca = std::getenv("NIMBROSTA_EXTRA_ROOT_CA"); ca && *ca) curl_easy_setopt(curl, CURLOPT_CAINFO, ca);
    const CURLcode rc = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_mime_free(form);
    curl_easy_cleanup(curl);
    curl_global_cleanup();
    if (rc != CURLE_OK) {
        error = curl_easy_strerror(rc);
        return false;
    }
    if (status < 200 || status >= 300) {
        error = "HTTP status " + std::to_string(status);
        return false;
    }
    return true;
}
