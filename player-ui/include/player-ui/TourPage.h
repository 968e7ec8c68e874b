#pragma once
// One page of the guided tour: what its callout says, where it points, and the tasks it runs
// when it comes on screen and when the user skips the rest of the tour. A value record: the
// popup dialog manager builds one per registered page (PopupDialogManager::tour) and every
// callout gets its own copy.
//
// Placement kinds: 0 no anchor (centred in the window), 1 above the anchor, 2 below it,
// 3 to its right, 4 to its left. A page of kinds 1 to 4 without an anchor is placed as kind 0.

#include "core/TaskBase.h"

#include <cstdint>
#include <string>

class Widget;

struct TourPage {
    enum Kind { kCentred = 0, kAbove = 1, kBelow = 2, kRight = 3, kLeft = 4 };

    std::int32_t page = 0;
    std::int32_t kind = kCentred;
    Widget* anchor = nullptr;  // not owned
    std::string caption;
    std::string text;
    std::string buttonText;
    bool showArrow = true;
    // The page counter at the bottom left ("2 of 5"); empty hides the skip link too.
    std::string leftText;
    TaskPtr onShowTask;
    TaskPtr skipTask;
    std::int32_t contentWidth = 850;
    // 1: placed beside the anchor on both axes; 0: only vertically, centred horizontally.
    std::int32_t besideAnchor = 0;
    std::int32_t offsetY = 0;
    std::int32_t offsetX = 0;
    float uiScale = 1.0f;

    // The kind the callout is placed by: kCentred when the page has no anchor.
    std::int32_t placement() const { return anchor ? kind : std::int32_t(kCentred); }
};
