#pragma once
// Files of a report: each is written whole to a temporary beside it and renamed, so a
// report file is whole or absent; a write that fails (a full disk) leaves nothing behind.

#include <string>

// Writes bytes to path. On failure the temporary is removed, path is as it was, and error
// holds the system's reason.
bool writeReportFile(const std::string& path, const std::string& bytes, std::string& error);

// Reads a whole regular file; false (with the reason) when it cannot.
bool readReportSource(const std::string& path, std::string& bytes, std::string& error);
