#pragma once
// Where the in-stream screen gets its overlay menu. The one place that names the menu's
// type: until the full overlay menu is built, a thin menu that keeps the open state and the
// values the screen sets.

#include <memory>

#include "player-ui/menu/IStreamMenu.h"

std::shared_ptr<IStreamMenu> createStreamMenu(IPlayerWindow& window, const StreamMenuVariables& variables,
                                              CustomUICommandHandler& handler);
