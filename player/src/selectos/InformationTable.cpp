#include "player/selectos/InformationTable.h"

#include <algorithm>

#include "core/LanguageStore.h"
#include "gui/Button.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "player-ui/IPlayerWindow.h"
#include "player-ui/PlayerCommandIds.h"
#include "player-ui/PostMessageUITask.h"
#include "webapi/ClientState.h"
#include "webapi/OpenURLTask.h"
#include "webapi/PlayerApi.h"

#include "selectos/PlayerApiPostTask.h"

namespace {
constexpr int kTextWidth = 750;
}  // namespace

InformationTable::InformationTable(IPlayerWindow* window) : Table(window->playerGUI(), 1, 2), window_(window) {
    PlayerGUI* gui = gui_;
    contentBlock_ = std::make_shared<Table>(gui, 1, 2);
    titleLabel_ = std::make_shared<Static>(gui, "none", 0, gui->getFont("selectos-title"));
    textLabel_ = std::make_shared<Static>(gui, "none", 2, gui->getFont("selectos-caption"));
    textLabel_->setSizeLimits(0, 0, kTextWidth, 0);
    textLabel_->invalidate();
    gui->setVisible(this, false);
    gui->setVisible(titleLabel_.get(), false);
    gui->setVisible(textLabel_.get(), false);
    gui->setVisible(contentBlock_.get(), false);
}

InformationTable::~InformationTable() = default;

void InformationTable::setError(const std::string& title, const std::string& text) {
    errorTitle_ = title;
    errorText_ = text;
}

bool InformationTable::tick(double) {
    takeMessage();
    buildContent();
    if (closeRequested) {
        releaseContent();
        contentShown = false;
        closeRequested = false;
        if (reconnectOnClose) {
            reconnectOnClose = false;
            window_->postCommand(kCommandStartConnectionCheck);
        }
    }
    return true;
}

void InformationTable::takeMessage() {
    MessageInfo message;
    ClientState& model = window_->clientState();
    if (!model.getFirstMessage(message)) return;
    if (std::find(seenMessageIds_.begin(), seenMessageIds_.end(), message.id) != seenMessageIds_.end()) return;
    seenMessageIds_.push_back(message.id);

    PlayerApi* api = &window_->playerApi();
    MessageEntry entry;
    entry.id = message.id;
    entry.title = message.title;
    entry.body = message.body;
    // Each step is queued on the facade's single worker in turn, so they run in this order.
    const auto onWorker = [api](TaskPtr task) { return std::make_shared<PlayerApiPostTask>(api, std::move(task)); };
    for (const ::MessageAction& action : message.actions) {
        TaskPtr head = std::make_shared<SuccessTask>();
        head->addOnSuccess(onWorker(api->makeDismissMessageTask(message.id)));
        if (!action.url.empty()) head->addOnSuccess(onWorker(api->makeOpenUrlTask(action.url, OpenURLTask::Browser)));
        if (!action.urlGet.empty()) head->addOnSuccess(onWorker(api->makeOpenUrlTask(action.urlGet, OpenURLTask::Get)));
        if (!action.urlPost.empty())
            head->addOnSuccess(onWorker(api->makeOpenUrlTask(action.urlPost, OpenURLTask::Post)));
        head->addOnSuccess(onWorker(api->makeGetMessagesTask()));
        head->addOnSuccess(onWorker(std::make_shared<PostMessageUITask>(window_, kCommandRestorePanels)));
        entry.actions.push_back(MessageAction{action.text, std::move(head)});
    }
    pendingMessages_.push_back(std::move(entry));
}

void InformationTable::buildContent() {
    if (contentShown) return;
    std::string title, text;
    if (pendingMessages_.empty()) {
        if (errorTitle_.empty() && errorText_.empty()) return;
        title = errorTitle_;
        text = errorText_;
        buttons_.push_back(makeButton(LanguageStore::instance().text("button_ok"),
                                      std::make_shared<PostMessageUITask>(window_, kCommandExit)));
    } else {
        MessageEntry entry = std::move(pendingMessages_.front());
        pendingMessages_.pop_front();
        title = entry.title;
        text = entry.body;
        for (MessageAction& action : entry.actions) buttons_.push_back(makeButton(action.text, action.chain));
    }

    titleLabel_->setText(title);
    titleLabel_->invalidate();
    textLabel_->setText(text);
    textLabel_->invalidate();
    contentBlock_->setCell(0, 0, titleLabel_.get());
    contentBlock_->setCell(0, 1, textLabel_.get());
    contentBlock_->setAllCellsAlignment(AlignCentre, AlignCentre);
    contentBlock_->setSpacing(0, contentSpacing_);
    contentBlock_->invalidate();

    buttonsBlock_ = std::make_shared<Table>(gui_, unsigned(buttons_.size()), 1);
    for (std::size_t i = 0; i < buttons_.size(); ++i) buttonsBlock_->setCell(unsigned(i), 0, buttons_[i].get());
    buttonsBlock_->setAllCellsAlignment(AlignCentre, AlignCentre);
    // The gap is the one between the buttons' frames, which reach beyond their rectangles.
    buttonsBlock_->setSpacing(Button::framedSpacing(kButtonSpacing), 0);
    buttonsBlock_->invalidate();

    setCell(0, 0, contentBlock_.get());
    setCell(0, 1, buttonsBlock_.get());
    setAllCellsAlignment(AlignCentre, AlignCentre);
    setSpacing(0, blockSpacing_);
    horizontalAlign = 3;
    verticalAlign = 3;
    propagateZOrder();
    onVisibilityChanged();
    invalidate();
    contentShown = true;
}

std::shared_ptr<Button> InformationTable::makeButton(const std::string& text, TaskPtr task) {
    auto button = std::make_shared<Button>(gui_, text, kCommandNone, gui_->getFont("selectos-title"));
    button->setColor(gui_->getColor("transparent"));
    button->setHoverColor(gui_->getColor("white"));
    button->setHoverTextColor(gui_->getColor("so-blue-hover"));
    button->filledLook = 1;
    button->setCommandTask(std::move(task));
    // Action texts come from the service and may be longer than the default width holds:
    // the button grows to its text, measured with the font it draws with.
    button->fitContent(gui_->context(), kButtonTextMargin);
    return button;
}

void InformationTable::releaseContent() {
    setCell(0, 0, nullptr);
    setCell(0, 1, nullptr);
    buttonsBlock_.reset();
    buttons_.clear();
    invalidate();
}

void InformationTable::onVisibilityChanged() {
    const bool v = visible != 0;
    gui_->setVisible(titleLabel_.get(), v);
    gui_->setVisible(textLabel_.get(), v);
    gui_->setVisible(contentBlock_.get(), v);
    if (buttonsBlock_) gui_->setVisible(buttonsBlock_.get(), v);
    for (const auto& b : buttons_) gui_->setVisible(b.get(), v);
}

void InformationTable::propagateZOrder() {
    for (Widget* w : {static_cast<Widget*>(titleLabel_.get()), static_cast<Widget*>(textLabel_.get()),
                      static_cast<Widget*>(contentBlock_.get()), static_cast<Widget*>(buttonsBlock_.get())})
        if (w) w->z = z;
    for (const auto& b : buttons_) b->z = z;
}
