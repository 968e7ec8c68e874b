#!/usr/bin/python3
"""GStreamer's RTSP server serving H.264 and Opus test signals, for interoperability tests.

Usage: gst_rtsp_server.py [--auth none|basic|digest] [--user U] [--password P] [--tcp-only]
                          [--width W] [--height H] [--bitrate KBPS] [--key-int N] [--threads N]
                          [--aggregate MODE] [--record FILE]
Prints the stream address on the first line, then serves until killed. With --record the
encoder's output is also written to FILE as an Annex B stream, unbuffered, so that what
the clients were sent can be decoded by another decoder.
"""
import argparse
import sys

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtspServer", "1.0")
gi.require_version("GstRtsp", "1.0")
from gi.repository import GLib, Gst, GstRtsp, GstRtspServer  # noqa: E402


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--auth", default="none", choices=["none", "basic", "digest"])
    p.add_argument("--user", default="user")
    p.add_argument("--password", default="secret")
    p.add_argument("--tcp-only", action="store_true")
    p.add_argument("--width", type=int, default=320)
    p.add_argument("--height", type=int, default=240)
    p.add_argument("--fps", type=int, default=30)
    p.add_argument("--bitrate", type=int, default=1000, help="kbit/s")
    p.add_argument("--pattern", default="ball", help="videotestsrc pattern (snow: incompressible)")
    p.add_argument("--key-int", type=int, default=0, help="pictures from key frame to key frame (0: 2 x fps)")
    p.add_argument("--threads", type=int, default=0, help="x264 threads, one slice each (0: x264 chooses)")
    p.add_argument("--aggregate", default="", help="rtph264pay aggregate-mode (none, zero-latency, max)")
    p.add_argument("--record", default="", help="also write the encoded stream to this file")
    args = p.parse_args()
    key_int = args.key_int or args.fps * 2
    payloader = "rtph264pay name=pay0 pt=96 config-interval=-1"
    if args.aggregate:
        payloader += " aggregate-mode=" + args.aggregate

    Gst.init(None)
    server = GstRtspServer.RTSPServer()
    server.set_address("127.0.0.1")
    server.set_service("0")
    factory = GstRtspServer.RTSPMediaFactory()
    factory.set_launch(
        "( videotestsrc is-live=true pattern=%s ! video/x-raw,width=%d,height=%d,framerate=%d/1 "
        "! x264enc name=encoder tune=zerolatency speed-preset=ultrafast key-int-max=%d bitrate=%d threads=%d "
        "! video/x-h264,stream-format=byte-stream ! %s "
        "audiotestsrc is-live=true ! audio/x-raw,rate=48000,channels=2 ! opusenc frame-size=20 "
        "! rtpopuspay name=pay1 pt=97 )"
        % (args.pattern, args.width, args.height, args.fps, key_int, args.bitrate, args.threads, payloader))
    factory.set_shared(True)
    if args.record:
        record = open(args.record, "wb")

        def on_encoded(pad, info):
            buf = info.get_buffer()
            ok, data = buf.map(Gst.MapFlags.READ)
            if ok:
                record.write(bytes(data.data))
                record.flush()
                buf.unmap(data)
            return Gst.PadProbeReturn.OK

        def on_configure(factory, media):
            encoder = media.get_element().get_by_name("encoder")
            encoder.get_static_pad("src").add_probe(Gst.PadProbeType.BUFFER, on_encoded)

        factory.connect("media-configure", on_configure)
    if args.tcp_only:
        factory.set_protocols(GstRtsp.RTSPLowerTrans.TCP)
    if args.auth != "none":
        auth = GstRtspServer.RTSPAuth()
        token = GstRtspServer.RTSPToken()
        token.set_string("media.factory.role", "user")
        if args.auth == "basic":
            auth.add_basic(GstRtspServer.RTSPAuth.make_basic(args.user, args.password), token)
            auth.set_supported_methods(GstRtsp.RTSPAuthMethod.BASIC)
        else:
            auth.add_digest(args.user, args.password, token)
            auth.set_supported_methods(GstRtsp.RTSPAuthMethod.DIGEST)
        server.set_auth(auth)
        permissions = GstRtspServer.RTSPPermissions()
        permissions.add_permission_for_role("user", "media.factory.access", True)
        permissions.add_permission_for_role("user", "media.factory.construct", True)
        factory.set_permissions(permissions)
    server.get_mount_points().add_factory("/test", factory)
    server.attach(None)
    print("rtsp://127.0.0.1:%d/test" % server.get_bound_port(), flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    sys.exit(main())
