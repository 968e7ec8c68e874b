#pragma once
// The client's replica of the store of shared variables that client and streamer keep in
// step over the control channel.
//
// Every variable has an owner (a store id) who decides on every change. A store that does
// not own a variable asks the owner with an update request and tracks its unanswered
// requests by cookies; the owner answers with "accepted" or "rejected". Values are opaque
// byte strings (serialized InputClient::VariableValue); the store compares and copies them.
//
// One recursive lock guards everything; listeners and IRemoteDB::send run while it is
// held, so they must not block on another thread that uses the store.

#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "input-lib/InputClient.pb.h"

class ClientDB;

// Receives the values of one variable as the store applies them.
class IVariableUser {
public:
    virtual ~IVariableUser() = default;
    // confirmed: no change of this client is still unanswered.
    virtual void onVariableChanged(const std::string& value, bool confirmed) = 0;
};

// The sending side of a store.
class IRemoteDB {
public:
    virtual ~IRemoteDB() = default;
    // False when the event could not be queued (no connection).
    virtual bool send(const InputClient::VariableEvent& event) = 0;
    virtual void attach(ClientDB* db) = 0;
    virtual void detach(ClientDB* db) = 0;
};

// One unanswered change request of this client.
struct PendingUpdate {
    std::int32_t oldCookie = 0;
    std::int32_t newCookie = 0;
    std::string value;
};

struct VariableRecord {
    std::int32_t owner = 0;
    std::int32_t cookie = 0;
    std::int32_t confirmedCookie = 0;
    bool localOnly = false;
    bool useLocalValue = false;
    bool ignoreCookies = false;
    std::string value;           // latest value, including unanswered own changes
    std::string confirmedValue;  // last value the owner confirmed
    std::list<PendingUpdate> pendingUpdates;  // oldest first
    std::set<IVariableUser*> listeners;
};

class ClientDB {
public:
    // Result codes. Negative codes are refusals; 1, 2 and 4 count as success.
    enum Result {
        kDone = 0,
        kAcceptedForOther = 1,    // UPDATE_ACCEPTED for a cookie no request of ours waits on
        kAcceptedOutOfOrder = 2,  // accepted a request that was not our oldest: ours dropped
        kUnchanged = 4,           // the value equals the current one; nothing sent
        kNotOwner = -100,         // UPDATE_REQUEST for a variable we do not own
        kStaleCookie = -101,      // UPDATE_REQUEST with an old cookie; answered UPDATE_REJECT
        kNotOldest = -102,        // internal: the answered request was not the oldest
        kUnhandledEvent = -103,
        kNotFound = -104,
        kLocalOnly = -105,
    };

    // Draws the first cookie and this store's id from the process-wide 15-bit generator
    // (which it re-seeds with the time in seconds first, so that the id differs per run).
    explicit ClientDB(IRemoteDB* remote);
    ~ClientDB();

    ClientDB(const ClientDB&) = delete;
    ClientDB& operator=(const ClientDB&) = delete;

    std::int32_t clientId() const { return clientId_; }

    int getValue(const std::string& name, std::string& out);
    int setValueClient(const std::string& name, const std::string& value);
    int onServerEvent(const InputClient::VariableEvent& event);
    void defineVariable(const std::string& name, const std::string& value, std::int32_t cookie,
                        std::int32_t owner, bool localOnly, bool useLocalValue, bool ignoreCookies);
    void addListener(const std::string& name, IVariableUser* user);
    void removeListener(const std::string& name, IVariableUser* user);
    // The synchronisation events: one VARIABLE event per replicated variable this client
    // owns, in name order.
    std::list<InputClient::VariableEvent> collectAll();

    // Inspection, for tests and diagnostics.
    std::int32_t cookieCounter();
    bool record(const std::string& name, VariableRecord& out);
    std::size_t pendingCount();

private:
    int confirmPending(VariableRecord& record, std::int32_t oldCookie);
    void addPendingUpdate(VariableRecord& record, PendingUpdate update);
    void dropPendingChain(VariableRecord& record);
    void notifyListeners(VariableRecord& record, const std::string& value, bool confirmed);
    bool send(InputClient::VariableUpdateEventType type, const std::string& name,
              const std::string& value, std::int32_t newCookie, std::int32_t oldCookie);

    // Where an entry of the pending map points: one update in one record's chain.
    struct PendingRef {
        VariableRecord* record;
        std::list<PendingUpdate>::iterator update;
    };

    std::recursive_mutex lock_;
    std::int32_t cookieCounter_;
    std::map<std::string, VariableRecord> variables_;
    std::map<std::int32_t, PendingRef> pending_;  // by oldCookie; a later entry replaces
    IRemoteDB* remote_;
    std::int32_t clientId_;
};
