// Decode plus upload of one 1280 x 720 picture of the background clip, per shader mode: the
// GPU conversion of planes (mode 2) against swscale to BGRA (mode 0). Runs on the OpenGL of
// the X display (Mesa's software renderer under Xvfb: compare the modes, not the numbers).

#include "gui/BackgroundVideoDecoder.h"
#include "gui/DecodedImage.h"
#include "gui/testing/GLTestWindow.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <GL/glew.h>
#include <benchmark/benchmark.h>

#include <string>

namespace {

void BM_DecodeAndUpload(benchmark::State& state) {
    VideoCapabilityOverrides o;
    o.shaderMode = int(state.range(0));
    setVideoCapabilityOverrides(o);
    guitest::GLTestWindow window(640, 360, "video bench");
    if (!window.ok()) {
        state.SkipWithError("no OpenGL window (run under xvfb-run)");
        return;
    }
    const std::string path = std::string(NIMBROSTA_LIB_DIR) + "/background.ts";
    AVFormatContext* clip = nullptr;
    if (avformat_open_input(&clip, path.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(clip, nullptr) < 0) {
        state.SkipWithError("background.ts missing");
        return;
    }
    BackgroundVideoDecoder decoder;
    decoder.open();
    AVPacket* packet = av_packet_alloc();
    long pictures = 0;
    for (auto _ : state) {
        int decoded = 0;
        while (decoded == 0) {
            if (av_read_frame(clip, packet) < 0) {
                avformat_seek_file(clip, -1, 0, 0, 0, AVSEEK_FLAG_BACKWARD);
                decoder.flush();
                continue;
            }
            decoded = decoder.decode(packet);
            av_packet_unref(packet);
        }
        window.context()->beginFrame();
        decoder.renderFrame(640, 360);
        glFinish();
        pictures += decoded;
    }
    state.counters["pictures"] = double(pictures);
    av_packet_free(&packet);
    avformat_close_input(&clip);
    setVideoCapabilityOverrides(VideoCapabilityOverrides());
}
BENCHMARK(BM_DecodeAndUpload)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
