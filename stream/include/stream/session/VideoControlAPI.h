#pragma once
// Encoder requests (a key frame, reference invalidation, intra refresh, lost-packet
// reports) and the users of the six video variables, through which the application reads
// and sets the stream's video settings.

#include <atomic>
#include <cstdint>
#include <vector>

#include "stream/control/IResponseHandler.h"
#include "stream/control/InputInterfaceAPIBase.h"
#include "stream/session/VariableBase.h"

class VideoControlAPI : public InputInterfaceAPIBase, public IResponseHandler {
public:
    explicit VideoControlAPI(InputInterface* endpoint);
    ~VideoControlAPI() override;

    bool handle(const InputClient::Response&) override { return false; }

    void VideoForceIDRFrame();
    void VideoInvalidateReferenceFrames(const std::vector<std::int64_t>& timestamps);
    void VideoStartIntraRefresh();
    // One run of lost packets beginning at seq; seq and count are taken modulo 65536.
    void VideoNotifyLostPacketInfo(int seq, int count, int timestamp);

    std::int32_t lostPacketsTotal() const { return lostPacketsTotal_.load(); }

    VariableUserBase<Int32Variable> bitrate;
    VariableUserBase<Int32Variable> qp;
    VariableUserBase<BoolVariable> enableScale;
    VariableUserBase<ResolutionVariable> scaleResolution;
    VariableUserBase<BoolVariable> enableMouseCursor;
    VariableUserBase<Int32Variable> framerate;

private:
    std::atomic<std::int32_t> lostPacketsTotal_{0};
};
