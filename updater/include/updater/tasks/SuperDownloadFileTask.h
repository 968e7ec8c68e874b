#pragma once
// Brings one listed file up to date in the working folder: a current local copy (or one
// the list lets the user modify) is kept; otherwise the file is downloaded, its md5
// verified, and only then written in place of the old copy.

#include <string>
#include <vector>

#include "core/TaskBase.h"
#include "updater/UpdaterApi.h"

namespace updater {
namespace tasks {

class CheckFileFunction {
public:
    // Whether a file exists at path and its md5 is the expected one.
    static bool checkFile(const std::string& path, const std::string& expectedMd5);
};

class SuperDownloadFileTask : public TaskBase, public UpdaterApiChild, public CheckFileFunction {
public:
    SuperDownloadFileTask(UpdaterApi* api, std::string url, std::string folder, std::string filename, std::string md5,
                          bool mayBeModified)
        : TaskBase(false),
          UpdaterApiChild(api),
          url(std::move(url)),
          folder(std::move(folder)),
          filename(std::move(filename)),
          md5(std::move(md5)),
          may_be_modified(mayBeModified) {}

    bool run() override;
    // Tries the download until a body with the expected md5 arrives.
    bool downloadFile(const std::string& url, std::vector<char>& bytes, const std::string& expectedMd5);
    static bool checkMd5(const std::vector<char>& bytes, const std::string& expectedMd5);

private:
    // Puts the verified bytes at path; an entry in the way that a file cannot replace (a
    // folder) is deleted or, when that fails, renamed with ".remove" appended.
    bool replaceFile(const std::string& path, const std::vector<char>& bytes);

    std::string url;
    std::string folder;
    std::string filename;
    std::string md5;
    bool may_be_modified;
};

}  // namespace tasks
}  // namespace updater
