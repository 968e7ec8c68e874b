#pragma once
// Messages of the service to the user, with their action buttons.

#include <cstdint>
#include <string>
#include <vector>

struct MessageAction {
    std::string url;      // a page to open in the browser
    std::string urlGet;   // a URL to request with GET
    std::string urlPost;  // a URL to request with POST
    std::string text;     // the button caption
};

struct MessageInfo {
    // Ids from kFirstLocalId upward belong to messages the client makes itself; they never
    // go to the service.
    static constexpr std::int32_t kFirstLocalId = 10000000;

    std::int32_t id = 0;
    std::string title;
    std::string body;
    std::vector<MessageAction> actions;
};
