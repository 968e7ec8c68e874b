#include "launcher/LauncherLogonState.h"

#include <algorithm>

#include "core/LanguageStore.h"
#include "core/ThreadPool.h"
#include "gui/Button.h"
#include "gui/CheckBox.h"
#include "gui/Image.h"
#include "gui/PlayerGUI.h"
#include "gui/RichText.h"
#include "gui/Static.h"
#include "gui/TextEdit.h"
#include "launcher/LauncherApp.h"
#include "launcher/LauncherReadyState.h"
#include "launcher/LauncherSocialLoginWaitState.h"
#include "launcher/LauncherWaitActivateState.h"
#include "webapi/ClientAPIJson.h"
#include "webapi/OpenURLTask.h"

namespace {

constexpr int kBoxWidth = 270;
constexpr int kBoxHeight = 50;
constexpr int kLogoTop = 40;

std::shared_ptr<PlayerGUITask> openPageOnClick(LauncherApi& api, const std::string& url) {
    return std::make_shared<LauncherClickTask>(api.makeOpenUrlTask(url, OpenURLTask::Browser));
}

}  // namespace

bool GuiLoginTask::run() {
    std::string login, password;
    screen_->submit(login, password);
    api_->postLogin(login, password);
    return true;
}

LauncherLogonState::LauncherLogonState(LauncherApp* window, PlayerGUI* gui)
    : Widget(gui), LauncherState(window, gui) {
    const LanguageStore& text = LanguageStore::instance();
    const Color white = gui->getColor("white");
    LauncherApi& api = window->api();
    width = screenWidth;
    height = screenHeight;
    ignoreMouse = 1;

    logo_ = std::make_shared<Image>(gui, gui->getSurface("logo"), openPageOnClick(api, getServiceBaseUrl()));
    title_ = std::make_shared<Static>(gui, text.text("text_signin"), 2, gui->getFont("signin-big-bold"), white);
    title_->width = kBoxWidth;
    title_->invalidate();
    version_ = makeVersionLabel(gui);
    loginLabel_ = std::make_shared<Static>(gui, text.text("text_labellogin"), 0, gui->getFont("small"), white);
    passwordLabel_ = std::make_shared<Static>(gui, text.text("text_password"), 0, gui->getFont("small"), white);
    loginBox_ = std::make_shared<TextEdit>(gui, gui->getFont("launcher-edit-boxes"), white, false);
    passwordBox_ = std::make_shared<TextEdit>(gui, gui->getFont("launcher-edit-boxes"), white, true);
    for (TextEdit* box : {loginBox_.get(), passwordBox_.get()}) {
        box->width = kBoxWidth;
        box->height = kBoxHeight;
    }
    forgot_ = std::make_shared<Static>(gui, text.text("text_forgot_pwd"), 0, gui->getFont("launcher-small"), white,
                                       Static::kWholeLabelLink, openPageOnClick(api, getServiceBaseUrl() + "/"));
    remember_ = std::make_shared<CheckBox>(gui, text.text("text_remember"), 0, gui->getFont("launcher-small"));
    // Enter signs in from anywhere on the screen. Had it also toggled the box that was
    // ticked last (and so has the focus), the login would be forgotten by the very key
    // that sent it.
    remember_->setEnterToggles(false);
    signIn_ = std::make_shared<Button>(gui, text.text("text_login"), 0, gui->getFont("signin-bold"));
    signIn_->setCommandTask(std::make_shared<GuiLoginTask>(&api, this));
    signIn_->setColor(gui->getColor("so-green-idle"));
    signIn_->setHoverColor(gui->getColor("so-green-hover"));
    signIn_->width = kBoxWidth;
    signIn_->height = kBoxHeight;

    RichText signUp(RichTextCentre);
    signUp.addSpan(TextSpan(text.text("text_dont_have_account"), gui->getFont("launcher-small"), white));
    signUp.addSpan(TextSpan(" ", gui->getFont("launcher-small"), white));
    signUp.addSpan(TextSpan(text.text("text_signup"), gui->getFont("signin-small-bold"), white, TextSpan::kLink,
                            openPageOnClick(api, getServiceBaseUrl() + "/")));
    signUp_ = std::make_shared<Static>(gui, signUp, true);
    signUp_->width = kBoxWidth;
    signUp_->invalidate();

    window->api().addLoginListener(this);

    setVisible(gui, children(), false);
}

LauncherLogonState::~LauncherLogonState() {
    window->api().removeLoginListener(this);
    if (entered_ && saveOnDestroy_) {
        if (remember_->isChecked())
            window->setUserLogonData(loginBox_->getText(), passwordBox_->getText(), true);
        else
            window->setUserLogonData(std::string(), std::string(), false);
    }
    window->restoreArrowCursor();
}

void LauncherLogonState::enter() {
    window->api().reset();
    std::string login, password;
    const bool remember = window->getUserLogonData(login, password);
    window->setLoggedIn(false);
    loginBox_->setText(login, nullptr, Color());
    passwordBox_->setText(password, nullptr, Color());
    remember_->setChecked(remember);
    screenGui_->setFocus(loginBox_.get(), 0);
    if (!isVisible()) setVisible(screenGui_, children(), true);
    entered_ = true;
}

void LauncherLogonState::leave() {}

std::vector<Widget*> LauncherLogonState::children() {
    return {this,           logo_.get(),    title_.get(),   version_.get(), loginLabel_.get(), passwordLabel_.get(),
            loginBox_.get(), passwordBox_.get(), forgot_.get(), remember_.get(), signIn_.get(),     signUp_.get()};
}

bool LauncherLogonState::onKey(GLFWwindow*, int key, int, int action, int) {
    if (key == kEnterKey && action == kPress) loginRequested_.store(true);
    return true;
}

void LauncherLogonState::update() {
    if (!loginRequested_.exchange(false)) return;
    auto task = std::make_shared<GuiLoginTask>(&window->api(), this);
    ThreadPool::execute(task.get());
}

void LauncherLogonState::submit(std::string& login, std::string& password) {
    login = loginBox_->getText();
    password = passwordBox_->getText();
    std::lock_guard<std::mutex> lock(submittedMutex_);
    submitted_ = true;
    submittedLogin_ = login;
    submittedPassword_ = password;
    submittedRemember_ = remember_->isChecked();
}

void LauncherLogonState::onEvent(LoginStateEvents event) {
    LauncherApi& api = window->api();
    if (event == UserChanged) {
        const UserInfo user = api.getUser();
        {
            std::lock_guard<std::mutex> lock(submittedMutex_);
            if (submitted_ && submittedRemember_)
                window->setUserLogonData(submittedLogin_, submittedPassword_, true);
        }
        PlayerGUILock lock(screenGui_);
        if (user.active) {
            window->setState(new LauncherReadyState(window, screenGui_, user.accessToken));
        } else {
            window->setState(new LauncherWaitActivateState(window, screenGui_, user));
            api.openUrl(activationPageUrl(user.accessToken), OpenURLTask::Browser);
        }
        return;
    }
    if (event == SocialLoginInfoChanged) {
        const SocialLoginInfo info = api.getSocialLoginInfo();
        if (info.url.empty() || info.customToken.empty()) return;
        PlayerGUILock lock(screenGui_);
        window->setState(new LauncherSocialLoginWaitState(window, screenGui_));
        api.openUrl(info.url, OpenURLTask::Browser);
    }
}

void LauncherLogonState::draw(AbstractGraphicsContext*) {
    const int W = screenWidth;
    logo_->x = (W - logo_->width) / 2;
    logo_->y = kLogoTop;
    title_->width = kBoxWidth;
    title_->x = (W - title_->width) / 2;
    title_->y = logo_->height + 63;

    loginBox_->width = kBoxWidth;
    loginBox_->height = kBoxHeight;
    loginLabel_->x = (W - loginBox_->width) / 2;
    loginLabel_->y = logo_->height + title_->height + 68;
    loginBox_->x = loginLabel_->x;
    loginBox_->y = loginLabel_->y + loginLabel_->height + 5;

    passwordLabel_->x = loginLabel_->x;
    passwordLabel_->y = loginBox_->y + loginBox_->height + 5;
    passwordBox_->width = kBoxWidth;
    passwordBox_->height = kBoxHeight;
    passwordBox_->x = (W - passwordBox_->width) / 2;
    passwordBox_->y = passwordLabel_->y + 5 + passwordLabel_->height;

    const int a = W / 2 - kBoxWidth / 2;
    forgot_->x = a;
    forgot_->y = passwordBox_->y + passwordBox_->height + 11;
    remember_->x = a + kBoxWidth - remember_->width;
    remember_->y = forgot_->y;

    signIn_->x = a;
    signIn_->y = forgot_->y + std::max(forgot_->height, remember_->height) + 17;
    signIn_->width = kBoxWidth;
    signIn_->height = kBoxHeight;

    signUp_->x = a;
    signUp_->y = signIn_->y + signIn_->height + 19;
    signUp_->width = kBoxWidth;

    placeVersionLabel(*version_, W, screenHeight);
}
