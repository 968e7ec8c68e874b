#pragma once
// The sign-in screen: logo, e-mail and password boxes, the remember box, the sign-in
// button, and links to the service's pages. Enter in any box (or the button) signs in.
//
// The remembered login is read into the boxes when the screen is entered and saved when
// the screen goes away (the boxes' texts when the remember box is ticked, removed when it is
// not) and after every successful sign-in with the box ticked. A screen that was never
// entered (replaced while still pending) saves nothing: its empty boxes say nothing about
// what the user wants.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gui/Widget.h"
#include "launcher/LauncherState.h"

class Button;
class CheckBox;
class Image;
class Static;
class TextEdit;
class LauncherLogonState;

// The sign-in button's task: posts a sign-in with the boxes' texts to the worker.
class GuiLoginTask : public PlayerGUITask {
public:
    GuiLoginTask(LauncherApi* api, LauncherLogonState* screen) : api_(api), screen_(screen) {}
    bool run() override;

private:
    LauncherApi* api_;
    LauncherLogonState* screen_;
};

class LauncherLogonState : public Widget, public LauncherState, public IListenerBase<LoginStateEvents> {
public:
    static constexpr int kEnterKey = 257;
    static constexpr int kPress = 1;

    LauncherLogonState(LauncherApp* window, PlayerGUI* gui);
    ~LauncherLogonState() override;

    void enter() override;
    void leave() override;
    bool onKey(GLFWwindow* window, int key, int scancode, int action, int mods) override;
    void update() override;
    using LauncherState::onEvent;
    void onEvent(LoginStateEvents event) override;
    void draw(AbstractGraphicsContext* context) override;
    const char* name() const override { return "sign-in"; }

    // On a thread that may touch the widgets (a click, or the render thread): the boxes'
    // texts, kept as what this screen's sign-in sent.
    void submit(std::string& login, std::string& password);
    // The window is going away without the user asking for it through the close box (Exit,
    // Escape): the boxes are not saved.
    void discardChanges() { saveOnDestroy_ = false; }

    TextEdit* loginBox() const { return loginBox_.get(); }
    TextEdit* passwordBox() const { return passwordBox_.get(); }
    CheckBox* rememberBox() const { return remember_.get(); }
    Button* signInButton() const { return signIn_.get(); }
    Static* forgotLink() const { return forgot_.get(); }
    Static* signUpLine() const { return signUp_.get(); }
    Image* logo() const { return logo_.get(); }

private:
    // The screen's own widget and all its children.
    std::vector<Widget*> children();

    std::shared_ptr<Image> logo_;
    std::shared_ptr<Static> title_;
    std::shared_ptr<Static> version_;
    std::shared_ptr<Static> loginLabel_;
    std::shared_ptr<Static> passwordLabel_;
    std::shared_ptr<TextEdit> loginBox_;
    std::shared_ptr<TextEdit> passwordBox_;
    std::shared_ptr<Static> forgot_;
    std::shared_ptr<CheckBox> remember_;
    std::shared_ptr<Button> signIn_;
    std::shared_ptr<Static> signUp_;

    std::atomic<bool> loginRequested_{false};
    bool entered_ = false;
    bool saveOnDestroy_ = true;

    // What the last sign-in of this screen sent, kept for the worker, which must not read
    // the widgets while the user may be typing.
    std::mutex submittedMutex_;
    bool submitted_ = false;
    std::string submittedLogin_;
    std::string submittedPassword_;
    bool submittedRemember_ = false;
};
