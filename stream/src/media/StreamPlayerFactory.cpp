#include "stream/session/IStreamPlayer.h"

#include <atomic>

#include "stream/media/PlayerVideoRSTPClient.h"

namespace {
std::atomic<IStreamPlayerFactory*> defaultStreamPlayerFactory{nullptr};
}

IStreamPlayerFactory* IStreamPlayerFactory::defaultFactory() {
    static PlayerVideoRSTPClientFactory rtspPlayers;
    IStreamPlayerFactory* factory = defaultStreamPlayerFactory.load();
    return factory ? factory : &rtspPlayers;
}

void IStreamPlayerFactory::setDefaultFactory(IStreamPlayerFactory* factory) {
    defaultStreamPlayerFactory.store(factory);
}
