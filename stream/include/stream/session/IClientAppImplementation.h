#pragma once
// What the application supplies to a stream session: the receiver of the session's events
// and the video and audio consumers of the stream.

class IRenderImplementation;
class IAudioRenderImplementation;

// Codes passed to IClientAppImplementation::onEvent.
enum ClientAppEvent {
    kClientAppConnected = 1001,           // connected; AUTHORIZATION has just been sent
    kClientAppStreamCreated = 1002,       // the stream was created; the player is about to start
    kClientAppVideoClientFinished = 1003, // the player's thread has ended (raised on that thread)
    kClientAppAuthorized = 1004,          // authorized as administrator or viewer
    kClientAppVariablesReady = 1005,      // the streamer's variables are ready
    kClientAppConnectionError = 2000,     // connect, socket or frame error, or the streamer closed
    kClientAppTimeout = 2001,             // no traffic within the time-out
    kClientAppReserved = 2002,            // never raised
    kClientAppAuthorizationFailed = 2003,
    kClientAppAnotherClient = 2004,       // another client has logged in to the machine
};

class IClientAppImplementation {
public:
    virtual ~IClientAppImplementation() = default;
    // A ClientAppEvent; data is always null. Runs on the session's io thread (1003 on the
    // player's thread) and must not block for long; it must not stop or set up the session
    // synchronously from 1003.
    virtual void onEvent(int code, void* data) = 0;
    // Not owned by the session; they must outlive the stream.
    virtual IRenderImplementation* getVideoConsumer() = 0;
    virtual IAudioRenderImplementation* getAudioConsumer() = 0;
};
