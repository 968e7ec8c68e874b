// Arbitrary bytes as a crash description in shared memory: the sender reads it from a
// process that has just crashed, so every read must stay inside the block and return.

#include <cstdint>
#include <cstring>
#include <vector>

#include "CrashReportSender.h"
#include "crashreport/CrashDescription.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A header that passes the checks, so that the blocks behind it are what gets fuzzed.
    std::vector<std::uint8_t> block(data, data + size);
    if (block.size() < crashreport::kDescriptionHeaderSize) block.resize(crashreport::kDescriptionHeaderSize);
    std::memcpy(block.data(), "CRD", 4);
    block[4] = crashreport::kDescriptionHeaderSize & 0xFF;
    block[5] = crashreport::kDescriptionHeaderSize >> 8;
    const std::uint32_t version = crashreport::kDescriptionVersion;
    std::memcpy(block.data() + crashreport::hdr::kVersion, &version, 4);
    if (size > 0 && (data[0] & 1)) {
        const auto total = static_cast<std::uint32_t>(block.size());
        std::memcpy(block.data() + crashreport::hdr::kTotalSize, &total, 4);
    }
    const crashreport::CrashDescriptionReader d(block.data(), block.size());
    if (!d.valid()) return 0;
    const CrashReportSender::Items items = CrashReportSender::readItems(d);
    std::size_t seen = items.files.size() + items.properties.size() + items.registryKeys.size();
    seen += CrashReportSender::reportFolderOf(d).size();
    for (std::size_t field = 68; field <= 180; field += 4) seen += d.stringAt(field).size();
    const std::size_t at = d.u32(crashreport::hdr::kExceptionPointers);
    seen += d.tag(at).size() + d.u64(at + crashreport::ctx::kFrames);
    return seen == 0xFFFFFFFF ? 1 : 0;
}
