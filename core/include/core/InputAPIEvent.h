#pragma once
// What the stream engine's input API tells its listeners after each input request it sent.
// Kept here, below the stream engine, so that the web client can listen for user activity
// (PlayerApi marks the user active) without depending on the stream engine.

namespace InputAPIEvent {
enum eInputAPIEvent {
    kInputSent = 0,  // an input request was sent
};
}  // namespace InputAPIEvent
