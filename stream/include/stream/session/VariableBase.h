#pragma once
// Typed access to one shared variable by name, and subscribed typed handles.
//
// A value is the byte string of a serialized InputClient::VariableValue with exactly one
// field set; a zero, false or empty scalar packs to zero bytes, a resolution always packs
// its sub-message. Bytes that are empty or do not parse read as the type's default.

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>

#include "stream/session/ClientDB.h"

// Names of the shared variables.
namespace VariableNames {
constexpr const char* kVideoBitrate = "Video.Bitrate";
constexpr const char* kVideoQP = "Video.QP";
constexpr const char* kVideoEnableScale = "Video.EnableScale";
constexpr const char* kVideoScaleResolution = "Video.ScaleResolution";
constexpr const char* kVideoEnableMouseCursor = "Video.EnableMouseCursor";
constexpr const char* kVideoFramerate = "Video.Framerate";
constexpr const char* kClientAvgPing = "Client.AvgPing";
constexpr const char* kClientLastPing = "Client.LastPing";
constexpr const char* kStreamAutoBitrate = "Stream.AutoBitrate";
constexpr const char* kInputEnableControllers = "Input.EnableControllers";
constexpr const char* kStreamRecordStream = "Stream.RecordStream";
constexpr const char* kSystemSystemMode = "System.SystemMode";
constexpr const char* kSystemPassword = "System.Password";
constexpr const char* kSystemClipboard = "System.Clipboard";
constexpr const char* kSystemUpdate2 = "System.Update2";
constexpr const char* kSystemMouseStatus = "System.MouseStatus";
constexpr const char* kSystemDesktopResolution = "System.DesktopResolution";
}  // namespace VariableNames

class VariableBase {
public:
    VariableBase(ClientDB* db, std::string name) : db_(db), name_(std::move(name)) {}

    const std::string& name() const { return name_; }
    ClientDB* db() const { return db_; }

    // Makes this client the variable's owner, with an empty value.
    void define(bool localOnly);
    // True once the store has a record of the name (subscribing creates one).
    bool isDefined() const;

protected:
    // The stored bytes parsed as a VariableValue (default when absent or unparsable).
    InputClient::VariableValue read() const;
    int write(const InputClient::VariableValue& value) const;

    ClientDB* db_;
    std::string name_;
};

class BoolVariable : public VariableBase {
public:
    using VariableBase::VariableBase;
    using value_type = bool;
    bool get() const;
    int set(bool value) const;
};

class Int32Variable : public VariableBase {
public:
    using VariableBase::VariableBase;
    using value_type = std::int32_t;
    std::int32_t get() const;
    int set(std::int32_t value) const;
};

class UInt64Variable : public VariableBase {
public:
    using VariableBase::VariableBase;
    using value_type = std::uint64_t;
    std::uint64_t get() const;
    int set(std::uint64_t value) const;
};

class StringVariable : public VariableBase {
public:
    using VariableBase::VariableBase;
    using value_type = std::string;
    std::string get() const;
    void set(const std::string& value) const;
};

class ResolutionVariable : public VariableBase {
public:
    using VariableBase::VariableBase;
    using value_type = std::pair<std::int32_t, std::int32_t>;  // {x, y}
    value_type get() const;
    void set(const value_type& value) const;
};

// A typed handle subscribed to its variable: changed is raised whenever the store applies
// a value; the owner polls it, clears it and re-reads the value.
template <class T>
class VariableUserBase : public IVariableUser, public T {
public:
    VariableUserBase(ClientDB* db, std::string name, bool subscribe = true)
        : T(db, std::move(name)) {
        if (subscribe) this->db_->addListener(this->name_, this);
    }
    ~VariableUserBase() override { this->db_->removeListener(this->name_, this); }

    VariableUserBase(const VariableUserBase&) = delete;
    VariableUserBase& operator=(const VariableUserBase&) = delete;

    void onVariableChanged(const std::string&, bool) override { changed.store(true); }

    std::atomic<bool> changed{false};
};
