#pragma once
// Runs the stand-in web service (nimbrosta-stub-service) on 127.0.0.1 for one test program
// and drives its control endpoints: request log, scripted faults, reset.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "TestSupport.h"

struct LoggedRequest {
    std::string method;
    std::string target;  // path and query exactly as sent
    std::string path;
    std::string query;
    bool chunked = false;
    std::string contentLength;  // empty when the header was absent
};

class StubService {
public:
    // certDir empty: a fresh temporary folder with a fresh test CA.
    // extraArgs: more options of the stand-in (--streamer-port and the like).
    explicit StubService(const std::string& certDir = std::string(), double etaSeconds = 1.0,
                         const std::vector<std::string>& extraArgs = {});
    // A stand-in service that someone else started and stops (a script under test): only its
    // control endpoints are used.
    struct Running {};
    StubService(Running, const std::string& baseUrl, const std::string& caPath)
        : ownsCertDir_(false), baseUrl_(baseUrl), caPath_(caPath) {}
    ~StubService();

    StubService(const StubService&) = delete;
    StubService& operator=(const StubService&) = delete;

    int port() const { return port_; }
    const std::string& baseUrl() const { return baseUrl_; }
    const std::string& caPath() const { return caPath_; }
    const std::string& certDir() const { return certDir_; }

    // POSTs the JSON body to /_stub/<name>; returns the reply body.
    std::string control(const std::string& name, const std::string& jsonBody = "{}");
    void reset() { control("reset"); }
    // The next request (or `times` requests) of path gets the given HTTP status and body.
    void replyWith(const std::string& path, const std::string& body, int http = 200, int times = 1);
    void delay(const std::string& path, double seconds, int times = 1);
    void resetConnection(const std::string& path, int times = 1);
    std::vector<LoggedRequest> log();

    // Makes a folder with another test CA and returns the path of its ca.pem.
    static std::string makeOtherCa(const std::string& dir);

private:
    int pid_ = -1;
    int stdinFd_ = -1;
    int port_ = 0;
    bool ownsCertDir_;
    std::string certDir_;
    std::string baseUrl_;
    std::string caPath_;
};

// The text as a JSON string literal (UTF-8 passes through, control characters escaped).
std::string jsonQuote(const std::string& text);

// Makes a temporary folder under /tmp.
std::string makeTempDir();

using testsupport::captureStdout;

// Points the client at the stand-in (NIMBROSTA_SERVICE_URL, NIMBROSTA_EXTRA_ROOT_CA).
void useStubService(const StubService& stub);

// A test suite that shares one stand-in service (machine state changes take 0.3 s): started
// before the suite's first test, reset and pointed at before each test, stopped after the
// suite.
class StubServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { stub = std::make_unique<StubService>(std::string(), 0.3); }
    static void TearDownTestSuite() { stub.reset(); }
    void SetUp() override {
        stub->reset();
        useStubService(*stub);
    }
    static std::unique_ptr<StubService> stub;
};
