#pragma once
// Fixtures of the overlay widget tests: a GUI whose fonts have chosen metrics, a bool
// variable owned by a stand-in streamer in a real shared-variables store, and helpers that
// read what a widget drew on the recording context.

#include "WidgetTestSupport.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/Button.h"
#include "player-ui/PopupTable.h"
#include "player-ui/UniqueDialogBase.h"
#include "player-ui/UniqueDialogBaseUITask.h"
#include "stream/session/ClientDB.h"
#include "stream/session/VariableBase.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace playeruitest {

// The toolkit's recording bench with whole frames and clicks on a widget's centre.
struct Bench : guitest::WidgetBench {
    Bench(int width = 900, int height = 450) : WidgetBench(width, height) {}
    void frame() {
        gui->tick(0.016f);
        render();
    }
    void clickOn(const Widget& w) { click(w.x + w.width / 2, w.y + w.height / 2); }
};

// Every font of the GUI has the given metrics.
class MetricsTextService : public AbstractTextService {
public:
    explicit MetricsTextService(guitest::FakeFontMetrics metrics) : metrics_(metrics) {}
    AbstractTextServiceFont* openFontFromMemory(const unsigned char*, int, bool, int, int, int) override {
        return new guitest::FakeTextServiceFont(metrics_);
    }
    AbstractTextServiceFont* openFontByName(const char*, int, int, int) override { return nullptr; }

private:
    guitest::FakeFontMetrics metrics_;
};

// The vertices a widget's draw adds to the batch.
inline std::vector<Vertex> drawnBy(Widget& widget, guitest::RecordingGraphicsContext& ctx) {
    const int before = ctx.batchVertexCount();
    widget.draw(&ctx);
    return std::vector<Vertex>(ctx.batchVertices() + before, ctx.batchVertices() + ctx.batchVertexCount());
}

// The rectangle of the quad that starts at vertex index i (four vertices per quad).
inline Rect quadAt(const std::vector<Vertex>& v, std::size_t i) {
    float minX = v[i].x, minY = v[i].y, maxX = v[i].x, maxY = v[i].y;
    for (std::size_t k = i; k < i + 4 && k < v.size(); ++k) {
        minX = std::min(minX, v[k].x);
        minY = std::min(minY, v[k].y);
        maxX = std::max(maxX, v[k].x);
        maxY = std::max(maxY, v[k].y);
    }
    return Rect{int(minX), int(minY), int(maxX - minX), int(maxY - minY)};
}

// A bool variable that the streamer owns, in a real store of this client. Requests of the
// client go to `sent`; the test answers them as the streamer would.
class StreamerOwnedBool : public IRemoteDB {
public:
    static constexpr int kStreamerId = 7;

    StreamerOwnedBool(const std::string& name, bool initial) : db(this), name_(name) {
        db.onServerEvent(event(InputClient::VARIABLE, pack(initial), cookie_, 0));
    }

    std::shared_ptr<VariableUserBase<BoolVariable>> subscribe() {
        return std::make_shared<VariableUserBase<BoolVariable>>(&db, name_);
    }

    // A change made at the streamer.
    void streamerSets(bool value) {
        const int old = cookie_;
        db.onServerEvent(event(InputClient::UPDATE_ACCEPTED, pack(value), ++cookie_, old));
    }

    // Accepts every request of the client, in order; returns the values asked for.
    std::vector<bool> acceptRequests() {
        std::vector<bool> values;
        std::vector<InputClient::VariableEvent> requests;
        requests.swap(sent);
        for (const InputClient::VariableEvent& r : requests) {
            if (r.event() != InputClient::UPDATE_REQUEST)
                continue;
            values.push_back(unpack(r.value()));
            cookie_ = r.newcookie();
            db.onServerEvent(event(InputClient::UPDATE_ACCEPTED, r.value(), r.newcookie(), r.oldcookie()));
        }
        return values;
    }

    std::size_t listenerCount() {
        VariableRecord record;
        return db.record(name_, record) ? record.listeners.size() : 0;
    }

    bool send(const InputClient::VariableEvent& e) override {
        sent.push_back(e);
        return true;
    }
    void attach(ClientDB*) override {}
    void detach(ClientDB*) override {}

    ClientDB db;
    std::vector<InputClient::VariableEvent> sent;

private:
    static std::string pack(bool value) {
        InputClient::VariableValue v;
        v.set_boolvalue(value);
        return v.SerializeAsString();
    }
    static bool unpack(const std::string& bytes) {
        InputClient::VariableValue v;
        return v.ParseFromString(bytes) && v.boolvalue();
    }
    InputClient::VariableEvent event(InputClient::VariableUpdateEventType type, const std::string& value,
                                     int newCookie, int oldCookie) const {
        InputClient::VariableEvent e;
        e.set_event(type);
        e.mutable_name()->set_stringname(name_);
        e.set_value(value);
        e.set_newcookie(newCookie);
        e.set_oldcookie(oldCookie);
        e.set_owner(kStreamerId);
        return e;
    }

    std::string name_;
    int cookie_ = 100;
};

// A choice of minutes, built the way the idle-timeout dialog builds itself: z order 1000,
// yes sends 37, and one item per option whose task reports the option's minutes as its
// index. Records the picks.
class MinutesDialog : public UniqueDialogBase {
public:
    static constexpr int kYesCommand = 37;

    MinutesDialog(PlayerGUI* gui, const std::string& captionText, const std::string& firstValue,
                  std::map<int, std::string> choices)
        : UniqueDialogBase(gui, 2), options(std::move(choices)) {
        z = 1000;
        caption = captionText;
        value = firstValue;
        build();
        setYesCommand(kYesCommand);
        for (const auto& option : options) {
            auto item = std::make_shared<Button>(gui, option.second, 0);
            item->setCommandTask(std::make_shared<UniqueDialogBaseUITask>(this, option.first));
            item->z = z;
            chooser->addItem(item.get(), true);
            items.push_back(std::move(item));
        }
    }
    void onValueChosen(std::int32_t minutes) override { chosen.push_back(minutes); }
    void valueText(std::string& out, std::int32_t minutes) override {
        auto it = options.find(minutes);
        out = it == options.end() ? std::string() : it->second;
    }
    Button& itemOf(int minutes) {
        const auto position = std::distance(options.begin(), options.find(minutes));
        return *items.at(std::size_t(position));
    }

    std::map<int, std::string> options;
    std::vector<int> chosen;
};

}  // namespace playeruitest
