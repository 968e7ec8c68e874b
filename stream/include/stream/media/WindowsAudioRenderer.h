#pragma once
// The stream's sound output device: the AudioRenderer fed into an ALSA PCM ("default"
// unless told otherwise). The class keeps the name the player uses for its audio
// consumer.
//
// The PCM is opened non-blocking on the render thread, so a busy device never holds up
// stop(). Underruns are recovered in place; any other device error closes the PCM and
// opens it again. A device that cannot be opened leaves the stream silent.

#include <string>

#include "stream/media/AudioRenderer.h"

typedef struct _snd_pcm snd_pcm_t;

struct AudioDeviceOptions {
    std::string device = "default";
    unsigned rate = 0;      // requested device rate; 0 asks for the stream's rate
    unsigned channels = 2;  // requested device channels
    unsigned bufferMs = 10; // period length; the device buffer holds four periods
};

class WindowsAudioRenderer : public AudioRenderer {
public:
    // Starts the render thread at once; the device is opened by that thread.
    explicit WindowsAudioRenderer(AudioDeviceOptions options = AudioDeviceOptions());
    ~WindowsAudioRenderer() override;

    bool initDevice() override;
    void shutdownDevice() override;
    int renderStep() override;

    // The format the device granted at the last opening.
    unsigned deviceRate() const { return deviceRate_.load(); }
    int deviceChannels() const { return deviceChannels_.load(); }
    // Device frames accepted by the device since construction.
    std::uint64_t framesWritten() const { return framesWritten_.load(); }

private:
    int recover(long err);

    AudioDeviceOptions options_;
    snd_pcm_t* pcm_ = nullptr;
    std::atomic<unsigned> deviceRate_{0};
    std::atomic<std::uint64_t> framesWritten_{0};
    std::vector<std::int16_t> scratch_;
};
