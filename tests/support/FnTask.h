#pragma once
// A task whose run is a function, for tests of task chains and pools; counts its runs.

#include <atomic>
#include <functional>

#include "core/TaskBase.h"

namespace testsupport {

class FnTask : public TaskBase {
public:
    explicit FnTask(std::function<bool()> fn, bool repeat = false) : TaskBase(repeat), fn_(std::move(fn)) {}
    bool run() override {
        ++runs;
        return fn_();
    }
    std::atomic<int> runs{0};

private:
    std::function<bool()> fn_;
};

}  // namespace testsupport
