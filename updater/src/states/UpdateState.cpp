#include "updater/states/UpdateState.h"

#include <set>

#include "core/Folders.h"
#include "core/LogLine.h"

namespace updater {
namespace states {

using Lock = std::lock_guard<std::recursive_mutex>;

void UpdateState::setServer(const std::string& url) {
    Lock lock(dataLock);
    server = url;
    notify(ServerSelected);
}

std::string UpdateState::getServer() {
    Lock lock(dataLock);
    return server;
}

void UpdateState::addServers(const std::vector<std::string>& urls) {
    Lock lock(dataLock);
    for (const std::string& url : urls) serverTimes[url] = kNotMeasured;
}

void UpdateState::setServerTime(const std::string& url, std::int64_t ms) {
    Lock lock(dataLock);
    serverTimes[url] = ms;
}

std::map<std::string, std::int64_t> UpdateState::getServerTimes() {
    Lock lock(dataLock);
    return serverTimes;
}

void UpdateState::setUpdateList(bool required, const std::vector<UpdateFileInfo>& list) {
    Lock lock(dataLock);
    updateRequired = required;
    files.clear();
    // Two records of one name would race for one file, and the second would never be
    // marked done, so the run could never finish: the first record is kept.
    std::set<std::string> names;
    for (const UpdateFileInfo& record : list) {
        if (!names.insert(record.filename).second) {
            LogLine(40, "updater::states::UpdateState::setUpdateList", __LINE__).stream()
                << "file listed again, ignored: \"" << record.filename << "\"";
            continue;
        }
        files.push_back(record);
    }
    doneCount = 0;
    notify(ProgressChanged);
    notify(UpdateListStored);
    if (files.empty()) notify(AllFilesDone);
}

void UpdateState::getUpdateList(bool& required, std::vector<UpdateFileInfo>& list) {
    Lock lock(dataLock);
    required = updateRequired;
    list = files;
}

void UpdateState::setFileDone(const std::string& filename, bool written) {
    Lock lock(dataLock);
    for (UpdateFileInfo& record : files) {
        if (record.filename != filename) continue;
        record.done = true;
        notify(ProgressChanged);
        break;
    }
    if (written) notify(FileWritten);
    checkAllDownloaded();
}

void UpdateState::checkAllDownloaded() {
    Lock lock(dataLock);
    std::int32_t count = 0;
    for (const UpdateFileInfo& record : files)
        if (record.done || !record.needed) ++count;
    doneCount = count;
    if (static_cast<std::size_t>(doneCount) == files.size()) {
        notify(AllFilesDone);
        LogLine(0, "updater::states::UpdateState::checkAllDownloaded", __LINE__).stream() << "Download complete";
    }
}

std::int32_t UpdateState::getProgressPercent() {
    Lock lock(dataLock);
    if (files.empty()) return 100;
    return static_cast<std::int32_t>(static_cast<std::int64_t>(doneCount) * 100 / static_cast<std::int64_t>(files.size()));
}

void UpdateState::setOldFileRenamed() {
    Lock lock(dataLock);
    notify(OldFileRenamed);
}

void UpdateState::setWorkingFolder(const std::string& name) {
    Lock lock(dataLock);
    workingFolderName = name;
}

void UpdateState::setWorkingFolderCandidate(const std::string& name, const WorkingFolderInfo& info) {
    Lock lock(dataLock);
    candidates[name] = info;
}

bool UpdateState::getPreferredWorkingFolder(std::string& name) {
    Lock lock(dataLock);
    const WorkingFolderInfo* best = nullptr;
    for (const auto& candidate : candidates) {
        if (!candidate.second.installed) continue;
        if (!best || candidate.second.priority > best->priority) {
            best = &candidate.second;
            name = candidate.first;
        }
    }
    return best != nullptr;
}

std::vector<std::string> UpdateState::getUsableWorkingFolders() {
    Lock lock(dataLock);
    std::vector<std::string> names;
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it)
        if (it->second.writeOk && it->second.readOk) names.push_back(it->first);
    return names;
}

std::string UpdateState::getSelectedPath() {
    Lock lock(dataLock);
    const auto it = candidates.find(workingFolderName);
    if (it != candidates.end()) return it->second.path;
    LogLine(50, "updater::states::UpdateState::getSelectedPath", __LINE__).stream() << "no path selected!";
    return getExeFolder();
}

void UpdateState::removeListener(IListenerBase<UpdateStateEvents>* listener) {
    Lock lock(dataLock);
    Listenable<UpdateStateEvents>::removeListener(listener);
}

}  // namespace states
}  // namespace updater
