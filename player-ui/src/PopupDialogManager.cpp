#include "player-ui/PopupDialogManager.h"

#include "core/LanguageStore.h"
#include "core/ThreadPool.h"
#include "gui/ImageButton.h"
#include "gui/Table.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/PopupDialogForm.h"
#include "player-ui/TutorialPopup.h"

namespace {

// The overlay: the 4x4 white patch of the "controls" atlas stretched over any window and
// tinted with the grey-out colour, below the dialogs and callouts (z 1000).
constexpr int kPatchX = 29;
constexpr int kPatchY = 173;
constexpr int kPatchSize = 4;
constexpr int kCover = 20000;
constexpr int kGreyOutZ = -100;

// Dialogs that a connection outcome replaces, and that first picture closes.
constexpr int kConnectionStartedDialog = 6;
constexpr int kConnectionErrorDialog = 7;
constexpr int kAnotherUserDialog = 11;
constexpr int kLanguageChangeDialog = 19;
constexpr int kConnectionDialogs[] = {7, 8, 9, 6, 22};
constexpr int kFirstGamepadDialog = 30;
constexpr int kLastGamepadDialog = 50;
constexpr int kLoadingDialog = 10;
constexpr int kStreamerCheckDialog = 2;
constexpr int kStreamerUpdateDialog = 3;

}  // namespace

PopupDialogManager::PopupDialogManager(IPlayerWindow* window) : window_(window) { buildCommandTable(); }

PopupDialogManager::~PopupDialogManager() {
    // The widgets leave the GUI (when it is still there) under its lock.
    PlayerGUI* g = gui();
    if (!g) return;
    PlayerGUILock lock(g);
    currentForm_.reset();
    tourPopup_.reset();
    greyOut_.reset();
    retired_.clear();
}

PlayerGUI* PopupDialogManager::gui() const { return window_ ? window_->playerGUI() : nullptr; }

// ---- commands ----

void PopupDialogManager::onCommand(int commandId) {
    const auto row = commandTable_.find(commandId);
    if (row != commandTable_.end()) {
        // Copied: an action may not change the table, but the row must not be read while
        // a nested command runs either.
        const CommandTableRow r = row->second;
        for (int action : r.actions) runAction(action);
        for (int dialog : r.dialogs) {
            if (dialog == kStartTour) {
                tourRunning_ = true;
                showTourPage();
            } else if (dialog != kNothing) {
                openDialog(dialog);
            }
        }
    }
    if (commandId == kCommandSelectionScreen) {
        tourFirstPage_ = kSelectionFirstPage;
        tourLastPage_ = kSelectionLastPage;
    } else if (commandId == kCommandStreamScreen) {
        tourFirstPage_ = kStreamFirstPage;
        tourLastPage_ = kStreamLastPage;
    }
    // Leaving the stream (back, or the selection screen) or replacing it (a new stream
    // screen) frees the menu the tour pages point at.
    if (commandId == kCommandBack || commandId == kCommandSelectionScreen || commandId == kCommandStreamScreen)
        leaveStreamTour();
}

void PopupDialogManager::runAction(int action) {
    switch (action) {
        case kCloseAll: closeAll(); break;
        case kReleaseDynamicForm: releaseCurrentForm(); break;
        case kCloseConnectionDialogs: closeConnectionDialogs(); break;
        case kCloseGamepadSetupDialogs: closeGamepadSetupDialogs(); break;
        case kCloseLoadingDialog: closeDialog(kLoadingDialog); break;
        case kEndTour: endTour(); break;
        case kCloseStreamerDialogs:
            closeDialog(kStreamerCheckDialog);
            closeDialog(kStreamerUpdateDialog);
            break;
        case kNothing: break;
        default: closeDialog(action); break;
    }
}

void PopupDialogManager::closeConnectionDialogs() {
    for (int id : kConnectionDialogs) closeDialog(id);
}

void PopupDialogManager::closeGamepadSetupDialogs() {
    for (int id = kFirstGamepadDialog; id <= kLastGamepadDialog; ++id) closeDialog(id);
}

// ---- the queue ----

bool PopupDialogManager::isConnectionOutcome(int dialogId) {
    switch (dialogId) {
        case 5: case 7: case 8: case 9: case 11: case kConnectionLostDialog: return true;
        default: return false;
    }
}

void PopupDialogManager::openDialog(int dialogId) { openDialog(dialogId, std::string()); }

void PopupDialogManager::openDialog(int dialogId, const std::string& extraText) {
    switch (dialogId) {
        case 5: case 6: case 7: case 8: case 9: case 11: case kConnectionLostDialog:
            // "Connection started" gives way to every connection outcome; a new copy of it
            // goes to the end of the queue.
            closeDialog(kConnectionStartedDialog);
            break;
        default: break;
    }
    // A connection error says nothing new while another user took the machine or its
    // language is being changed.
    if (dialogId == kConnectionErrorDialog &&
        (findDialog(kAnotherUserDialog, false) || findDialog(kLanguageChangeDialog, false)))
        return;
    DialogDescription description = commandDialog(dialogId);
    description.extraText = extraText;
    // What became of the connection is what the user needs to know first: before the
    // start-up dialogs and the tour, which speak of a stream that is not there.
    const bool first = isConnectionOutcome(dialogId);
    if (first && !findDialog(dialogId, false)) suspendTour();
    queueDialog(dialogId, description, first ? kConnectionPriority : 0);
}

void PopupDialogManager::queueDialog(int dialogId, const DialogDescription& description, int priority) {
    if (findDialog(dialogId, false)) return;
    queue_[priority].push_back(QueuedDialog{dialogId, description});
    showNext();
}

void PopupDialogManager::showNext() {
    if (tourPopup_) return;  // dialogs wait while a tour page is up
    // The front of the highest priority that has a dialog: a dialog queued at the priority
    // on screen waits behind it, whatever waits below.
    bool any = false;
    int chosen = 0;
    for (const auto& entry : queue_) {
        if (entry.second.empty()) continue;
        any = true;
        chosen = entry.first;
    }
    if (!any) {
        showTourPage();
    } else {
        const auto list = queue_.find(chosen);
        PlayerGUI* g = gui();
        if (list != queue_.end() && !list->second.empty() && g) {
            PlayerGUILock lock(g);
            // Rebuilt even when it is already on screen: it comes back centred.
            auto form = std::make_shared<PopupDialogForm>(g, list->second.front().description);
            if (currentForm_) retire(std::move(currentForm_));
            currentForm_ = std::move(form);
            currentPriority_ = chosen;
        }
    }
    if (greyOut_) setOverlayVisible(currentForm_ != nullptr || modal_);
    if (PlayerGUI* g = gui()) g->setHovered(g->widgetUnderCursor());
}

bool PopupDialogManager::findDialog(int dialogId, bool remove) {
    for (auto& entry : queue_) {
        auto& list = entry.second;
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (it->id != dialogId) continue;
            if (remove) list.erase(it);
            return true;
        }
    }
    return false;
}

void PopupDialogManager::closeDialog(int dialogId) {
    if (dialogId == kNothing) return;
    const auto list = queue_.find(currentPriority_);
    if (list != queue_.end() && !list->second.empty() && list->second.front().id == dialogId) {
        list->second.pop_front();
        if (currentForm_) retire(std::move(currentForm_));
        currentForm_.reset();
        currentPriority_ = 0;
        showNext();
        return;
    }
    findDialog(dialogId, true);
}

void PopupDialogManager::closeAll() {
    queue_.clear();
    if (currentForm_) retire(std::move(currentForm_));
    currentForm_.reset();
    currentPriority_ = 0;
    if (greyOut_) setOverlayVisible(modal_);
}

void PopupDialogManager::releaseCurrentForm() {
    if (!currentForm_ || !currentForm_->textProvider) return;
    retire(std::move(currentForm_));
    currentForm_.reset();
}

int PopupDialogManager::shownDialog() const {
    if (!currentForm_) return -1;
    const auto list = queue_.find(currentPriority_);
    return list != queue_.end() && !list->second.empty() ? list->second.front().id : -1;
}

std::vector<int> PopupDialogManager::queuedDialogs() const {
    std::vector<int> ids;
    for (const auto& entry : queue_)
        for (const QueuedDialog& d : entry.second) ids.push_back(d.id);
    return ids;
}

bool PopupDialogManager::isPopupVisible() const {
    return (currentForm_ && currentForm_->isVisible()) || (tourPopup_ && tourPopup_->isVisible());
}

// ---- the overlay ----

void PopupDialogManager::createGreyOutButton() {
    PlayerGUI* g = gui();
    if (!g) return;
    PlayerGUILock lock(g);
    const Rect none{-1, -1, -1, -1};
    auto button = std::make_shared<ImageButton>(g, kCommandGreyOutClicked, g->getSurface("controls"),
                                                Rect{kPatchX, kPatchY, kPatchSize, kPatchSize}, none, none, none);
    button->focusable = 0;
    button->x = -kCover / 2;
    button->y = -kCover / 2;
    button->width = kCover;
    button->height = kCover;
    const Color grey = g->getColor("grey-out-player");
    button->setBackground(ImageButton::BackgroundTint, grey, grey, Color(0xffffffffu));
    button->z = kGreyOutZ;
    button->propagateZOrder();
    g->setEnabled(button.get(), true);
    g->setVisible(button.get(), false);
    greyOut_ = std::move(button);
    greyOutShown_ = false;
}

void PopupDialogManager::releaseGreyOutButton() {
    PlayerGUI* g = gui();
    if (!g) {
        greyOut_.reset();
        retired_.clear();
        return;
    }
    PlayerGUILock lock(g);
    greyOut_.reset();
    greyOutShown_ = false;
    retired_.clear();
}

void PopupDialogManager::onModalStateChanged(bool anyModal) {
    modal_ = anyModal;
    if (greyOut_) setOverlayVisible(modal_ || currentForm_ != nullptr);
    freeRetired();
}

void PopupDialogManager::setOverlayVisible(bool visible) {
    PlayerGUI* g = gui();
    if (!g || !greyOut_) return;
    // Every frame reports the modal state: only a change touches the widget.
    if (greyOut_->isVisible() != visible) g->setVisible(greyOut_.get(), visible);
    greyOutShown_ = visible;
}

// ---- closing without freeing inside a click ----

void PopupDialogManager::retire(std::shared_ptr<Widget> widget) {
    if (!widget) return;
    // A retired callout is still ticked until it is freed, and its anchor may go before that
    // (the in-stream screen's menu): it must not be read again.
    if (auto* callout = dynamic_cast<TutorialPopup*>(widget.get())) callout->anchor = nullptr;
    if (PlayerGUI* g = gui()) {
        // The form's content table (and with it every label and button), or the callout's
        // cells, leave the screen and the pointer now.
        g->setVisible(widget.get(), false);
        if (auto* form = dynamic_cast<PopupDialogForm*>(widget.get()))
            if (form->contentTable) g->setVisible(form->contentTable.get(), false);
        if (g->isCaptured(widget.get())) g->setCapture(nullptr);
    }
    retired_.push_back(std::move(widget));
}

void PopupDialogManager::freeRetired() {
    if (retired_.empty()) return;
    PlayerGUI* g = gui();
    if (!g) {
        retired_.clear();
        return;
    }
    PlayerGUILock lock(g);
    retired_.clear();
}

// ---- the tour ----

void PopupDialogManager::suspendTour() {
    if (!tourPopup_) return;
    tourResumePage_ = tourPopup_->page;
    if (PlayerGUI* g = gui()) {
        PlayerGUILock lock(g);
        retire(std::move(tourPopup_));
    }
    tourPopup_.reset();
}

void PopupDialogManager::showTourPage() {
    if (currentForm_ || !tourRunning_) return;
    PlayerGUI* g = gui();
    int page = tourFirstPage_;
    if (tourResumePage_ >= 0) {
        page = tourResumePage_;
        tourResumePage_ = -1;
    } else if (tourPopup_) {
        page = tourPopup_->page + 1;
        if (g) {
            PlayerGUILock lock(g);
            retire(std::move(tourPopup_));
        }
        tourPopup_.reset();
    }
    const auto registered = tourPages_.find(page);
    if (page > tourLastPage_ || registered == tourPages_.end() || !g) {
        tourRunning_ = false;
        showNext();
        return;
    }
    const TourPage copy = registered->second;
    if (copy.onShowTask) ThreadPool::execute(copy.onShowTask.get());
    PlayerGUILock lock(g);
    tourPopup_ = std::make_shared<TutorialPopup>(g, copy);
}

void PopupDialogManager::endTour() {
    if (!tourPopup_) return;
    PlayerGUI* g = gui();
    if (g) {
        PlayerGUILock lock(g);
        retire(std::move(tourPopup_));
    }
    tourPopup_.reset();
    tourRunning_ = false;
    tourResumePage_ = -1;
    showNext();
}

void PopupDialogManager::leaveStreamTour() {
    for (auto it = tourPages_.begin(); it != tourPages_.end();)
        it = it->second.anchor ? tourPages_.erase(it) : std::next(it);
    const bool running = tourRunning_ || tourPopup_;
    tourRunning_ = false;
    tourResumePage_ = -1;
    if (!running) return;
    if (tourPopup_) {
        if (PlayerGUI* g = gui()) {
            PlayerGUILock lock(g);
            retire(std::move(tourPopup_));
        }
        tourPopup_.reset();
    }
    showNext();
}

void PopupDialogManager::registerTutorialTarget(int page, int kind, Widget* anchor) {
    if (page < 0 || page > kStreamLastPage) return;
    TourPage p = tour(page);
    unescapeNewlines(p.text);
    p.page = page;
    p.kind = kind;
    p.anchor = anchor;
    tourPages_[page] = std::move(p);
}

const TourPage* PopupDialogManager::tourPage(int page) const {
    const auto it = tourPages_.find(page);
    return it == tourPages_.end() ? nullptr : &it->second;
}
