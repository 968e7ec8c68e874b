#pragma once
// Deletes the files that the self-updater could not replace while they were in use and left
// behind under a marker extension (".remove"). Run periodically, it repeats as long as its
// previous pass deleted something and ends after the first pass that deleted nothing.

#include <string>

#include "core/TaskBase.h"

class RemoveOldFilesTask : public TaskBase {
public:
    RemoveOldFilesTask(std::string folder, std::string extension);

    // One pass over the folder; the result of the pass becomes the repeat flag. True.
    bool run() override;

    // Deletes every file under folder (sub-folders of any depth) whose name ends with the
    // extension, compared case-sensitively. Symbolic links are not followed into other
    // folders. True when at least one file was deleted. A folder that does not exist gives
    // false; one that cannot be read is logged and gives false; files that cannot be
    // deleted are skipped silently.
    bool removeFiles(const std::string& folder);

private:
    std::string folder_;
    std::string extension_;
};
