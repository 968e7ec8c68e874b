#pragma once
// The crash report sender: started by the crash handler with the name of the shared block
// that describes a crash, it reads what it needs from the crashed process while that
// process waits, lets it go, writes the report folder and uploads it when allowed.
//
// The report folder (the one the handler's crash callback was told) holds:
//   crashdump.bin  registers, signal, return addresses, memory maps, threads and stack of
//                  the crashed process (CrashDumpFormat.h)
//   crashinfo.txt  a readable summary: application, crash, registers, symbolised
//                  backtrace, threads, properties, files, registry keys, screenshot, video
//   screenshot.png the screen at the crash, when the description asks for a screenshot
//   crashvideo.mp4 the screen before the crash, when the sender was started to record
//   the files and exported registry keys that the description lists.
// With CR_INST_STORE_ZIP_ARCHIVES the folder is stored as "<folder>.zip" in its place.
// A report that cannot be written whole (a full disk) is said to be not saved, and no
// temporary file stays behind.
//
// Other starts: a description in queued mode (written at install) only has the event set;
// one that asks for video capture records the screen (the whole screen, or the window the
// description names) until the crash (or the handler's end) comes.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include "ScreenCapture.h"
#include "ScreenRecorder.h"
#include "crashreport/CrashDescription.h"

class CrashReportSender {
public:
    // Handles the block of that name; returns the process exit code.
    int run(const std::string& blockName);

    // The folder a description's report goes to: <report folder>/<name>_<version>/<crash id>,
    // each part made safe to use as one file name.
    static std::string reportFolderOf(const crashreport::CrashDescriptionReader& description);
    // A name from the description as one plain file name ("/" becomes "_", "." and ".."
    // are replaced).
    static std::string safeFileName(std::string name);

    struct Items {
        std::map<std::string, std::vector<std::string>> files;  // destination -> source, description
        std::map<std::string, std::string> properties;
        std::map<std::string, std::string> registryKeys;  // key path -> destination
    };
    // The files, properties and registry keys a description lists; a later block of the
    // same name replaces an earlier one.
    static Items readItems(const crashreport::CrashDescriptionReader& description);

private:
    // The screen as the sender takes it: for the screenshot, and for the video while it
    // records.
    struct Capture {
        std::unique_ptr<ScreenCapture> screen;
        std::unique_ptr<ScreenRecorder> recorder;
        unsigned long window = 0;
        bool recording = false;
        std::chrono::steady_clock::time_point start;
    };

    // Records until the video event is set (true) or the process has gone (false).
    bool record(const crashreport::CrashDescriptionReader& description, const std::string& videoEventName,
                Capture& capture);
    // Writes the report; release is called once the crashed process is no longer needed.
    int report(const crashreport::CrashDescriptionReader& description, const std::function<void()>& release,
               Capture& capture);
    std::string text(const char* key, const char* fallback, const std::string& argument = std::string()) const;

    std::string languageFile_;
};
