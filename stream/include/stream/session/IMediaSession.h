#pragma once
// What the media path (the RTSP wrapper and its sinks) needs of the stream session that
// owns it. The session controller implements it by forwarding to its video control
// requests and raising its own events; tests supply a recording fake.

#include <string>

class IMediaSession {
public:
    virtual ~IMediaSession() = default;
    // Asks the streamer for an IDR frame (VIDEO_FORCE_IDR_FRAME).
    virtual void VideoForceIDRFrame() = 0;
    // Reports a gap of lost video packets (VIDEO_NOTIFY_LOST_PACKET_INFO).
    virtual void VideoNotifyLostPacketInfo(int seq, int count, int timestamp) = 0;
    // The RTSP client ended the stream on a failure the application must hear of (the
    // stream stalled): reported as a connection error (application event 2000). Called on
    // the client thread, right before onVideoClientFinished.
    virtual void onVideoClientError(const std::string& reason) = 0;
    // The RTSP client thread has ended (raises application event 1003).
    virtual void onVideoClientFinished() = 0;
};
