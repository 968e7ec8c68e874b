#pragma once
// Whether GLFW's X connection holds events that were read but not yet dispatched (kept out
// of the window code, whose toolkit headers clash with Xlib's names).
bool x11EventsQueued();
