#pragma once
// The decoder of the background video: a VideoPictureDecoder that spares the CPU (one codec
// thread while the GPU converts colours).

#include "gui/VideoPictureDecoder.h"

class BackgroundVideoDecoder : public VideoPictureDecoder {
public:
    BackgroundVideoDecoder() : VideoPictureDecoder(Settings{}) {}
};
