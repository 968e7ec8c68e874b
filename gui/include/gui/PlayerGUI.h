#pragma once
// The GUI manager of one window: its style catalogue (atlases, colours, font styles and the
// fonts made from them), the list of live widgets, per-frame layout and drawing in z order,
// ticking, and input dispatch (hover, press, capture, keyboard focus with Tab navigation).
// Clicks reach the window through PlayerGUICommandHandler.
//
// Threads: the render thread ticks and renders; the main thread delivers input under the
// window's GUI lock. Widgets may be built on the owner thread (the thread that last ticked,
// or the creating thread before the first tick) or by a thread holding a PlayerGUILock.

#include "gui/Color.h"
#include "gui/FontStyle.h"
#include "gui/Widget.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class AbstractGraphicsContext;
class AbstractSurface;
class AbstractTextService;
class GraphicsFont;
class TaskBase;

class PlayerGUICommandHandler {
public:
    virtual void onCommand(int id) = 0;
    virtual void onCaptureStarted() = 0;
    virtual void onCaptureReleased() = 0;

protected:
    ~PlayerGUICommandHandler() = default;
};

class IGUIPopupManager {
public:
    // Every rendered frame: whether a visible widget is modal.
    virtual void onModalStateChanged(bool anyModal) = 0;
    virtual void registerTutorialTarget(int page, int kind, Widget* anchor) = 0;

protected:
    ~IGUIPopupManager() = default;
};

struct Point {
    int x = 0;
    int y = 0;
};

class PlayerGUI {
public:
    static constexpr int kTabKey = 258;

    // Builds the atlases and the colour table. The context must be current on this thread.
    PlayerGUI(PlayerGUICommandHandler* handler, AbstractGraphicsContext* context);
    // Deletes the widgets still registered that nobody else owns; widgets still owned by a
    // shared pointer are detached instead.
    ~PlayerGUI();

    PlayerGUI(const PlayerGUI&) = delete;
    PlayerGUI& operator=(const PlayerGUI&) = delete;

    // ---- style catalogue ----
    // Takes the UI scale, font DPI and text service of the context and fills the font styles.
    bool loadFontStyles(AbstractGraphicsContext* context, const std::string& alternateFaceName);
    void addAtlas(const std::string& name, AbstractSurface* surface);
    // Unknown names are added to their table: null surface, opaque black, default style.
    AbstractSurface* getSurface(const std::string& name);
    // The "controls" atlas (frames, glyphs and the white patch of every fill).
    AbstractSurface* controlsSurface() const { return controls_; }
    Color getColor(const std::string& name);
    GraphicsFont* getFont(const std::string& styleName);
    GraphicsFont* getDefaultFont() { return getFont("default"); }
    GraphicsFont* getHeaderFont() { return getFont("header"); }
    GraphicsFont* getSmallFont() { return getFont("small"); }
    std::size_t colorCount() const { return colors_.size(); }
    std::size_t fontStyleCount() const { return fontStyles_.size(); }
    const FontStyle* fontStyle(const std::string& name) const;
    float uiScale() const { return uiScale_; }
    AbstractTextService* textService() const { return textService_; }

    // ---- widgets ----
    void registerWidget(Widget* widget);
    void unregisterWidget(Widget* widget);
    // Whether the calling thread may build widgets now.
    bool mayBuildWidgets() const;
    std::size_t widgetCount() const;

    // True when a redraw is needed. Makes the calling thread the owner thread.
    bool tick(float seconds);
    void render(AbstractGraphicsContext* context);
    void getSize(int* width, int* height) const;

    // ---- input ----
    bool onMouseMove(int x, int y);
    bool onMouseButton(int button, bool pressed);
    bool onKey(int key, int scancode, int action, int mods);
    bool onChar(unsigned codePoint);
    Widget* widgetUnderCursor();
    void setHovered(Widget* widget);
    void setCapture(Widget* widget);
    bool isCaptured(const Widget* widget) const { return captured_ == widget && widget; }
    void setFocus(Widget* widget, int shown);
    bool focusNext(bool backward);
    void setVisible(Widget* widget, bool visible);
    void setEnabled(Widget* widget, bool enabled);
    Widget* focused() const { return focused_; }
    Widget* hovered() const { return hovered_; }
    Widget* captured() const { return captured_; }
    int focusShown() const { return focusShown_; }
    Point mousePosition() const { return {mouseX_, mouseY_}; }
    Point pressPosition() const { return {pressX_, pressY_}; }

    // ---- commands ----
    void sendCommand(int id);
    // Runs the task at once on this thread (with its follow-ups); nothing for a null task.
    void runTask(const std::shared_ptr<TaskBase>& task);
    void setPopupManager(IGUIPopupManager* manager) { popupManager_ = manager; }
    IGUIPopupManager* popupManager() const { return popupManager_; }
    bool registerTutorialTarget(int page, int kind, Widget* widget);
    AbstractGraphicsContext* context() const { return context_; }
    // The clipboard through the graphics context (main thread): null without a context or
    // when the clipboard holds no text.
    const char* getClipboardText();
    void setClipboardText(const std::string& text);

    // ---- drawing helpers (logical rectangles, "controls" white patch) ----
    void fillRect(AbstractGraphicsContext* context, int x, int y, int width, int height);
    void drawFocusOverlay(AbstractGraphicsContext* context, int x, int y, int width, int height);
    void drawTextCursor(AbstractGraphicsContext* context, int x, int y, int width, int height);
    void drawTextSelection(AbstractGraphicsContext* context, int x, int y, int width, int height);
    void drawPanel(AbstractGraphicsContext* context, int x, int y, int width, int height);
    void drawModalPanel(AbstractGraphicsContext* context, int x, int y, int width, int height);
    void drawPopupMenuBackground(AbstractGraphicsContext* context, int x, int y, int width, int height);
    void drawPopupMenuItem(AbstractGraphicsContext* context, int x, int y, int width, int height, bool hovered);
    void drawBorder(AbstractGraphicsContext* context, int x, int y, int width, int height, int thickness, int gap);
    void drawLine(AbstractGraphicsContext* context, Point a, Point b, int thickness);
    void fillTriangle(AbstractGraphicsContext* context, Point a, Point b, Point c);

    std::recursive_mutex& mutex() const { return mutex_; }

private:
    friend class PlayerGUILock;
    struct ZEntry {
        int z;
        int order;
        Widget* widget;
    };
    // The widget list ordered by ascending z, registration order among equal z, into out.
    void sortedByZ(std::vector<ZEntry>& out) const;
    void setColorsFromTable();
    void loadAtlases();

    int logicalWidth_ = 0;
    int logicalHeight_ = 0;
    int mouseX_ = 0;
    int mouseY_ = 0;
    int pressX_ = 0;
    int pressY_ = 0;
    PlayerGUICommandHandler* handler_;
    IGUIPopupManager* popupManager_ = nullptr;
    AbstractTextService* textService_ = nullptr;
    std::map<std::string, std::shared_ptr<AbstractSurface>, std::less<>> atlases_;
    std::map<std::string, std::shared_ptr<GraphicsFont>, std::less<>> fonts_;
    std::map<std::string, FontStyle, std::less<>> fontStyles_;
    std::map<std::string, Color, std::less<>> colors_;
    std::vector<Widget*> widgets_;
    mutable std::recursive_mutex mutex_;
    // PlayerGUILock nesting: how deep the holder thread has locked.
    std::atomic<int> lockDepth_{0};
    std::atomic<std::thread::id> lockHolder_{};
    bool listChanged_ = false;
    Widget* focused_ = nullptr;
    int focusShown_ = 0;
    Widget* captured_ = nullptr;
    Widget* hovered_ = nullptr;
    AbstractGraphicsContext* context_;
    std::atomic<std::thread::id> ownerThread_;
    float uiScale_ = 1.0f;
    AbstractSurface* controls_ = nullptr;  // the "controls" atlas, cached for the fills
    std::vector<ZEntry> drawOrder_;        // render's sorted copy, reused
    std::vector<ZEntry> hitOrder_;         // the hit test's sorted copy, reused
};

// Lets the holding thread build and change widgets of the GUI while it keeps the render
// thread out. Nests on one thread: the permission lasts until the outermost lock ends.
class PlayerGUILock {
public:
    explicit PlayerGUILock(PlayerGUI* gui);
    ~PlayerGUILock();
    PlayerGUILock(const PlayerGUILock&) = delete;
    PlayerGUILock& operator=(const PlayerGUILock&) = delete;

private:
    std::unique_lock<std::recursive_mutex> lock_;
    PlayerGUI* gui_;
};
