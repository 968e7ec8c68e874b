#include "CrashReportSender.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <glob.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/ucontext.h>
#include <unistd.h>

#include "CrashDumpFormat.h"
#include "ReportFile.h"
#include "ScreenCapture.h"
#include "ScreenRecorder.h"
#include "ZipArchive.h"
#include "FileMappingBlock.h"
#include "IniText.h"
#include "NamedEvent.h"
#include "ProcessSnapshot.h"
#include "ReportUploader.h"
#include "SymbolResolver.h"
#include "core/SystemHelpers.h"
#include "crashreport/CrashHandlerApi.h"
#include "platform/Registry.h"

namespace fs = std::filesystem;
namespace hdr = crashreport::hdr;
namespace ctx = crashreport::ctx;

namespace {

// How much of the crashed thread's stack goes into the dump.
constexpr std::size_t kStackLimit = 256 * 1024;
// How often a sender recording video checks that its process still lives.
constexpr int kVideoPollMs = 500;

const char* const kDumpFile = "crashdump.bin";
const char* const kSummaryFile = "crashinfo.txt";
const char* const kScreenshotFile = "screenshot.png";
const char* const kVideoFile = "crashvideo.mp4";

const char* const kRegisterNames[ctx::kMaxRegisters] = {
    "r8",  "r9",  "r10", "r11", "r12", "r13", "r14", "r15", "rdi", "rsi",     "rbp",    "rbx",
    "rdx", "rax", "rcx", "rsp", "rip", "efl", "csgsfs", "err", "trapno", "oldmask", "cr2"};

const char* reportTypeName(int type) {
    static const char* const names[] = {"fault signal",  "terminate",         "unexpected",        "pure virtual call",
                                        "operator new failure", "buffer overrun", "invalid parameter", "SIGABRT",
                                        "SIGFPE",        "SIGILL",            "SIGINT",            "SIGSEGV",
                                        "SIGTERM"};
    return type >= 0 && type <= 12 ? names[type] : "unknown";
}

std::string hex(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof(text), "0x%016llx", static_cast<unsigned long long>(value));
    return text;
}

void putU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void putU64(std::string& out, std::uint64_t v) {
    putU32(out, static_cast<std::uint32_t>(v));
    putU32(out, static_cast<std::uint32_t>(v >> 32));
}
void putSection(std::string& out, const char* tag, const std::string& body) {
    out.append(tag, 4);
    putU32(out, static_cast<std::uint32_t>(body.size()));
    out += body;
}

// Copies a listed file into the report; false with the reason.
bool copyFile(const std::string& source, const std::string& target, std::string& error) {
    std::string bytes;
    return readReportSource(source, bytes, error) && writeReportFile(target, bytes, error);
}

// What the CTX block of the description says about the crashed thread.
struct CrashContext {
    bool present = false;
    std::uint32_t signal = 0;
    std::int32_t signalCode = 0;
    std::uint32_t flags = 0;
    std::uint64_t faultAddress = 0;
    std::vector<std::uint64_t> registers;
    std::string fpRegisters;
    std::vector<std::uint64_t> frames;
};

CrashContext readContext(const crashreport::CrashDescriptionReader& d) {
    CrashContext c;
    const std::size_t at = d.u32(hdr::kExceptionPointers);
    if (at < crashreport::kDescriptionHeaderSize || d.tag(at) != "CTX" || d.u16(at + 4) < ctx::kBlockSize ||
        at + ctx::kBlockSize > d.size())
        return c;
    c.present = true;
    c.signal = d.u32(at + ctx::kSignal);
    c.signalCode = d.i32(at + ctx::kSignalCode);
    c.flags = d.u32(at + ctx::kFlags);
    c.faultAddress = d.u64(at + ctx::kFaultAddress);
    const std::size_t registers = std::min<std::size_t>(d.u32(at + ctx::kRegisterCount), ctx::kMaxRegisters);
    for (std::size_t i = 0; i < registers; ++i) c.registers.push_back(d.u64(at + ctx::kRegisters + 8 * i));
    if (c.flags & crashreport::kCtxFpRegisters)
        c.fpRegisters.assign(reinterpret_cast<const char*>(d.data() + at + ctx::kFpRegisters), ctx::kFpRegistersSize);
    const std::size_t frames = std::min<std::size_t>(d.u32(at + ctx::kFrameCount), ctx::kMaxFrames);
    for (std::size_t i = 0; i < frames; ++i) c.frames.push_back(d.u64(at + ctx::kFrames + 8 * i));
    // From a signal, the unwinder starts inside the handler: the crashed code begins at
    // the frame of the interrupted instruction.
    if (c.signal != 0 && c.registers.size() > REG_RIP) {
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            if (c.frames[i] == c.registers[REG_RIP]) {
                c.frames.erase(c.frames.begin(), c.frames.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
    }
    return c;
}

}  // namespace

std::string CrashReportSender::safeFileName(std::string name) {
    for (char& c : name)
        if (c == '/' || c == '\0') c = '_';
    if (name.empty() || name == "." || name == "..") name = "_" + name;
    return name;
}

std::string CrashReportSender::reportFolderOf(const crashreport::CrashDescriptionReader& d) {
    const std::string folder = d.stringAt(hdr::kReportFolder);
    return folder + "/" + safeFileName(d.stringAt(hdr::kAppName) + "_" + d.stringAt(hdr::kAppVersion)) + "/" +
           safeFileName(d.stringAt(hdr::kCrashId));
}

std::string CrashReportSender::text(const char* key, const char* fallback, const std::string& argument) const {
    std::string value = crashreport::readIniString(languageFile_, "Sender", key, fallback);
    const auto at = value.find("%s");
    if (at != std::string::npos) value.replace(at, 2, argument);
    return value;
}

CrashReportSender::Items CrashReportSender::readItems(const crashreport::CrashDescriptionReader& d) {
    Items items;
    d.forEachBlock([&](const std::string& tag, std::size_t at) {
        // A later block of the same name replaces an earlier one, as in the crashed process.
        if (tag == "FIL") {
            items.files[d.stringAt(at + 12)] = {d.stringAt(at + 8), d.stringAt(at + 16)};
        } else if (tag == "CPR") {
            items.properties[d.stringAt(at + 8)] = d.stringAt(at + 12);
        } else if (tag == "REG") {
            items.registryKeys[d.stringAt(at + 12)] = d.stringAt(at + 16);
        }
    });
    return items;
}

int CrashReportSender::run(const std::string& blockName) {
    const std::wstring name = utf8ToWide(blockName);
    CFileMappingBlock block;
    if (name.empty() || !block.init(name, true, 0, 0)) {
        std::fprintf(stderr, "%s\n", text("NotOpened", "The crash description %s could not be opened.", blockName).c_str());
        return 1;
    }
    const auto* data = static_cast<const std::uint8_t*>(block.createView(0, static_cast<std::size_t>(block.size())));
    const crashreport::CrashDescriptionReader description(data, data ? static_cast<std::size_t>(block.size()) : 0);
    if (!description.valid()) {
        std::fprintf(stderr, "%s\n", text("NotOpened", "The crash description %s could not be opened.", blockName).c_str());
        return 1;
    }
    languageFile_ = description.stringAt(hdr::kLanguageFile);
    const std::string crashId = description.stringAt(hdr::kCrashId);
    const std::string crashEventName = NamedEvent::crashEventName(crashId);
    const std::string videoEventName = NamedEvent::videoEventName(crashId);
    NamedEvent crashEvent;
    crashEvent.open(crashEventName);

    if (description.i32(hdr::kQueuedMode) == 1) {
        // Started at install: nothing is queued here, the installing process may go on.
        crashEvent.set();
        CFileMappingBlock::unlinkName(name);
        return 0;
    }
    Capture capture;
    if (description.i32(hdr::kVideoStart) == 1) {
        if (!record(description, videoEventName, capture)) {
            // The process has gone without a crash: nothing to report.
            CFileMappingBlock::unlinkName(name);
            NamedEvent::unlink(crashEventName.c_str());
            NamedEvent::unlink(videoEventName.c_str());
            return 0;
        }
    }
    if (description.i32(hdr::kCrashInProgress) != 1) {
        crashEvent.set();
        return 0;
    }
    const int result = report(description, [&crashEvent] { crashEvent.set(); }, capture);
    crashEvent.set();
    CFileMappingBlock::unlinkName(name);
    NamedEvent::unlink(crashEventName.c_str());
    NamedEvent::unlink(videoEventName.c_str());
    return result;
}

bool CrashReportSender::record(const crashreport::CrashDescriptionReader& d, const std::string& videoEventName,
                               Capture& capture) {
    NamedEvent video;
    video.open(videoEventName);
    const pid_t process = static_cast<pid_t>(d.u32(hdr::kProcessId));
    const int interval = std::max(1, d.i32(hdr::kVideoFrameInterval));
    capture.screen = std::make_unique<ScreenCapture>();
    capture.recorder = std::make_unique<ScreenRecorder>(d.i32(hdr::kVideoWidth), d.i32(hdr::kVideoHeight), interval,
                                                        d.i32(hdr::kVideoDuration));
    capture.window = d.u32(hdr::kVideoWindow);
    const auto start = std::chrono::steady_clock::now();
    auto next = start;
    ScreenImage image;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= next) {
            if (capture.screen->ready() && capture.screen->grab(image, capture.window))
                capture.recorder->add(image, std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count());
            next += std::chrono::milliseconds(interval);
            if (next < now) next = now + std::chrono::milliseconds(interval);
        }
        const auto untilNext = std::chrono::duration_cast<std::chrono::milliseconds>(next - std::chrono::steady_clock::now()).count();
        // The crash (or the handler's end) sets the event; a process that is gone sets nothing.
        if (video.wait(static_cast<int>(std::clamp<long long>(untilNext, 1, kVideoPollMs)))) break;
        if (kill(process, 0) != 0 && errno == ESRCH) return false;
    }
    capture.start = start;
    capture.recording = true;
    return true;
}

int CrashReportSender::report(const crashreport::CrashDescriptionReader& d, const std::function<void()>& release,
                              Capture& capture) {
    const pid_t pid = static_cast<pid_t>(d.u32(hdr::kProcessId));
    const pid_t tid = static_cast<pid_t>(d.u32(hdr::kThreadId));
    const std::int32_t reportType = d.i32(hdr::kReportType);
    const CrashContext context = readContext(d);

    // First what needs the crashed process alive, then let it go.
    const ProcessSnapshot process(pid);
    const std::string mapsText = process.readMaps();
    const std::vector<MapEntry> maps = parseMaps(mapsText);
    const std::vector<ThreadInfo> threads = process.readThreads(tid);
    std::vector<std::uint8_t> stack;
    const std::uint64_t sp = context.registers.size() > REG_RSP ? context.registers[REG_RSP] : 0;
    if (sp != 0) stack = process.readStack(sp, maps, kStackLimit);

    // The screen as the crash left it, while the crashed windows are still there: the
    // screenshot and the video's last picture.
    const bool screenshotRequested = d.i32(hdr::kScreenshotRequested) != 0;
    if ((screenshotRequested || capture.recording) && !capture.screen) capture.screen = std::make_unique<ScreenCapture>();
    ScreenImage screenshot;
    std::string screenshotError;
    if (screenshotRequested) {
        if (!capture.screen->ready() || !capture.screen->grab(screenshot)) screenshotError = capture.screen->error();
    }
    if (capture.recording) {
        ScreenImage last;
        if (capture.screen->ready() && capture.screen->grab(last, capture.window)) {
            capture.recorder->add(last, std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::steady_clock::now() - capture.start)
                                            .count());
        }
    }

    const std::string folder = reportFolderOf(d);
    std::error_code ec;
    fs::create_directories(folder, ec);
    chmod(folder.c_str(), 0700);
    // The first file that could not be written and why: the report is then not saved.
    std::string failure;
    auto keepFailure = [&failure](const std::string& file, const std::string& error) {
        if (failure.empty()) failure = file + ": " + error;
    };
    const Items items = readItems(d);
    std::ostringstream filesText;
    for (const auto& file : items.files) {
        const std::string& source = file.second[0];
        std::string error;
        if (source.find_first_of("*?") != std::string::npos) {
            glob_t matches{};
            if (glob(source.c_str(), 0, nullptr, &matches) == 0) {
                for (std::size_t i = 0; i < matches.gl_pathc; ++i) {
                    const std::string match = matches.gl_pathv[i];
                    const std::string target = safeFileName(fs::path(match).filename().string());
                    const bool copied = copyFile(match, folder + "/" + target, error);
                    filesText << "  " << target << " <- " << match << (copied ? "" : " (not copied: " + error + ")") << "\n";
                }
            }
            globfree(&matches);
            continue;
        }
        const std::string target = safeFileName(file.first);
        const bool copied = copyFile(source, folder + "/" + target, error);
        filesText << "  " << target << " <- " << source << (copied ? "" : " (missing)");
        if (!file.second[1].empty()) filesText << " - " << file.second[1];
        filesText << "\n";
    }
    std::ostringstream keysText;
    for (const auto& key : items.registryKeys) {
        const std::string& path = key.first;
        const auto backslash = path.find('\\');
        const std::string rootName = path.substr(0, backslash);
        std::string exported, error;
        bool ok = false;
        if (backslash != std::string::npos && (rootName == "HKEY_CURRENT_USER" || rootName == "HKEY_LOCAL_MACHINE")) {
            const auto root = rootName == "HKEY_CURRENT_USER" ? platform::RegistryRoot::CurrentUser
                                                              : platform::RegistryRoot::LocalMachine;
            ok = platform::exportRegistryKey(root, path.substr(backslash + 1), exported) &&
                 writeReportFile(folder + "/" + safeFileName(key.second), exported, error);
        }
        keysText << "  " << path << " -> " << safeFileName(key.second) << (ok ? "" : " (not exported)") << "\n";
    }
    // Everything that needed the crashed process is taken: it may end now.
    release();

    std::string screenshotText;
    if (screenshotRequested) {
        std::string error;
        if (!screenshotError.empty()) {
            screenshotText = "not taken: " + screenshotError;
        } else if (writePng(folder + "/" + kScreenshotFile, screenshot, error)) {
            screenshotText = std::string(kScreenshotFile) + " (" + std::to_string(screenshot.width) + "x" +
                             std::to_string(screenshot.height) + ")";
        } else {
            screenshotText = "not written: " + error;
            keepFailure(kScreenshotFile, error);
        }
    }
    std::string videoText;
    if (capture.recording) {
        if (capture.recorder->write(folder + "/" + kVideoFile)) {
            char seconds[32];
            std::snprintf(seconds, sizeof(seconds), "%.1f", static_cast<double>(capture.recorder->keptMs()) / 1000.0);
            videoText = std::string(kVideoFile) + " (" + std::to_string(capture.recorder->keptFrames()) + " pictures over " +
                        seconds + " s, " + capture.recorder->codecName() + ")";
        } else {
            videoText = "not recorded: " + capture.recorder->error();
        }
    }

    // The binary dump.
    std::string dump(crashdump::kMagic, 4);
    putU32(dump, crashdump::kVersion);
    std::string info;
    putU32(info, static_cast<std::uint32_t>(pid));
    putU32(info, static_cast<std::uint32_t>(tid));
    putU32(info, static_cast<std::uint32_t>(reportType));
    putU32(info, d.u32(hdr::kExceptionCode));
    putU32(info, context.signal);
    putU32(info, static_cast<std::uint32_t>(context.signalCode));
    putU64(info, context.faultAddress);
    putU32(info, context.flags);
    putSection(dump, "INFO", info);
    std::string registers;
    for (const std::uint64_t r : context.registers) putU64(registers, r);
    putSection(dump, "REGS", registers);
    if (!context.fpRegisters.empty()) putSection(dump, "FPRG", context.fpRegisters);
    std::string frames;
    for (const std::uint64_t f : context.frames) putU64(frames, f);
    putSection(dump, "BTRC", frames);
    putSection(dump, "MAPS", mapsText);
    std::string threadBytes;
    for (const ThreadInfo& t : threads) {
        putU32(threadBytes, static_cast<std::uint32_t>(t.id));
        putU32(threadBytes, static_cast<std::uint32_t>(t.name.size()));
        threadBytes += t.name;
        threadBytes += t.state;
        putU32(threadBytes, static_cast<std::uint32_t>(t.registers.size()));
        for (const std::uint64_t r : t.registers) putU64(threadBytes, r);
    }
    putSection(dump, "THRD", threadBytes);
    std::string stackBytes;
    putU64(stackBytes, sp);
    stackBytes.append(reinterpret_cast<const char*>(stack.data()), stack.size());
    putSection(dump, "STAK", stackBytes);

    // The summary.
    SymbolResolver symbols(maps);
    std::ostringstream s;
    s << "Application: " << d.stringAt(hdr::kAppName) << " " << d.stringAt(hdr::kAppVersion) << "\n";
    s << "Crash id: " << d.stringAt(hdr::kCrashId) << "\n";
    s << "Process: " << pid << " " << d.stringAt(hdr::kExecutablePath) << "\n";
    s << "Thread: " << tid << "\n";
    s << "Report type: " << reportType << " (" << reportTypeName(reportType) << ")\n";
    if (reportType == kReportFilter) s << "Exception code: " << d.u32(hdr::kExceptionCode) << "\n";
    if (reportType == kReportSigfpe) s << "Floating-point code: " << d.i32(hdr::kFpeSubcode) << "\n";
    if (reportType == kReportInvalidParameter) {
        s << "Invalid parameter: " << d.stringAt(hdr::kExpression) << " in " << d.stringAt(hdr::kFunction) << " ("
          << d.stringAt(hdr::kFile) << ":" << d.u32(hdr::kLine) << ")\n";
    }
    if (context.signal != 0) {
        const int signal = static_cast<int>(context.signal);
        s << "Signal: " << signal << " (" << strsignal(signal) << "), code " << context.signalCode;
        // Only a fault has an address; for a sent signal the field holds the sender's id.
        if (signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE)
            s << ", address " << hex(context.faultAddress);
        s << "\n";
    }
    if (context.flags & crashreport::kCtxStackOverflow) s << "Stack overflow\n";
    s << "\nRegisters" << ((context.flags & crashreport::kCtxCapturedOnRequest) ? " (of the reporting thread)" : "")
      << ":\n";
    for (std::size_t i = 0; i < context.registers.size(); ++i)
        s << "  " << kRegisterNames[i] << " " << hex(context.registers[i]) << "\n";
    s << "\nBacktrace:\n";
    for (std::size_t i = 0; i < context.frames.size(); ++i)
        s << "  #" << i << " " << hex(context.frames[i]) << " " << symbols.describe(context.frames[i], i > 0) << "\n";
    s << "\nThreads:\n";
    for (const ThreadInfo& t : threads)
        s << "  " << t.id << " " << t.state << " \"" << t.name << "\"" << (t.id == tid ? " (crashed)" : "") << "\n";
    s << "\nStack: " << stack.size() << " bytes from " << hex(sp) << "\n";
    s << "\nProperties:\n";
    for (const auto& p : items.properties) s << "  " << p.first << " = " << p.second << "\n";
    s << "\nFiles:\n" << filesText.str();
    s << "\nRegistry keys:\n" << keysText.str();
    if (screenshotRequested) s << "\nScreenshot: " << screenshotText << "\n";
    if (capture.recording) s << "\nVideo: " << videoText << "\n";

    const std::string dumpPath = folder + "/" + kDumpFile;
    const std::string infoPath = folder + "/" + kSummaryFile;
    std::string error;
    if (!writeReportFile(dumpPath, dump, error)) keepFailure(kDumpFile, error);
    if (!writeReportFile(infoPath, s.str(), error)) keepFailure(kSummaryFile, error);
    if (!failure.empty()) {
        std::fprintf(stderr, "%s\n", text("ReportNotSaved", "The crash report could not be saved in %s", folder + " (" + failure + ")").c_str());
        return 1;
    }

    const std::string url = d.stringAt(hdr::kUploadUrl);
    const std::uint32_t flags = d.u32(hdr::kFlags);
    if ((flags & CR_INST_DONT_SEND_REPORT) == 0 && !url.empty()) {
        std::fprintf(stderr, "%s\n", text("ReportSaved", "The crash report was saved in %s", folder).c_str());
        UploadRequest upload{url, d.stringAt(hdr::kAppName), d.stringAt(hdr::kAppVersion), d.stringAt(hdr::kCrashId),
                             dumpPath, infoPath};
        if (uploadReport(upload, error)) std::fprintf(stderr, "%s\n", text("ReportUploaded", "The crash report was sent.").c_str());
        else std::fprintf(stderr, "%s\n", text("UploadFailed", "The crash report could not be sent: %s", error).c_str());
        return 0;
    }
    if (flags & CR_INST_STORE_ZIP_ARCHIVES) {
        // The report is kept as one archive in the folder's place.
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder, ec))
            if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        const std::string archive = folder + ".zip";
        if (writeZipArchive(archive, folder, names, error)) {
            fs::remove_all(folder, ec);
            std::fprintf(stderr, "%s\n", text("ReportSaved", "The crash report was saved in %s", archive).c_str());
            return 0;
        }
        std::fprintf(stderr, "%s\n", text("NotArchived", "The crash report could not be stored as an archive: %s", error).c_str());
    }
    std::fprintf(stderr, "%s\n", text("ReportSaved", "The crash report was saved in %s", folder).c_str());
    return 0;
}
