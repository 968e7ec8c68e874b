// What a report carries besides the crashed process itself: files, properties, registry
// keys, the screenshot request and video capture. Each item is kept for later reports and
// appended to the current description at once, so the sender sees it without any work at
// crash time.

#include <sys/stat.h>

#include "CrashHandler.h"
#include "LastError.h"
#include "core/SystemHelpers.h"
#include "platform/Registry.h"

using crashreport::setLastError;
namespace hdr = crashreport::hdr;

namespace {

const wchar_t* const kNoRoom = L"The crash description has no room for this item.";

bool isBlank(const wchar_t* text) {
    for (const wchar_t* p = text; *p; ++p) {
        if (*p != L' ' && *p != L'\t' && *p != L'\r' && *p != L'\n' && *p != L'\v' && *p != L'\f') return false;
    }
    return true;
}

int refuse(int code, const wchar_t* text) {
    setLastError(text);
    return code;
}

}  // namespace

template <typename Item, typename Append>
int CCrashHandler::storeAndAppend(std::map<std::wstring, Item>& items, const std::wstring& name, const Item& item,
                                  Append append) {
    const auto previous = items.find(name);
    const bool hadPrevious = previous != items.end();
    const Item kept = hadPrevious ? previous->second : Item();
    items[name] = item;
    if (!append()) {
        if (hadPrevious) items[name] = kept;
        else items.erase(name);
        return refuse(1, kNoRoom);
    }
    setLastError(L"Success.");
    return 0;
}

int CCrashHandler::addFile(const wchar_t* source, const wchar_t* destination, const wchar_t* description,
                           std::uint32_t flags) {
    if (!source) return refuse(1, L"Invalid file name specified.");
    if (destination && isBlank(destination)) return refuse(1, L"Invalid destination file name specified.");
    FileItem item;
    item.source = source;
    item.description = description ? description : L"";
    item.firstOption = (flags & 0x1) ? 1 : 0;
    item.secondOption = (flags & 0x4) ? 1 : 0;
    const bool allowMissing = (flags & 0x2) != 0;

    std::wstring path = item.source;
    if (path.compare(0, 4, L"\\\\?\\") == 0) path.erase(0, 4);
    const auto slash = item.source.rfind(L'/');
    if (path.find_first_of(L"*?") != std::wstring::npos) {
        // A pattern: the sender collects what matches; its name is the pattern's last part.
        item.destination = slash == std::wstring::npos ? item.source : item.source.substr(slash + 1);
        return storeAndAppend(files_, item.destination, item, [&] { return appendFile(item); });
    }

    struct stat st {};
    const bool exists = stat(wideToUtf8(path).c_str(), &st) == 0;
    if ((!exists || S_ISDIR(st.st_mode)) && !allowMissing)
        return refuse(1, L"The file does not exists or not a regular file.");
    item.destination = destination ? destination : (slash == std::wstring::npos ? item.source : item.source.substr(slash + 1));
    if (files_.count(item.destination) != 0) return refuse(1, L"A file with such a destination name already exists.");
    return storeAndAppend(files_, item.destination, item, [&] { return appendFile(item); });
}

int CCrashHandler::addProperty(const wchar_t* name, const wchar_t* value) {
    if (!name || !*name) return refuse(1, L"Invalid property name specified.");
    const std::wstring key = name;
    const std::wstring text = value ? value : L"";
    return storeAndAppend(properties_, key, text, [&] { return appendProperty(key, text); });
}

int CCrashHandler::addRegKey(const wchar_t* keyPath, const wchar_t* destination, std::uint32_t flags) {
    if (!keyPath || !destination)
        return refuse(1, L"Invalid registry key or invalid destination file is specified.");
    // The destination is a plain file name: no separator (of either kind) and no line break.
    const std::wstring target = destination;
    if (target.find_first_of(L"\\/\r\n\t") != std::wstring::npos) return 1;
    const std::wstring key = keyPath;
    platform::RegistryRoot root;
    std::wstring subkey;
    static const std::wstring kLocalMachine = L"HKEY_LOCAL_MACHINE\\";
    static const std::wstring kCurrentUser = L"HKEY_CURRENT_USER\\";
    if (key.compare(0, kLocalMachine.size(), kLocalMachine) == 0) {
        root = platform::RegistryRoot::LocalMachine;
        subkey = key.substr(kLocalMachine.size());
    } else if (key.compare(0, kCurrentUser.size(), kCurrentUser) == 0) {
        root = platform::RegistryRoot::CurrentUser;
        subkey = key.substr(kCurrentUser.size());
    } else {
        return refuse(1, L"Invalid registry branch is specified.");
    }
    if (subkey.empty()) return refuse(2, L"Empty subkey is not allowed.");
    if (!platform::registryKeyExists(root, wideToUtf8(subkey))) return refuse(3, L"The registry key coudn't be open.");

    RegKeyItem item;
    item.destination = target;
    item.option = (flags & 0x1) ? 1 : 0;
    return storeAndAppend(regKeys_, key, item, [&] { return appendRegKey(key, item); });
}

int CCrashHandler::addScreenshot(std::uint32_t flags, int jpegQuality) {
    if (static_cast<unsigned>(jpegQuality) > 100) return refuse(1, L"Invalid Jpeg quality.");
    screenshotRequested_ = 1;
    screenshotFlags_ = flags;
    jpegQuality_ = jpegQuality;
    DescriptionWriter& w = *currentWriter_;
    w.putI32(hdr::kScreenshotRequested, 1);
    w.putU32(hdr::kScreenshotFlags, flags);
    w.putI32(hdr::kJpegQuality, jpegQuality);
    setLastError(L"Success.");
    return 0;
}

int CCrashHandler::addVideo(std::uint32_t flags, int duration, int frameInterval, const std::int32_t* desiredFrameSize,
                            unsigned long window) {
    if (duration < 0 || duration > 600000) return refuse(2, L"Invalid video duration.");
    if (duration == 0) duration = 60000;
    if (frameInterval < 0 || frameInterval > duration) return refuse(3, L"Invalid frame interval.");
    if (frameInterval == 0) frameInterval = 500;
    if (videoActive_) return refuse(4, L"Can not add video recording twice.");

    videoActive_ = 1;
    videoFlags_ = flags;
    videoDuration_ = duration;
    videoFrameInterval_ = frameInterval;
    desiredFrameSize_[0] = desiredFrameSize ? desiredFrameSize[0] : 0;
    desiredFrameSize_[1] = desiredFrameSize ? desiredFrameSize[1] : 0;
    // No thread owns an active window here: without one the sender records the screen.
    videoWindow_ = window;
    DescriptionWriter& w = *currentWriter_;
    w.putI32(hdr::kVideoStart, 1);
    w.putU32(hdr::kVideoFlags, videoFlags_);
    w.putI32(hdr::kVideoDuration, videoDuration_);
    w.putI32(hdr::kVideoFrameInterval, videoFrameInterval_);
    w.putI32(hdr::kVideoWidth, desiredFrameSize_[0]);
    w.putI32(hdr::kVideoHeight, desiredFrameSize_[1]);
    w.putU32(hdr::kVideoWindow, static_cast<std::uint32_t>(videoWindow_));

    videoEvent_.close();
    if (!videoEvent_.create(videoEventNameUtf8_)) return refuse(5, L"Couldn't create synchronization event.");
    pid_t sender = 0;
    if (startSenderProcess(sharedBlock_.name(), false, &sender) != 0)
        return refuse(6, L"Couldn't launch CrashReportSender process.");
    videoSender_ = sender;
    setLastError(L"Success.");
    return 0;
}
