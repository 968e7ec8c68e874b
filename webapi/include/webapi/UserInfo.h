#pragma once
// The signed-in user.

#include <string>

struct UserInfo {
    std::string email;
    std::string tarnholdToken;  // token of the user's cloud platform
    std::string tarnholdUrl;    // base URL of the user's cloud platform
    bool active = false;        // the account is activated
    std::string accessToken;    // the user's token for the service itself

    bool operator!=(const UserInfo& other) const {
        return email != other.email || tarnholdToken != other.tarnholdToken || tarnholdUrl != other.tarnholdUrl ||
               active != other.active || accessToken != other.accessToken;
    }
    bool operator==(const UserInfo& other) const { return !(*this != other); }
};

// What the browser sign-in needs: the page to open and the token to check afterwards.
struct SocialLoginInfo {
    std::string url;
    std::string customToken;
};
