#pragma once
// The context menu of a text edit: six fixed items (Undo, Cut, Copy, Paste, Delete, Select
// all), each enabled by the edit's state, chosen by a click or by its letter (U, X, C, P, D,
// A). Made by the edit on a right click, it takes the focus at once and deletes itself when it
// loses it; performing an item gives the focus back to the edit, which closes the menu.
//
// The labels are set once for the whole process (language texts) with setLabels().

#include "gui/Widget.h"

#include <cstdint>
#include <string>
#include <vector>

class TextEdit;

class PopMenu : public Widget {
public:
    static constexpr int kWidth = 231;
    static constexpr int kHeight = 159;
    static constexpr int kItemCount = 6;

    enum Item : int { ItemUndo = 0, ItemCut, ItemCopy, ItemPaste, ItemDelete, ItemSelectAll };

    // Opens at (x, y), to the left when x + 231 reaches 900 and upwards when y + 159 reaches
    // 450. The selection and cursor are the edit's at the moment of the click. Takes the focus.
    PopMenu(PlayerGUI* gui, TextEdit* owner, int x, int y, int selectionStart, int selectionEnd, int cursor);
    ~PopMenu() override;

    // The six labels in item order; shared by every menu of the process.
    static void setLabels(const std::string& undo, const std::string& cut, const std::string& copy,
                          const std::string& paste, const std::string& erase, const std::string& all);
    static std::vector<std::string> labels();

    // The item under a window point, -1 between the items or outside.
    int itemAt(int px, int py) const;
    bool isItemEnabled(int item) const;
    TextEdit* owner() const { return owner_; }
    bool canPasteAtOpen() const { return canPaste_ != 0; }

    // The edit is going away before the menu.
    void detachOwner() { owner_ = nullptr; }

    void onFocus() override;
    void onBlur() override;
    bool onMouseMove(int x, int y) override;
    bool onMouseDown(int button, int x, int y) override;
    bool onMouseUp(int button, int x, int y) override;
    bool onChar(unsigned codePoint) override;
    void draw(AbstractGraphicsContext* context) override;

private:
    // Runs the item on the edit and gives the focus back to it; the menu is deleted then and
    // the caller must not touch it afterwards.
    void perform(int item);

    unsigned char pressed_ = 0;
    TextEdit* owner_;
    int hoverX_ = -1;
    int hoverY_ = -1;
    int savedSelectionStart_;
    int savedSelectionEnd_;
    int savedCursor_;
    unsigned char actionDone_ = 0;
    unsigned char canPaste_ = 0;
    std::uint32_t textEnabled_ = 0xffffffff;
    std::uint32_t textDisabled_ = 0xff000000;
    std::vector<std::uint32_t> labels_[kItemCount];  // code points, copied when the menu opens
};
