#pragma once
// The player window's dialog and guided-tour controller, in its first, minimal form: it
// receives every window command first (and reacts to none yet), owns the grey-out overlay
// (a window-covering translucent button that dims the stream while a modal widget is
// shown; a click on it sends kCommandGreyOutClicked), and is the window GUI's
// IGUIPopupManager. The dialogs of the catalogue, their queue and the tour replace this.
//
// Threads: onCommand on the main thread inside the window's command dispatch;
// createGreyOutButton, releaseGreyOutButton and onModalStateChanged on the render thread;
// all under the window's GUI lock, which serialises them.

#include <memory>

#include "gui/PlayerGUI.h"

class IPlayerWindow;
class ImageButton;
class Widget;

class PopupDialogManager : public IGUIPopupManager {
public:
    explicit PopupDialogManager(IPlayerWindow* window);
    ~PopupDialogManager();

    PopupDialogManager(const PopupDialogManager&) = delete;
    PopupDialogManager& operator=(const PopupDialogManager&) = delete;

    // A window command, seen before the screens and the window handle it. The answer is
    // not consulted by the window.
    void onCommand(int commandId);
    // Whether a dialog or a tour page is on screen.
    bool isPopupVisible() const;

    // Render thread, when rendering starts: makes the (hidden) grey-out overlay.
    void createGreyOutButton();
    // Render thread, when rendering stops: drops the overlay.
    void releaseGreyOutButton();

    // After every render pass: whether a visible widget is modal. The overlay follows it.
    void onModalStateChanged(bool anyModal) override;
    // A widget offers itself as the anchor of a tour page; the tour is not built yet.
    void registerTutorialTarget(int page, int kind, Widget* anchor) override;

    ImageButton* greyOutButton() const { return greyOut_.get(); }

private:
    IPlayerWindow* window_;
    std::shared_ptr<ImageButton> greyOut_;
    bool modal_ = false;
};
