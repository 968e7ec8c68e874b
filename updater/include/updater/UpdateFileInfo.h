#pragma once
// One file of the update service's list: where it comes from, where it goes below the
// working folder, its expected md5, and how far this run has got with it.

#include <string>

struct UpdateFileInfo {
    bool may_be_modified = false;    // a local copy whose md5 differs is kept
    bool may_be_removed = false;     // carried from the reply only
    bool should_be_removed = false;  // carried from the reply only
    std::string url;                 // where the content is downloaded from
    std::string filename;            // path relative to the working folder; names the record
    std::string md5;                 // expected digest, 32 lower-case hexadecimal digits
    bool done = false;               // kept, or downloaded and written
    bool needed = true;              // takes part in this update
};
