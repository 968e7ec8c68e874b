#pragma once
// Files for the targets whose input is a file: a scratch folder of the process (on a memory
// file system when there is one, removed when the process ends) and whole-file reads.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "TestSupport.h"

namespace fuzzfiles {

class ScratchFolder {
public:
    explicit ScratchFolder(const char* name) {
        path_ = (access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/") + std::string(name) + "-XXXXXX";
        if (!mkdtemp(&path_[0])) std::abort();
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Whole-file reads and writes, as the tests do them.
using testsupport::readFile;
using testsupport::writeFile;

}  // namespace fuzzfiles
