#pragma once
// Where the in-stream screen gets its overlay menu: the one place that names the menu's type,
// so the screen itself depends only on the menu's interfaces.

#include <memory>

#include "player-ui/menu/IStreamMenu.h"

std::shared_ptr<IStreamMenu> createStreamMenu(IPlayerWindow& window, const StreamMenuVariables& variables,
                                              CustomUICommandHandler& handler);
