#include "updater/tasks/CheckWorkingFolderTask.h"

#include <filesystem>
#include <fstream>

namespace updater {
namespace tasks {

namespace fs = std::filesystem;

bool CheckWorkingFolderTask::run() {
    states::WorkingFolderInfo info;
    info.path = folder;
    info.priority = priority;
    std::error_code ec;
    info.installed = !marker.empty() && fs::is_directory(marker, ec);
    testFolder(folder, info.readOk, info.writeOk);
    api->updateState.setWorkingFolderCandidate(name, info);
    return true;
}

void CheckWorkingFolderTask::testFolder(const std::string& folder, bool& readOk, bool& writeOk) {
    readOk = false;
    writeOk = false;
    std::error_code ec;
    if (folder.empty()) return;
    const fs::path testFile = fs::path(folder) / "test_file.txt";
    fs::remove(testFile, ec);
    if (!fs::is_directory(folder, ec)) return;

    {
        std::ofstream out(testFile, std::ios::out | std::ios::trunc);
        out << "Nimbrosta write test" << std::endl;
        out.close();
        writeOk = !out.fail();
    }

    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError)) continue;
        std::ifstream in(it->path(), std::ios::binary | std::ios::ate);
        if (!in) break;
        if (in.tellg() == 0) continue;
        in.seekg(0);
        char byte = 0;
        readOk = static_cast<bool>(in.read(&byte, 1));
        break;
    }

    fs::remove(testFile, ec);
}

}  // namespace tasks
}  // namespace updater
