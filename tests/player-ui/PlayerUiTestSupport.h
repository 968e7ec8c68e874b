#pragma once
// Fixtures of the overlay widget tests: a GUI whose fonts have chosen metrics, a bool
// variable owned by a stand-in streamer in a real shared-variables store, and helpers that
// read what a widget drew on the recording context.

#include "WidgetTestSupport.h"

#include "ScriptedJoystickSource.h"
#include "TestSupport.h"
#include "core/LanguageStore.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/Button.h"
#include "player-ui/CustomUICommandHandler.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/PopupTable.h"
#include "player-ui/UniqueDialogBase.h"
#include "player-ui/UniqueDialogBaseUITask.h"
#include "player-ui/menu/Menu.h"
#include "stream/gamepad/JoystickManager.h"
#include "stream/session/ClientDB.h"
#include "stream/session/VariableBase.h"
#include "webapi/ClientState.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace playeruitest {

// English texts of the overlay menu in a language file of a temporary folder, loaded into
// the process's language store for the life of the object; set() changes one text.
class MenuLanguage {
public:
    MenuLanguage() { write(); }
    ~MenuLanguage() {
        LanguageStore::instance().setFolder(NIMBROSTA_LIB_DIR);
        LanguageStore::instance().load("en");
    }
    void set(const std::string& key, const std::string& text) {
        texts_[key] = text;
        write();
    }

private:
    void write() {
        std::string file;
        for (const auto& t : texts_)
            file += t.first + "=" + t.second + "\n";
        testsupport::writeFile(dir_.file("lang_en.ini"), file);
        LanguageStore::instance().setFolder(dir_.path());
        LanguageStore::instance().load("en");
    }
    testsupport::TempDir dir_;
    std::map<std::string, std::string> texts_{
        {"menu_memory_used", "%s of %s %s"},
        {"menu_credit_cost", "%s credit per %s %s"},
        {"menu_credits", "%s credits"},
        {"menu_charge", "%s.%s / %s"},
        {"menu_decoder", "Decoder: %s"},
        {"menu_gpu", "GPU: %s"},
        {"menu_resolution_720", "720p"},
        {"menu_resolution_1080", "1080p"},
        {"menu_fps_30", "30 fps"},
        {"menu_fps_60", "60 fps"},
        {"menu_enable_hotkeys_on", "On"},
        {"menu_enable_hotkeys_off", "Off"},
        {"menu_enable_passthrought_on", "Pass on"},
        {"menu_enable_passthrought_off", "Pass off"},
        {"menu_record_start", "Record"},
        {"menu_record_finish", "Stop recording"},
        {"dialog_caption_timeout", "Idle time-out"},
        {"dialog_content_timeout", "Stop the machine\\nwhen idle for"},
    };
};

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

// A variable that the streamer owns (bool or int32), in a real store of this client.
// Requests of the client go to `sent`; the test answers them as the streamer would.
template <class VariableT>
class StreamerOwned : public IRemoteDB {
public:
    using Value = typename VariableT::value_type;
    static constexpr int kStreamerId = 7;

    StreamerOwned(const std::string& name, Value initial) : db(this), name_(name) {
        db.onServerEvent(event(InputClient::VARIABLE, pack(initial), cookie_, 0));
    }

    std::shared_ptr<VariableUserBase<VariableT>> subscribe() {
        return std::make_shared<VariableUserBase<VariableT>>(&db, name_);
    }

    // A change made at the streamer.
    void streamerSets(Value value) {
        const int old = cookie_;
        db.onServerEvent(event(InputClient::UPDATE_ACCEPTED, pack(value), ++cookie_, old));
    }

    // Accepts every request of the client, in order; returns the values asked for.
    std::vector<Value> acceptRequests() {
        std::vector<Value> values;
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
    static std::string pack(Value value) {
        InputClient::VariableValue v;
        if constexpr (std::is_same<Value, bool>::value)
            v.set_boolvalue(value);
        else
            v.set_int32value(value);
        return v.SerializeAsString();
    }
    static Value unpack(const std::string& bytes) {
        InputClient::VariableValue v;
        if (!v.ParseFromString(bytes))
            return Value{};
        if constexpr (std::is_same<Value, bool>::value)
            return v.boolvalue();
        else
            return v.int32value();
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
using StreamerOwnedBool = StreamerOwned<BoolVariable>;
using StreamerOwnedInt32 = StreamerOwned<Int32Variable>;

// The four session variables the overlay menu shows and changes, owned by a stand-in
// streamer, and a menu built on them.
struct MenuSession {
    std::shared_ptr<Menu> makeMenu(IPlayerWindow* window, CustomUICommandHandler* handler) {
        return std::make_shared<Menu>(window, record.subscribe(), controllers.subscribe(), autoBitrate.subscribe(),
                                      bitrate.subscribe(), handler);
    }
    StreamerOwnedBool record{"Stream.RecordStream", false};
    StreamerOwnedBool controllers{"Input.EnableControllers", true};
    StreamerOwnedBool autoBitrate{"Stream.AutoBitrate", false};
    StreamerOwned<Int32Variable> bitrate{"Video.Bitrate", 0};
};

// A scripted gamepad known to a real gamepad manager that keeps joysticks.ini in folder.
struct ScriptedPad {
    ScriptedPad(const std::string& folder, const std::string& name, int buttons, int axes)
        : manager(&listener, &source) {
        manager.setFilePath(folder + "/joysticks.ini");
        source.plug(0, name, buttons, axes);
        manager.scanDevices();
    }
    struct : IJoystickManagerEventListener {
        void onDeviceAdded(int) override {}
        void onDeviceRemoved(int) override {}
    } listener;
    ScriptedJoystickSource source;
    JoystickManager manager;
};

// The first id handed out while the program runs (the command id table's; not included
// here, as some suites name single commands themselves).
constexpr int kFirstRunTimeId = 1126;

// The player window as the overlay menu sees it: the bench's GUI, a real account model,
// commands sent through the bench's handler and posted ones recorded. The web facade, the
// dialog manager and the shell window are not there (the menu uses none of them).
class FakePlayerWindow : public IPlayerWindow {
public:
    explicit FakePlayerWindow(PlayerGUI* gui) : gui_(gui) {}
    PlayerGUI* playerGUI() const override { return gui_; }
    ClientState& clientState() override { return state; }
    PlayerApi& playerApi() override { std::abort(); }
    PopupDialogManager& popupManager() override { std::abort(); }
    void sendCommand(int id) override { gui_->sendCommand(id); }
    void postCommand(int id) override {
        std::lock_guard<std::mutex> lock(postedMutex);
        posted.push_back(id);
    }
    int allocateCommandId() override { return nextId++; }
    std::recursive_mutex& guiMutex() const override { return gui_->mutex(); }
    GLFWAppWindow& appWindow() override { std::abort(); }

    ClientState state;
    std::mutex postedMutex;
    std::vector<int> posted;
    int nextId = kFirstRunTimeId;

private:
    PlayerGUI* gui_;
};

// The in-stream screen's side of run-time commands: ids from the window's counter, the
// value picked in the idle-timeout dialog kept.
class ScreenCommandHandler : public CustomUICommandHandler {
public:
    explicit ScreenCommandHandler(IPlayerWindow* window = nullptr) : window_(window) {}
    int allocateCommandId() override { return window_ ? window_->allocateCommandId() : nextId++; }
    void setValue(int value) override { values.push_back(value); }
    std::vector<int> values;
    int nextId = kFirstRunTimeId;

private:
    IPlayerWindow* window_;
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
