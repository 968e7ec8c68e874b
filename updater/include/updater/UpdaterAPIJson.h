#pragma once
// Client of the update faces: the service's list of update servers, an update server's
// version check with its file list, file downloads and the timing of a server. A fresh
// object serves one task run.

#include "webapi/BaseAPIJson.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "updater/UpdateFileInfo.h"

// The update server used when none has been selected: a fixed HTTPS base URL, replaced by
// NIMBROSTA_UPDATE_URL when that is set (trailing "/" removed).
std::string getDefaultUpdateServer();

namespace updater {
// The product and version the version check reports.
extern const char* const kUpdateProduct;   // "player-win"
extern const char* const kProgramVersion;  // "0.0.33-2-gc4ebe4b"
}  // namespace updater

class UpdaterAPIJson : public BaseAPIJson {
public:
    // Downloads larger than this are refused while they arrive.
    static constexpr std::size_t kMaxDownloadBytes = std::size_t(1) << 30;

    // cancel, when given, aborts a transfer under way once it is set.
    explicit UpdaterAPIJson(const std::atomic<bool>* cancel = nullptr);

    // Appends the servers of the service's list, in its order.
    bool requestGetUpdateServersList(std::vector<std::string>& servers);
    bool requestCheckVersionGetUpdateList(const std::string& server, const std::string& product,
                                          const std::string& version, const std::string& branch,
                                          bool& updateRequired, std::vector<UpdateFileInfo>& files);
    // The whole body of url into bytes. timeoutSeconds bounds the transfer; a body larger
    // than maxBytes is refused as it arrives.
    bool requestDownloadFile(const std::string& url, std::vector<char>& bytes, int timeoutSeconds = 900,
                             std::size_t maxBytes = kMaxDownloadBytes);
    // The time a GET of the server took, in whole milliseconds, whether or not it succeeded;
    // true when it answered 200 within the probe's 2 seconds.
    bool measureServer(const std::string& server, std::int64_t& ms);

private:
    // GETs url and checks the reply's envelope into doc; otherwise logs "failed" under the
    // caller's function name.
    bool fetch(const char* function, const std::string& url, rapidjson::Document& doc);

    const std::atomic<bool>* cancel_;
};
