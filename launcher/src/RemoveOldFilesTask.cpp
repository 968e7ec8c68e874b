#include "launcher/RemoveOldFilesTask.h"

#include <filesystem>

#include "core/LogLine.h"

namespace fs = std::filesystem;

RemoveOldFilesTask::RemoveOldFilesTask(std::string folder, std::string extension)
    : TaskBase(false), folder_(std::move(folder)), extension_(std::move(extension)) {}

bool RemoveOldFilesTask::run() {
    setRepeat(removeFiles(folder_));
    return true;
}

bool RemoveOldFilesTask::removeFiles(const std::string& folder) {
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (ec || status.type() == fs::file_type::not_found || status.type() == fs::file_type::none) return false;

    fs::directory_iterator it(folder, ec);
    if (ec) {
        LogLine(50, "RemoveOldFilesTask::removeFiles", __LINE__).stream() << "no access rights? " << ec.message();
        return false;
    }
    bool removed = false;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        const fs::path path = it->path();
        std::error_code typeError;
        // The entry itself, not what a link points at: a link to another folder is not a way
        // out of the program's folder.
        if (it->is_directory(typeError) && !it->is_symlink(typeError)) {
            removed = removeFiles(path.string()) || removed;
            continue;
        }
        const std::string name = path.filename().string();
        if (name.size() >= extension_.size() &&
            name.compare(name.size() - extension_.size(), extension_.size(), extension_) == 0) {
            std::error_code removeError;
            if (fs::remove(path, removeError)) removed = true;
        }
    }
    return removed;
}
