#include "player/stream/StreamSettings.h"

#include <algorithm>

#include "core/ConfigStore.h"
#include "stream/session/DecoderFlags.h"

DecoderChoice decoderForName(const std::string& name) {
    DecoderChoice choice;
    choice.name = name;
    if (name.empty() || name == "SOFTWARE") {
        choice.name = "Software";
        choice.flags = 1;
    } else if (name == "DXVA") {
        choice.flags = 5;
    } else if (name == "CUDA") {
        choice.flags = 3;
    } else if (name == "VAAPI") {
        choice.flags = 9;
    } else if (name == "VDPAU") {
        choice.flags = 17;
    } else if (name == "VDA") {
        choice.flags = 33;
    } else {
        choice.flags = 1;
    }
    return choice;
}

DecoderChoice chooseDecoder(const ConfigStore& config) {
    std::string name = config.get<std::string>("Decoder.Last", "");
    if (name.empty()) name = config.get<std::string>("Decoder.Choice", "");
    return decoderForName(name);
}

std::vector<std::string> offeredDecoders(const ConfigStore& config) {
    std::vector<std::string> names{"Software"};
    for (const char* name : {"DXVA", "CUDA", "VAAPI", "VDA"})
        if (config.get<int>(std::string("Benchmark.") + name, "0") != 0) names.push_back(name);
    return names;
}

StreamSettings StreamSettings::fromConfig(const ConfigStore& config, std::int32_t fullHdBitrate,
                                          std::int32_t hdReadyBitrate) {
    StreamSettings s;
    s.fps = config.get<int>("Decoder.FPS", "30");
    s.fullHd = config.get<std::string>("Decoder.Resolution", "HDREADY") == "FULLHD";
    // "General.Quality" is in units of 1048576 bits per second; a value whose product does
    // not fit 32 bits is taken as the largest bitrate instead of wrapping.
    const std::int64_t quality = config.get<int>("General.Quality", "0");
    const std::int64_t bitrate = std::clamp<std::int64_t>(quality * 1048576, 0, INT32_MAX);
    s.bitrate = bitrate != 0 ? std::int32_t(bitrate) : (s.fullHd ? fullHdBitrate : hdReadyBitrate);
    s.autoQuality = config.get<int>("General.AutoQuality", "2");
    return s;
}

std::int32_t qualityFromPing(std::int32_t averagePingMs) {
    const std::int32_t ping = std::clamp(averagePingMs, 5, 200);
    return std::int32_t((205 - ping) * 0.5);
}

std::int64_t secondsField(std::chrono::steady_clock::duration elapsed) {
    return std::chrono::duration_cast<std::chrono::seconds>(elapsed).count() % 60;
}
