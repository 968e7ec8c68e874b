#pragma once
// Client of the service web API. Account functions live on the service host under
// "/api/v1/"; machine functions live on the user's cloud platform (UserInfo::tarnholdUrl)
// under "/client/" and carry the platform token. Every function returns true when the
// request succeeded and its payload was read; after a failure the caller reads status,
// error and message (and client.isOk() to tell a transport failure).

#include "webapi/BaseAPIJson.h"
#include "webapi/ClientInfo.h"
#include "webapi/UserInfo.h"

#include <cstdint>
#include <string>
#include <vector>

// "https://<service host>" without a trailing "/"; NIMBROSTA_SERVICE_URL replaces it.
std::string getServiceBaseUrl();

// Ten characters from [0-9A-Za-z], drawn once per process; sent by the login-method request.
const std::string& deviceId();

class ClientAPIJson : public BaseAPIJson {
public:
    static constexpr std::int32_t kDefaultEta = 300;

    bool requestGetDesktops(const std::string& platformUrl, const std::string& platformToken,
                            std::vector<DesktopInfo>& desktops);
    bool requestGetDesktop(const std::string& platformUrl, const std::string& platformToken, DesktopInfo& desktop);
    bool requestCheckToken(const std::string& token, UserInfo& user);
    bool requestUserActive(UserInfo& user);
    bool requestCreateAndStartVM(const std::string& platformUrl, const std::string& platformToken,
                                 const DesktopInfo& desktop, std::int32_t& eta);
    bool requestDestroyVM(const std::string& platformUrl, const std::string& platformToken, const std::string& name,
                          std::int32_t& eta);
    bool requestDismissMessage(const std::string& platformUrl, const std::string& platformToken, std::int32_t id);
    bool requestGetClientInfo(const std::string& platformUrl, const std::string& platformToken, ClientInfo& info);
    bool requestGetMessages(const std::string& platformUrl, const std::string& platformToken, bool active,
                            MessagesReply& reply);
    bool requestGetTip(std::string& tip);
    bool requestSignIn(const std::string& email, const std::string& password, UserInfo& user);
    bool requestSetTimeout(const std::string& platformUrl, const std::string& platformToken, std::int32_t timeout);
    bool requestLoginMethod(const std::string& method, SocialLoginInfo& info);
    bool requestStopVM(const std::string& platformUrl, const std::string& platformToken, const std::string& name,
                       std::int32_t& eta);

private:
    // Sends the request; on success parses the envelope and runs readPayload on the document.
    // A reply that trips a JSON assertion counts as a payload format error.
    template <typename ReadPayload>
    bool exchange(bool usePost, const std::string& url, ReadPayload readPayload);
};
