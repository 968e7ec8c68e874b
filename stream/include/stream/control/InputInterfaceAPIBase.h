#pragma once
// Base of the feature objects of a control-channel endpoint (input, video control, pings,
// shared variables...). Each one builds requests and hands them to its InputInterface.

class InputInterface;

class InputInterfaceAPIBase {
public:
    explicit InputInterfaceAPIBase(InputInterface* endpoint) : endpoint_(endpoint) {}
    virtual ~InputInterfaceAPIBase() = default;

    InputInterfaceAPIBase(const InputInterfaceAPIBase&) = delete;
    InputInterfaceAPIBase& operator=(const InputInterfaceAPIBase&) = delete;

protected:
    InputInterface* endpoint_;
};
