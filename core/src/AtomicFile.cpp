#include "core/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool fail(std::string* error, const std::string& what, int code) {
    if (error) *error = what + ": " + std::strerror(code);
    return false;
}

}  // namespace

bool writeFileAtomically(const std::string& path, const std::string& bytes, mode_t mode, std::string* error) {
    std::vector<char> temporary(path.begin(), path.end());
    const char suffix[] = ".XXXXXX";
    temporary.insert(temporary.end(), suffix, suffix + sizeof(suffix));  // with the terminating zero
    // mkstemp creates the file with mode 0600, so a secret is never readable by others, not
    // even for a moment.
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return fail(error, "cannot create a temporary file beside " + path, errno);
    const std::string name(temporary.data());

    const char* data = bytes.data();
    std::size_t left = bytes.size();
    int code = 0;
    while (left > 0 && code == 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno != EINTR) code = errno;
            continue;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (code == 0 && ::fchmod(fd, mode) != 0) code = errno;
    if (code == 0 && ::fsync(fd) != 0) code = errno;
    if (::close(fd) != 0 && code == 0) code = errno;
    if (code == 0 && ::rename(name.c_str(), path.c_str()) != 0) code = errno;
    if (code != 0) {
        ::unlink(name.c_str());
        return fail(error, "cannot write " + path, code);
    }
    return true;
}
