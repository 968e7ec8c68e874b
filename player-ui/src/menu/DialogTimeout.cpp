#include "player-ui/menu/DialogTimeout.h"

#include "gui/Button.h"
#include "gui/PlayerGUI.h"
#include "player-ui/CustomUICommandHandler.h"
#include "player-ui/PopupTable.h"
#include "player-ui/UniqueDialogBaseUITask.h"

namespace {

constexpr int kZOrder = 1000;
constexpr int kCaptionLayout = 2;

}  // namespace

DialogTimeout::DialogTimeout(PlayerGUI* gui, CustomUICommandHandler* handler, const std::string& content,
                             const std::string& captionText, int yesCommand)
    : UniqueDialogBase(gui, kCaptionLayout), commandHandler(handler) {
    z = kZOrder;
    caption = content;
    value = captionText;
    build();
    setYesCommand(yesCommand);
    options = {{-1, "None"},        {5, "5 minutes"},  {10, "10 minutes"}, {20, "20 minutes"},
               {30, "30 minutes"},  {40, "40 minutes"}, {50, "50 minutes"}, {60, "60 minutes"}};
    for (const auto& option : options) {
        auto task = std::make_shared<UniqueDialogBaseUITask>(this, option.first);
        const int id = commandHandler ? commandHandler->registerTask(task) : 0;
        optionCommands[option.first] = id;
        auto item = std::make_shared<Button>(gui, option.second, id, gui->getDefaultFont());
        item->z = z;
        chooser->addItem(item.get(), true);
        items.push_back(std::move(item));
    }
}

DialogTimeout::~DialogTimeout() = default;

void DialogTimeout::setValue(std::int32_t minutes) {
    const auto it = options.find(minutes);
    setValueText(it != options.end() ? it->second : std::to_string(minutes));
}

void DialogTimeout::onValueChosen(std::int32_t minutes) {
    if (commandHandler)
        commandHandler->setValue(minutes);
    setValue(minutes);
}

void DialogTimeout::valueText(std::string& out, std::int32_t minutes) {
    const auto it = options.find(minutes);
    out = it != options.end() ? it->second : std::string();
}
