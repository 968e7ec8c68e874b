#pragma once
// The state of one updater run: the measured update servers and the chosen one, the file
// list with its progress, and the tested working folders with the chosen one. Every
// operation holds the recursive data lock for its whole run, events included, so a listener
// may call back into the state and sees it as the event left it.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/Listenable.h"
#include "updater/UpdateFileInfo.h"

namespace updater {
namespace states {

enum UpdateStateEvents {
    ServerSelected = 0,
    UpdateListStored = 1,
    ProgressChanged = 2,
    FilesToDownload = 3,
    NothingToDownload = 4,
    FileWritten = 5,
    AllFilesDone = 6,
    OldFileRenamed = 7,
};

// The test result of one candidate working folder.
struct WorkingFolderInfo {
    std::string path;
    bool writeOk = false;   // a test file could be written and closed there
    bool readOk = false;    // the first non-empty file there could be read
    bool installed = false; // its "lib" sub-folder exists
    std::int32_t priority = 0;
};

class UpdateState : public Listenable<UpdateStateEvents> {
public:
    // A server that is listed but not (successfully) measured.
    static constexpr std::int64_t kNotMeasured = 9999;

    void setServer(const std::string& url);
    std::string getServer();
    void addServers(const std::vector<std::string>& urls);
    void setServerTime(const std::string& url, std::int64_t ms);
    std::map<std::string, std::int64_t> getServerTimes();

    // Stores the list (a name listed again is dropped, the first record kept) and raises
    // ProgressChanged, UpdateListStored and, for an empty list, AllFilesDone.
    void setUpdateList(bool updateRequired, const std::vector<UpdateFileInfo>& list);
    void getUpdateList(bool& updateRequired, std::vector<UpdateFileInfo>& list);
    // Marks the record of that name done (ProgressChanged when found), raises FileWritten
    // when written, and recounts.
    void setFileDone(const std::string& filename, bool written);
    // Counts the done records; AllFilesDone when all are.
    void checkAllDownloaded();
    std::int32_t getProgressPercent();
    void setOldFileRenamed();

    void setWorkingFolder(const std::string& name);
    void setWorkingFolderCandidate(const std::string& name, const WorkingFolderInfo& info);
    // The installed candidate to use without asking: the first installed one in name order,
    // replaced by a later installed one only when its priority is strictly higher.
    bool getPreferredWorkingFolder(std::string& name);
    // The candidates that passed both folder tests, in descending name order.
    std::vector<std::string> getUsableWorkingFolders();
    // The chosen candidate's folder; the executable's folder (logged) when none is chosen.
    std::string getSelectedPath();

    // Like removeListener of the error part: waits for a running event call.
    void removeListener(IListenerBase<UpdateStateEvents>* listener);

private:
    std::recursive_mutex dataLock;
    std::map<std::string, std::int64_t> serverTimes;
    std::string server;
    bool updateRequired = false;
    std::vector<UpdateFileInfo> files;
    std::int32_t doneCount = 0;
    std::string workingFolderName;
    std::map<std::string, WorkingFolderInfo> candidates;
};

}  // namespace states
}  // namespace updater
