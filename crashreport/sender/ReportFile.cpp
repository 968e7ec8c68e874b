#include "ReportFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool writeReportFile(const std::string& path, const std::string& bytes, std::string& error) {
    const std::string temporary = path + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    int failure = 0;
    while (left > 0) {
        const ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failure = n < 0 ? errno : ENOSPC;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure == 0) return true;
    unlink(temporary.c_str());
    error = std::strerror(failure);
    return false;
}

bool readReportSource(const std::string& path, std::string& bytes, std::string& error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "not a regular file";
        close(fd);
        return false;
    }
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = std::strerror(errno);
            close(fd);
            return false;
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return true;
}
