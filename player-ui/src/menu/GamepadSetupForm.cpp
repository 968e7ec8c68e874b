#include "player-ui/menu/GamepadSetupForm.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/ImageButton.h"
#include "gui/PlayerGUI.h"
#include "player-ui/PlayerCommandIds.h"

#include <cstdint>

namespace {

constexpr int kCursorArrow = 0;
constexpr int kCursorHand = 2;
constexpr std::uint32_t kUntinted = 0xffffffffu;
constexpr Rect kClosePicture{52, 348, 32, 32};
constexpr Rect kNoPicture{-1, -1, -1, -1};
constexpr Rect kStickBase{1, 93, 128, 128};
constexpr Rect kStickKnob{391, 217, 64, 64};

// Button index, the command its click sends, its grey and its orange picture in the
// "gamepad" atlas. There is no index 8: the pad's second Back bit lights index 16.
struct ButtonPictures {
    int index;
    int command;
    Rect unlit;
    Rect lit;
};
constexpr ButtonPictures kButtons[] = {
    {0, 67, {323, 217, 66, 66}, {255, 217, 66, 66}},   // A
    {1, 68, {187, 285, 66, 66}, {187, 217, 66, 66}},   // B
    {2, 69, {187, 421, 66, 66}, {187, 353, 66, 66}},   // X
    {3, 70, {391, 149, 66, 66}, {323, 149, 66, 66}},   // Y
    {4, 71, {1, 47, 138, 44}, {281, 1, 138, 44}},      // left bumper
    {5, 72, {141, 1, 138, 44}, {1, 1, 138, 44}},       // right bumper
    {6, 73, {1, 387, 96, 39}, {1, 346, 96, 39}},       // left trigger
    {7, 74, {1, 305, 96, 39}, {1, 264, 96, 39}},       // right trigger
    {9, 75, {239, 47, 96, 39}, {141, 47, 96, 39}},     // Start
    {10, 76, {317, 285, 60, 60}, {255, 409, 60, 60}},  // left stick press
    {11, 77, {255, 347, 60, 60}, {255, 285, 60, 60}},  // right stick press
    {12, 78, {57, 428, 54, 74}, {1, 428, 54, 74}},     // D-pad up
    {13, 79, {131, 225, 54, 74}, {131, 149, 54, 74}},  // D-pad down
    {14, 80, {359, 93, 74, 54}, {283, 93, 74, 54}},    // D-pad left
    {15, 81, {207, 93, 74, 54}, {131, 93, 74, 54}},    // D-pad right
    {16, 82, {1, 223, 96, 39}, {337, 47, 96, 39}},     // Back
    {17, 83, {255, 149, 66, 66}, {187, 149, 66, 66}},  // Guide
};

enum ButtonIndex {
    kA = 0, kB = 1, kX = 2, kY = 3, kLeftBumper = 4, kRightBumper = 5, kLeftTrigger = 6, kRightTrigger = 7,
    kStart = 9, kLeftStickPress = 10, kRightStickPress = 11, kPadUp = 12, kPadDown = 13, kPadLeft = 14,
    kPadRight = 15, kBack = 16, kGuide = 17,
};

const ButtonPictures* picturesOf(int index) {
    for (const ButtonPictures& entry : kButtons)
        if (entry.index == index)
            return &entry;
    return nullptr;
}

float axisValue(std::uint8_t byte) { return float(int(byte) - 128) / 127.0f; }

void drawPicture(AbstractSurface* atlas, AbstractGraphicsContext* context, const Rect& picture, int x, int y, int w,
                 int h) {
    if (!atlas)
        return;
    context->setColor(kUntinted);
    atlas->draw(x, y, w, h, picture.x, picture.y, picture.width, picture.height);
}

void drawFocus(PlayerGUI* gui, AbstractGraphicsContext* context, Widget* widget) {
    if (gui->focusShown() && gui->focused() == widget)
        gui->drawFocusOverlay(context, widget->x, widget->y, widget->width, widget->height);
}

}  // namespace

// ---- JoystickWidget ----

JoystickWidget::JoystickWidget(PlayerGUI* gui, int command)
    : ButtonCommon(gui), command(command), atlas_(gui->getSurface("gamepad")) {
    setCommand(command);
    focusable = 1;
    width = kSize;
    height = kSize;
}

void JoystickWidget::onMouseEnter() {
    ButtonCommon::onMouseEnter();
    if (gui_->context())
        gui_->context()->setCursorShape(kCursorHand);
}

void JoystickWidget::onMouseLeave() {
    ButtonCommon::onMouseLeave();
    if (gui_->context())
        gui_->context()->setCursorShape(kCursorArrow);
}

void JoystickWidget::setStickX(float value) {
    if (value != stickX) {
        stickX = value;
        needsRedraw = 1;
    }
}

void JoystickWidget::setStickY(float value) {
    if (value != stickY) {
        stickY = value;
        needsRedraw = 1;
    }
}

Point JoystickWidget::knobPosition() const {
    return Point{x + int(0.5f * (stickX + 1.0f) * float(width - kKnobSize)),
                 y + int(0.5f * (1.0f - stickY) * float(height - kKnobSize))};
}

void JoystickWidget::draw(AbstractGraphicsContext* context) {
    drawPicture(atlas_, context, kStickBase, x, y, width, height);
    const Point knob = knobPosition();
    drawPicture(atlas_, context, kStickKnob, knob.x, knob.y, kKnobSize, kKnobSize);
    drawFocus(gui_, context, this);
}

// ---- GamepadButtonWidget ----

GamepadButtonWidget::GamepadButtonWidget(PlayerGUI* gui, int index, int command)
    : ButtonCommon(gui), index(index), command(command), atlas_(gui->getSurface("gamepad")) {
    if (const ButtonPictures* entry = picturesOf(index)) {
        unlitPicture = entry->unlit;
        litPicture = entry->lit;
    }
    setCommand(command);
    focusable = 1;
    width = unlitPicture.width;
    height = unlitPicture.height;
}

void GamepadButtonWidget::onMouseEnter() {
    ButtonCommon::onMouseEnter();
    if (gui_->context())
        gui_->context()->setCursorShape(kCursorHand);
}

void GamepadButtonWidget::onMouseLeave() {
    ButtonCommon::onMouseLeave();
    if (gui_->context())
        gui_->context()->setCursorShape(kCursorArrow);
}

void GamepadButtonWidget::setLit(bool value) {
    if (value != lit) {
        lit = value;
        needsRedraw = 1;
    }
}

void GamepadButtonWidget::draw(AbstractGraphicsContext* context) {
    const Rect& picture = lit ? litPicture : unlitPicture;
    drawPicture(atlas_, context, picture, x, y, picture.width, picture.height);
    drawFocus(gui_, context, this);
}

// ---- GamepadSetupForm ----

GamepadSetupForm::GamepadSetupForm(PlayerGUI* gui)
    : Widget(gui), fill_(gui->getColor("player-button-main-default")) {
    modal = 1;
    visible = 0;
    horizontalAlign = 3;
    verticalAlign = 3;
    width = kWidth;
    height = kHeight;
    closeButton = std::make_shared<ImageButton>(gui, kCommandCloseGamepadSetup, gui->getSurface("images"),
                                                kClosePicture, kNoPicture, kNoPicture, kNoPicture);
    closeButton->setBackground(ImageButton::BackgroundTint, gui->getColor("player-button-exit-default"),
                               gui->getColor("player-button-exit-hover"), gui->getColor("player-button-exit-default"));
    leftStick = std::make_shared<JoystickWidget>(gui, kCommandGamepadDetectFirst);
    rightStick = std::make_shared<JoystickWidget>(gui, kCommandGamepadDetectFirst + 1);
    for (const ButtonPictures& entry : kButtons)
        buttons[entry.index] = std::make_shared<GamepadButtonWidget>(gui, entry.index, entry.command);
    onVisibilityChanged();
}

GamepadSetupForm::~GamepadSetupForm() = default;

GamepadButtonWidget* GamepadSetupForm::button(int index) const {
    const auto it = buttons.find(index);
    return it == buttons.end() ? nullptr : it->second.get();
}

void GamepadSetupForm::setVisible(bool show) {
    if (show == (visible != 0))
        return;
    gui_->setVisible(this, show);
}

void GamepadSetupForm::onVisibilityChanged() {
    const bool show = visible != 0;
    gui_->setVisible(leftStick.get(), show);
    gui_->setVisible(rightStick.get(), show);
    gui_->setVisible(closeButton.get(), show);
    for (auto& b : buttons)
        gui_->setVisible(b.second.get(), show);
}

void GamepadSetupForm::propagateZOrder() {
    leftStick->z = z;
    rightStick->z = z;
    closeButton->z = z;
    for (auto& b : buttons)
        b.second->z = z;
}

bool GamepadSetupForm::arrange(AbstractGraphicsContext*) {
    const int X = x, Y = y, W = width, H = height;
    auto place = [](Widget* w, int px, int py) {
        w->x = px;
        w->y = py;
    };
    Widget* lt = button(kLeftTrigger);
    Widget* rt = button(kRightTrigger);
    Widget* lb = button(kLeftBumper);
    Widget* rb = button(kRightBumper);
    Widget* padLeft = button(kPadLeft);
    const int b0 = Y + rt->height + rb->height + 20;
    const int d0 = b0 + 120;
    place(lt, X + 62, Y + 20);
    place(rt, X + W - 62 - rt->width, Y + 20);
    place(lb, X + 20, Y + rt->height + 25);
    place(rb, X + W - 20 - rb->width, Y + rt->height + 25);
    place(button(kX), X + W - 200, b0 + 90);
    place(button(kY), X + W - 140, b0 + 30);
    place(button(kA), X + W - 140, b0 + 150);
    place(button(kB), X + W - 80, b0 + 90);
    place(padLeft, X + 90 - padLeft->width, d0 - padLeft->height / 2);
    place(button(kPadUp), X + 100 - padLeft->height / 2, d0 - padLeft->width - 10);
    place(button(kPadDown), X + 100 - padLeft->height / 2, d0 + 10);
    place(button(kPadRight), X + 110, d0 - padLeft->height / 2);
    place(leftStick.get(), X + 20, Y + H - 20 - leftStick->height);
    place(rightStick.get(), X + W - 20 - rightStick->width, Y + H - 20 - rightStick->height);
    Widget* lsp = button(kLeftStickPress);
    Widget* rsp = button(kRightStickPress);
    place(lsp, X + leftStick->width + 50, Y + H - 20 - leftStick->height / 2 - lsp->height);
    place(rsp, X + W - 50 - leftStick->width - rsp->width, Y + H - 20 - leftStick->height / 2 - rsp->height);
    Widget* back = button(kBack);
    Widget* start = button(kStart);
    Widget* guide = button(kGuide);
    place(back, X + W / 2 - 10 - back->width, Y + H / 2 - 50 - back->height);
    place(start, X + W / 2 + 10, Y + H / 2 - 50 - start->height);
    place(guide, X + W / 2 - guide->width / 2, Y + H / 2 - guide->height / 2);
    place(closeButton.get(), X + W, Y - 25);
    return !layoutDirty;
}

bool GamepadSetupForm::tick(double) {
    if (!device.takeChanged())
        return false;
    showState(device.shownState());
    return true;
}

void GamepadSetupForm::showState(const GamepadState& state) {
    const std::uint64_t mask = state.buttons;
    auto bit = [mask](int n) { return ((mask >> n) & 1u) != 0; };
    for (int index : {kA, kB, kX, kY, kLeftStickPress, kRightStickPress, kLeftBumper, kRightBumper, kStart,
                      kPadDown, kPadLeft, kPadRight, kPadUp, kGuide})
        button(index)->setLit(bit(index));
    // The pad reports Back on either of two bits.
    button(kBack)->setLit(bit(16) || bit(8));
    leftStick->setStickX(axisValue(state.axes[0]));
    leftStick->setStickY(axisValue(state.axes[1]));
    rightStick->setStickX(axisValue(state.axes[3]));
    rightStick->setStickY(axisValue(state.axes[4]));
    button(kLeftTrigger)->setLit(axisValue(state.axes[10]) > 0.0f);
    button(kRightTrigger)->setLit(axisValue(state.axes[11]) > 0.0f);
}

void GamepadSetupForm::draw(AbstractGraphicsContext* context) {
    context->setColor(fill_.value());
    gui_->fillRect(context, x, y, width, height);
}
