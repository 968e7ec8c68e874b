#include "player/RenderPluginModule.h"

#include <utility>

#include "core/LogLine.h"
#include "platform/DynamicLibrary.h"

namespace {
// The families the FFmpeg plug-in may serve: SOFTWARE, DXVA, VAAPI, VDPAU.
constexpr std::int32_t kFfmpegFamilies = kDecoderSoftware | kDecoderDxva | kDecoderVaapi | kDecoderVdpau;
}  // namespace

RenderPluginModule::RenderPluginModule(std::string fileName) : fileName_(std::move(fileName)) {}

void RenderPluginModule::load() {
    std::string error;
    module_ = platform::openLibrary(fileName_, &error);
    if (!module_) {
        NIMBROSTA_LOG(0, "RenderPluginModule::load") << "cannot load " << fileName_ << ": " << error;
        return;
    }
    createRenderImplementation_ = reinterpret_cast<IRenderImplementation::CreateFunction>(
        platform::librarySymbol(module_, IRenderImplementation::kCreateExport));
    initModule_ = reinterpret_cast<IRenderImplementation::InitModuleFunction>(
        platform::librarySymbol(module_, IRenderImplementation::kInitModuleExport));
}

IRenderImplementation* RenderPluginModule::createImplementation(std::int32_t flags) {
    IRenderImplementation::CreateFunction create = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (initState_ == 1)
            return nullptr;
        if (initState_ == 0) {
            initState_ = 1;
            load();  // only on this first initialisation
            if (!createRenderImplementation_ || !initModule_) {
                if (module_)
                    NIMBROSTA_LOG(50, "RenderPluginModule::createImplementation")
                        << fileName_ << " lacks an entry point";
                return nullptr;
            }
            if (!initModule_()) {
                NIMBROSTA_LOG(50, "RenderPluginModule::createImplementation") << fileName_ << " failed to initialise";
                return nullptr;
            }
            initState_ = 2;
        }
        create = createRenderImplementation_;
    }
    return create(flags);
}

int RenderPluginModule::initState() const {
    std::lock_guard<std::mutex> guard(lock_);
    return initState_;
}

bool RenderPluginModule::isOpen() const {
    std::lock_guard<std::mutex> guard(lock_);
    return module_ != nullptr;
}

RenderPluginModule& cudaRenderPlugin() {
    static RenderPluginModule module("render-cuda.so");
    return module;
}

RenderPluginModule& ffmpegRenderPlugin() {
    static RenderPluginModule module("render-ffmpeg.so");
    return module;
}

IRenderImplementation* createRenderImplementationForDecoders(std::int32_t flags, RenderPluginModule& cuda,
                                                             RenderPluginModule& ffmpeg) {
    if (flags & kDecoderCuda) {
        if (IRenderImplementation* implementation = cuda.createImplementation(0))
            return implementation;
    }
    if (flags & kFfmpegFamilies)
        return ffmpeg.createImplementation(flags);
    return nullptr;
}

IRenderImplementation* createRenderImplementationForDecoders(std::int32_t flags) {
    return createRenderImplementationForDecoders(flags, cudaRenderPlugin(), ffmpegRenderPlugin());
}
