#pragma once
// Records of the user's cloud machines and of what the service offers for them.

#include <cstdint>
#include <string>

// One cloud machine or machine slot of the user.
struct DesktopInfo {
    std::string name;
    std::string state;
    std::string ip;
    std::int32_t port = 0;
    std::string streamerKey;
    std::string plan;
    std::string os;
    std::string datacenter;
    std::string password;
    bool enabled = false;
    bool isDefault = false;

    bool isEmpty() const { return state == "Empty"; }
    bool isOn() const { return state == "On"; }
    bool isStopped() const { return state == "Off" && !datacenter.empty(); }

    bool operator!=(const DesktopInfo& other) const;
    bool operator==(const DesktopInfo& other) const { return !(*this != other); }
};

struct DatacenterInfo {
    std::string localizedName;
    std::string name;
    std::string country;
    bool isDefault = false;
    bool available = false;
};

struct PlanInfo {
    std::string localizedName;
    std::string name;
    double cost = 0;
    bool available = false;
    bool isDefault = false;
};

// One machine state with its display text.
struct VmStateInfo {
    std::string localizedName;
    std::string name;
};
