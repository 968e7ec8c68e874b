#pragma once
// The six operations of the RTSP client library (librtspclient.so).

#include "rtspclient/IRTSPSink.h"

namespace VideoRTSPClient {

// Creates a client for url that calls back owner; null on failure.
void* createNew(IVideoRTSPClient* owner, const char* url, const char* userName, const char* password,
                const char* tag, bool overTcp);
// Runs the stream on the calling thread until notifyStop or the end of the stream.
void mainLoop(void* handle);
// Asks mainLoop to return soon; safe from any thread and from inside a callback.
void notifyStop(void* handle);
// Releases the client and every sink it still holds; call after mainLoop returned.
void deleteClient(void* handle);
// Resumes delivery to the sink of subsession.
void startPlayingSink(void* handle, void* subsession);
// Pauses delivery to the sink of subsession.
void stopPlayingSink(void* handle, void* subsession);

}  // namespace VideoRTSPClient
