#include "stream/media/WindowsAudioRenderer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/LogLine.h"

namespace {

constexpr int kDebugLevel = 20;
constexpr int kWarningLevel = 40;

// ALSA's own messages (a missing sound card, an unknown device name) go to our log instead
// of standard error, which belongs to the program. They are the details of what our own
// line says (a device that does not open is a warning: the stream plays on without sound).
void alsaMessageToLog(const char* file, int line, const char* function, int, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    LogLine(kDebugLevel, "ALSA", line).stream() << (file ? file : "") << " " << (function ? function : "") << ": "
                                                << text;
}

void routeAlsaMessages() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(alsaMessageToLog); });
}

}  // namespace

WindowsAudioRenderer::WindowsAudioRenderer(AudioDeviceOptions options) : options_(std::move(options)) {
    routeAlsaMessages();
    start();
}

WindowsAudioRenderer::~WindowsAudioRenderer() { stop(); }

bool WindowsAudioRenderer::initDevice() {
    if (const int rc = snd_pcm_open(&pcm_, options_.device.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
        rc < 0) {
        pcm_ = nullptr;
        LogLine(kWarningLevel, "WindowsAudioRenderer::initDevice", __LINE__).stream()
            << "no sound: the audio device \"" << options_.device << "\" does not open: " << snd_strerror(rc);
        return false;
    }
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = options_.rate ? options_.rate : static_cast<unsigned>(sampleRate());
    unsigned channels = options_.channels ? options_.channels : 2;
    snd_pcm_uframes_t period = std::max<snd_pcm_uframes_t>(64, rate * options_.bufferMs / 1000);
    snd_pcm_uframes_t buffer = period * 4;
    bool ok = snd_pcm_hw_params_any(pcm_, hw) >= 0 &&
              snd_pcm_hw_params_set_access(pcm_, hw, SND_PCM_ACCESS_RW_INTERLEAVED) >= 0 &&
              snd_pcm_hw_params_set_format(pcm_, hw, SND_PCM_FORMAT_S16_LE) >= 0 &&
              snd_pcm_hw_params_set_rate_near(pcm_, hw, &rate, nullptr) >= 0 &&
              snd_pcm_hw_params_set_channels_near(pcm_, hw, &channels) >= 0 &&
              snd_pcm_hw_params_set_period_size_near(pcm_, hw, &period, nullptr) >= 0 &&
              snd_pcm_hw_params_set_buffer_size_near(pcm_, hw, &buffer) >= 0 && snd_pcm_hw_params(pcm_, hw) >= 0;
    if (ok) {
        snd_pcm_sw_params_t* sw = nullptr;
        snd_pcm_sw_params_alloca(&sw);
        ok = snd_pcm_sw_params_current(pcm_, sw) >= 0 && snd_pcm_sw_params_set_start_threshold(pcm_, sw, period) >= 0 &&
             snd_pcm_sw_params_set_avail_min(pcm_, sw, period) >= 0 && snd_pcm_sw_params(pcm_, sw) >= 0;
    }
    if (!ok || channels == 0) {
        snd_pcm_close(pcm_);
        pcm_ = nullptr;
        LogLine(kWarningLevel, "WindowsAudioRenderer::initDevice", __LINE__).stream()
            << "no sound: the audio device \"" << options_.device << "\" does not take 16-bit sound";
        return false;
    }
    deviceRate_ = rate;
    deviceChannels_ = static_cast<int>(channels);
    createResampler(static_cast<int>(rate));
    return true;
}

void WindowsAudioRenderer::shutdownDevice() {
    if (!pcm_) return;
    snd_pcm_drop(pcm_);
    snd_pcm_close(pcm_);
    pcm_ = nullptr;
}

int WindowsAudioRenderer::recover(long err) {
    if (err == -EPIPE || err == -ESTRPIPE || err == -EINTR) {
        // Underrun or suspend: carry on with the same device, as a shared-mode device
        // would simply play silence.
        return snd_pcm_recover(pcm_, static_cast<int>(err), 1) == 0 ? 1 : 0;
    }
    return 0;  // device lost or unusable: reopen
}

int WindowsAudioRenderer::renderStep() {
    if (!pcm_) return 0;
    if (takeNextBlock() == 0) return 1;  // the queue was stopped: the loop sees stopping

    const snd_pcm_sframes_t space = snd_pcm_avail_update(pcm_);
    if (space < 0) return recover(space);
    const int ch = channels();
    const int devCh = deviceChannels_.load();
    if (ch <= 0 || devCh <= 0) return 0;
    const std::size_t available = outputSamples() / static_cast<std::size_t>(ch);
    const std::size_t count = std::min<std::size_t>(available, static_cast<std::size_t>(space));
    if (count == 0) {
        const int r = snd_pcm_wait(pcm_, 1000);
        if (r == 1) return 1;
        if (r < 0) return recover(r);
        return 0;  // the device stopped consuming
    }

    const std::int16_t* src = outputData();
    const std::int16_t* frames = src;
    if (devCh != ch) {
        // Map the stream's channels onto the device frame: the first ones as they are,
        // the rest silent (a mono device gets the left channel).
        scratch_.assign(count * static_cast<std::size_t>(devCh), 0);
        const int copy = std::min(ch, devCh);
        for (std::size_t f = 0; f < count; ++f)
            for (int c = 0; c < copy; ++c)
                scratch_[f * static_cast<std::size_t>(devCh) + static_cast<std::size_t>(c)] =
                    src[f * static_cast<std::size_t>(ch) + static_cast<std::size_t>(c)];
        frames = scratch_.data();
    }
    const snd_pcm_sframes_t written = snd_pcm_writei(pcm_, frames, count);
    if (written == -EAGAIN) return 1;
    if (written < 0) return recover(written);
    consumeOutput(static_cast<std::size_t>(written) * static_cast<std::size_t>(ch));
    framesWritten_ += static_cast<std::uint64_t>(written);
    return 1;
}
