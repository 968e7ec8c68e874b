#pragma once
// A report stored as a zip archive: the files of a folder, each deflated (zlib) under its
// own name, in the archive format every unzip tool reads (no ZIP64, so each file and the
// archive stay below 4 GiB).

#include <string>
#include <vector>

// Writes the named files of folder into archivePath (whole or not at all); false with the
// reason.
bool writeZipArchive(const std::string& archivePath, const std::string& folder, const std::vector<std::string>& names,
                     std::string& error);
