#include "player/selectos/LoadingTable.h"

#include "core/FormatString.h"
#include "core/LanguageStore.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "player-ui/IPlayerWindow.h"
#include "webapi/ClientState.h"
#include "webapi/PlayerApi.h"

#include "selectos/SelectOsMachine.h"

namespace {

// Top-left corners in the "animation" atlas, in playing order.
constexpr int kFrameCorners[][2] = {
    {125, 265}, {63, 265},  {1, 397},   {1, 331},   {1, 265},   {1, 199},   {1, 133},  {1, 67},
    {1, 1},     {125, 199}, {125, 133}, {435, 67},  {373, 67},  {311, 67},  {249, 67}, {187, 67},
    {125, 67},  {63, 397},  {63, 331},  {63, 199},  {63, 133},  {63, 67},   {435, 1},  {373, 1},
    {311, 1},   {249, 1},   {187, 1},   {125, 1},   {63, 1},
};
constexpr int kPanelZ = -200;

std::string text(const char* key) { return LanguageStore::instance().text(key); }

}  // namespace

LoadingAnimation::LoadingAnimation(PlayerGUI* gui) : FramingAnimation(gui) {
    setFrameInterval(kFrameIntervalMs);
    z = kPanelZ;
}

bool LoadingAnimation::loadFrames() {
    AbstractSurface* atlas = gui_->getSurface("animation");
    frames_.clear();
    for (const auto& corner : kFrameCorners)
        frames_.push_back(Frame{atlas, corner[0], corner[1], kFrameWidth, kFrameHeight});
    // The cell needs the size before the first frame is shown.
    width = kFrameWidth;
    height = kFrameHeight;
    return true;
}

LoadingTable::LoadingTable(IPlayerWindow* window) : Table(window->playerGUI(), 1, 3), window_(window) {
    PlayerGUI* gui = gui_;
    // Looked up once: the status line is compared with them every frame.
    pullingText_ = text("text_selectos_pulling_acc");
    for (const char* state : {"Creating", "Deleting", "Starting", "Stopping", ""})
        statusTexts_.push_back(LanguageStore::instance().text(statusKeyForState(state)));
    statusLabel_ = std::make_shared<Static>(gui, text("text_select_os_loading"), 0, gui->getFont("selectos-title"));
    animation_ = std::make_shared<LoadingAnimation>(gui);
    tipLabel_ = std::make_shared<Static>(gui, ".", 0, gui->getFont("selectos-info"));

    setCell(0, 0, statusLabel_.get());
    setCell(0, 1, animation_.get());
    setCell(0, 2, tipLabel_.get());
    setAllCellsAlignment(AlignCentre, AlignCentre);
    setSpacing(0, rowSpacing_);
    horizontalAlign = 3;
    verticalAlign = 3;
    invalidate();

    animation_->start(true);
    requestTip();
}

LoadingTable::~LoadingTable() = default;

void LoadingTable::requestTip() {
    PlayerApi& api = window_->playerApi();
    api.post(api.makeGetTipTask());
}

void LoadingTable::setStatus(const std::string& status) {
    statusLabel_->setText(status);
    statusLabel_->invalidate();
}

const std::string& LoadingTable::statusText(const std::string& serverState) const {
    if (serverState == "Creating") return statusTexts_[0];
    if (serverState == "Deleting") return statusTexts_[1];
    if (serverState == "Starting") return statusTexts_[2];
    if (serverState == "Stopping") return statusTexts_[3];
    return statusTexts_[4];
}

std::string LoadingTable::statusKeyForState(const std::string& serverState) {
    if (serverState == "Creating") return "text_select_os_creating";
    if (serverState == "Deleting") return "text_select_os_deleted";
    if (serverState == "Starting") return "text_select_os_starting";
    if (serverState == "Stopping") return "text_select_os_stopping";
    return "text_select_os_loading";
}

bool LoadingTable::tick(double) {
    if (!visible) return false;
    ClientState& model = window_->clientState();
    if (statusLabel_->currentText() != pullingText_) {
        DesktopInfo machine;
        if (selectos::shownMachine(model, machine)) {
            const std::string& status = statusText(machine.state);
            if (status != statusLabel_->currentText()) setStatus(status);
        }
    }
    if (!tipShown_) {
        const std::string tip = model.getTip();
        if (!tip.empty()) {
            tipShown_ = true;
            requestTip();
            tipLabel_->setText(formatString(text("text_select_os_tip"), tip.c_str()));
            tipLabel_->invalidate();
        }
    }
    return false;
}

void LoadingTable::onVisibilityChanged() {
    const bool v = visible != 0;
    gui_->setVisible(statusLabel_.get(), v);
    gui_->setVisible(animation_.get(), v);
    gui_->setVisible(tipLabel_.get(), v);
    tipShown_ = false;
}

void LoadingTable::propagateZOrder() {
    statusLabel_->z = z;
    animation_->z = z;
    tipLabel_->z = z;
}
