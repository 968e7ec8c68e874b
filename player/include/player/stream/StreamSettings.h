#pragma once
// The in-stream screen's choices that follow from settings and measurements alone: the
// decoder to ask for, the stream settings sent when the session becomes ready, the
// connection-quality figure and the coarse timers of the frame loop.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class ConfigStore;

// The decoder named by "Decoder.Last", else "Decoder.Choice".
struct DecoderChoice {
    std::string name;        // "Software" for an empty or "SOFTWARE" setting
    std::int32_t flags = 1;  // DecoderFlags; SOFTWARE is always included as the fallback
};
DecoderChoice chooseDecoder(const ConfigStore& config);
DecoderChoice decoderForName(const std::string& name);

// The decoders offered in the menu's decoder list: "Software", then each of "DXVA",
// "CUDA", "VAAPI", "VDA" whose benchmark result ("Benchmark.<name>") is not 0.
std::vector<std::string> offeredDecoders(const ConfigStore& config);

// What the screen sends when the session becomes ready.
struct StreamSettings {
    static constexpr std::int32_t kFullHdBitrate = 15360000;
    static constexpr std::int32_t kHdReadyBitrate = 8192000;

    std::int32_t fps = 30;
    bool fullHd = false;
    std::int32_t bitrate = kHdReadyBitrate;  // bits per second
    // "General.AutoQuality": 0 off, 1 on, 2 (the default) leaves the streamer's choice.
    std::int32_t autoQuality = 2;

    static StreamSettings fromConfig(const ConfigStore& config, std::int32_t fullHdBitrate = kFullHdBitrate,
                                     std::int32_t hdReadyBitrate = kHdReadyBitrate);
};

// The connection-quality figure from the average ping: 100 at 5 ms or less, 2 at 200 ms
// or more.
std::int32_t qualityFromPing(std::int32_t averagePingMs);

// The seconds field of an elapsed time: whole seconds modulo 60 (60.5 s counts as 0).
std::int64_t secondsField(std::chrono::steady_clock::duration elapsed);
