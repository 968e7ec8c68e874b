// The two entry points of render-ffmpeg.so.

#include <cstdint>
#include <new>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "FfmpegRenderImplementation.h"
#include "core/LogLine.h"
#include "stream/session/DecoderFlags.h"

// Software decoding only: a request that does not allow it (a hardware family alone) gets no
// implementation, so a measurement of that family reports it as unavailable instead of
// measuring the software decoder under its name.
extern "C" __attribute__((visibility("default"))) IRenderImplementation* createRenderImplementation(
    std::int32_t decoderFlags) {
    if (!(decoderFlags & kDecoderSoftware))
        return nullptr;
    return new (std::nothrow) FfmpegRenderImplementation();
}

extern "C" __attribute__((visibility("default"))) bool initModule() {
    if (!avcodec_find_decoder(AV_CODEC_ID_H264)) {
        NIMBROSTA_LOG(50, "initModule") << "libavcodec has no H.264 decoder";
        return false;
    }
    NIMBROSTA_LOG(0, "initModule") << "render-ffmpeg with libavcodec " << LIBAVCODEC_IDENT;
    return true;
}
