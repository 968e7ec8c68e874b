#pragma once
// The RTSP player a stream session starts once the streamer has created the stream, and
// the factory that makes it. The session depends only on these operations; unless told
// otherwise it gets the RTSP media client (PlayerVideoRSTPClient) from the default factory.

#include <memory>
#include <string>

class IMediaSession;
class IRenderImplementation;
class IAudioRenderImplementation;

class IStreamPlayer {
public:
    virtual ~IStreamPlayer() = default;
    // Starts the player's thread; returns once the native client exists.
    virtual bool start() = 0;
    // Stops the player and waits for its thread to end. Not to be called on that thread.
    virtual void stop() = 0;
    // True while the player's thread runs.
    virtual bool isRunning() = 0;
    virtual void setVideoConsumer(IRenderImplementation* consumer) = 0;
    virtual void setAudioConsumer(IAudioRenderImplementation* consumer) = 0;
    virtual void setVideoEnabled(bool enabled) = 0;
    virtual void setAudioEnabled(bool enabled) = 0;
};

class IStreamPlayerFactory {
public:
    virtual ~IStreamPlayerFactory() = default;
    // session receives the player's key-frame requests, loss reports and end.
    virtual std::shared_ptr<IStreamPlayer> create(const std::string& url, const std::string& user,
                                                  const std::string& password, const std::string& tag,
                                                  IMediaSession* session) = 0;

    // The factory sessions use when they are given none: the one last set, or the RTSP
    // media client's when none is set (setting null returns to it).
    static IStreamPlayerFactory* defaultFactory();
    static void setDefaultFactory(IStreamPlayerFactory* factory);
};
