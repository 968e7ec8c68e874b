#pragma once
// Reading the desktop's clipboard text without holding up the caller. Another program
// owns the X11 clipboard and answers a read only when it gets round to it (or never), so
// the read runs on a thread of its own with its own display connection and a time-out;
// the caller asks for a fresh read and picks up the answer on a later call.
//
// Without a display every read fails and take() never has anything.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

class ClipboardReader {
public:
    // timeoutMs: how long one read waits for the clipboard's owner.
    explicit ClipboardReader(int timeoutMs = 500);
    // Stops and joins the reading thread.
    ~ClipboardReader();

    ClipboardReader(const ClipboardReader&) = delete;
    ClipboardReader& operator=(const ClipboardReader&) = delete;

    // Any thread: asks for a fresh read unless one is under way.
    void request();
    // Any thread: the text of the newest read that finished since the last take (an empty
    // clipboard, or one holding no text, reads as ""); false when none did. A read whose
    // owner did not answer in time finishes nothing.
    bool take(std::string& text);

private:
    void run();

    const int timeoutMs_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool requested_ = false;
    bool stop_ = false;
    bool fresh_ = false;
    std::string text_;
    std::thread thread_;
};

}  // namespace platform
