#include "updater/UpdaterAPIJson.h"

#include <curl/curl.h>

#include <cstdlib>

#include "core/LogLine.h"
#include "webapi/ClientAPIJson.h"
#include "webapi/LogObjectLiveTime.h"
#include "webapi/ProxySettings.h"
#include "webapi/RequestParams.h"

namespace updater {
const char* const kUpdateProduct = "player-win";
const char* const kProgramVersion = "0.0.33-2-gc4ebe4b";
}  // namespace updater

namespace {

const char* const kDefaultUpdateServer = "https://update.nimbrosta.com";

// libcurl's progress callback: a non-zero answer aborts the transfer.
int abortWhenCancelled(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* cancel = static_cast<const std::atomic<bool>*>(flag);
    return cancel && cancel->load() ? 1 : 0;
}

void watchCancelFlag(CURL* handle, const std::atomic<bool>* cancel) {
    if (!handle || !cancel) return;
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &abortWhenCancelled);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(cancel));
}

// A file body received into memory, refused once it would pass the limit.
struct DownloadSink {
    CURL* handle;
    std::vector<char>* bytes;
    std::size_t limit;
    bool sized = false;
    bool tooLarge = false;
};

std::size_t receiveFileBody(char* data, std::size_t size, std::size_t count, void* userData) {
    auto* sink = static_cast<DownloadSink*>(userData);
    const std::size_t n = size * count;
    if (!sink->sized) {
        // Room for the announced body at once, so that a large file is not copied while the
        // buffer grows; a length beyond the limit ends the transfer here.
        sink->sized = true;
        curl_off_t announced = -1;
        if (curl_easy_getinfo(sink->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
            announced > 0) {
            if (static_cast<std::uint64_t>(announced) > sink->limit) {
                sink->tooLarge = true;
                return 0;
            }
            sink->bytes->reserve(static_cast<std::size_t>(announced));
        }
    }
    if (n > sink->limit - sink->bytes->size()) {
        sink->tooLarge = true;
        return 0;
    }
    sink->bytes->insert(sink->bytes->end(), data, data + n);
    return n;
}

}  // namespace

std::string getDefaultUpdateServer() {
    const char* overridden = std::getenv("NIMBROSTA_UPDATE_URL");
    std::string url = overridden && *overridden ? overridden : kDefaultUpdateServer;
    while (!url.empty() && url.back() == '/') url.pop_back();
    return url;
}

UpdaterAPIJson::UpdaterAPIJson(const std::atomic<bool>* cancel) : cancel_(cancel) {
    watchCancelFlag(client.getHandle(), cancel_);
}

bool UpdaterAPIJson::fetch(const char* function, const std::string& url, rapidjson::Document& doc) {
    if (client.get(url) && parseResponse(doc)) return true;
    // A warning: the request is tried again, and a last failure shows on the error screen.
    LogLine(40, function, __LINE__).stream() << "failed";
    return false;
}

bool UpdaterAPIJson::requestGetUpdateServersList(std::vector<std::string>& servers) {
    const char* const function = "UpdaterAPIJson::requestGetUpdateServersList";
    try {
        rapidjson::Document doc;
        if (!fetch(function, getServiceBaseUrl() + "/api/v1/update_servers_list.json", doc)) return false;
        const rapidjson::Value* response = findMember(doc, "response");
        const rapidjson::Value* list = response ? findMember(*response, "servers") : nullptr;
        if (!list || !list->IsArray()) return errorJsonFormatChanged();
        for (const rapidjson::Value& item : list->GetArray()) {
            if (!item.IsString()) {
                LogLine(40, function, __LINE__).stream() << "server entry that is not a text, skipped";
                continue;
            }
            servers.emplace_back(item.GetString(), item.GetStringLength());
        }
        return true;
    } catch (const JsonAssertionError& e) {
        LogLine(50, function, __LINE__).stream() << e.what();
        return errorJsonFormatChanged();
    }
}

bool UpdaterAPIJson::requestCheckVersionGetUpdateList(const std::string& server, const std::string& product,
                                                      const std::string& version, const std::string& branch,
                                                      bool& updateRequired, std::vector<UpdateFileInfo>& files) {
    const char* const function = "UpdaterAPIJson::requestCheckVersionGetUpdateList";
    RequestParams params(client, false);
    params.add("product", product, true);
    params.add("version", version, true);
    params.add("branch", branch, true);
    try {
        rapidjson::Document doc;
        if (!fetch(function, server + "/updater/check_update.json" + params.toQueryString(), doc)) return false;
        const rapidjson::Value* response = findMember(doc, "response");
        if (!response) return errorJsonFormatChanged();
        readJsonBool(*response, "update_required", updateRequired);
        const rapidjson::Value* list = findMember(*response, "files");
        if (!list || !list->IsArray()) return errorJsonFormatChanged();
        for (const rapidjson::Value& item : list->GetArray()) {
            if (!item.IsObject()) {
                LogLine(40, function, __LINE__).stream() << "file entry that is not an object, skipped";
                continue;
            }
            UpdateFileInfo record;
            readJsonBool(item, "may_be_modified", record.may_be_modified);
            readJsonBool(item, "may_be_removed", record.may_be_removed);
            readJsonBool(item, "should_be_removed", record.should_be_removed);
            readJsonString(item, "url", record.url);
            readJsonString(item, "filename", record.filename);
            readJsonString(item, "md5", record.md5);
            files.push_back(record);
        }
        return true;
    } catch (const JsonAssertionError& e) {
        LogLine(50, function, __LINE__).stream() << e.what();
        return errorJsonFormatChanged();
    }
}

bool UpdaterAPIJson::requestDownloadFile(const std::string& url, std::vector<char>& bytes, int timeoutSeconds,
                                         std::size_t maxBytes) {
    bytes.clear();
    LogObjectLiveTime timer("CURL Get " + HttpClient::urlForLog(url));
    CURL* handle = curl_easy_init();
    if (!handle) return false;
    // Set up as the service client is (proxy, trusted roots, time-outs), with a body
    // limit of its own: a file may be far larger than any reply of the web API.
    ConfigureProxyServer(handle);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, HttpClient::kConnectTimeoutSeconds);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, static_cast<long>(timeoutSeconds));
    curl_easy_setopt(handle, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, &HttpClient::sslContextCallback);
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    DownloadSink sink{handle, &bytes, maxBytes};
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &receiveFileBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
    watchCancelFlag(handle, cancel_);

    const CURLcode result = curl_easy_perform(handle);
    long code = 0;
    if (result == CURLE_OK) curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code);
    curl_easy_cleanup(handle);
    if (sink.tooLarge)
        LogLine(50, "UpdaterAPIJson::requestDownloadFile", __LINE__).stream()
            << "larger than " << maxBytes << " bytes, refused: " << HttpClient::urlForLog(url);
    if (result == CURLE_OK && code == 200) return true;
    bytes.clear();
    bytes.shrink_to_fit();
    return false;
}

bool UpdaterAPIJson::measureServer(const std::string& server, std::int64_t& ms) {
    LogObjectLiveTime timer("measuring " + server);
    const bool ok = client.dummy(server);
    ms = timer.elapsedMilliseconds();
    return ok;
}
