#include "shell/UiScale.h"

#include <atomic>
#include <ctime>

#include "core/ConfigStore.h"
#include "platform/DesktopSettings.h"

namespace {
std::atomic<float> g_uiScale{1.0f};
std::atomic<int> g_uiDpi{96};
}  // namespace

float getUiScale() { return g_uiScale.load(); }
void setUiScale(float scale) { g_uiScale.store(scale); }
int getUiDpi() { return g_uiDpi.load(); }
void setUiDpi(int dpi) { g_uiDpi.store(dpi); }

float computeUiScale(const ConfigStore& config, const std::function<int()>& desktopDpi) {
    const float s = config.get<float>("General.Scale", "1.0");
    if (s > 1.5f) return 1.5f;
    if (s > 0.0f) return s;
    const int dpi = desktopDpi ? desktopDpi() : 0;
    if (dpi == 0) return 1.0f;
    if (dpi <= 116) return 1.0f;
    if (dpi <= 138) return 1.25f;
    return 1.5f;
}

float computeUiScale() { return computeUiScale(ConfigStore::instance(), [] { return platform::desktopDpi(); }); }

int dpiForUiScale(float scale) {
    if (scale <= 1.0f) return 96;
    if (static_cast<double>(scale) <= 1.1) return 116;
    if (scale <= 1.25f) return 138;
    return 168;
}

void busyWaitMs(unsigned ms) {
    auto nowMs = [] {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    };
    const long long end = nowMs() + ms;
    if (end <= 0) return;
    while (nowMs() < end) {
    }
}
