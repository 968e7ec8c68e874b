#include "FileMappingBlock.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/SystemHelpers.h"

CFileMappingBlock::CFileMappingBlock() {
    const long page = sysconf(_SC_PAGESIZE);
    granularity_ = page > 0 ? static_cast<std::size_t>(page) : 4096;
}

CFileMappingBlock::~CFileMappingBlock() { close(); }

std::string CFileMappingBlock::systemName(const std::wstring& name) { return "/" + wideToUtf8(name); }

void CFileMappingBlock::unlinkName(const std::wstring& name) { shm_unlink(systemName(name).c_str()); }

int CFileMappingBlock::init(const std::wstring& name, bool openExisting, std::uint32_t sizeLow,
                            std::uint32_t sizeHigh) {
    if (isOpen()) return 0;
    const std::string systemName_ = systemName(name);
    std::uint64_t size = (static_cast<std::uint64_t>(sizeHigh) << 32) | sizeLow;
    int fd = -1;
    if (openExisting) {
        fd = shm_open(systemName_.c_str(), O_RDWR | O_CLOEXEC, 0);
        struct stat st {};
        if (fd >= 0 && fstat(fd, &st) == 0) {
            size = static_cast<std::uint64_t>(st.st_size);
        } else if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    } else {
        fd = shm_open(systemName_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 && ftruncate(fd, static_cast<off_t>(size)) != 0) {
            ::close(fd);
            shm_unlink(systemName_.c_str());
            fd = -1;
        }
    }
    name_ = name;
    if (fd < 0) {
        size_ = 0;
        return 0;
    }
    fd_ = fd;
    size_ = size;
    return 1;
}

void* CFileMappingBlock::createView(std::uint64_t offset, std::size_t size) {
    if (!isOpen()) return nullptr;
    const std::uint64_t base = offset - offset % granularity_;
    const std::size_t length = size + static_cast<std::size_t>(offset - base);
    void* mapped = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, static_cast<off_t>(base));
    if (mapped == MAP_FAILED) return nullptr;
    void* address = static_cast<char*>(mapped) + (offset - base);
    views_[address] = {mapped, length};
    return address;
}

void CFileMappingBlock::destroyView(void* address) {
    const auto it = views_.find(address);
    if (it == views_.end()) return;
    munmap(it->second.first, it->second.second);
    views_.erase(it);
}

int CFileMappingBlock::close() {
    for (const auto& view : views_) munmap(view.second.first, view.second.second);
    views_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
    return 1;
}
