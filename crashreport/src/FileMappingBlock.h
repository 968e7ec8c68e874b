#pragma once
// A named block of shared memory that another process can open by its name, with views
// mapped at any offset.
//
// The name is a POSIX shared-memory name ("/" and the UTF-8 text of the wide name). A new
// block is created exclusively with mode 0600, so an existing block of the same name is
// never taken over. Names outlive processes: whoever is done with a block removes its name
// with unlinkName.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

class CFileMappingBlock {
public:
    CFileMappingBlock();
    ~CFileMappingBlock();
    CFileMappingBlock(const CFileMappingBlock&) = delete;
    CFileMappingBlock& operator=(const CFileMappingBlock&) = delete;

    // Opens the existing block of that name for reading and writing (openExisting), or
    // creates one of the given size. Returns 1 with the name and size stored, 0 when a block
    // is already open or the system refused (the size is then 0).
    int init(const std::wstring& name, bool openExisting, std::uint32_t sizeLow, std::uint32_t sizeHigh);
    bool isOpen() const { return fd_ >= 0; }

    // Maps size bytes from offset for reading and writing and returns the address of offset
    // itself (the mapping starts at offset rounded down to the allocation granularity).
    // Null on failure.
    void* createView(std::uint64_t offset, std::size_t size);
    // Unmaps a view by the address createView returned; other addresses are ignored.
    void destroyView(void* address);
    // Unmaps every view and closes the block; returns 1.
    int close();

    const std::wstring& name() const { return name_; }
    std::uint64_t size() const { return size_; }
    std::size_t allocationGranularity() const { return granularity_; }

    // The system name of a block name: "/" followed by its UTF-8 text.
    static std::string systemName(const std::wstring& name);
    // Removes a block name from the system; blocks already open stay usable.
    static void unlinkName(const std::wstring& name);

private:
    std::wstring name_;
    int fd_ = -1;
    std::size_t granularity_ = 0;
    std::uint64_t size_ = 0;
    std::map<void*, std::pair<void*, std::size_t>> views_;  // handed-out address -> base, length
};
