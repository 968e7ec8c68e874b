#pragma once
// The crash description in shared memory: the layout both the crashed process and the
// sender program rely on, and a bounds-checked reader for it.
//
// The block is little-endian. The 216-byte header sits at offset 0; blocks are appended
// after it, each at the total size the header held when it was written. Strings are "STR"
// blocks of UTF-16 text, named by their offset from the start of the block. Items are
// "FIL", "CPR" and "REG" blocks followed by their strings. At a crash the process appends
// one "CTX" block (registers, signal and return addresses of the crashed thread) and puts
// its offset in the header's exception-pointers field.

#include <cstddef>
#include <cstdint>
#include <string>

namespace crashreport {

constexpr std::uint32_t kDescriptionVersion = 1403;
constexpr std::uint16_t kDescriptionHeaderSize = 216;
constexpr std::size_t kSharedBlockSize = 0xA00000;  // 10 MiB

// Header fields (byte offsets).
namespace hdr {
constexpr std::size_t kMagic = 0;  // "CRD"
constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kTotalSize = 8;
constexpr std::size_t kVersion = 12;
constexpr std::size_t kFileCount = 16;
constexpr std::size_t kRegKeyCount = 20;
constexpr std::size_t kPropertyCount = 24;
constexpr std::size_t kFlags = 28;
constexpr std::size_t kSmtpPort = 32;
constexpr std::size_t kSmtpProxyPort = 36;
constexpr std::size_t kTransportPriorities = 40;  // three int32
constexpr std::size_t kMinidumpType = 52;
constexpr std::size_t kScreenshotRequested = 56;
constexpr std::size_t kScreenshotFlags = 60;
constexpr std::size_t kJpegQuality = 64;
constexpr std::size_t kUploadUrl = 68;
constexpr std::size_t kAppName = 72;
constexpr std::size_t kAppVersion = 76;
constexpr std::size_t kLanguageFile = 80;
constexpr std::size_t kRestartCommandLine = 84;
constexpr std::size_t kRestartTimeout = 88;
constexpr std::size_t kEmailRecipient = 92;
constexpr std::size_t kCrashId = 96;
constexpr std::size_t kReportFolder = 100;
constexpr std::size_t kPrivacyPolicyUrl = 104;
constexpr std::size_t kEmailSubject = 108;
constexpr std::size_t kEmailText = 112;
constexpr std::size_t kSmtpProxy = 116;
constexpr std::size_t kDebugHelpPath = 120;
constexpr std::size_t kCustomIcon = 124;
constexpr std::size_t kExecutablePath = 128;
constexpr std::size_t kProcessId = 132;
constexpr std::size_t kThreadId = 136;
constexpr std::size_t kReportType = 140;
constexpr std::size_t kExceptionCode = 144;
constexpr std::size_t kExpression = 148;
constexpr std::size_t kFunction = 152;
constexpr std::size_t kFile = 156;
constexpr std::size_t kLine = 160;
constexpr std::size_t kFpeSubcode = 164;
constexpr std::size_t kExceptionPointers = 168;  // offset of the CTX block, 0 when none
constexpr std::size_t kQueuedMode = 172;
constexpr std::size_t kSmtpLogin = 176;
constexpr std::size_t kSmtpPassword = 180;
constexpr std::size_t kVideoStart = 184;
constexpr std::size_t kVideoFlags = 188;
constexpr std::size_t kVideoDuration = 192;
constexpr std::size_t kVideoFrameInterval = 196;
constexpr std::size_t kVideoWidth = 200;
constexpr std::size_t kVideoHeight = 204;
constexpr std::size_t kVideoWindow = 208;
constexpr std::size_t kCrashInProgress = 212;
}  // namespace hdr

// Fixed parts of the appended blocks: tag (3 bytes and a 0), uint16 size, two bytes 0.
constexpr std::size_t kStringBlockHeader = 6;  // "STR", 0, uint16 size; then the text
constexpr std::size_t kFileBlockSize = 28;     // offsets: source, destination, description; two options
constexpr std::size_t kPropertyBlockSize = 16; // offsets: name, value
constexpr std::size_t kRegKeyBlockSize = 20;   // option; offsets: key path, destination
// The longest text a string block holds, in UTF-16 units, so that its 16-bit size fits.
constexpr std::size_t kMaxStringUnits = (0xFFFF - kStringBlockHeader) / 2;

// The CTX block written at a crash.
namespace ctx {
constexpr std::size_t kSignal = 8;         // uint32, 0 when the report came from no signal
constexpr std::size_t kSignalCode = 12;    // int32 si_code
constexpr std::size_t kSignalErrno = 16;   // int32 si_errno
constexpr std::size_t kFlags = 20;         // uint32 kCtx* bits
constexpr std::size_t kFaultAddress = 24;  // uint64 si_addr
constexpr std::size_t kThreadId = 32;      // uint32 the crashed thread
constexpr std::size_t kRegisterCount = 36; // uint32
constexpr std::size_t kRegisters = 40;     // uint64 x kMaxRegisters, in <sys/ucontext.h> order
constexpr std::size_t kMaxRegisters = 23;
constexpr std::size_t kFpRegisters = kRegisters + 8 * kMaxRegisters;  // 512 bytes (fxsave area)
constexpr std::size_t kFpRegistersSize = 512;
constexpr std::size_t kFrameCount = kFpRegisters + kFpRegistersSize;  // uint32, then 4 bytes 0
constexpr std::size_t kFrames = kFrameCount + 8;                     // uint64 x kMaxFrames
constexpr std::size_t kMaxFrames = 64;
constexpr std::size_t kBlockSize = kFrames + 8 * kMaxFrames;
}  // namespace ctx
constexpr std::uint32_t kCtxStackOverflow = 0x1;
constexpr std::uint32_t kCtxCapturedOnRequest = 0x2;  // registers of the reporting thread
constexpr std::uint32_t kCtxFpRegisters = 0x4;

// Reads a description without trusting it: every read is checked against the bytes given.
class CrashDescriptionReader {
public:
    CrashDescriptionReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // "CRD", header size 216 and version 1403, and a total size within the block.
    bool valid() const;

    std::uint32_t u32(std::size_t offset) const;  // 0 when out of bounds
    std::int32_t i32(std::size_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
    std::uint16_t u16(std::size_t offset) const;
    std::uint64_t u64(std::size_t offset) const;
    // The three tag letters at offset ("" when out of bounds).
    std::string tag(std::size_t offset) const;

    // The string block at offset as UTF-8; empty when offset names no string block.
    std::string string(std::size_t offset) const;
    // The string named by the header field (or item field) at fieldOffset.
    std::string stringAt(std::size_t fieldOffset) const { return string(u32(fieldOffset)); }

    // Offsets of the blocks after the header with the given tag, in order.
    template <typename Fn>
    void forEachBlock(Fn fn) const {
        std::size_t offset = kDescriptionHeaderSize;
        const std::size_t total = u32(hdr::kTotalSize);
        while (offset + kStringBlockHeader <= total && offset + kStringBlockHeader <= size_) {
            const std::uint16_t blockSize = u16(offset + 4);
            if (blockSize < kStringBlockHeader) return;
            fn(tag(offset), offset);
            // Items count their strings in their size; a bare string block stands alone.
            offset += blockSize;
        }
    }

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// UTF-16 code units to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(const std::uint16_t* units, std::size_t count);

}  // namespace crashreport
