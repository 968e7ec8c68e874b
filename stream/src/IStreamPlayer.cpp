#include "stream/IStreamPlayer.h"

#include <atomic>

namespace {
std::atomic<IStreamPlayerFactory*> defaultStreamPlayerFactory{nullptr};
}

IStreamPlayerFactory* IStreamPlayerFactory::defaultFactory() { return defaultStreamPlayerFactory.load(); }

void IStreamPlayerFactory::setDefaultFactory(IStreamPlayerFactory* factory) {
    defaultStreamPlayerFactory.store(factory);
}
