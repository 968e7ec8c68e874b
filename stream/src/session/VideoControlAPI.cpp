#include "stream/session/VideoControlAPI.h"

#include "core/LogLine.h"
#include "stream/session/ClientDBAPI.h"
#include "stream/session/InputInterface.h"

using InputClient::Request;

VideoControlAPI::VideoControlAPI(InputInterface* endpoint)
    : InputInterfaceAPIBase(endpoint),
      bitrate(&endpoint->clientDBAPI().db(), VariableNames::kVideoBitrate),
      qp(&endpoint->clientDBAPI().db(), VariableNames::kVideoQP),
      enableScale(&endpoint->clientDBAPI().db(), VariableNames::kVideoEnableScale),
      scaleResolution(&endpoint->clientDBAPI().db(), VariableNames::kVideoScaleResolution),
      enableMouseCursor(&endpoint->clientDBAPI().db(), VariableNames::kVideoEnableMouseCursor),
      framerate(&endpoint->clientDBAPI().db(), VariableNames::kVideoFramerate) {}

VideoControlAPI::~VideoControlAPI() { endpoint_->unregisterHandler(this); }

void VideoControlAPI::VideoForceIDRFrame() {
    Request r;
    r.set_type(Request::VIDEO_FORCE_IDR_FRAME);
    endpoint_->send(r);
}

void VideoControlAPI::VideoInvalidateReferenceFrames(const std::vector<std::int64_t>& timestamps) {
    Request r;
    r.set_type(Request::VIDEO_INVALIDATE_REFERENCE_FRAMES);
    auto* c = r.mutable_invalidaterefrenceframescommand();
    c->set_numrefframestoinvalidate(static_cast<std::int32_t>(timestamps.size()));
    for (auto t : timestamps) c->add_invalidframetimestamp(t);
    endpoint_->send(r);
}

void VideoControlAPI::VideoStartIntraRefresh() {
    Request r;
    r.set_type(Request::VIDEO_START_INTRA_REFRESH);
    r.mutable_startintrarefreshcommand();
    endpoint_->send(r);
}

void VideoControlAPI::VideoNotifyLostPacketInfo(int seq, int count, int timestamp) {
    const int c = count & 0xFFFF;
    const std::int32_t total = lostPacketsTotal_.fetch_add(c) + c;
    LogLine(40, "VideoControlAPI::VideoNotifyLostPacketInfo", 61).stream()
        << "total lost video packets: " << total;
    Request r;
    r.set_type(Request::VIDEO_NOTIFY_LOST_PACKET_INFO);
    auto* info = r.mutable_lostpacketinfo();
    info->set_packetseq(seq & 0xFFFF);
    info->set_packetlosscount(c);
    info->set_timestamp(timestamp);
    endpoint_->send(r);
}
