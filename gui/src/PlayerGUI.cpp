#include "gui/PlayerGUI.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/GUITasks.h"
#include "core/ThreadPool.h"
#include "gui/GraphicsFont.h"
#include "gui/TextService.h"

#include <algorithm>

namespace {

constexpr int kWhitePatchX = 29;
constexpr int kWhitePatchY = 173;
constexpr int kWhitePatchSize = 4;

}  // namespace

PlayerGUI::PlayerGUI(PlayerGUICommandHandler* handler, AbstractGraphicsContext* context)
    : handler_(handler), context_(context), ownerThread_(std::this_thread::get_id()) {
    widgets_.reserve(64);
    loadAtlases();
    setColorsFromTable();
}

const char* PlayerGUI::getClipboardText() {
    return context_ ? context_->getClipboardText() : nullptr;
}

void PlayerGUI::setClipboardText(const std::string& text) {
    if (context_)
        context_->setClipboardText(text.c_str());
}

PlayerGUI::~PlayerGUI() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    // Widgets nobody else owns are deleted (their destructors unregister them). A widget that
    // a shared pointer still owns is left to that owner: it is only detached from this GUI.
    while (!widgets_.empty()) {
        Widget* widget = widgets_.front();
        if (!widget->weak_from_this().expired()) {
            widget->detachFromGUI();
            widgets_.erase(widgets_.begin());
            continue;
        }
        delete widget;
        if (!widgets_.empty() && widgets_.front() == widget)
            widgets_.erase(widgets_.begin());  // a destructor that did not unregister
    }
    focused_ = hovered_ = captured_ = nullptr;
    fonts_.clear();
    atlases_.clear();
}

// ---------------------------------------------------------------------------------------------
// Catalogue lookups

void PlayerGUI::addAtlas(const std::string& name, AbstractSurface* surface) {
    atlases_[name] = std::shared_ptr<AbstractSurface>(surface);
    if (name == "controls")
        controls_ = surface;
}

AbstractSurface* PlayerGUI::getSurface(const std::string& name) {
    auto it = atlases_.find(name);
    if (it == atlases_.end())
        it = atlases_.emplace(name, nullptr).first;
    return it->second.get();
}

Color PlayerGUI::getColor(const std::string& name) {
    auto it = colors_.find(name);
    if (it == colors_.end())
        it = colors_.emplace(name, Color()).first;
    return it->second;
}

const FontStyle* PlayerGUI::fontStyle(const std::string& name) const {
    auto it = fontStyles_.find(name);
    return it == fontStyles_.end() ? nullptr : &it->second;
}

GraphicsFont* PlayerGUI::getFont(const std::string& styleName) {
    auto cached = fonts_.find(styleName);
    if (cached != fonts_.end())
        return cached->second.get();
    auto styleIt = fontStyles_.find(styleName);
    if (styleIt == fontStyles_.end())
        styleIt = fontStyles_.emplace(styleName, FontStyle()).first;
    const FontStyle& style = styleIt->second;
    std::shared_ptr<GraphicsFont> font;
    if (textService_) {
        AbstractTextServiceFont* face = textService_->openFontFromMemory(style.fontData, style.dataSize, false,
                                                                         style.pointSize, style.dpi, style.flags);
        if (face)
            font = std::make_shared<GraphicsFont>(face, uiScale_);
    }
    // Also an empty entry: a style that yields no font is not asked for again.
    return fonts_.emplace(styleName, std::move(font)).first->second.get();
}

// ---------------------------------------------------------------------------------------------
// Widget list

bool PlayerGUI::mayBuildWidgets() const {
    const std::thread::id self = std::this_thread::get_id();
    if (self == ownerThread_.load())
        return true;
    return lockDepth_.load() > 0 && lockHolder_.load() == self;
}

void PlayerGUI::registerWidget(Widget* widget) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    widgets_.push_back(widget);
}

void PlayerGUI::unregisterWidget(Widget* widget) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = std::find(widgets_.begin(), widgets_.end(), widget);
    if (it != widgets_.end())
        widgets_.erase(it);
    for (Widget* w : widgets_)
        w->needsRedraw = 1;
    if (captured_ == widget)
        captured_ = nullptr;
    if (hovered_ == widget)
        hovered_ = nullptr;
    if (focused_ == widget)
        focused_ = nullptr;
    listChanged_ = true;
}

std::size_t PlayerGUI::widgetCount() const {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return widgets_.size();
}

void PlayerGUI::sortedByZ(std::vector<ZEntry>& out) const {
    out.clear();
    bool sorted = true;
    for (std::size_t i = 0; i < widgets_.size(); ++i) {
        Widget* w = widgets_[i];
        if (!out.empty() && w->z < out.back().z)
            sorted = false;
        out.push_back(ZEntry{w->z, int(i), w});
    }
    // Registration order breaks ties, so an unstable in-place sort gives the stable order
    // without the temporary buffer a stable sort would allocate.
    if (!sorted)
        std::sort(out.begin(), out.end(),
                  [](const ZEntry& a, const ZEntry& b) { return a.z != b.z ? a.z < b.z : a.order < b.order; });
}

bool PlayerGUI::tick(float seconds) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    ownerThread_ = std::this_thread::get_id();
    bool redraw = false;
    for (std::size_t i = 0; i < widgets_.size(); ++i) {
        const bool wasVisible = widgets_[i]->visible != 0;
        const bool wants = widgets_[i]->tick(double(seconds));
        if (i >= widgets_.size())
            break;  // the tick removed widgets
        const bool isVisible = widgets_[i]->visible != 0;
        if ((wants && isVisible) || (wasVisible && !isVisible))
            redraw = true;
    }
    return redraw;
}

void PlayerGUI::render(AbstractGraphicsContext* context) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    context->setDrawingThread(std::this_thread::get_id());
    context->getLogicalSize(&logicalWidth_, &logicalHeight_);
    bool anyModal = false;
    for (int pass = 0; pass < 3; ++pass)
        for (std::size_t i = 0; i < widgets_.size(); ++i) {
            Widget* w = widgets_[i];
            if (!w->visible)
                continue;
            anyModal = anyModal || w->modal != 0;
            w->layout(logicalWidth_, logicalHeight_, context);
        }
    if (popupManager_)
        popupManager_->onModalStateChanged(anyModal);
    if (listChanged_) {
        onMouseMove(mouseX_, mouseY_);
        listChanged_ = false;
    }
    sortedByZ(drawOrder_);
    for (const ZEntry& entry : drawOrder_) {
        if (!entry.widget->visible)
            continue;
        entry.widget->draw(context);
        entry.widget->needsRedraw = 0;
    }
}

void PlayerGUI::getSize(int* width, int* height) const {
    if (width)
        *width = logicalWidth_;
    if (height)
        *height = logicalHeight_;
}

// ---------------------------------------------------------------------------------------------
// Input

Widget* PlayerGUI::widgetUnderCursor() {
    if (captured_)
        return captured_;
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    sortedByZ(hitOrder_);
    for (auto it = hitOrder_.rbegin(); it != hitOrder_.rend(); ++it) {
        Widget* w = it->widget;
        if (w->visible && w->enabled && w->hitTest(mouseX_, mouseY_))
            return w;
    }
    return nullptr;
}

void PlayerGUI::setHovered(Widget* widget) {
    if (widget == hovered_)
        return;
    if (hovered_)
        hovered_->onMouseLeave();
    hovered_ = widget;
    if (widget)
        widget->onMouseEnter();
}

bool PlayerGUI::onMouseMove(int x, int y) {
    mouseX_ = std::min(std::max(x, 0), std::max(logicalWidth_ - 1, 0));
    mouseY_ = std::min(std::max(y, 0), std::max(logicalHeight_ - 1, 0));
    setHovered(widgetUnderCursor());
    return hovered_ ? hovered_->onMouseMove(mouseX_, mouseY_) : false;
}

bool PlayerGUI::onMouseButton(int button, bool pressed) {
    pressX_ = mouseX_;
    pressY_ = mouseY_;
    Widget* h = hovered_;
    if (h) {
        if (pressed) {
            focusShown_ = 0;
            if (h != focused_) {
                if (focused_)
                    focused_->onBlur();
                focused_ = h;
                h->onFocus();
            }
            return h->onMouseDown(button, mouseX_, mouseY_);
        }
        return h->onMouseUp(button, mouseX_, mouseY_);
    }
    if (pressed) {
        focusShown_ = 0;
        if (focused_) {
            Widget* old = focused_;
            focused_ = nullptr;
            old->onBlur();
        }
    }
    return false;
}

void PlayerGUI::setCapture(Widget* widget) {
    if (captured_ == widget)
        return;
    if (captured_ && captured_ == hovered_) {
        Widget* old = hovered_;
        hovered_ = nullptr;
        old->onMouseLeave();
    }
    captured_ = widget;
    if (widget) {
        if (widget != hovered_)
            setHovered(widget);
    } else {
        setHovered(widgetUnderCursor());
    }
    if (handler_) {
        if (captured_)
            handler_->onCaptureStarted();
        else
            handler_->onCaptureReleased();
    }
}

bool PlayerGUI::onKey(int key, int scancode, int action, int mods) {
    // Shift, Control, Alt and Super; the lock keys a window may report beside them do not
    // change what Tab does.
    const int modifiers = mods & 0xF;
    if (key == kTabKey && action == 0 && (modifiers == 0 || modifiers == 1)) {
        if (focusNext(modifiers == 1))
            return true;
    }
    if (!focused_)
        return false;
    if (action == 1 || action == 2)
        return focused_->onKeyDown(key, scancode, mods);
    if (action == 0)
        return focused_->onKeyUp(key, scancode, mods);
    return false;
}

bool PlayerGUI::onChar(unsigned codePoint) {
    return focused_ ? focused_->onChar(codePoint) : false;
}

void PlayerGUI::setFocus(Widget* widget, int shown) {
    focusShown_ = shown;
    if (widget == focused_)
        return;
    Widget* old = focused_;
    focused_ = widget;
    if (old)
        old->onBlur();
    if (widget)
        widget->onFocus();
}

bool PlayerGUI::focusNext(bool backward) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    const int n = int(widgets_.size());
    if (n == 0)
        return false;
    auto candidate = [](const Widget* w) { return w->focusable && w->visible && w->enabled; };
    if (!focused_) {
        for (Widget* w : widgets_)
            if (candidate(w)) {
                focusShown_ = 1;
                focused_ = w;
                w->onFocus();
                return true;
            }
    } else {
        auto it = std::find(widgets_.begin(), widgets_.end(), focused_);
        int index = it == widgets_.end() ? 0 : int(it - widgets_.begin());
        for (int step = 0; step < n; ++step) {
            index = backward ? (index == 0 ? n - 1 : index - 1) : (index + 1 >= n ? 0 : index + 1);
            Widget* w = widgets_[std::size_t(index)];
            if (!candidate(w))
                continue;
            focusShown_ = 1;
            if (w != focused_) {
                Widget* old = focused_;
                focused_ = w;
                old->onBlur();
                w->onFocus();
            }
            return true;
        }
    }
    focusShown_ = 1;
    if (focused_) {
        Widget* old = focused_;
        focused_ = nullptr;
        old->onBlur();
    }
    return false;
}

void PlayerGUI::setVisible(Widget* widget, bool visible) {
    if (!widget)
        return;
    widget->visible = visible ? 1 : 0;
    widget->onVisibilityChanged();
    if (!visible && widget == focused_) {
        focusShown_ = 0;
        focused_ = nullptr;
        widget->onBlur();
    }
}

void PlayerGUI::setEnabled(Widget* widget, bool enabled) {
    if (!widget)
        return;
    widget->enabled = enabled ? 1 : 0;
    if (!enabled && widget == focused_) {
        focusShown_ = 0;
        focused_ = nullptr;
        widget->onBlur();
    }
}

// ---------------------------------------------------------------------------------------------
// Commands

void PlayerGUI::sendCommand(int id) {
    if (handler_)
        handler_->onCommand(id);
}

void PlayerGUI::runTask(const std::shared_ptr<TaskBase>& task) {
    if (!task)
        return;
    if (PlayerGUITask* guiTask = task->asPlayerGUITask())
        guiTask->setManager(this);
    ThreadPool::execute(task.get());
}

bool PlayerGUI::registerTutorialTarget(int page, int kind, Widget* widget) {
    if (!popupManager_)
        return false;
    popupManager_->registerTutorialTarget(page, kind, widget);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Drawing helpers

void PlayerGUI::fillRect(AbstractGraphicsContext*, int x, int y, int width, int height) {
    if (controls_)
        controls_->draw(x, y, width, height, kWhitePatchX, kWhitePatchY, kWhitePatchSize, kWhitePatchSize);
}

void PlayerGUI::drawFocusOverlay(AbstractGraphicsContext* context, int x, int y, int width, int height) {
    context->setColor(0x60ffffff);
    fillRect(context, x, y, width, height);
}

void PlayerGUI::drawTextCursor(AbstractGraphicsContext* context, int x, int y, int width, int height) {
    context->setColor(getColor("textedit-cursor"));
    fillRect(context, x, y, width, height);
}

void PlayerGUI::drawTextSelection(AbstractGraphicsContext* context, int x, int y, int width, int height) {
    context->setColor(0xffff9933);
    fillRect(context, x, y, width, height);
}

void PlayerGUI::drawPanel(AbstractGraphicsContext* context, int x, int y, int width, int height) {
    context->setColor(getColor("panel-body"));
    fillRect(context, x, y, width, height);
}

void PlayerGUI::drawModalPanel(AbstractGraphicsContext* context, int x, int y, int width, int height) {
    context->setColor(getColor("modal-panel-header"));
    fillRect(context, x, y, width, 31);
    context->setColor(getColor("modal-panel-body"));
    fillRect(context, x, y, width, height);
}

void PlayerGUI::drawPopupMenuBackground(AbstractGraphicsContext* context, int x, int y, int width, int height) {
    context->setColor(getColor("popupmenu-default"));
    fillRect(context, x, y, width, height);
}

void PlayerGUI::drawPopupMenuItem(AbstractGraphicsContext* context, int x, int y, int width, int height,
                                  bool hovered) {
    context->setColor(getColor(hovered ? "popupmenu-hover" : "popupmenu-default"));
    fillRect(context, x, y, width, height);
}

void PlayerGUI::drawBorder(AbstractGraphicsContext* context, int x, int y, int w, int h, int t, int g) {
    fillRect(context, x - g, y - g, w + 2 * g, t);
    fillRect(context, x - g, y + h + g, w + 2 * g, t);
    fillRect(context, x - g, y - g, t, h + 2 * g);
    fillRect(context, x + w + g, y - g, t, h + 2 * g + t);
}

void PlayerGUI::drawLine(AbstractGraphicsContext*, Point a, Point b, int t) {
    if (!controls_)
        return;
    controls_->drawTriangle(a.x, a.y, b.x, b.y, a.x + t, a.y, kWhitePatchX, kWhitePatchY, kWhitePatchSize,
                            kWhitePatchSize);
    controls_->drawTriangle(b.x, b.y, b.x + t, b.y, a.x + t, a.y, kWhitePatchX, kWhitePatchY, kWhitePatchSize,
                            kWhitePatchSize);
}

void PlayerGUI::fillTriangle(AbstractGraphicsContext*, Point a, Point b, Point c) {
    if (controls_)
        controls_->drawTriangle(a.x, a.y, b.x, b.y, c.x, c.y, kWhitePatchX, kWhitePatchY, kWhitePatchSize,
                                kWhitePatchSize);
}

// ---------------------------------------------------------------------------------------------
// Lock

PlayerGUILock::PlayerGUILock(PlayerGUI* gui) : lock_(gui->mutex_), gui_(gui) {
    if (gui_->lockDepth_.fetch_add(1) == 0)
        gui_->lockHolder_ = std::this_thread::get_id();
}

PlayerGUILock::~PlayerGUILock() {
    if (gui_->lockDepth_.fetch_sub(1) == 1)
        gui_->lockHolder_ = std::thread::id();
}
