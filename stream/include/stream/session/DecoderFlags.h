#pragma once
// Decoder families, as a bit set. A render plug-in's factory takes such a set and makes an
// implementation for one of the families in it; the settings name each family by the word
// beside its bit ("Decoder.Choice", "Benchmark.<name>").

#include <cstdint>

enum DecoderFlags : std::int32_t {
    kDecoderNone = 0,
    kDecoderSoftware = 1,  // "SOFTWARE"
    kDecoderCuda = 2,      // "CUDA"
    kDecoderDxva = 4,      // "DXVA"
    kDecoderVaapi = 8,     // "VAAPI"
    kDecoderVdpau = 16,    // "VDPAU"
    kDecoderVda = 32,      // "VDA"
};

// The settings word of one family ("SOFTWARE", "CUDA", ...); "" for anything but a single
// known bit.
inline const char* decoderFlagName(std::int32_t flag) {
    switch (flag) {
        case kDecoderSoftware: return "SOFTWARE";
        case kDecoderCuda: return "CUDA";
        case kDecoderDxva: return "DXVA";
        case kDecoderVaapi: return "VAAPI";
        case kDecoderVdpau: return "VDPAU";
        case kDecoderVda: return "VDA";
        default: return "";
    }
}
