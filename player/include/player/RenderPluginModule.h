#pragma once
// The render plug-ins: optional libraries in the program's lib folder ("render-cuda.so",
// "render-ffmpeg.so") whose factory makes the object that decodes and draws the stream's
// video (IRenderImplementation). Each library is loaded on its first use, asked once whether
// it can work ("initModule"), and never unloaded. A library that is missing, lacks an entry
// point or answers false stays unusable for the rest of the process: every later request is
// null at once, without loading anything again.
//
// Using an implementation (in-stream screen, benchmark):
//   IRenderImplementation* r = createRenderImplementationForDecoders(flags);  // may be null
//   r->init();                         // render thread, GL context current
//   feeding thread: r->onFrame(...)    // or the session's video sink does it
//   render thread, per frame: if (r->updateFrame(1.0)) ...; r->render(1.0, fbWidth, fbHeight);
//   stop and join the feeding thread, then on the render thread:
//   r->statistics.resetPeriod(); r->initialised = false; r->release(); delete r;
// The plug-in draws in pixels over the drawable and leaves the OpenGL state as it found it.

#include <cstdint>
#include <mutex>
#include <string>

#include "stream/session/DecoderFlags.h"
#include "stream/session/IRenderImplementation.h"

class RenderPluginModule {
public:
    // fileName: a bare name is looked for in the program's lib folder, a path is used as it
    // stands (tests).
    explicit RenderPluginModule(std::string fileName);

    // A new implementation from the plug-in's factory, or null (library unusable, or the
    // factory made none). Loads and initialises the library on the first call.
    IRenderImplementation* createImplementation(std::int32_t flags);

    // Opens the library and looks up both entry points (what is missing stays null).
    void load();

    // 0 not tried, 1 tried (failed or in progress), 2 initialised.
    int initState() const;
    bool isOpen() const;
    const std::string& fileName() const { return fileName_; }

private:
    mutable std::mutex lock_;
    int initState_ = 0;
    std::string fileName_;
    void* module_ = nullptr;
    IRenderImplementation::CreateFunction createRenderImplementation_ = nullptr;
    IRenderImplementation::InitModuleFunction initModule_ = nullptr;
};

// The process's two plug-ins, made on first use.
RenderPluginModule& cudaRenderPlugin();    // "render-cuda.so"
RenderPluginModule& ffmpegRenderPlugin();  // "render-ffmpeg.so"

// An implementation for the decoder families in flags, or null:
// CUDA in flags: the CUDA plug-in with flags 0; when that gives none, or without CUDA, any of
// SOFTWARE, DXVA, VAAPI or VDPAU in flags: the FFmpeg plug-in with the caller's flags.
// VDA alone gets none, and nothing is loaded for it.
IRenderImplementation* createRenderImplementationForDecoders(std::int32_t flags);
// The same over given modules (tests).
IRenderImplementation* createRenderImplementationForDecoders(std::int32_t flags, RenderPluginModule& cuda,
                                                             RenderPluginModule& ffmpeg);
