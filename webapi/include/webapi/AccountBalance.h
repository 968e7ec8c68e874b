#pragma once
// The account's money, storage and idle time-out, and the user's plan.

#include <cstdint>
#include <string>

struct AccountBalance {
    double accountBalance = 0;
    double nextCredit = 0;
    double totalStorage = 0;
    double usedStorage = 0;
    std::int32_t timeout = 0;

    // All five fields equal (the doubles compared exactly).
    bool operator==(const AccountBalance& other) const {
        return accountBalance == other.accountBalance && nextCredit == other.nextCredit &&
               totalStorage == other.totalStorage && usedStorage == other.usedStorage &&
               timeout == other.timeout;
    }
    bool operator!=(const AccountBalance& other) const { return !(*this == other); }
};

struct UserPlan {
    std::string userPlan;
    std::int32_t minTrialRemaining = 0;

    // Two user plans differ when their names differ; the trial minutes are not compared.
    bool operator!=(const UserPlan& other) const { return userPlan != other.userPlan; }
    bool operator==(const UserPlan& other) const { return !(*this != other); }
};
