#!/usr/bin/python3
"""GStreamer's RTSP server serving H.264 and Opus test signals, for interoperability tests.

Usage: gst_rtsp_server.py [--auth none|basic|digest] [--user U] [--password P] [--tcp-only]
                          [--width W] [--height H] [--bitrate KBPS]
Prints the stream address on the first line, then serves until killed.
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
    args = p.parse_args()

    Gst.init(None)
    server = GstRtspServer.RTSPServer()
    server.set_address("127.0.0.1")
    server.set_service("0")
    factory = GstRtspServer.RTSPMediaFactory()
    factory.set_launch(
        "( videotestsrc is-live=true pattern=%s ! video/x-raw,width=%d,height=%d,framerate=%d/1 "
        "! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=%d bitrate=%d "
        "! rtph264pay name=pay0 pt=96 config-interval=-1 "
        "audiotestsrc is-live=true ! audio/x-raw,rate=48000,channels=2 ! opusenc frame-size=20 "
        "! rtpopuspay name=pay1 pt=97 )" % (args.pattern, args.width, args.height, args.fps, args.fps * 2, args.bitrate))
    factory.set_shared(True)
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
