#pragma once
// What the launcher's test programs share: one stand-in web service per program, reset and
// pointed at before every test.

#include <gtest/gtest.h>

#include <memory>

#include "StubService.h"

namespace launchertest {

class StubServiceFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { stub = std::make_unique<StubService>(); }
    static void TearDownTestSuite() { stub.reset(); }
    void SetUp() override {
        stub->reset();
        useStubService(*stub);
    }
    static inline std::unique_ptr<StubService> stub;
};

}  // namespace launchertest
