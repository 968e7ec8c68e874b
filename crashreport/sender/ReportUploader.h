#pragma once
// Sends a written report to the upload address: one multipart POST with the fields "app",
// "version" and "crash_id" and the files "crashdump" and "crashinfo". The system's trusted
// roots are used, or only the PEM file named by NIMBROSTA_EXTRA_ROOT_CA when it is set.

#include <string>

struct UploadRequest {
    std::string url;
    std::string application;
    std::string version;
    std::string crashId;
    std::string dumpPath;
    std::string infoPath;
};

// True when the server answered 2xx; error then describes any failure.
bool uploadReport(const UploadRequest& request, std::string& error);
