#pragma once
// What a message dialog shows: a caption, a body text, an optional third text and a row of
// buttons, each with its label, an optional colour and width, and the task its click runs.
// A value record: the popup dialog manager copies it into its queue and builds a
// PopupDialogForm from it when the dialog comes on screen.

#include "gui/Color.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TaskBase;

// Supplies a dialog's body text while it changes. The form asks every frame and shows the
// dialog's buttons once the text is final.
class DialogTextProvider {
public:
    virtual ~DialogTextProvider() = default;
    // Fills out with the text to show; true while it is still changing, false when final.
    virtual bool getText(std::string& out) = 0;
};

struct DialogButtonDescription {
    Color colour;
    bool hasColour = false;
    std::int32_t width = 0;  // 0: the toolkit's default button width
    std::string text;
    // Run by the click; null: the button does nothing. Buttons that close their own dialog
    // carry the popup dialog manager's close task (CloseDynamicPopupDialogTask).
    std::shared_ptr<TaskBase> task;
};

struct DialogDescription {
    std::int32_t buttonAlignment = 2;  // of the button row in its cell: 1 start, 2 end, 3 centre
    std::string caption;
    std::string text;
    std::string extraText;  // shown below the text when not empty
    std::vector<DialogButtonDescription> buttons;  // left to right
    std::shared_ptr<DialogTextProvider> textProvider;

    // Appends a button whose click sends commandId to the window (a GUICommandTask); 0 gives
    // a button without a task. Returns the new button, to set its look.
    DialogButtonDescription& addButton(const std::string& text, int commandId);
    // Appends a button whose click runs task (null: nothing).
    DialogButtonDescription& addButton(const std::string& text, std::shared_ptr<TaskBase> task);
};
