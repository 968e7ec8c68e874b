#include "stream/StreamMenuFactory.h"

#include "player-ui/menu/Menu.h"

std::shared_ptr<IStreamMenu> createStreamMenu(IPlayerWindow& window, const StreamMenuVariables& variables,
                                              CustomUICommandHandler& handler) {
    return std::make_shared<Menu>(&window, variables, &handler);
}
