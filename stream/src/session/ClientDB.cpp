#include "stream/session/ClientDB.h"

#include <ctime>
#include <vector>

#include "core/LogLine.h"
#include "core/Random.h"

using InputClient::VariableEvent;

ClientDB::ClientDB(IRemoteDB* remote) : remote_(remote) {
    const std::int32_t r1 = nextRandom();
    const std::int32_t r2 = nextRandom();
    const std::int32_t r3 = nextRandom();
    cookieCounter_ = r1 * r2 + r3;  // at most 32767 * 32767 + 32767: no overflow
    seedRandom(static_cast<unsigned>(std::time(nullptr)));
    clientId_ = nextRandom();
    if (remote_) remote_->attach(this);
}

ClientDB::~ClientDB() {
    if (remote_) remote_->detach(this);
}

int ClientDB::getValue(const std::string& name, std::string& out) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    auto it = variables_.find(name);
    if (it == variables_.end()) {
        LogLine(50, "ClientDB::getValue", 108).stream() << "Get value: Variable not found " << name;
        return kNotFound;
    }
    out = it->second.useLocalValue ? it->second.confirmedValue : it->second.value;
    return kDone;
}

int ClientDB::setValueClient(const std::string& name, const std::string& value) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    auto it = variables_.find(name);
    if (it == variables_.end()) {
        LogLine(50, "ClientDB::setValueClient", 125).stream() << "Set value: Variable not found " << name;
        return kNotFound;
    }
    VariableRecord& r = it->second;
    if (value == r.value) return kUnchanged;
    const std::int32_t oldCookie = r.cookie;
    std::int32_t newCookie = 0;
    if (!r.ignoreCookies) newCookie = cookieCounter_++;
    r.value = value;
    r.cookie = newCookie;
    if (r.owner == clientId_) {
        r.confirmedValue = value;
        r.confirmedCookie = newCookie;
        if (!r.localOnly) send(InputClient::UPDATE_ACCEPTED, name, value, newCookie, oldCookie);
    } else {
        addPendingUpdate(r, PendingUpdate{oldCookie, newCookie, value});
        send(InputClient::UPDATE_REQUEST, name, value, newCookie, oldCookie);
    }
    return kDone;
}

int ClientDB::onServerEvent(const VariableEvent& e) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    const std::string& name = e.name().stringname();
    VariableRecord& r = variables_[name];
    if (r.localOnly) return kLocalOnly;
    switch (e.event()) {
    case InputClient::UPDATE_REQUEST:
        if (r.owner != clientId_) return kNotOwner;
        if (e.oldcookie() != r.cookie) {
            send(InputClient::UPDATE_REJECT, name, r.value, r.cookie, e.oldcookie());
            return kStaleCookie;
        }
        r.value = r.confirmedValue = e.value();
        r.cookie = r.confirmedCookie = e.newcookie();
        notifyListeners(r, e.value(), true);
        send(InputClient::UPDATE_ACCEPTED, name, e.value(), e.newcookie(), e.oldcookie());
        return kDone;
    case InputClient::UPDATE_ACCEPTED: {
        int result = confirmPending(r, e.oldcookie());
        if (result == kNotOldest || r.confirmedCookie == r.cookie) {
            r.cookie = e.newcookie();
            r.value = e.value();
            if (result == kNotOldest) result = kAcceptedOutOfOrder;
        }
        r.confirmedCookie = e.newcookie();
        r.confirmedValue = e.value();
        notifyListeners(r, e.value(), r.confirmedCookie == r.cookie);
        return result;
    }
    case InputClient::UPDATE_REJECT:
        r.value = r.confirmedValue = e.value();
        r.cookie = r.confirmedCookie = e.newcookie();
        confirmPending(r, e.oldcookie());
        notifyListeners(r, e.value(), true);
        return kDone;
    case InputClient::VARIABLE:
        if (e.owner() != clientId_)
            defineVariable(name, e.value(), e.newcookie(), e.owner(), false, e.uselocalvalue(),
                           e.ignorecookies());
        return kDone;
    default:
        return kUnhandledEvent;
    }
}

void ClientDB::defineVariable(const std::string& name, const std::string& value, std::int32_t cookie,
                              std::int32_t owner, bool localOnly, bool useLocalValue, bool ignoreCookies) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    VariableRecord& r = variables_[name];
    r.value = r.confirmedValue = value;
    r.cookie = r.confirmedCookie = cookie;
    r.owner = owner;
    r.localOnly = localOnly;
    r.useLocalValue = useLocalValue;
    r.ignoreCookies = ignoreCookies;
    notifyListeners(r, value, true);
}

void ClientDB::addListener(const std::string& name, IVariableUser* user) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    variables_[name].listeners.insert(user);
}

void ClientDB::removeListener(const std::string& name, IVariableUser* user) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    variables_[name].listeners.erase(user);
}

std::list<VariableEvent> ClientDB::collectAll() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    std::list<VariableEvent> events;
    for (const auto& [name, r] : variables_) {
        if (r.owner != clientId_ || r.localOnly) continue;
        VariableEvent e;
        e.set_event(InputClient::VARIABLE);
        e.mutable_name()->set_stringname(name);
        e.set_value(r.value);
        e.set_newcookie(r.cookie);
        e.set_owner(clientId_);
        e.set_uselocalvalue(r.useLocalValue);
        e.set_ignorecookies(r.ignoreCookies);
        events.push_back(std::move(e));
    }
    return events;
}

std::int32_t ClientDB::cookieCounter() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return cookieCounter_;
}

bool ClientDB::record(const std::string& name, VariableRecord& out) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    auto it = variables_.find(name);
    if (it == variables_.end()) return false;
    out = it->second;
    return true;
}

std::size_t ClientDB::pendingCount() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return pending_.size();
}

int ClientDB::confirmPending(VariableRecord& record, std::int32_t oldCookie) {
    auto it = pending_.find(oldCookie);
    if (it == pending_.end()) return kAcceptedForOther;
    if (it->second.record == &record && !record.pendingUpdates.empty() &&
        it->second.update == record.pendingUpdates.begin()) {
        record.pendingUpdates.pop_front();
        pending_.erase(it);
        return kDone;
    }
    dropPendingChain(record);
    return kNotOldest;
}

void ClientDB::addPendingUpdate(VariableRecord& record, PendingUpdate update) {
    const std::int32_t key = update.oldCookie;
    record.pendingUpdates.push_back(std::move(update));
    pending_[key] = PendingRef{&record, std::prev(record.pendingUpdates.end())};
}

void ClientDB::dropPendingChain(VariableRecord& record) {
    for (auto u = record.pendingUpdates.begin(); u != record.pendingUpdates.end(); ++u) {
        auto it = pending_.find(u->oldCookie);
        // Only the entry that points at this very update goes; an entry of the same key
        // that belongs to another variable (or a younger request) stays.
        if (it != pending_.end() && it->second.record == &record && it->second.update == u)
            pending_.erase(it);
    }
    record.pendingUpdates.clear();
}

void ClientDB::notifyListeners(VariableRecord& record, const std::string& value, bool confirmed) {
    // A copy, so that a listener may unsubscribe from inside its callback.
    const std::vector<IVariableUser*> listeners(record.listeners.begin(), record.listeners.end());
    for (IVariableUser* user : listeners) user->onVariableChanged(value, confirmed);
}

bool ClientDB::send(InputClient::VariableUpdateEventType type, const std::string& name,
                    const std::string& value, std::int32_t newCookie, std::int32_t oldCookie) {
    if (!remote_) return false;
    VariableEvent e;
    e.set_event(type);
    e.mutable_name()->set_stringname(name);
    e.set_value(value);
    e.set_newcookie(newCookie);
    e.set_oldcookie(oldCookie);
    return remote_->send(e);
}
