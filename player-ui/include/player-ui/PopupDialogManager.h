#pragma once
// The player window's dialog and guided-tour controller. It sees every window command
// first: a fixed command table says, per command, which dialogs to close and which to open.
// Open dialogs wait in a queue by priority; the front one is on screen as a modal, draggable
// PopupDialogForm built from its description in the dialog catalogue. It owns the grey-out
// overlay (a window-covering translucent button below the dialogs; a click on it sends
// kCommandGreyOutClicked), which is shown while a dialog is up or a modal widget is visible.
// It runs the guided tour: widgets register tour pages with their anchors, and the pages
// are shown one after the other as TutorialPopups. Dialogs and tour pages never share the
// screen: dialogs wait behind a tour page, a tour waits behind a dialog.
//
// What happened to the connection to the machine (lost, trying again, refused, given up)
// comes first: those dialogs are queued above the others, so they take the place of a
// start-up dialog on screen, and a tour page on screen gives way to them; the tour goes on
// at the same page once no dialog is left.
//
// A dialog or tour page that goes away is hidden at once and freed at the next render pass,
// so a button whose click closes its own dialog never runs inside a freed form.
//
// The tour ends, and the pages anchored at widgets of the in-stream screen are forgotten,
// when that screen is left or replaced (kCommandBack, kCommandSelectionScreen,
// kCommandStreamScreen): no callout ever points at a freed widget.
//
// Threads: onCommand and the button tasks on the main thread inside the window's command
// dispatch; createGreyOutButton, releaseGreyOutButton and onModalStateChanged on the render
// thread; registerTutorialTarget from widget constructors. All under the window's GUI lock,
// which serialises them; widgets are made and released under PlayerGUILock.
// isGreyOutVisible may be read from any thread.

#include "player-ui/DialogDescription.h"
#include "player-ui/TourPage.h"

#include "gui/PlayerGUI.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

class IPlayerWindow;
class ImageButton;
class PopupDialogForm;
class TutorialPopup;
class Widget;

class PopupDialogManager : public IGUIPopupManager {
public:
    // Dialog entries of the command table that are not dialogs.
    static constexpr int kStartTour = 56;
    static constexpr int kNothing = 60;
    // Action codes of the command table.
    enum Action {
        kCloseAll = 51,
        kReleaseDynamicForm = 52,
        kCloseConnectionDialogs = 53,
        kCloseGamepadSetupDialogs = 54,
        kCloseLoadingDialog = 55,
        kEndTour = 57,
        kCloseStreamerDialogs = 58,
    };
    // Dialogs about the connection to the machine: queued above the others.
    static constexpr int kConnectionLostDialog = 17;  // the in-stream screen gave up reconnecting
    static constexpr int kConnectionPriority = 1;
    static bool isConnectionOutcome(int dialogId);
    // The tour pages of the machine-selection screen and of the in-stream screen.
    static constexpr int kSelectionFirstPage = 0;
    static constexpr int kSelectionLastPage = 4;
    static constexpr int kStreamFirstPage = 5;
    static constexpr int kStreamLastPage = 11;

    struct QueuedDialog {
        std::int32_t id;
        DialogDescription description;
    };
    struct CommandTableRow {
        std::vector<std::int32_t> dialogs;  // dialog ids to open, or kStartTour, or kNothing
        std::vector<std::int32_t> actions;  // action codes (any other value closes that dialog)
    };

    explicit PopupDialogManager(IPlayerWindow* window);
    ~PopupDialogManager();

    PopupDialogManager(const PopupDialogManager&) = delete;
    PopupDialogManager& operator=(const PopupDialogManager&) = delete;

    // A window command, seen before the screens and the window handle it.
    void onCommand(int commandId);
    // Closes one dialog: the one on screen (the next one, or the running tour, follows) or a
    // queued one; anything else is ignored.
    void closeDialog(int dialogId);
    // Whether a dialog or a tour page is on screen.
    bool isPopupVisible() const;
    // Whether the grey-out overlay is shown; any thread.
    bool isGreyOutVisible() const { return greyOutShown_.load(); }

    // Render thread, when rendering starts: makes the (hidden) grey-out overlay.
    void createGreyOutButton();
    // Render thread, when rendering stops: drops the overlay and frees what was closed.
    void releaseGreyOutButton();

    // After every render pass: whether a visible widget is modal. The overlay follows it,
    // and what was closed since the last pass is freed.
    void onModalStateChanged(bool anyModal) override;
    // A widget offers itself as the anchor of a tour page (0..11); shows nothing by itself.
    void registerTutorialTarget(int page, int kind, Widget* anchor) override;

    // ---- the queue and the tour ----
    void openDialog(int dialogId);
    // Opens the dialog with a third line of text below its text (empty: none).
    void openDialog(int dialogId, const std::string& extraText);
    // Closes the dialogs that tell of a connection under way or being retried.
    void closeConnectionDialogs();
    void queueDialog(int dialogId, const DialogDescription& description, int priority);
    void closeAll();
    // Releases the form on screen when its text comes from a provider (it stays queued).
    void releaseCurrentForm();
    // Ends the tour when a tour page is on screen.
    void endTour();

    // ---- the catalogue (PopupDialogCatalogue.cpp) ----
    // The description of a dialog id with the current language's texts; ids without a
    // dialog give an empty one.
    DialogDescription commandDialog(int dialogId);
    // The page as the tour shows it, before its registration adds page, kind and anchor.
    TourPage tour(int page) const;
    static TourPage tour(int page, float uiScale, IPlayerWindow* window);

    // ---- read-outs ----
    ImageButton* greyOutButton() const { return greyOut_.get(); }
    PopupDialogForm* currentForm() const { return currentForm_.get(); }
    // The dialog whose form is on screen; -1 when none.
    int shownDialog() const;
    // Every queued dialog id, by priority and then in queue order.
    std::vector<int> queuedDialogs() const;
    TutorialPopup* tourPopup() const { return tourPopup_.get(); }
    bool isTourRunning() const { return tourRunning_; }
    int tourFirstPage() const { return tourFirstPage_; }
    int tourLastPage() const { return tourLastPage_; }
    // The registered page, or null.
    const TourPage* tourPage(int page) const;
    const std::map<std::int32_t, CommandTableRow>& commandTable() const { return commandTable_; }
    // Closed forms and callouts waiting for the next render pass to be freed.
    std::size_t retiredCount() const { return retired_.size(); }

private:
    void buildCommandTable();
    void addRow(int commandId, int action, int dialog);
    void runAction(int action);
    void showNext();
    bool findDialog(int dialogId, bool remove);
    void showTourPage();
    // The in-stream screen goes: the tour ends and the anchored pages are forgotten.
    void leaveStreamTour();
    // A tour page on screen gives way to a dialog; the tour goes on at that page later.
    void suspendTour();
    void closeGamepadSetupDialogs();
    void setOverlayVisible(bool visible);
    // Hides a form or callout at once; it is freed at the next render pass.
    void retire(std::shared_ptr<Widget> widget);
    void freeRetired();
    PlayerGUI* gui() const;

    std::map<std::int32_t, std::deque<QueuedDialog>> queue_;
    std::map<std::int32_t, TourPage> tourPages_;
    std::map<std::int32_t, CommandTableRow> commandTable_;
    std::shared_ptr<PopupDialogForm> currentForm_;
    std::int32_t currentPriority_ = 0;
    std::shared_ptr<ImageButton> greyOut_;
    std::shared_ptr<TutorialPopup> tourPopup_;
    bool modal_ = false;
    IPlayerWindow* window_;
    std::int32_t tourFirstPage_ = kSelectionFirstPage;
    std::int32_t tourLastPage_ = kSelectionLastPage;
    bool tourRunning_ = false;
    std::int32_t tourResumePage_ = -1;  // the page a suspended tour goes on at; -1: none
    std::vector<std::shared_ptr<Widget>> retired_;
    std::atomic<bool> greyOutShown_{false};
};
