#include "updater/UpdateFiles.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kHashChunk = 1048576;

std::string hex(const unsigned char* digest, unsigned length) {
    static const char digits[] = "0123456789abcdef";
    std::string text(length * 2, '0');
    for (unsigned i = 0; i < length; ++i) {
        text[2 * i] = digits[digest[i] >> 4];
        text[2 * i + 1] = digits[digest[i] & 15];
    }
    return text;
}

struct DigestContext {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    ~DigestContext() { EVP_MD_CTX_free(ctx); }
    bool init() { return ctx && EVP_DigestInit_ex(ctx, EVP_md5(), nullptr) == 1; }
    bool update(const void* data, std::size_t length) { return EVP_DigestUpdate(ctx, data, length) == 1; }
    std::string finish() {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned length = 0;
        if (EVP_DigestFinal_ex(ctx, digest, &length) != 1) return std::string();
        return hex(digest, length);
    }
};

// The process's umask, read without changing it (the umask call itself would race with
// files created on other threads meanwhile).
mode_t currentUmask() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, 6, "Umask:") == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    }
    return 022;
}

bool looksExecutable(const std::vector<char>& bytes) {
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "\x7f" "ELF", 4) == 0) return true;
    return bytes.size() >= 2 && bytes[0] == '#' && bytes[1] == '!';
}

mode_t modeFor(const std::string& path, const std::vector<char>& bytes) {
    struct stat old {};
    if (::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) return old.st_mode & 07777;
    mode_t mode = 0666 & ~currentUmask();
    if (looksExecutable(bytes)) mode |= (mode & 0444) >> 2;
    return mode;
}

bool writeAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string md5HexOfFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::string();
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    DigestContext digest;
    std::unique_ptr<char[]> buffer(new char[kHashChunk]);
    bool ok = digest.init();
    while (ok) {
        const ssize_t n = ::read(fd, buffer.get(), kHashChunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        ok = digest.update(buffer.get(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ok ? digest.finish() : std::string();
}

std::string md5HexOfBuffer(const char* bytes, std::size_t length) {
    DigestContext digest;
    if (!digest.init() || !digest.update(bytes, length)) return std::string();
    return digest.finish();
}

bool isSafeRelativeName(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.back() == '/') return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0 && end - start == 2) return false;
        start = end + 1;
    }
    return true;
}

bool writeFileBytes(const std::string& path, const std::vector<char>& bytes) {
    std::string tmp = path + ".XXXXXX";
    const int fd = ::mkostemp(&tmp[0], O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes.data(), bytes.size());
    ok = ok && ::fchmod(fd, modeFor(path, bytes)) == 0;
    ok = ok && ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    ok = ok && std::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}
