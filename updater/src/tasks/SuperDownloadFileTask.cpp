#include "updater/tasks/SuperDownloadFileTask.h"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Folders.h"
#include "core/LogLine.h"
#include "updater/UpdateFiles.h"
#include "updater/UpdaterAPIJson.h"

namespace updater {
namespace tasks {

namespace {
bool entryExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

bool CheckFileFunction::checkFile(const std::string& path, const std::string& expectedMd5) {
    const char* const function = "updater::tasks::CheckFileFunction::checkFile";
    if (!entryExists(path)) {
        LogLine(0, function, __LINE__).stream() << "no such file: \"" << path << "\"";
        return false;
    }
    const std::string hash = md5HexOfFile(path);
    LogLine(0, function, __LINE__).stream() << "Hashed filename:\"" << path << "\" md5: " << hash;
    if (hash == expectedMd5) return true;
    LogLine(0, function, __LINE__).stream() << "md5 mismatch:" << hash << " != " << expectedMd5;
    return false;
}

bool SuperDownloadFileTask::run() {
    // The list comes from the network: a name that would lead out of the working folder
    // is never joined to it.
    if (!isSafeRelativeName(filename)) {
        LogLine(50, "updater::tasks::SuperDownloadFileTask::run", __LINE__).stream()
            << "file name outside the working folder refused: \"" << filename << "\"";
        return false;
    }
    const std::string path = joinPath(folder, filename);
    if (entryExists(path) && (checkFile(path, md5) || may_be_modified)) {
        api->updateState.setFileDone(filename, false);
        return true;
    }
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);

    // The old copy stays until a verified new one is at hand, so a failed download leaves
    // the file as it was.
    std::vector<char> bytes;
    if (!downloadFile(url, bytes, md5)) return false;
    if (!replaceFile(path, bytes)) {
        LogLine(50, "updater::tasks::SuperDownloadFileTask::run", __LINE__).stream()
            << "cannot write \"" << path << "\"";
        return false;
    }
    api->updateState.setFileDone(filename, true);
    return true;
}

bool SuperDownloadFileTask::replaceFile(const std::string& path, const std::vector<char>& bytes) {
    const auto moveAside = [&] {
        const std::string aside = path + ".remove";
        if (std::rename(path.c_str(), aside.c_str()) == 0) api->updateState.setOldFileRenamed();
    };
    if (isFolder(path)) {
        std::error_code ec;
        if (!std::filesystem::remove(path, ec)) moveAside();
    }
    if (writeFileBytes(path, bytes)) return true;
    // A file that cannot be replaced in place goes aside first.
    if (!entryExists(path)) return false;
    moveAside();
    return writeFileBytes(path, bytes);
}

bool SuperDownloadFileTask::downloadFile(const std::string& fileUrl, std::vector<char>& bytes,
                                         const std::string& expectedMd5) {
    const char* const function = "updater::tasks::SuperDownloadFileTask::downloadFile";
    LogLine(0, function, __LINE__).stream() << "Downloading " << fileUrl;
    UpdaterAPIJson json(&api->cancelFlag());
    for (int attempt = 0; attempt < api->timings().tries; ++attempt) {
        if (json.requestDownloadFile(fileUrl, bytes, api->timings().downloadTimeoutS) && checkMd5(bytes, expectedMd5)) {
            LogLine(0, function, __LINE__).stream() << fileUrl << " successfully downloaded";
            return true;
        }
        if (!api->pauseBeforeRetry()) break;
    }
    bytes.clear();
    bytes.shrink_to_fit();
    LogLine(50, function, __LINE__).stream() << fileUrl << " failed to download!";
    return false;
}

bool SuperDownloadFileTask::checkMd5(const std::vector<char>& bytes, const std::string& expectedMd5) {
    const char* const function = "updater::tasks::SuperDownloadFileTask::checkMd5";
    LogLine(0, function, __LINE__).stream() << "Checking md5 ";
    const std::string computed = md5HexOfBuffer(bytes.data(), bytes.size());
    if (computed == expectedMd5) return true;
    // A warning: the download is tried again, and only its last failure is an error.
    LogLine(40, function, __LINE__).stream() << "error, md5 is different: " << expectedMd5 << " != " << computed;
    return false;
}

}  // namespace tasks
}  // namespace updater
