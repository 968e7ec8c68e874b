#!/usr/bin/python3
"""Records what GStreamer's H.264 payloader sends, for the frame assembly tests.

Usage: record_gstreamer_rtp.py NAME [--aggregate none|zero-latency|max] [--frames N] ...
Writes NAME.rtp (every RTP packet as a 16-bit big-endian length and the packet) and
NAME.h264 (the encoder's output as an Annex B stream, which FFmpeg decodes as the
reference). The encoder cuts every picture into several slices (sliced threads), and the
payloader repeats SPS and PPS in front of every slice of a key frame (config-interval=-1).

The fixtures beside it were made with
  record_gstreamer_rtp.py gst_ball_192x144_slices
  record_gstreamer_rtp.py gst_ball_192x144_slices_stap --aggregate zero-latency --mtu 1000
the second with the parameter sets and small slices aggregated into STAP-A packets.
"""
import argparse
import struct
import sys

import gi

gi.require_version("Gst", "1.0")
from gi.repository import Gst  # noqa: E402


def main():
    p = argparse.ArgumentParser()
    p.add_argument("name")
    p.add_argument("--aggregate", default="none")
    p.add_argument("--frames", type=int, default=6)
    p.add_argument("--key-int", type=int, default=3)
    p.add_argument("--threads", type=int, default=3)
    p.add_argument("--width", type=int, default=192)
    p.add_argument("--height", type=int, default=144)
    p.add_argument("--mtu", type=int, default=400)
    args = p.parse_args()

    Gst.init(None)
    pipeline = Gst.parse_launch(
        "videotestsrc pattern=ball num-buffers=%d ! video/x-raw,width=%d,height=%d,framerate=30/1 "
        "! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=%d threads=%d ! tee name=t "
        "t. ! queue ! rtph264pay config-interval=-1 pt=96 aggregate-mode=%s mtu=%d ! appsink name=rtp sync=false "
        "t. ! queue ! h264parse ! video/x-h264,stream-format=byte-stream ! filesink location=%s.h264"
        % (args.frames, args.width, args.height, args.key_int, args.threads, args.aggregate, args.mtu, args.name))
    out = open(args.name + ".rtp", "wb")

    def on_sample(sink):
        buf = sink.emit("pull-sample").get_buffer()
        ok, info = buf.map(Gst.MapFlags.READ)
        out.write(struct.pack(">H", info.size) + bytes(info.data))
        buf.unmap(info)
        return Gst.FlowReturn.OK

    sink = pipeline.get_by_name("rtp")
    sink.set_property("emit-signals", True)
    sink.connect("new-sample", on_sample)
    pipeline.set_state(Gst.State.PLAYING)
    msg = pipeline.get_bus().timed_pop_filtered(Gst.CLOCK_TIME_NONE, Gst.MessageType.EOS | Gst.MessageType.ERROR)
    pipeline.set_state(Gst.State.NULL)
    out.close()
    return 0 if msg.type == Gst.MessageType.EOS else 1


if __name__ == "__main__":
    sys.exit(main())
