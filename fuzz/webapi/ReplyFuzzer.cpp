// Arbitrary bytes as a service reply: the envelope check and every record parser must
// return, never crash.

#include "webapi/ApiRecordParsers.h"
#include "webapi/BaseAPIJson.h"

#include <cstdio>

namespace {
void parseEverything(const rapidjson::Value& response) {
    ClientInfo info;
    MessagesReply reply;
    parseAccountBalance(response, info.balance);
    parsePlans(response, info.plans);
    parseVmStates(response, info.vmStates);
    parseDatacenters(response, info.datacenters);
    parseDesktops(response, info.desktops);
    parseUserPlan(response, info.userPlan);
    parseMessages(response, reply.messages);
    std::string text;
    std::int32_t number = 0;
    readJsonEta(response, "eta", number);
    readJsonString(response, "tip", text);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The envelope check logs what it finds; keep the fuzzer's output readable.
    if (!std::freopen("/dev/null", "w", stdout)) return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static BaseAPIJson api;
    static bool initialised = [] { return LLVMFuzzerInitialize(nullptr, nullptr) == 0; }();
    (void)initialised;
    const std::string text(reinterpret_cast<const char*>(data), size);
    rapidjson::Document doc;
    if (!parseJsonText(doc, text)) return 0;
    api.checkResponseStatus(doc);
    parseEverything(doc);
    if (const rapidjson::Value* response = findMember(doc, "response")) parseEverything(*response);
    return 0;
}
