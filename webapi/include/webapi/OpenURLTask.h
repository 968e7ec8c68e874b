#pragma once
// A task that opens a page in the user's browser (mode 0) or calls a URL with GET (mode 1)
// or with a POST of an empty body (mode 2); other modes do nothing. The player's facade and
// the launcher post it to their workers. It reports nothing and always succeeds: a GET or
// POST is tried up to three times, stopping at the first transport success, and its reply
// is ignored. The browser gets only http and https URLs (the URLs come from the service);
// anything else is logged and dropped. A page that cannot be opened (no opener installed,
// or the opener found no browser) is logged at level 50 with the reason.

#include <string>

#include "core/TaskBase.h"

class OpenURLTask : public TaskBase {
public:
    enum Mode { Browser = 0, Get = 1, Post = 2 };
    static constexpr int kAttempts = 3;

    OpenURLTask(int mode, std::string url) : TaskBase(false), mode_(mode), url_(std::move(url)) {}

    bool run() override;

    // Opens url in the browser at once, on the calling thread, as a run of mode 0 does.
    static void openInBrowser(const std::string& url);

    int mode() const { return mode_; }
    const std::string& url() const { return url_; }

private:
    int mode_;
    std::string url_;
};
