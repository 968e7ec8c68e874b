#include "ZipArchive.h"

#include <cstdint>
#include <ctime>
#include <limits>
#include <zlib.h>

#include "ReportFile.h"

namespace {

constexpr std::uint16_t kVersionNeeded = 20;     // 2.0: deflate
constexpr std::uint16_t kFlagUtf8Names = 0x800;  // names are UTF-8
constexpr std::uint16_t kMethodDeflate = 8;

void put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void put32(std::string& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

// Raw deflate of the whole input.
bool deflateAll(const std::string& input, std::string& output) {
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    output.resize(deflateBound(&z, static_cast<uLong>(input.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    z.avail_in = static_cast<uInt>(input.size());
    z.next_out = reinterpret_cast<Bytef*>(&output[0]);
    z.avail_out = static_cast<uInt>(output.size());
    const int rc = deflate(&z, Z_FINISH);
    output.resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END;
}

// The local time as MS-DOS keeps it in archives.
void dosNow(std::uint16_t& time, std::uint16_t& date) {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    time = static_cast<std::uint16_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
    date = static_cast<std::uint16_t>(((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
}

}  // namespace

bool writeZipArchive(const std::string& archivePath, const std::string& folder, const std::vector<std::string>& names,
                     std::string& error) {
    constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();
    std::uint16_t time = 0, date = 0;
    dosNow(time, date);
    std::string archive, directory;
    for (const std::string& name : names) {
        std::string bytes, packed;
        if (!readReportSource(folder + "/" + name, bytes, error)) {
            error = name + ": " + error;
            return false;
        }
        if (bytes.size() >= kLimit || !deflateAll(bytes, packed)) {
            error = name + ": too large to store";
            return false;
        }
        const std::uint32_t crc =
            static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
        const auto offset = static_cast<std::uint32_t>(archive.size());
        // Local header, then the data.
        put32(archive, 0x04034b50);
        put16(archive, kVersionNeeded);
        put16(archive, kFlagUtf8Names);
        put16(archive, kMethodDeflate);
        put16(archive, time);
        put16(archive, date);
        put32(archive, crc);
        put32(archive, static_cast<std::uint32_t>(packed.size()));
        put32(archive, static_cast<std::uint32_t>(bytes.size()));
        put16(archive, static_cast<std::uint16_t>(name.size()));
        put16(archive, 0);
        archive += name;
        archive += packed;
        // Its central directory entry: regular file, mode 0600.
        put32(directory, 0x02014b50);
        put16(directory, (3 << 8) | kVersionNeeded);  // made on Unix
        put16(directory, kVersionNeeded);
        put16(directory, kFlagUtf8Names);
        put16(directory, kMethodDeflate);
        put16(directory, time);
        put16(directory, date);
        put32(directory, crc);
        put32(directory, static_cast<std::uint32_t>(packed.size()));
        put32(directory, static_cast<std::uint32_t>(bytes.size()));
        put16(directory, static_cast<std::uint16_t>(name.size()));
        put16(directory, 0);  // extra
        put16(directory, 0);  // comment
        put16(directory, 0);  // disk
        put16(directory, 0);  // internal attributes
        put32(directory, 0100600u << 16);
        put32(directory, offset);
        directory += name;
        if (archive.size() + directory.size() >= kLimit) {
            error = "the archive would pass 4 GiB";
            return false;
        }
    }
    const auto directoryOffset = static_cast<std::uint32_t>(archive.size());
    archive += directory;
    put32(archive, 0x06054b50);
    put16(archive, 0);
    put16(archive, 0);
    put16(archive, static_cast<std::uint16_t>(names.size()));
    put16(archive, static_cast<std::uint16_t>(names.size()));
    put32(archive, static_cast<std::uint32_t>(directory.size()));
    put32(archive, directoryOffset);
    put16(archive, 0);
    return writeReportFile(archivePath, archive, error);
}
